// Adding works from the command line: the same record and the same pages as the entry form and the book
// window give on the same screen, encodings, names taken from file names, batches with failures, listing.
#include "FakePlatform.h"
#include "app/Govori.h"
#include "app/Import.h"
#include "app/Startup.h"
#include "bench/BenchText.h"
#include "library/FormB.h"
#include "reader/BookGeometry.h"
#include "reader/KNIGA.h"
#include "storage/CatalogueRecords.h"
#include "storage/LibraryPaths.h"
#include "storage/WorkFile.h"
#include "ui/Fonts.h"
#include "ui/Session.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>
#include <cstdio>

using namespace vel;

namespace {

constexpr int kBuildTimeout = 30000;

QStringList pagesOf(const QString& dir, const QString& title) {
    QStringList pages;
    const auto path = workFilePath(dir, title);
    auto work = path ? WorkFile::open(*path) : nullptr;
    for (int n = 1; work && n <= work->pageCount(); ++n)
        pages << work->page(n).text;
    return pages;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A catalogue holding one work already, so that no start asks to unpack.
void seedCatalogue(const QString& dir) {
    auto opened = Catalogue::open(dir);
    QVERIFY2(opened, qPrintable(opened.error));
    QVERIFY(addWork(*opened.catalogue, {QStringLiteral("Под игото"), QStringLiteral("Иван Вазов"),
                                        QStringLiteral("Tahoma"), QStringLiteral("14"), QStringLiteral("7"),
                                        QStringLiteral("16777215"), QStringLiteral("12632256")}));
}

CatalogueRecord recordOf(Catalogue& cat, const QString& title) {
    for (const CatalogueRecord& r : titledRecords(cat))
        if (r.name == title)
            return r;
    return {};
}

bool sameGeometry(const PageGeometry& a, const PageGeometry& b) {
    return a.font == b.font && a.viewportWidth == b.viewportWidth && a.viewportHeight == b.viewportHeight &&
           a.documentMargin == b.documentMargin;
}

QString describe(const PageGeometry& g) {
    return QStringLiteral("%1 %2pt %3x%4 margin %5")
        .arg(g.font.family())
        .arg(g.font.pointSizeF())
        .arg(g.viewportWidth)
        .arg(g.viewportHeight)
        .arg(g.documentMargin);
}

struct Outcome {
    int status = 0;
    QString out;
    QString err;
};

Outcome run(const QStringList& args, const QString& library) {
    const StartOptions o = parseStartOptions(
        QStringList{QStringLiteral("velmora"), QStringLiteral("--library"), library} + args, QString());
    Outcome r;
    QTextStream out(&r.out), err(&r.err);
    r.status = !o.error.isEmpty()            ? 2
               : o.mode == StartMode::List   ? runList(o, out, err)
               : o.mode == StartMode::Import ? runImport(o, out, err)
                                             : 2;
    return r;
}

} // namespace

class TstImport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        installDesignFonts();
        QCOMPARE(QGuiApplication::primaryScreen()->size(), QSize(1024, 768));
    }
    void entryFormRoadEqualsImport_data();
    void entryFormRoadEqualsImport();
    void geometryOfTheBookWindow_data();
    void geometryOfTheBookWindow();
    void encodingsGiveTheSamePages();
    void namesFromFileNames();
    void batchWithFailures();
    void listing();
    void commandLine();
};

// The whole road through the windows on a 1024 x 768 screen, and the import of the same file.
void TstImport::entryFormRoadEqualsImport_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("font");
    QTest::newRow("text") << QString() << QStringLiteral("Tahoma");
    QTest::newRow("document") << QFINDTESTDATA("data/razkaz.doc") << QStringLiteral("Arial");
}

