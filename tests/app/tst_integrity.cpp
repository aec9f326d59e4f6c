// A work and its record together whatever happens: two importing processes at once, a process killed at
// each step of adding, and what every open of a library puts right.
#include "LibraryFiles.h"
#include "bench/BenchText.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/FileOps.h"
#include "core/storage/WorkFileBuilder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace vel;
using namespace vel::test;

namespace {

QString velmora() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../velmora"));
}

QProcess* start(const QStringList& args, const QByteArray& fault = {}) {
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!fault.isEmpty())
        env.insert(QStringLiteral("VELMORA_FAULT"), QString::fromLatin1(fault));
    p->setProcessEnvironment(env);
    p->start(velmora(), args);
    return p;
}

// Runs to the end; the exit status, or -1 for a process that was killed.
int finish(QProcess* p) {
    std::unique_ptr<QProcess> owned(p);
    if (!p->waitForFinished(120000) || p->exitStatus() != QProcess::NormalExit)
        return -1;
    return p->exitCode();
}

QString textFile(const QTemporaryDir& dir, const QString& name, int length) {
    const QString path = dir.filePath(name);
    writeFile(path, bench::bulgarianText(length).toUtf8());
    return path;
}

// Every record has its work file, every work file its record, and nothing temporary is left.
void checkWhole(const QString& lib) {
    QStringList files = QDir(lib).entryList({QStringLiteral("*.mdb")}, QDir::Files);
    files.removeAll(QStringLiteral("BAZA.mdb"));
    QStringList fromRecords;
    for (const QString& t : titlesOf(lib))
        fromRecords << t + QStringLiteral(".mdb");
    files.sort();
    fromRecords.sort();
    QCOMPARE(fromRecords, files);
    QCOMPARE(QDir(lib).entryList({QStringLiteral(".velmora-build-*"), QStringLiteral(".raz-*")},
                                 QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void addRecordOnly(Catalogue& cat, const QString& title) {
    QVERIFY(insertRecord(cat, {title, QStringLiteral("Автор"), QStringLiteral("Tahoma"), QStringLiteral("14"),
                               QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")}) >= 0);
}

void buildFile(const QString& lib, const QString& title, const QString& author = {}) {
    WorkFileBuilder b;
    QVERIFY(b.begin(lib, title) && b.appendPage(QStringLiteral("страница")));
    if (!author.isEmpty())
        QVERIFY(b.setFact(QStringLiteral("author"), author));
    QVERIFY(b.commit());
}

} // namespace

class TstIntegrity : public QObject {
    Q_OBJECT

private slots:
    // Two imports into one library at once, several rounds: both say they succeeded and both are kept.
    void racingImports() {
        QTemporaryDir src;
        for (int round = 0; round < 4; ++round) {
            QTemporaryDir lib;
            const QString a = textFile(src, QStringLiteral("Автор - Първа %1.txt").arg(round), 20000);
            const QString b = textFile(src, QStringLiteral("Автор - Втора %1.txt").arg(round), 20000);
            QProcess* first = start({QStringLiteral("--library"), lib.path(), QStringLiteral("--import"), a});
            QProcess* second =
                start({QStringLiteral("--library"), lib.path(), QStringLiteral("--import"), b});
            QCOMPARE(finish(first), 0);
            QCOMPARE(finish(second), 0);
            QCOMPARE(titlesOf(lib.path()).size(), 2);
            checkWhole(lib.path());
        }
    }

    // Killed at each step of an add: after the next open the work is either wholly there or wholly
    // absent, the work before it is untouched, and no temporary file is left.
    void killedAtEachStep_data() {
        QTest::addColumn<QByteArray>("step");
        QTest::addColumn<bool>("kept");
        QTest::newRow("built") << QByteArray("add-built") << false;
        QTest::newRow("recorded") << QByteArray("add-recorded") << false;
        QTest::newRow("placed") << QByteArray("add-placed") << true;
    }
    void killedAtEachStep() {
        QFETCH(QByteArray, step);
        QFETCH(bool, kept);
        QTemporaryDir src, lib;
        QCOMPARE(
            finish(start({"--library", lib.path(), "--import", textFile(src, "Автор - Стара.txt", 5000)})),
            0);
        const QByteArray old = contents(lib.filePath("Стара.mdb"));
        const QString file = textFile(src, "Автор - Нова.txt", 30000);
        QCOMPARE(finish(start({"--library", lib.path(), "--import", file}, step)), -1);
        QProcess* list = start({"--library", lib.path(), "--list"});
        QCOMPARE(finish(list), 0);
        QCOMPARE(titlesOf(lib.path()).contains("Нова"), kept);
        QCOMPARE(contents(lib.filePath("Стара.mdb")), old);
        checkWhole(lib.path());
    }

    // Each kind of leftover, put right by one open.
    void reconcileEachLeftover() {
        QTemporaryDir lib;
        auto opened = Catalogue::open(lib.path());
        Catalogue& cat = *opened.catalogue;
        Database& db = cat.database();
        // Interrupted adds: one whose file made it, one whose did not; a delete that moved its file
        // aside, one that did not get that far.
        for (const char* t : {"Готова", "Без файл", "Изтрита", "Неизтрита"})
            addRecordOnly(cat, QString::fromUtf8(t));
        buildFile(lib.path(), "Готова");
        buildFile(lib.path(), "Неизтрита");
        QVERIFY(
            db.exec("CREATE TABLE IF NOT EXISTS Nezavarsheni (Zapis INTEGER, Ime TEXT, Bilet TEXT, Vid TEXT);"
                    "INSERT INTO Nezavarsheni SELECT rowid, Name, '.velmora-build-0.tmp', 'add' FROM Phones "
                    "WHERE Name IN ('Готова', 'Без файл');"
                    "INSERT INTO Nezavarsheni SELECT rowid, Name, '', 'delete' FROM Phones "
                    "WHERE Name IN ('Изтрита', 'Неизтрита');"));
        // Work files without a record: one that keeps its title and author, one that does not.
        buildFile(lib.path(), "Сираче", "Някой");
        writeFile(lib.filePath("Чужд.mdb"), "не е произведение");
        // A dead build's file and staging folder, and a live build's file.
        writeFile(lib.filePath(".velmora-build-dead.tmp"), "x");
        QDir(lib.path()).mkpath(".raz-dead/inner");
        QString reason;
        fileops::LockedTemp live = fileops::createTempFile(lib.path(), &reason);
        QVERIFY(live.isValid());

        const ReconcileReport r = reconcileLibrary(cat, lib.path());
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.completed, QStringList({"Готова", "Изтрита"}));
        QCOMPARE(r.undone, QStringList({"Без файл", "Неизтрита"}));
        QCOMPARE(r.adopted, QStringList{"Сираче"});
        QCOMPARE(r.setAside, QStringList{"Чужд.mdb"});
        QCOMPARE(r.messages().size(), 1);
        QCOMPARE(r.leftovers, 2);
        QVERIFY(QFile::exists(live.path()));
        QCOMPARE(titlesOf(lib.path()), QStringList({"Готова", "Неизтрита", "Сираче"}));
        QVERIFY(QFile::exists(lib.filePath(kAsideFolder + "/Чужд.mdb")));
        live.remove();
        opened.catalogue.reset();
        checkWhole(lib.path());

        // Deleting: file and record go together; a work whose file is missing loses its record all the same.
        opened = Catalogue::open(lib.path());
        Catalogue& again = *opened.catalogue;
        again.rs().MoveFirst();
        WriteResult removed = removeCurrentWork(again, lib.path());
        QVERIFY(removed.ok() && removed.fileRemoved);
        QFile::remove(lib.filePath("Неизтрита.mdb"));
        again.rs().MoveFirst();
        removed = removeCurrentWork(again, lib.path());
        QVERIFY(removed.ok() && !removed.fileRemoved);
        QCOMPARE(titlesOf(lib.path()), QStringList{"Сираче"});
        checkWhole(lib.path());
    }
};

QTEST_GUILESS_MAIN(TstIntegrity)
#include "tst_integrity.moc"
