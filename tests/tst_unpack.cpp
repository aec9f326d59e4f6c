// The unpacker: the sample library unpacked into a fresh library or beside works already there, archives
// that try to write elsewhere, and the first start end to end with the programs and the archive the build
// made.
#include "app/Startup.h"
#include "storage/Catalogue.h"
#include "storage/CatalogueRecords.h"
#include "storage/LibraryPaths.h"
#include "storage/WorkFile.h"
#include "storage/WorkFileBuilder.h"
#include "unpack/Unpack.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <archive.h>
#include <archive_entry.h>

using namespace vel;

namespace {

struct SampleWork {
    QString title;
    QString author;
    QStringList pages;
};

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void makeLibrary(const QString& dir, const QList<SampleWork>& works,
                 const QString& str = QStringLiteral("1")) {
    auto opened = Catalogue::open(dir);
    QVERIFY2(opened, qPrintable(opened.error));
    for (const SampleWork& w : works) {
        QVERIFY(addWork(*opened.catalogue, {w.title, w.author, "Tahoma", "14", str, "16777215", "12632256"}));
        WorkFileBuilder b;
        QVERIFY(b.begin(dir, w.title));
        for (const QString& p : w.pages)
            QVERIFY(b.appendPage(p));
        QVERIFY(b.commit());
    }
}

std::vector<CatalogueRecord> recordsOf(const QString& dir) {
    auto opened = Catalogue::open(dir);
    return opened ? titledRecords(*opened.catalogue) : std::vector<CatalogueRecord>{};
}

QStringList titlesOf(const QString& dir) {
    QStringList titles;
    for (const CatalogueRecord& r : recordsOf(dir))
        titles << r.name;
    return titles;
}

QStringList pagesOf(const QString& dir, const QString& title) {
    QStringList pages;
    auto work = WorkFile::open(workFilePath(dir, title).value());
    for (int n = 1; work && n <= work->pageCount(); ++n)
        pages << work->page(n).text;
    return pages;
}

const QList<SampleWork> kSample = {
    {"Първа", "Автор А", {"едно", "две", "три"}},
    {"Втора", "Автор Б", {"четири"}},
    {"Трета", "Автор А", {"пет", "шест"}},
};

QString packedSample(const QTemporaryDir& tmp) {
    const QString src = tmp.filePath("src");
    QDir().mkpath(src);
    makeLibrary(src, kSample, "5");
    QString error;
    const QString archive = tmp.filePath(unpack::kArchiveName);
    if (!unpack::packLibrary(src, archive, &error))
        qWarning("%s", qPrintable(error));
    return archive;
}

struct Entry {
    Entry(QString n, QByteArray d = {}, int t = AE_IFREG, QString l = {})
        : name(std::move(n)), data(std::move(d)), type(t), link(std::move(l)) {}
    QString name;
    QByteArray data;
    int type;
    QString link;
};

void writeArchive(const QString& path, const QList<Entry>& entries) {
    archive* a = archive_write_new();
    archive_write_add_filter_gzip(a);
    archive_write_set_format_pax_restricted(a);
    QCOMPARE(archive_write_open_filename(a, QFile::encodeName(path).constData()), ARCHIVE_OK);
    for (const Entry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, e.name.toUtf8().constData());
        archive_entry_set_filetype(entry, e.type);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, e.type == AE_IFREG ? e.data.size() : 0);
        if (!e.link.isEmpty())
            archive_entry_set_symlink_utf8(entry, e.link.toUtf8().constData());
        archive_write_header(a, entry);
        if (e.type == AE_IFREG)
            archive_write_data(a, e.data.constData(), size_t(e.data.size()));
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
}

bool onlyLibraryFiles(const QString& dir) {
    // Nothing but the catalogue and work files; no staging folder or temporary file left behind.
    const QStringList all = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    return std::all_of(all.begin(), all.end(), [](const QString& n) { return n.endsWith(u".mdb"); });
}

QString program(const char* name) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../") + QLatin1String(name));
}

struct Ran {
    int status = -1;
    QString out, err;
};

