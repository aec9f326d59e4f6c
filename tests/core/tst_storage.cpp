// The storage layer below the catalogue: the cursor, path rules, work files and their atomic building.
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/Database.h"
#include "core/storage/FileOps.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"
#include "core/storage/Recordset.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"
#include "core/text/formats/BookFormats.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>
#include <memory>
#include <sys/stat.h>

using namespace vel;

namespace {

// A table t(a, b) holding the given values of a, in this order.
void makeTable(Database& db, const QString& path, const QStringList& values) {
    QVERIFY(db.open(path, Database::Mode::Create));
    QVERIFY(db.exec(QStringLiteral("CREATE TABLE t (a TEXT, B TEXT)")));
    for (const QString& v : values) {
        Statement st(db, QStringLiteral("INSERT INTO t (a, B) VALUES (?1, 'x')"));
        st.bind(1, v);
        QCOMPARE(st.step(), Statement::Step::Done);
    }
}

QStringList fileNames(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A file written by another program, through SQLite itself: nothing of this program's own settings.
void writeForeign(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestStorage : public QObject {
    Q_OBJECT

private slots:
    void cursorWalksInStoredOrder();
    void cursorOnEmptyTable();
    void addNewLeavesCursorWhereItWas();
    void editUpdateAndValues();
    void deleteThenMove();
    void rollbackResyncsCursor();

    void workTitles_data();
    void workTitles();

    void buildIsAtomic();
    void abandonedBuildLeavesNothing();
    void batchFlushedBeforeItsRecords();
    void takenNameIsRefused();
    void rebuildKeepsOldUntilCommit();
    void pageLimit();
    void foreignWorkFileByPosition();
    void unreadableWorkFile();
    void hostileLibraryFiles();
    void namesThatAreNotUtf8();
};

void TestStorage::cursorWalksInStoredOrder() {
    QTemporaryDir dir;
    Database db;
    makeTable(db, dir.filePath(QStringLiteral("t.db")), {"в", "а", "б", "г", "д"});
    Recordset rs(db, QStringLiteral("t"));
    QVERIFY(rs.isValid());
    QCOMPARE(rs.recordCount(), 5);
    QVERIFY(!rs.bof());
    QCOMPARE(rs.field("a"), QString("в")); // starts on the first record, stored order, no sorting

    QStringList seen;
    for (rs.MoveFirst(); !rs.eof(); rs.MoveNext())
        seen << rs.field("a");
    QCOMPARE(seen, QStringList({"в", "а", "б", "г", "д"}));
    QVERIFY(rs.eof() && !rs.bof() && !rs.hasCurrent());
    QVERIFY(rs.isNull("a"));
    rs.MovePrevious();
    QCOMPARE(rs.field("a"), QString("д"));

    rs.MoveFirst();
    rs.MovePrevious();
    QVERIFY(rs.bof() && !rs.eof());
    rs.MoveNext();
    QCOMPARE(rs.field("a"), QString("в"));

    // First, forward n, back one: page n; past the end it lands on the last record.
    rs.MoveFirst();
    rs.Move(3);
    QCOMPARE(rs.field("a"), QString("г"));
    rs.Move(-2);
    QCOMPARE(rs.field("a"), QString("а"));
    rs.MoveFirst();
    rs.Move(40);
    QVERIFY(rs.eof());
    rs.MovePrevious();
    QCOMPARE(rs.field("a"), QString("д"));
    rs.Move(-40);
    QVERIFY(rs.bof());
    rs.MoveLast();
    QCOMPARE(rs.position(), 4);
}

void TestStorage::cursorOnEmptyTable() {
    QTemporaryDir dir;
    Database db;
    makeTable(db, dir.filePath(QStringLiteral("t.db")), {});
    Recordset rs(db, QStringLiteral("t"));
    QVERIFY(rs.bof() && rs.eof());
    rs.MoveFirst();
    rs.MoveNext();
    rs.MovePrevious();
    rs.Move(3);
    QVERIFY(rs.bof() && rs.eof());
    QCOMPARE(rs.field("a"), QString());
    rs.Edit();
    QVERIFY(!rs.Update());
    QVERIFY(!rs.Delete());
    QVERIFY(!Recordset(db, QStringLiteral("missing")).isValid());
}

void TestStorage::addNewLeavesCursorWhereItWas() {
    QTemporaryDir dir;
    Database db;
    makeTable(db, dir.filePath(QStringLiteral("t.db")), {"1", "2", "3"});
    Recordset rs(db, QStringLiteral("t"));
    rs.Move(1);
    rs.AddNew();
    rs.setField("a", "нов");
    QVERIFY(rs.Update());
    QCOMPARE(rs.field("a"), QString("2"));
    QCOMPARE(rs.recordCount(), 4);
    rs.MoveLast();
    QCOMPARE(rs.field("a"), QString("нов"));
    QVERIFY(rs.isNull("b")); // fields not set stay NULL

    rs.MoveNext();
    QVERIFY(rs.eof());
    rs.AddNew();
    rs.setField("a", "5");
    QVERIFY(rs.Update());
    QVERIFY(rs.eof()); // still past the end, now past the new last record
    rs.MovePrevious();
    QCOMPARE(rs.field("a"), QString("5"));
}

void TestStorage::editUpdateAndValues() {
    QTemporaryDir dir;
    Database db;
    makeTable(db, dir.filePath(QStringLiteral("t.db")), {"1", "2"});
    QVERIFY(db.exec(QStringLiteral("CREATE TABLE n (v INTEGER, w REAL)")));
    QVERIFY(db.exec(QStringLiteral("INSERT INTO n VALUES (1, 14.25)")));
    Recordset rs(db, QStringLiteral("t"));
    rs.MoveLast();
    rs.Edit();
    rs.setField("A", "Заглавие. С точка");
    rs.setField("b", "");
    QVERIFY(rs.Update());
    QCOMPARE(rs.field("a"), QString("Заглавие. С точка"));
    QVERIFY(!rs.isNull("b") && rs.field("b").isEmpty());
    rs.Edit();
    rs.setFieldNull("b");
    QVERIFY(rs.Update());
    QVERIFY(rs.isNull("b"));

    // Rewriting a record with its own values writes nothing.
    const qint64 total = db.totalChanges();
    rs.Edit();
    rs.setField("a", "Заглавие. С точка");
    QVERIFY(rs.Update());
    QCOMPARE(db.totalChanges(), total);

    // Numbers in any column read back as their text.
    Recordset nums(db, QStringLiteral("n"));
    QCOMPARE(nums.field("V"), QString("1"));
    QCOMPARE(nums.field("w"), QString("14.25"));
}

void TestStorage::deleteThenMove() {
    QTemporaryDir dir;
    Database db;
    makeTable(db, dir.filePath(QStringLiteral("t.db")), {"1", "2", "3", "4"});
    Recordset rs(db, QStringLiteral("t"));
    rs.Move(1);
    QVERIFY(rs.Delete());
    QVERIFY(!rs.hasCurrent() && !rs.eof() && !rs.bof());
    QVERIFY(!rs.Delete());
    rs.MoveNext();
    QCOMPARE(rs.field("a"), QString("3"));
    QVERIFY(rs.Delete());
    rs.MovePrevious();
    QCOMPARE(rs.field("a"), QString("1"));
    rs.MoveLast();
    QVERIFY(rs.Delete());
    rs.MoveNext();
    QVERIFY(rs.eof());
    QCOMPARE(rs.recordCount(), 1);

    // Delete while walking: the pattern of the start-up clean-up.
    Database db2;
    makeTable(db2, dir.filePath(QStringLiteral("u.db")), {"", "a", "", "", "b", ""});
    Recordset walk(db2, QStringLiteral("t"));
    for (walk.MoveFirst(); !walk.eof(); walk.MoveNext()) {
        if (walk.field("a").isEmpty())
            walk.Delete();
    }
    QStringList left;
    for (walk.MoveFirst(); !walk.eof(); walk.MoveNext())
        left << walk.field("a");
    QCOMPARE(left, QStringList({"a", "b"}));
}

void TestStorage::rollbackResyncsCursor() {
    QTemporaryDir dir;
    Database db;
    makeTable(db, dir.filePath(QStringLiteral("t.db")), {"1", "2"});
    Recordset rs(db, QStringLiteral("t"));
    {
        Transaction outer(db);
        rs.AddNew();
        rs.setField("a", "3");
        QVERIFY(rs.Update());
        {
            Transaction inner(db);
            rs.Edit();
            rs.setField("a", "първи");
            QVERIFY(rs.Update());
        } // inner rolled back
        QCOMPARE(rs.field("a"), QString("1"));
        QCOMPARE(rs.recordCount(), 3);
        QVERIFY(outer.commit());
    }
    {
        Transaction t(db);
        rs.MoveLast();
        QVERIFY(rs.Delete());
    }
    QCOMPARE(rs.recordCount(), 3);
    rs.MoveLast();
    QCOMPARE(rs.field("a"), QString("3"));

    // Statements run on the same connection behind the cursor's back are noticed too.
    rs.MoveFirst();
    QVERIFY(
        db.exec(QStringLiteral("UPDATE t SET a = 'отвън' WHERE a = '1'; INSERT INTO t (a) VALUES ('4')")));
    QCOMPARE(rs.recordCount(), 4);
    QCOMPARE(rs.field("a"), QString("отвън"));
    QVERIFY(db.exec(QStringLiteral("DELETE FROM t WHERE a = 'отвън'")));
    QVERIFY(!rs.hasCurrent());
    rs.MoveNext();
    QCOMPARE(rs.field("a"), QString("2"));
}

void TestStorage::workTitles_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "Под игото" << true;
    QTest::newRow("period") << "Д-р Живаго. Том 1" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("slash") << "Том 1/2" << false;
    QTest::newRow("backslash") << "Том 1\\2" << false;
    QTest::newRow("escape") << "../../etc/x" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dotdot") << ".." << false;
    QTest::newRow("nul") << QString("a") + QChar(0) + "b" << false;
    QTest::newRow("newline") << "a\nb" << false;
    QTest::newRow("catalogue") << "BAZA" << false;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false;
    QTest::newRow("251 bytes") << QString(251, u'a') << true;
    QTest::newRow("252 bytes") << QString(252, u'a') << false;
    QTest::newRow("126 Cyrillic") << QString(126, u'я') << false;
}

void TestStorage::workTitles() {
    QFETCH(QString, title);
    QFETCH(bool, valid);
    const auto path = workFilePath(QStringLiteral("/lib"), title);
    QCOMPARE(path.has_value(), valid);
    if (valid)
        QCOMPARE(*path, QStringLiteral("/lib/") + title + QStringLiteral(".mdb"));
    QCOMPARE(catalogPath(QStringLiteral("/lib/")), QStringLiteral("/lib/BAZA.mdb"));
}

void TestStorage::buildIsAtomic() {
    QTemporaryDir dir;
    const QString title = QStringLiteral("Д-р Живаго. Том 1");
    const QString page2 = QStringLiteral("Втора страница,\r\nс нов ред.");
    {
        WorkFileBuilder b;
        QVERIFY(b.begin(dir.path(), title));
        QVERIFY(b.appendPage(QStringLiteral("Първа")));
        QVERIFY(b.appendPage(page2));
        QVERIFY(b.appendPage(QString()));
        QVERIFY(b.setFact(QStringLiteral("title"), QStringLiteral("Първо")));
        QVERIFY(b.setFact(QStringLiteral("title"), title));
        QVERIFY(!QFile::exists(b.finalPath())); // nothing carries the title before commit
        QVERIFY(!QFile::exists(dir.filePath(title + ".mdb")));
        QVERIFY(b.commit());
        QVERIFY(!b.isActive());
    }
    QCOMPARE(fileNames(dir.path()), QStringList({title + ".mdb"})); // no temporary or journal left

    QString error;
    auto wf = WorkFile::open(*workFilePath(dir.path(), title), &error);
    QVERIFY2(wf, qPrintable(error));
    QCOMPARE(wf->pageCount(), 3);
    const auto p2 = wf->page(2);
    QVERIFY(p2.ok);
    QCOMPARE(p2.label, QString("2"));
    QCOMPARE(p2.text, page2);
    QCOMPARE(wf->page(1).label, QString("1"));
    QCOMPARE(wf->page(3).text, QString());
    QVERIFY(!wf->page(0).ok);
    QVERIFY(!wf->page(4).ok);
    QCOMPARE(wf->fact(QStringLiteral("title")), title);
    QCOMPARE(wf->fact(QStringLiteral("author")), QString());

    // The page table is the one other tools expect.
    Database db;
    QVERIFY(db.open(wf->path(), Database::Mode::ReadOnly));
    QCOMPARE(db.columns(QStringLiteral("Knigi1")), QStringList({"Stranica", "TekstStranica"}));
}

void TestStorage::abandonedBuildLeavesNothing() {
    QTemporaryDir dir;
    {
        WorkFileBuilder b;
        QVERIFY(b.begin(dir.path(), QStringLiteral("Недовършено")));
        QVERIFY(b.appendPage(QStringLiteral("страница")));
        QCOMPARE(fileNames(dir.path()).size(), 1); // the temporary file only
    }
    QVERIFY(fileNames(dir.path()).isEmpty());

    WorkFileBuilder b;
    QVERIFY(!b.begin(dir.filePath(QStringLiteral("няма-такава-папка")), QStringLiteral("А")));
    QCOMPARE(b.failure().kind, FailureKind::Io);
    QVERIFY(!b.begin(dir.path(), QStringLiteral("../А")));
    QCOMPARE(b.failure().kind, FailureKind::Invalid);
    QVERIFY(!b.appendPage(QStringLiteral("x")));
    QVERIFY(!b.commit());
    QVERIFY(fileNames(dir.path()).isEmpty());

    // What a crash leaves behind goes at the next start; a build still being written stays.
    WorkFileBuilder running;
    QVERIFY(running.begin(dir.path(), QStringLiteral("Пише се")));
    const QString left = dir.filePath(QStringLiteral(".velmora-build-0123456789abcdef.tmp"));
    QFile f(left);
    QVERIFY(f.open(QIODevice::WriteOnly)); // nobody holds its lock: its writer is gone
    f.close();
    QCOMPARE(fileops::removeLeftovers(dir.path()), 1);
    QVERIFY(!QFile::exists(left));
    QCOMPARE(fileNames(dir.path()).size(), 1);
}

// A batch's staged files reach the disk before any record names them: one that cannot be flushed stops the
// batch before the catalogue changes.
void TestStorage::batchFlushedBeforeItsRecords() {
    QTemporaryDir dir;
    std::vector<std::unique_ptr<WorkFileBuilder>> builders;
    std::vector<std::pair<CatalogueRecord, QString>> works;
    QStringList staged;
    for (int i = 0; i < 5; ++i) {
        const QString title = QStringLiteral("Том %1").arg(i);
        auto& b = *builders.emplace_back(std::make_unique<WorkFileBuilder>());
        QVERIFY(b.begin(dir.path(), title, WorkFileBuilder::Placement::Staged));
        QVERIFY(b.appendPage(QStringLiteral("страница")));
        QVERIFY(b.commit());
        works.push_back({CatalogueRecord{title, QStringLiteral("Автор"), {}, {}, {}, {}, {}}, b.stagedPath()});
        staged << b.stagedPath();
    }
    QCOMPARE(fileops::syncFiles(dir.path(), staged), -1);
    works[3].second = dir.filePath(QStringLiteral(".velmora-build-gone.tmp"));
    staged[3] = works[3].second;
    QCOMPARE(fileops::syncFiles(dir.path(), staged), 3);

    auto opened = Catalogue::open(dir.path());
    QVERIFY(opened);
    QStringList added, taken;
    QVERIFY(!addWorks(*opened->catalogue, dir.path(), works, &added, &taken).ok());
    QVERIFY(added.isEmpty() && titledRecords(*opened->catalogue).empty());
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.mdb")}), QStringList{QStringLiteral("BAZA.mdb")});
}

void TestStorage::takenNameIsRefused() {
    QTemporaryDir dir;
    const QString taken = dir.filePath(QStringLiteral("Зает.mdb"));
    {
        QFile f(taken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("чуждо съдържание");
    }
    WorkFileBuilder b;
    QVERIFY(!b.begin(dir.path(), QStringLiteral("Зает")));
    QCOMPARE(b.failure().kind, FailureKind::Exists);
    QVERIFY(b.failure().message.contains(QStringLiteral("Зает.mdb")));

    // A file that takes the name while the build runs wins; the build gives up without touching it.
    QVERIFY(b.begin(dir.path(), QStringLiteral("Нов")));
    QVERIFY(b.appendPage(QStringLiteral("страница")));
    const QString late = dir.filePath(QStringLiteral("Нов.mdb"));
    QVERIFY(QFile::copy(taken, late));
    QVERIFY(!b.commit());
    QCOMPARE(b.failure().kind, FailureKind::Exists);
    QCOMPARE(readAll(late), QByteArray("чуждо съдържание"));
    QCOMPARE(readAll(taken), QByteArray("чуждо съдържание"));
    QCOMPARE(fileNames(dir.path()).size(), 2);
}

void TestStorage::rebuildKeepsOldUntilCommit() {
    QTemporaryDir dir;
    const QString title = QStringLiteral("Роман");
    WorkFileBuilder first;
    QVERIFY(first.begin(dir.path(), title));
    QVERIFY(first.appendPage(QStringLiteral("стар 1")));
    QVERIFY(first.appendPage(QStringLiteral("стар 2")));
    QVERIFY(first.commit());

    WorkFileBuilder rebuild;
    QVERIFY(rebuild.begin(dir.path(), title, /*replaceExisting=*/true));
    QVERIFY(rebuild.appendPage(QStringLiteral("нов 1")));
    auto old = WorkFile::open(first.finalPath());
    QVERIFY(old);
    QCOMPARE(old->page(2).text, QString("стар 2"));
    {
        WorkFileBuilder abandoned; // an interrupted rebuild changes nothing
        QVERIFY(abandoned.begin(dir.path(), title, true));
        QVERIFY(abandoned.appendPage(QStringLiteral("изгубен")));
    }
    QCOMPARE(WorkFile::open(first.finalPath())->page(1).text, QString("стар 1"));
    QVERIFY(rebuild.commit());

    auto now = WorkFile::open(first.finalPath());
    QCOMPARE(now->pageCount(), 1);
    QCOMPARE(now->page(1).text, QString("нов 1"));
    QCOMPARE(old->page(1).text, QString("стар 1")); // an open reader keeps the file it opened
    QCOMPARE(fileNames(dir.path()), QStringList({title + ".mdb"}));
}

void TestStorage::pageLimit() {
    QTemporaryDir dir;
    WorkFileBuilder b;
    QVERIFY(b.begin(dir.path(), QStringLiteral("Дълго")));
    for (int i = 1; i <= kMaxPages; ++i) {
        if (!b.appendPage(QStringLiteral("с")))
            QFAIL(qPrintable(b.failure().message));
    }
    QVERIFY(!b.appendPage(QStringLiteral("с")));
    QCOMPARE(b.failure().kind, FailureKind::TooLarge);
    QCOMPARE(b.pageCount(), kMaxPages);
    QVERIFY(b.commit());
    auto wf = WorkFile::open(b.finalPath());
    QCOMPARE(wf->pageCount(), kMaxPages);
    QCOMPARE(wf->page(kMaxPages).label, QString("32767"));
}

void TestStorage::foreignWorkFileByPosition() {
    // A work file not written here: lower-case field name, rowids with gaps, labels not matching rowids.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Чужд.mdb"));
    {
        Database db;
        QVERIFY(db.open(path, Database::Mode::Create));
        QVERIFY(db.exec(QStringLiteral(
            "CREATE TABLE knigi1 (stranica TEXT, tekststranica TEXT);"
            "INSERT INTO knigi1 (rowid, stranica, tekststranica) VALUES (5, '1', 'едно'), (9, '2', 'две'),"
            "(10, 'x', 'три'); PRAGMA user_version = 3;")));
    }
    auto wf = WorkFile::open(path);
    QVERIFY(wf);
    QCOMPARE(wf->pageCount(), 3);
    QCOMPARE(wf->page(2).label, QString("2"));
    QCOMPARE(wf->page(2).text, QString("две"));
    QCOMPARE(wf->page(3).label, QString("x"));
    QCOMPARE(wf->fact(QStringLiteral("layout")), QString()); // no facts kept
}

void TestStorage::unreadableWorkFile() {
    QTemporaryDir dir;
    QString error;
    QVERIFY(!WorkFile::open(dir.filePath(QStringLiteral("Няма.mdb")), &error));
    QVERIFY(error.contains(QStringLiteral("Няма.mdb")));

    const QString junk = dir.filePath(QStringLiteral("Боклук.mdb"));
    {
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'j'));
    }
    error.clear();
    QVERIFY(!WorkFile::open(junk, &error));
    QVERIFY(error.contains(QStringLiteral("Боклук.mdb")));
    QCOMPARE(readAll(junk), QByteArray(4096, 'j'));
}

// Views, triggers and generated columns in a file from elsewhere are refused before anything is read, and
// no statement runs without end.
void TestStorage::hostileLibraryFiles() {
    QTemporaryDir dir;
    const char* pages = "CREATE TABLE Knigi1 (stranica TEXT, TekstStranica TEXT);"
                        "INSERT INTO Knigi1 VALUES ('1', 'едно');";
    const QList<QByteArray> works = {
        "CREATE VIEW Knigi1 AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
        "SELECT x AS stranica, x AS TekstStranica FROM c;",
        QByteArray(pages) + "CREATE TABLE Svedenia (Ime TEXT, Stoinost TEXT);"
                            "CREATE TRIGGER grow AFTER INSERT ON Svedenia BEGIN "
                            "INSERT INTO Svedenia VALUES (new.Ime, zeroblob(1000000)); END;",
        "CREATE TABLE Knigi1 (stranica TEXT, TekstStranica TEXT AS (hex(zeroblob(100000000))));"
        "INSERT INTO Knigi1 (stranica) VALUES ('1');",
        QByteArray(pages) + "CREATE VIEW Svedenia AS SELECT 'title' AS Ime, 'x' AS Stoinost;",
    };
    for (qsizetype i = 0; i < works.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("Чужд%1.mdb").arg(i));
        writeForeign(path, works[i].constData());
        const QByteArray before = readAll(path);
        QString error;
        QVERIFY2(!WorkFile::open(path, &error), works[i].constData());
        QVERIFY2(error.contains(QStringLiteral("не е произведение")), qPrintable(error));
        QCOMPARE(readAll(path), before);
    }

