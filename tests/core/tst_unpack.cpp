// The unpacker: the sample library into a fresh library or beside works already there, archives that try
// to write elsewhere or are damaged, and the first start end to end with the programs the build made.
#include "CatalogueFixture.h"
#include "LibraryFiles.h"
#include "core/storage/WorkFileBuilder.h"
#include "unpack/Unpack.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>

using namespace vel;
using namespace vel::test;

namespace {

void addWorks(const QString& dir, const QStringList& titles, const QString& str) {
    QList<LibraryWork> works;
    for (const QString& t : titles)
        works.append({t, {"първа от " + t, "втора от " + t}, str, "Автор " + t});
    writeLibrary(dir, works);
}

QString packed(const QTemporaryDir& tmp, const QStringList& titles = {"Първа", "Втора", "Трета"}) {
    const QString src = tmp.filePath("src-" + QString::number(titles.size()));
    QDir().mkpath(src);
    addWorks(src, titles, "5");
    QString error;
    const QString archive = src + ".tar.gz";
    return unpack::packLibrary(src, archive, &error) ? archive : error;
}

void writeArchive(const QString& path, const QList<std::tuple<QString, QByteArray, int>>& entries) {
    archive* a = archive_write_new();
    archive_write_add_filter_gzip(a);
    archive_write_set_format_pax_restricted(a);
    archive_write_open_filename(a, QFile::encodeName(path).constData());
    for (const auto& [name, data, type] : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname_utf8(e, name.toUtf8().constData());
        archive_entry_set_filetype(e, type);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, type == AE_IFREG ? data.size() : 0);
        if (type == AE_IFLNK)
            archive_entry_set_symlink(e, data.constData());
        archive_write_header(a, e);
        archive_write_data(a, data.constData(), type == AE_IFREG ? size_t(data.size()) : 0);
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

// Nothing but the catalogue and work files: no staging folder or temporary file is left behind.
QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

struct Ran {
    int status = -1;
    QString out, err;
};

Ran runProgram(const char* name, const QStringList& args) {
    QProcess p;
    p.start(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../") + QLatin1String(name)),
        args);
    Ran r;
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TstUnpack : public QObject {
    Q_OBJECT

private slots:
    void unpacksIntoAFreshLibrary_data() {
        QTest::addColumn<int>("entrySlots");
        QTest::newRow("no catalogue") << 0;
        QTest::newRow("catalogue of entry slots only") << 3;
    }
    void unpacksIntoAFreshLibrary() {
        QFETCH(int, entrySlots);
        QTemporaryDir tmp;
        const QString lib = tmp.filePath("lib");
        if (entrySlots > 0) {
            QDir().mkpath(lib);
            auto opened = Catalogue::open(lib);
            for (int i = 1; i < entrySlots; ++i)
                QVERIFY(opened->catalogue->prazenZapis());
        }
        const unpack::UnpackReport report = unpack::unpackLibrary(packed(tmp), lib);
        QVERIFY2(report.ok() && report.skipped.isEmpty() && report.kept.isEmpty(), qPrintable(report.error));
        QCOMPARE(recordsOf(lib), recordsOf(tmp.filePath("src-3")));
        QCOMPARE(pagesOf(lib, "Втора"), QStringList({"първа от Втора", "втора от Втора"}));
        QCOMPARE(entriesOf(lib), QStringList({"BAZA.mdb", "Втора.mdb", "Първа.mdb", "Трета.mdb"}));
        auto opened = Catalogue::open(lib);
        opened->catalogue->rs().MoveLast();
        QVERIFY(opened->catalogue->isEntrySlot());
    }

    // Works already in the library keep their files and records; only what is new comes in, once.
    void neverWritesOver() {
        QTemporaryDir tmp;
        const QString lib = tmp.filePath("lib");
        QDir().mkpath(lib);
        addWorks(lib, {"Първа"}, "9");
        writeFile(workFilePath(lib, "Втора").value(), "чужд файл");
        const QByteArray first = contents(workFilePath(lib, "Първа").value());

        const QString archive = packed(tmp);
        const unpack::UnpackReport report = unpack::unpackLibrary(archive, lib);
        QVERIFY2(report.ok(), qPrintable(report.error));
        // The foreign file that no record claimed is moved aside (and said so); the archive's work comes in.
        QCOMPARE(report.placed, QStringList({"Втора.mdb", "Трета.mdb"}));
        QCOMPARE(report.skipped.size(), 1);
        QVERIFY(report.skipped.front().contains(QStringLiteral("Отделени")));
        QCOMPARE(report.kept, QStringList{"Първа"});
        QCOMPARE(contents(workFilePath(lib, "Първа").value()), first);
        QCOMPARE(contents(lib + "/Отделени/Втора.mdb"), QByteArray("чужд файл"));
        QCOMPARE(titlesOf(lib), QStringList({"Първа", "Втора", "Трета"}));
        QCOMPARE(recordsOf(lib).front().str, QStringLiteral("9"));

        const unpack::UnpackReport again = unpack::unpackLibrary(archive, lib);
        QVERIFY(again.ok() && again.placed.isEmpty() && again.added.isEmpty());
        QCOMPARE(titlesOf(lib), QStringList({"Първа", "Втора", "Трета"}));
    }

    // Entries aimed outside the library, links and foreign files are left out; a damaged archive, one
    // without a catalogue and a library with a damaged catalogue change nothing.
    void untrustedArchives() {
        QTemporaryDir tmp;
        const QString src = QFileInfo(packed(tmp, {"Добър"})).path() + "/src-1";
        const QByteArray work = contents(workFilePath(src, "Добър").value());
        const QString bad = tmp.filePath("bad.tar.gz");
        writeArchive(bad, {{"./", {}, AE_IFDIR},
                           {"./BAZA.mdb", contents(catalogPath(src)), AE_IFREG},
                           {"./Добър.mdb", work, AE_IFREG},
                           {"../Избягал.mdb", work, AE_IFREG},
                           {tmp.filePath("Абсолютен.mdb"), work, AE_IFREG},
                           {"папка/Вложен.mdb", work, AE_IFREG},
                           {"Връзка.mdb", "/etc/passwd", AE_IFLNK},
                           {"бележка.txt", "текст", AE_IFREG},
                           {"Боклук.mdb", "не е база данни", AE_IFREG}});
        const QString lib = tmp.filePath("lib");
        const unpack::UnpackReport report = unpack::unpackLibrary(bad, lib);
        QVERIFY2(report.ok(), qPrintable(report.error));
        QCOMPARE(report.skipped.size(), 6);
        QCOMPARE(entriesOf(lib), QStringList({"BAZA.mdb", "Добър.mdb"}));
        QVERIFY(!QFile::exists(tmp.filePath("Избягал.mdb")) && !QFile::exists(tmp.filePath("Абсолютен.mdb")));

        const QByteArray full = contents(packed(tmp));
        writeFile(tmp.filePath("truncated.tar.gz"), full.left(full.size() / 2));
        writeArchive(tmp.filePath("bare.tar.gz"), {{"Нова.mdb", work, AE_IFREG}});
        for (const char* archive : {"truncated.tar.gz", "bare.tar.gz", "missing.tar.gz"}) {
            QVERIFY(!unpack::unpackLibrary(tmp.filePath(archive), lib).ok());
            QCOMPARE(entriesOf(lib), QStringList({"BAZA.mdb", "Добър.mdb"}));
            QCOMPARE(titlesOf(lib), QStringList{"Добър"});
        }
        const QString damaged = tmp.filePath("damaged");
        QDir().mkpath(damaged);
        writeFile(catalogPath(damaged), QByteArray(4096, 'x'));
        QVERIFY(!unpack::unpackLibrary(tmp.filePath("src-3.tar.gz"), damaged).ok());
        QCOMPARE(entriesOf(damaged), QStringList{"BAZA.mdb"});
        QCOMPARE(contents(catalogPath(damaged)), QByteArray(4096, 'x'));
    }

    // A catalogue that names what it should not: only the record with a good title, an author and its own
    // work file goes in; an entry larger than any sample library is not even read.
    void hostileRecords() {
        QTemporaryDir tmp;
        const QString src = tmp.filePath("src");
        QDir().mkpath(src);
        writeCatalogue(src, {{"Добър", "Автор"},
                             {"../../etc/passwd", "Автор"},
                             {"a/b", "Автор"},
                             {"BAZA", "Автор"},
                             {".", "Автор"},
                             {"Без автор", ""},
                             {"Без файл", "Автор"},
                             {"Добър", "Друг"},
                             {"", ""}});
        for (const char* title : {"Добър", "Без автор"}) {
            WorkFileBuilder b;
            QVERIFY(b.begin(src, title) && b.appendPage("страница") && b.commit());
        }
        const QString archive = tmp.filePath("hostile.tar.gz");
        writeArchive(archive, {{"BAZA.mdb", contents(catalogPath(src)), AE_IFREG},
                               {"Добър.mdb", contents(src + "/Добър.mdb"), AE_IFREG},
                               {"Без автор.mdb", contents(src + "/Без автор.mdb"), AE_IFREG},
                               {"Огромен.mdb", QByteArray(65 << 20, '\0'), AE_IFREG}});
        const QString lib = tmp.filePath("lib");
        const unpack::UnpackReport report = unpack::unpackLibrary(archive, lib);
        QVERIFY2(report.ok(), qPrintable(report.error));
        QCOMPARE(report.added, QStringList{"Добър"});
        QCOMPARE(report.skipped.size(),
                 9); // five bad, the fileless, the duplicate, the recordless file, the huge one
        QVERIFY(report.skipped.contains("Огромен.mdb: твърде голям за примерна библиотека"));
        QCOMPARE(entriesOf(lib), QStringList({"BAZA.mdb", "Добър.mdb"}));
        QCOMPARE(recordsOf(lib).front().number, QString("Автор"));
    }

    // The built programs and archive: an empty library unpacked by RAZ.exe lists the sample works, each with
    // pages; a second run adds nothing.
    void firstStartEndToEnd() {
        QTemporaryDir tmp;
        const QString lib = tmp.filePath("library");
        const Ran unpacked = runProgram("RAZ.exe", {"--library", lib, "--no-start"});
        QVERIFY2(unpacked.status == 0, qPrintable(unpacked.err));
        const Ran listed = runProgram("velmora", {"--library", lib, "--list"});
        QCOMPARE(listed.status, 0);
        const QStringList lines = listed.out.split(u'\n', Qt::SkipEmptyParts);
        const QStringList texts =
            QDir(QFINDTESTDATA("../../assets/library")).entryList({"*.txt"}, QDir::Files, QDir::Name);
        QCOMPARE(lines.size(), texts.size());
        for (int i = 0; i < texts.size(); ++i) {
            const QStringList fields = lines[i].split(u'\t');
            QCOMPARE(fields[1] + " - " + fields[0] + ".txt", texts[i]);
            QVERIFY(fields[2].toInt() > 0 && fields[3] == u"1");
        }
        QCOMPARE(runProgram("RAZ.exe", {"--library", lib, "--no-start"}).status, 0);
        QCOMPARE(runProgram("velmora", {"--library", lib, "--list"}).out, listed.out);
    }
};

QTEST_GUILESS_MAIN(TstUnpack)
#include "tst_unpack.moc"