void TstImport::entryFormRoadEqualsImport() {
    QFETCH(QString, file);
    QFETCH(QString, font);
    QTemporaryDir work;
    if (file.isEmpty()) {
        file = work.filePath(QStringLiteral("разказ.txt"));
        writeFile(file, bench::bulgarianText(9000, 64, true).toUtf8());
    }
    const QString title = QStringLiteral("Нова книга");
    const QString author = QStringLiteral("Нов Автор");

    QTemporaryDir viaWindows;
    seedCatalogue(viaWindows.path());
    test::FakePlatform fake;
    fake.setScreenPixels(1024, 768);
    {
        Session s(fake, viaWindows.path());
        Govori& g = s.window<Govori>();
        g.show();
        fake.fileAnswers = {file};
        if (font == u"Arial")
            g.Command4_Click();
        else
            g.Command1_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!g.isLoadingText(), kBuildTimeout);
        g.Command14_Click();
        FormB& b = s.window<FormB>();
        b.Command3_Click();
        b.TxtName->setText(title);
        b.TxtNumber->setText(author);
        b.Dobavi_Click();
        QPointer<KNIGA> k = s.loaded<KNIGA>();
        QVERIFY(k);
        QTRY_VERIFY_WITH_TIMEOUT(k && !k->isBuilding() && k->lastPage() > 0, kBuildTimeout);
        QVERIFY2(sameGeometry(pageGeometryOf(*k->R1), bookPageGeometry(1024, 768, font, 14)),
                 qPrintable(describe(pageGeometryOf(*k->R1)) + u" / " +
                            describe(bookPageGeometry(1024, 768, font, 14))));
        QCOMPARE(fake.messages.size(), std::size_t(1)); // the entry form's warning, nothing else
    }

    QTemporaryDir viaImport;
    seedCatalogue(viaImport.path());
    auto opened = Catalogue::open(viaImport.path());
    const ImportResult r =
        importWork(*opened.catalogue, viaImport.path(), ImportRequest{file, title, author});
    QVERIFY2(r.ok(), qPrintable(r.error));

    auto windowsCat = Catalogue::open(viaWindows.path());
    const CatalogueRecord stored = recordOf(*windowsCat.catalogue, title);
    QCOMPARE(stored.font, font);
    QCOMPARE(recordOf(*opened.catalogue, title), stored);
    // Both end with the new work and then one entry slot.
    for (Catalogue* cat : {windowsCat.catalogue.get(), opened.catalogue.get()}) {
        cat->rs().MoveLast();
        QVERIFY(cat->isEntrySlot());
        cat->rs().MovePrevious();
        QCOMPARE(cat->rs().field(QStringLiteral("Name")), title);
    }
    const QStringList pages = pagesOf(viaWindows.path(), title);
    QVERIFY(pages.size() > (font == u"Tahoma" ? 1 : 0));
    QCOMPARE(r.pages, pages.size());
    QCOMPARE(pagesOf(viaImport.path(), title), pages);
}

// The book window loaded and laid out on screens of other sizes, maximized.
void TstImport::geometryOfTheBookWindow_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<double>("size");
    QTest::newRow("800x600") << QSize(800, 600) << 14.0;
    QTest::newRow("1024x768") << QSize(1024, 768) << 12.0;
    QTest::newRow("1280x1024") << QSize(1280, 1024) << 14.25;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << 16.0;
}

void TstImport::geometryOfTheBookWindow() {
    QFETCH(QSize, screen);
    QFETCH(double, size);
    QTemporaryDir dir;
    seedCatalogue(dir.path());
    test::FakePlatform fake;
    fake.setScreenPixels(screen.width(), screen.height());
    Session s(fake, dir.path());
    FormB& b = s.window<FormB>();
    b.Text6->setText(QStringLiteral("Tahoma"));
    b.Text7->setText(QString::number(size));
    KNIGA& k = s.window<KNIGA>();
    k.setGeometry(QRect(QPoint(0, 0), screen)); // what maximizing gives on a screen of that size
    k.Timer2_Timer();
    QVERIFY2(sameGeometry(pageGeometryOf(*k.R1),
                          bookPageGeometry(screen.width(), screen.height(), "Tahoma", size)),
             qPrintable(describe(pageGeometryOf(*k.R1)) + u" / " +
                        describe(bookPageGeometry(screen.width(), screen.height(), "Tahoma", size))));
}

void TstImport::encodingsGiveTheSamePages() {
    QTemporaryDir dir;
    const QString text = bench::bulgarianText(6000, 60, true);
    const QString utf8 = dir.filePath(QStringLiteral("a.txt"));
    const QString cp1251 = dir.filePath(QStringLiteral("b.txt"));
    writeFile(utf8, text.toUtf8());
    QStringEncoder encoder("windows-1251");
    writeFile(cp1251, encoder.encode(text));

    QTemporaryDir lib;
    auto opened = Catalogue::open(lib.path());
    const ImportResult a = importWork(*opened.catalogue, lib.path(), {utf8, "Първа", "Автор"});
    const ImportResult b = importWork(*opened.catalogue, lib.path(), {cp1251, "Втора", "Автор"});
    QVERIFY2(a.ok() && b.ok(), qPrintable(a.error + b.error));
    QVERIFY(a.pages > 1);
    QCOMPARE(pagesOf(lib.path(), "Втора"), pagesOf(lib.path(), "Първа"));
    // The hard line breaks were joined as the panel joins them.
    QVERIFY(pagesOf(lib.path(), "Първа").join(QString()).count(QStringLiteral("\r\n")) <
            text.count(u'\n') / 2);
}