    QTemporaryDir library;
    writeForeign(library.filePath(QStringLiteral("BAZA.mdb")),
                 "CREATE TABLE Phones (Name, Number, Font, Size, STR, CvetList, CvetForma);"
                 "CREATE TRIGGER t AFTER DELETE ON Phones BEGIN INSERT INTO Phones (Name) VALUES (''); END;");
    const auto opened = Catalogue::open(library.path());
    QVERIFY(!opened);
    QVERIFY2(opened.message().contains(QStringLiteral("не е каталог")), qPrintable(opened.message()));

    Database db;
    QVERIFY(db.open(dir.filePath(QStringLiteral("a.db")), Database::Mode::Create));
    Statement endless(db, QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                                         "SELECT count(*) FROM c"));
    QCOMPARE(endless.step(), Statement::Step::Error);
}

// A folder whose name is not UTF-8 is reached through a descriptor; messages still name it as it is named.
void TestStorage::namesThatAreNotUtf8() {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/Библиотека\xff";
    QCOMPARE(::mkdir(folder.constData(), 0700), 0);
    const RawPath held(folder);
    QVERIFY(held.path().startsWith(QStringLiteral("/proc/self/fd/")));
    const QString shown = held.shown() + QStringLiteral("/Чужд.mdb");
    {
        QFile file(held.path() + QStringLiteral("/Чужд.mdb"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("не е база от данни, а текст, достатъчно дълъг за заглавие на такава");
    }
    QString error;
    QVERIFY(!WorkFile::open(held.path() + QStringLiteral("/Чужд.mdb"), &error));
    QCOMPARE(error, QStringLiteral("Файлът %1 не е произведение от библиотеката или е повреден.").arg(shown));
    QCOMPARE(readBook(held.path() + QStringLiteral("/Няма.fb2")).error,
             QStringLiteral("Файлът не съществува:\r\n") + held.shown() + QStringLiteral("/Няма.fb2"));
}

QTEST_GUILESS_MAIN(TestStorage)
#include "tst_storage.moc"