Ran runProgram(const QString& path, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(path, args);
    Ran r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TstUnpack : public QObject {
    Q_OBJECT

private slots:
    void unpacksIntoAFreshLibrary_data();
    void unpacksIntoAFreshLibrary();
    void neverWritesOver();
    void untrustedArchives();
    void archiveLookupOrder();
    void firstStartEndToEnd();
};

void TstUnpack::unpacksIntoAFreshLibrary_data() {
    QTest::addColumn<int>("entrySlots");
    QTest::newRow("no catalogue") << 0;
    QTest::newRow("catalogue of entry slots only") << 3;
}

void TstUnpack::unpacksIntoAFreshLibrary() {
    QFETCH(int, entrySlots);
    QTemporaryDir tmp;
    const QString archive = packedSample(tmp);
    const QString lib = tmp.filePath("lib");
    if (entrySlots > 0) {
        QDir().mkpath(lib);
        auto opened = Catalogue::open(lib);
        for (int i = 1; i < entrySlots; ++i)
            QVERIFY(opened.catalogue->prazenZapis());
    }

    const unpack::UnpackReport report = unpack::unpackLibrary(archive, lib);
    QVERIFY2(report.ok(), qPrintable(report.error));
    QVERIFY2(report.skipped.isEmpty() && report.kept.isEmpty(), qPrintable(report.skipped.join(u'\n')));
    QCOMPARE(report.placed.size(), 3);
    QCOMPARE(recordsOf(lib), recordsOf(tmp.filePath("src")));
    for (const SampleWork& w : kSample)
        QCOMPARE(pagesOf(lib, w.title), w.pages);
    auto opened = Catalogue::open(lib);
    opened.catalogue->rs().MoveLast();
    QVERIFY(opened.catalogue->isEntrySlot());
    QVERIFY(onlyLibraryFiles(lib));
}

// Works already in the library keep their files and records; only what is new comes in.
void TstUnpack::neverWritesOver() {
    QTemporaryDir tmp;
    const QString archive = packedSample(tmp);
    const QString lib = tmp.filePath("lib");
    QDir().mkpath(lib);
    makeLibrary(lib, {{"Първа", "Мой автор", {"моята първа"}}}, "9");
    const QString foreign = workFilePath(lib, "Втора").value();
    writeFile(foreign, "чужд файл");
    const QByteArray first = contents(workFilePath(lib, "Първа").value());

    const unpack::UnpackReport report = unpack::unpackLibrary(archive, lib);
    QVERIFY2(report.ok(), qPrintable(report.error));
    QCOMPARE(report.placed, QStringList{"Трета.mdb"});
    QCOMPARE(report.skipped.size(), 2);
    QCOMPARE(report.kept, QStringList{"Първа"});
    QCOMPARE(report.added, QStringList({"Втора", "Трета"}));
    QCOMPARE(contents(workFilePath(lib, "Първа").value()), first);
    QCOMPARE(contents(foreign), QByteArray("чужд файл"));
    const auto records = recordsOf(lib);
    QCOMPARE(titlesOf(lib), QStringList({"Първа", "Втора", "Трета"}));
    QCOMPARE(records[0].number, QStringLiteral("Мой автор"));
    QCOMPARE(records[0].str, QStringLiteral("9"));
    QCOMPARE(records[2].str, QStringLiteral("5"));

    // A second run finds everything in place and changes nothing.
    const unpack::UnpackReport again = unpack::unpackLibrary(archive, lib);
    QVERIFY(again.ok() && again.placed.isEmpty() && again.added.isEmpty());
    QCOMPARE(titlesOf(lib), QStringList({"Първа", "Втора", "Трета"}));
}

// Entries that would land outside the library, links, foreign files, damaged archives and a damaged
// catalogue: nothing of them is written, nothing outside the library is touched.
void TstUnpack::untrustedArchives() {
    QTemporaryDir tmp;
    const QString src = tmp.filePath("src");
    QDir().mkpath(src);
    makeLibrary(src, {{"Добър", "Автор", {"страница"}}});
    const QByteArray work = contents(workFilePath(src, "Добър").value());
    const QByteArray catalogue = contents(catalogPath(src));

    const QString bad = tmp.filePath("bad.tar.gz");
    writeArchive(bad, {{"./", {}, AE_IFDIR},
                       {"./BAZA.mdb", catalogue},
                       {"./Добър.mdb", work},
                       {"../Избягал.mdb", work},
                       {tmp.filePath("Абсолютен.mdb"), work},
                       {"папка/Вложен.mdb", work},
                       {"Връзка.mdb", {}, AE_IFLNK, "/etc/passwd"},
                       {"бележка.txt", "текст"},
                       {"Боклук.mdb", "не е база данни"}});
    const QString lib = tmp.filePath("lib");
    const unpack::UnpackReport report = unpack::unpackLibrary(bad, lib);
    QVERIFY2(report.ok(), qPrintable(report.error));
    QCOMPARE(report.placed, QStringList{"Добър.mdb"});
    QCOMPARE(report.skipped.size(), 6);
    QCOMPARE(titlesOf(lib), QStringList{"Добър"});
    QVERIFY(onlyLibraryFiles(lib));
    QCOMPARE(QDir(lib).entryList(QDir::Files).size(), 2);
    QVERIFY(!QFile::exists(tmp.filePath("Избягал.mdb")) && !QFile::exists(tmp.filePath("Абсолютен.mdb")));

    // A damaged archive, one without a catalogue, and a library whose catalogue is damaged: an error, and
    // the library stays exactly as it was.
    const QString full = packedSample(tmp);
    const QByteArray packed = contents(full);
    const QString truncated = tmp.filePath("truncated.tar.gz");
    writeFile(truncated, packed.left(packed.size() / 2));
    const QString noCatalogue = tmp.filePath("nocatalogue.tar.gz");
    writeArchive(noCatalogue, {{"Нова.mdb", work}});
    for (const QString& archive : {truncated, noCatalogue, tmp.filePath("missing.tar.gz")}) {
        const unpack::UnpackReport r = unpack::unpackLibrary(archive, lib);
        QVERIFY2(!r.ok() && r.placed.isEmpty(), qPrintable(archive));
        QCOMPARE(titlesOf(lib), QStringList{"Добър"});
        QVERIFY(onlyLibraryFiles(lib));
        QCOMPARE(QDir(lib).entryList(QDir::Files).size(), 2);
    }
    const QString damaged = tmp.filePath("damaged");
    QDir().mkpath(damaged);
    writeFile(catalogPath(damaged), QByteArray(4096, 'x'));
    const unpack::UnpackReport r = unpack::unpackLibrary(full, damaged);
    QVERIFY(!r.ok());
    QCOMPARE(QDir(damaged).entryList(QDir::Files), QStringList{"BAZA.mdb"});
    QCOMPARE(contents(catalogPath(damaged)), QByteArray(4096, 'x'));
}

void TstUnpack::archiveLookupOrder() {
    QTemporaryDir tmp;
    const QString bin = tmp.filePath("bin");
    const QString share = tmp.filePath("share/velmora");
    QDir().mkpath(bin);
    QDir().mkpath(share);
    QCOMPARE(unpack::findArchive(bin), QString());
    writeFile(QDir(share).filePath(unpack::kArchiveName), "x");
    QCOMPARE(unpack::findArchive(bin), QDir(share).filePath(unpack::kArchiveName));
    writeFile(QDir(bin).filePath(unpack::kArchiveName), "x");
    QCOMPARE(unpack::findArchive(bin), QDir(bin).filePath(unpack::kArchiveName));
}

// The built programs and archive: an empty library unpacked by RAZ.exe lists the sample works, each with
// its pages; a second run adds nothing; the command lines answer with their exit statuses.
void TstUnpack::firstStartEndToEnd() {
    const QString raz = program("RAZ.exe");
    const QString velmora = program("velmora");
    if (!QFileInfo(raz).isExecutable() || !QFileInfo(velmora).isExecutable() ||
        !QFileInfo::exists(program(unpack::kArchiveName)))
        QFAIL("build RAZ.exe, velmora and the sample archive first");
    QTemporaryDir tmp;
    const QString lib = tmp.filePath("library");

    const Ran unpacked = runProgram(raz, {"--library", lib, "--no-start"});
    QVERIFY2(unpacked.status == 0, qPrintable(unpacked.err));
    const Ran listed = runProgram(velmora, {"--library", lib, "--list"});
    QCOMPARE(listed.status, 0);
    const QStringList lines = listed.out.split(u'\n', Qt::SkipEmptyParts);
    const QStringList texts =
        QDir(QFINDTESTDATA("../assets/library")).entryList({"*.txt"}, QDir::Files, QDir::Name);
    QCOMPARE(lines.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        const QString base = QFileInfo(texts[i]).completeBaseName();
        const QStringList fields = lines[i].split(u'\t');
        QCOMPARE(fields.size(), 4);
        QCOMPARE(fields[1] + " - " + fields[0], base);
        QVERIFY(fields[2].toInt() > 0);
        QCOMPARE(fields[3], QStringLiteral("1"));
    }

    const Ran again = runProgram(raz, {"--library", lib, "--no-start"});
    QCOMPARE(again.status, 0);
    QCOMPARE(runProgram(velmora, {"--library", lib, "--list"}).out, listed.out);

    // Exit statuses of the command lines.
    const QString good = tmp.filePath("Автор - Добра.txt");
    writeFile(good, "Кратък, но истински текст.\n");
    const Ran some =
        runProgram(velmora, {"--library", lib, "--import", good, tmp.filePath("Автор - Няма я.txt")});
    QCOMPARE(some.status, 1);
    QVERIFY(some.err.contains(QStringLiteral("Няма я.txt: ")));
    QCOMPARE(runProgram(velmora, {"--library", lib, "--list"}).out.count(u'\n'), texts.size() + 1);
    QCOMPARE(runProgram(velmora, {"--import"}).status, 2);
    QCOMPARE(runProgram(raz, {"--bogus"}).status, 2);
    const Ran help = runProgram(velmora, {"--help"});
    QCOMPARE(help.status, 0);
    for (const char* option :
         {"--library", "--import", "--title", "--author", "--screen", "--list", "--help"})
        QCOMPARE(help.out.count(QLatin1String(option)) >= 2, true);
}

QTEST_GUILESS_MAIN(TstUnpack)
#include "tst_unpack.moc"