void TstImport::namesFromFileNames() {
    using Names = std::optional<std::pair<QString, QString>>;
    QCOMPARE(authorAndTitleFromFileName("/x/Иван Вазов - Под игото.txt"),
             Names(std::pair{QStringLiteral("Иван Вазов"), QStringLiteral("Под игото")}));
    QCOMPARE(authorAndTitleFromFileName("А - Б - В.doc"),
             Names(std::pair{QStringLiteral("А"), QStringLiteral("Б - В")}));
    QCOMPARE(authorAndTitleFromFileName("Автор - Том 1. Начало.txt"),
             Names(std::pair{QStringLiteral("Автор"), QStringLiteral("Том 1. Начало")}));
    QCOMPARE(authorAndTitleFromFileName("Под игото.txt"), Names());
    QCOMPARE(authorAndTitleFromFileName(" - Под игото.txt"), Names());
    QCOMPARE(authorAndTitleFromFileName("Вазов-Под игото.txt"), Names());

    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("Под игото.txt"));
    writeFile(plain, "Имало едно време.\n");
    auto opened = Catalogue::open(dir.path());
    const ImportResult unnamed = importWork(*opened.catalogue, dir.path(), {plain, {}, {}});
    QVERIFY(unnamed.error.contains(QStringLiteral("Автор - Заглавие")) &&
            unnamed.error.contains("--author") && unnamed.error.contains("--title") &&
            unnamed.error.contains("Author - Title"));
    // Either name given on the command line wins over the file's.
    const QString named = dir.filePath(QStringLiteral("Вазов - Чичовци.txt"));
    writeFile(named, "Иван Селямсъзът.\n");
    const ImportResult r = importWork(*opened.catalogue, dir.path(), {named, {}, "Иван Вазов"});
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.title, QStringLiteral("Чичовци"));
    QCOMPARE(recordOf(*opened.catalogue, "Чичовци").number, QStringLiteral("Иван Вазов"));
}

// Each file on its own: the bad ones are reported with their reason, the good ones are added.
void TstImport::batchWithFailures() {
    QTemporaryDir src, lib;
    const QString first = src.filePath(QStringLiteral("Автор - Първа.txt"));
    const QString binary = src.filePath(QStringLiteral("Автор - Картинка.txt"));
    const QString empty = src.filePath(QStringLiteral("Автор - Празна.txt"));
    const QString missing = src.filePath(QStringLiteral("Автор - Липсваща.txt"));
    const QString escaping = src.filePath(QStringLiteral("Автор - ...txt"));
    const QString last = src.filePath(QStringLiteral("Автор - Последна.txt"));
    writeFile(first, bench::bulgarianText(3000).toUtf8());
    writeFile(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20).repeated(50));
    writeFile(empty, "\r\n");
    writeFile(escaping, "Текст.\n");
    writeFile(last, bench::bulgarianText(2000).toUtf8());

    Outcome o = run({"--import", first, binary, empty, missing, escaping, last}, lib.path());
    QCOMPARE(o.status, 1);
    const QStringList errors = o.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(errors.size(), 4);
    for (const QString& bad : {binary, empty, missing, escaping})
        QVERIFY2(o.err.contains(bad + u": "), qPrintable(o.err));
    QCOMPARE(run({"--list"}, lib.path()).out.section(u'\t', 0, 0), QStringLiteral("Първа"));
    const QStringList listed = run({"--list"}, lib.path()).out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(listed.size(), 2);
    QVERIFY(listed[1].startsWith(QStringLiteral("Последна\tАвтор\t")));
    QVERIFY(QDir(lib.path()).entryList({"*.tmp"}, QDir::Files).isEmpty());

    // Titles already in the library are refused without touching them, whether the record or only the
    // work file is there.
    const QByteArray before = contents(workFilePath(lib.path(), "Първа").value());
    writeFile(workFilePath(lib.path(), "Сираче").value(), "чужд файл");
    const QString orphan = src.filePath(QStringLiteral("Автор - Сираче.txt"));
    writeFile(orphan, "Текст на сирачето.\n");
    o = run({"--import", first, orphan}, lib.path());
    QCOMPARE(o.status, 1);
    QVERIFY(o.err.contains(QStringLiteral("вече има произведение „Първа“")));
    QVERIFY(o.err.contains(QStringLiteral("вече съществува")));
    QCOMPARE(contents(workFilePath(lib.path(), "Първа").value()), before);
    QCOMPARE(run({"--list"}, lib.path()).out.split(u'\n', Qt::SkipEmptyParts).size(), 2);

    o = run({"--import", orphan, "--author", "Друг", "--title", "Друго сираче"}, lib.path());
    QVERIFY2(o.status == 0 && o.err.isEmpty(), qPrintable(o.err));
}

void TstImport::listing() {
    QTemporaryDir lib;
    QCOMPARE(run({"--list"}, lib.path()).status, 1); // no catalogue, and none is made
    QVERIFY(!QFile::exists(catalogPath(lib.path())));

    auto opened = Catalogue::open(lib.path());
    const QString src = lib.filePath(QStringLiteral("Автор - Книга.txt"));
    writeFile(src, bench::bulgarianText(4000).toUtf8());
    QVERIFY(importWork(*opened.catalogue, lib.path(), {src, {}, {}}).ok());
    QVERIFY(addWork(*opened.catalogue, {"Без файл", "Друг\tавтор", "Tahoma", "14", "37", "0", "0"}));
    opened.catalogue.reset();

    const Outcome o = run({"--list"}, lib.path());
    QCOMPARE(o.status, 0);
    const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList first = lines[0].split(u'\t');
    QCOMPARE(first.size(), 4);
    QCOMPARE(first[0], QStringLiteral("Книга"));
    QCOMPARE(first[1], QStringLiteral("Автор"));
    QCOMPARE(first[2].toInt(), pagesOf(lib.path(), "Книга").size());
    QCOMPARE(first[3], QStringLiteral("1"));
    QCOMPARE(lines[1], QStringLiteral("Без файл\tДруг автор\t-\t37"));
}

void TstImport::commandLine() {
    const QString def = QStringLiteral("/home/u/.local/share/velmora");
    auto parse = [&def](const QStringList& args) {
        return parseStartOptions(QStringList{"velmora"} + args, def);
    };

    StartOptions o = parse({"--import", "a.txt", "b.doc", "--screen", "800x600", "--author", " Автор "});
    QVERIFY(o.error.isEmpty());
    QCOMPARE(o.mode, StartMode::Import);
    QCOMPARE(o.files, QStringList({"a.txt", "b.doc"}));
    QCOMPARE(o.screen, QSize(800, 600));
    QCOMPARE(o.author, QStringLiteral("Автор"));
    QCOMPARE(o.libraryDir, def);

    o = parse({"--library=/tmp/l", "--import", "--title=Т", "--", "--странно.txt"});
    QVERIFY(o.error.isEmpty());
    QCOMPARE(o.files, QStringList{"--странно.txt"});
    QCOMPARE(o.title, QStringLiteral("Т"));
    QCOMPARE(o.libraryDir, QStringLiteral("/tmp/l"));

    o = parse({"книга.txt"});
    QCOMPARE(o.mode, StartMode::Window);
    QCOMPARE(o.files, QStringList{"книга.txt"});
    QCOMPARE(parse({"--list"}).mode, StartMode::List);
    QVERIFY(parse({"--bogus", "--help"}).help == false && parse({"--help"}).help);

    const QList<QStringList> bad = {
        {"--import"},
        {"--import", "a.txt", "b.txt", "--title", "Т"},
        {"--import", "a.txt", "--screen", "1024"},
        {"--import", "a.txt", "--screen", "10x10"},
        {"--import", "a.txt", "--list"},
        {"--title", "Т", "a.txt"},
        {"a.txt", "b.txt"},
        {"--list", "a.txt"},
        {"--import", "a.txt", "--author"},
    };
    for (const QStringList& args : bad) {
        const StartOptions e = parse(args);
        QVERIFY2(!e.error.isEmpty(), qPrintable(args.join(u' ')));
        // Each message in both languages.
        QVERIFY2(e.error.contains(QStringLiteral(" / ")), qPrintable(e.error));
    }
    QCOMPARE(run({"--import", "a.txt", "--screen", "1x1"}, "/tmp").status, 2);

    // The unpacker in the library folder comes first, the one beside the program next.
    QTemporaryDir lib, program;
    QCOMPARE(findUnpacker(lib.path(), program.path()), QString());
    writeFile(program.filePath("RAZ.exe"), "");
    QCOMPARE(findUnpacker(lib.path(), program.path()), program.filePath("RAZ.exe"));
    writeFile(lib.filePath("RAZ.exe"), "");
    QCOMPARE(findUnpacker(lib.path(), program.path()), lib.filePath("RAZ.exe"));
}

// A screen of the design's size, so that the book window, maximized, has exactly the pixels it is told of.
int main(int argc, char** argv) {
    const QByteArray config =
        QDir::temp()
            .filePath(QStringLiteral("velmora-screen-%1.json").arg(QCoreApplication::applicationPid()))
            .toLocal8Bit();
    if (FILE* f = std::fopen(config.constData(), "w")) {
        std::fputs(R"({"screens": [{"name": "design", "x": 0, "y": 0, "width": 1024, "height": 768,
                      "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})",
                   f);
        std::fclose(f);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    int status = 0;
    {
        QApplication app(argc, argv);
        TstImport t;
        status = QTest::qExec(&t, argc, argv);
    }
    std::remove(config.constData());
    return status;
}

#include "tst_import.moc"
