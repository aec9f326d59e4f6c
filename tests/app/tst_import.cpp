// Adding works from the command line: the same record and pages as the entry form and the book window give
// on the same screen, encodings, names from file names, batches with failures, listing, the command line.
#include "CatalogueFixture.h"
#include "FakePlatform.h"
#include "LibraryFiles.h"
#include "app/Startup.h"
#include "bench/BenchText.h"
#include "core/book/BookGeometry.h"
#include "core/book/Fonts.h"
#include "core/commands/Import.h"
#include "core/storage/LibraryHome.h"
#include "ui/PageView.h"
#include "ui/Session.h"
#include "windows/FormB.h"
#include "windows/Govori.h"
#include "windows/WindowSet.h"
#include "windows/KNIGA.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

using namespace vel;

Q_DECLARE_METATYPE(vel::PageLayout)
using namespace vel::test;

namespace {

// A catalogue holding one work already, so that no start asks to unpack.
void seedCatalogue(const QString& dir) {
    writeLibrary(dir, {{"Под игото", {}, "7", "Иван Вазов"}});
}

CatalogueRecord recordOf(const QString& dir, const QString& title) {
    for (const CatalogueRecord& r : recordsOf(dir))
        if (r.name == title)
            return r;
    return {};
}

void compareGeometry(const PageGeometry& shown, const PageGeometry& computed) {
    QCOMPARE(shown.font, computed.font);
    QCOMPARE(QSize(shown.viewportWidth, shown.viewportHeight),
             QSize(computed.viewportWidth, computed.viewportHeight));
    QCOMPARE(shown.documentMargin, computed.documentMargin);
    QCOMPARE(shown.typesetting, computed.typesetting);
}

struct Outcome {
    int status = 0;
    QString out, err;
};

Outcome run(const QStringList& args, const QString& library) {
    const StartOptions o = parseStartOptions(QStringList{"velmora", "--library", library} + args, QString());
    Outcome r;
    QTextStream out(&r.out), err(&r.err);
    r.status = !o.error.isEmpty()          ? 2
               : o.mode == StartMode::List ? runList(o, out, err)
                                           : runImport(o, out, err);
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

    // The whole road through the windows on a 1024 x 768 screen, and the import of the same file.
    void entryFormRoadEqualsImport_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("font");
        QTest::newRow("text") << QString() << "Tahoma";
        QTest::newRow("document") << QFINDTESTDATA("../data/razkaz.doc") << "Arial";
    }
    void entryFormRoadEqualsImport() {
        QFETCH(QString, file);
        QFETCH(QString, font);
        QTemporaryDir work, viaWindows, viaImport;
        if (file.isEmpty()) {
            file = work.filePath("разказ.txt");
            writeFile(file, bench::bulgarianText(9000, 64, true).toUtf8());
        }
        seedCatalogue(viaWindows.path());
        seedCatalogue(viaImport.path());
        FakePlatform fake;
        fake.setScreenPixels(1024, 768);
        {
            Session s(fake, viaWindows.path());
            registerWindows(s);
            Govori& g = s.window<Govori>();
            g.show();
            fake.fileAnswers = {file};
            font == u"Arial" ? g.Command4_Click() : g.Command1_Click();
            QTRY_VERIFY_WITH_TIMEOUT(!g.isLoadingText(), 30000);
            g.Command14_Click();
            FormB& b = s.window<FormB>();
            b.Command3_Click();
            b.TxtName->setText("Нова книга");
            b.TxtNumber->setText("Нов Автор");
            b.Dobavi_Click();
            QPointer<KNIGA> k = s.loaded<KNIGA>();
            QTRY_VERIFY_WITH_TIMEOUT(k && !k->isBuilding() && k->lastPage() > 0, 30000);
            compareGeometry(pageGeometryOf(*k->R1), bookPageGeometry(1024, 768, font, 14, PageLayout::Book));
            QCOMPARE(fake.messages.size(), std::size_t(1)); // the entry form's warning, nothing else
        }
        auto opened = Catalogue::open(viaImport.path());
        const ImportResult r =
            importWork(*opened->catalogue, viaImport.path(), ImportRequest{file, "Нова книга", "Нов Автор"});
        QVERIFY2(r.ok(), qPrintable(r.error));
        opened->catalogue.reset();

        const CatalogueRecord stored = recordOf(viaWindows.path(), "Нова книга");
        QCOMPARE(stored.font, font);
        QCOMPARE(recordOf(viaImport.path(), "Нова книга"), stored);
        const QStringList pages = pagesOf(viaWindows.path(), "Нова книга");
        QVERIFY(pages.size() > (font == u"Tahoma" ? 1 : 0));
        QCOMPARE(pagesOf(viaImport.path(), "Нова книга"), pages);
        // The new work's record is followed by one entry slot.
        opened = Catalogue::open(viaImport.path());
        opened->catalogue->rs().MoveLast();
        QVERIFY(opened->catalogue->isEntrySlot());
        opened->catalogue->rs().MovePrevious();
        QCOMPARE(opened->catalogue->rs().field("Name"), QStringLiteral("Нова книга"));
    }

    // The book window loaded and laid out, maximized, on screens of other sizes.
    void geometryOfTheBookWindow_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("size");
        QTest::addColumn<PageLayout>("layout");
        for (PageLayout layout : {PageLayout::Book, PageLayout::Plain}) {
            const char* name = layout == PageLayout::Book ? "book" : "plain";
            QTest::addRow("800x600 %s", name) << QSize(800, 600) << 14.0 << layout;
            QTest::addRow("1024x768 %s", name) << QSize(1024, 768) << 12.0 << layout;
            QTest::addRow("1280x1024 %s", name) << QSize(1280, 1024) << 14.25 << layout;
            QTest::addRow("1920x1080 %s", name) << QSize(1920, 1080) << 16.0 << layout;
        }
    }
    void geometryOfTheBookWindow() {
        QFETCH(QSize, screen);
        QFETCH(double, size);
        QFETCH(PageLayout, layout);
        QTemporaryDir dir;
        seedCatalogue(dir.path());
        FakePlatform fake;
        fake.setScreenPixels(screen.width(), screen.height());
        Session s(fake, dir.path());
        registerWindows(s);
        s.reading().setFontName("Tahoma");
        s.reading().setFontSize(QString::number(size));
        KNIGA& k = s.window<KNIGA>();
        k.setGeometry(QRect(QPoint(0, 0), screen)); // what maximizing gives on a screen of that size
        k.setPageLayout(layout);
        k.Timer2_Timer();
        compareGeometry(pageGeometryOf(*k.R1),
                        bookPageGeometry(screen.width(), screen.height(), "Tahoma", size, layout));
        // No button along the top lies over the text: the click areas end above it, the pages cover the
        // drawn buttons.
        const QRect text = k.R1->viewport()->geometry().translated(k.R1->pos());
        const QRect rightText = k.R2->viewport()->geometry().translated(k.R2->pos());
        for (QWidget* button : {k.Label9, k.Label7, k.Label12, k.Label11})
            QVERIFY2(!button->geometry().intersects(text) && !button->geometry().intersects(rightText),
                     qPrintable(button->objectName()));
        for (QWidget* drawn : {static_cast<QWidget*>(k.Image2), static_cast<QWidget*>(k.layoutSwitch())}) {
            const QRect over = drawn->geometry().intersected(text);
            QVERIFY(over.isEmpty() || k.childAt(over.center()) == k.R1->viewport());
        }
    }

    void encodingsGiveTheSamePages() {
        QTemporaryDir dir;
        const QString text = bench::bulgarianText(6000, 60, true);
        writeFile(dir.filePath("a.txt"), text.toUtf8());
        writeFile(dir.filePath("b.txt"), QStringEncoder("windows-1251").encode(text));
        auto opened = Catalogue::open(dir.path());
        const ImportResult a =
            importWork(*opened->catalogue, dir.path(), {dir.filePath("a.txt"), "Първа", "Автор"});
        const ImportResult b =
            importWork(*opened->catalogue, dir.path(), {dir.filePath("b.txt"), "Втора", "Автор"});
        QVERIFY2(a.ok() && b.ok() && a.pages > 1, qPrintable(a.error + b.error));
        QCOMPARE(pagesOf(dir.path(), "Втора"), pagesOf(dir.path(), "Първа"));
        // The hard line breaks were joined as the panel joins them.
        QVERIFY(pagesOf(dir.path(), "Първа").join("").count("\r\n") < text.count(u'\n') / 2);
    }

    void namesFromFileNames() {
        using Names = std::optional<std::pair<QString, QString>>;
        QCOMPARE(authorAndTitleFromFileName("/x/Иван Вазов - Под игото.txt"),
                 Names({"Иван Вазов", "Под игото"}));
        QCOMPARE(authorAndTitleFromFileName("А - Б - В.1.doc"), Names({"А", "Б - В.1"}));
        QCOMPARE(authorAndTitleFromFileName("Под игото.txt"), Names());
        QCOMPARE(authorAndTitleFromFileName(" - Под игото.txt"), Names());
    }

    // Each file on its own: the bad ones are reported with their reason, the good ones are added.
    void batchWithFailures() {
        QTemporaryDir src, lib;
        const QString first = src.filePath("Автор - Първа.txt"), last = src.filePath("Автор - Последна.txt");
        const QString binary = src.filePath("Автор - Картинка.txt"),
                      empty = src.filePath("Автор - Празна.txt");
        const QString missing = src.filePath("Автор - Липсваща.txt"),
                      escaping = src.filePath("Автор - ...txt");
        const QString unnamed = src.filePath("Под игото.txt");
        const QString blank = src.filePath("Автор - Бяла.txt"); // nothing visible: refused like an empty one
        writeFile(first, bench::bulgarianText(3000).toUtf8());
        writeFile(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16).repeated(50));
        writeFile(empty, "\r\n");
        writeFile(blank, QByteArray(" \t\u00a0\r\n").repeated(500));
        writeFile(escaping, "Текст.\n");
        writeFile(unnamed, "Имало едно време.\n");
        writeFile(last, bench::bulgarianText(2000).toUtf8());

        Outcome o =
            run({"--import", first, binary, empty, blank, missing, escaping, unnamed, last}, lib.path());
        QCOMPARE(o.status, 1);
        QCOMPARE(o.err.count(u'\n'), 6);
        for (const QString& bad : {binary, empty, blank, missing, escaping, unnamed})
            QVERIFY2(o.err.contains(bad + u": "), qPrintable(o.err));
        for (const char* hint : {"Автор - Заглавие", "Author - Title", "--author", "--title"})
            QVERIFY2(o.err.contains(QString::fromUtf8(hint)), qPrintable(o.err));
        QCOMPARE(titlesOf(lib.path()), QStringList({"Първа", "Последна"}));
        QVERIFY(QDir(lib.path()).entryList({"*.tmp"}, QDir::Files).isEmpty());

        // A title in the catalogue is refused and its work untouched. A file no record claims and that
        // names no work is moved aside, and said so, before anything is added.
        const QByteArray before = contents(workFilePath(lib.path(), "Първа").value());
        writeFile(workFilePath(lib.path(), "Сираче").value(), "чужд файл");
        writeFile(src.filePath("Автор - Сираче.txt"), "Текст на сирачето.\n");
        o = run({"--import", first, src.filePath("Автор - Сираче.txt")}, lib.path());
        QCOMPARE(o.status, 1);
        QVERIFY2(o.err.contains("вече има произведение „Първа“") && o.err.contains("moved to the folder"),
                 qPrintable(o.err));
        QCOMPARE(contents(workFilePath(lib.path(), "Първа").value()), before);
        QCOMPARE(contents(lib.filePath(kAsideFolder + "/Сираче.mdb")), QByteArray("чужд файл"));
        QCOMPARE(titlesOf(lib.path()), QStringList({"Първа", "Последна", "Сираче"}));
        // Names given on the command line win over the file's.
        QCOMPARE(
            run({"--import", unnamed, "--author", "Иван Вазов", "--title", "Чичовци"}, lib.path()).status, 0);
        QCOMPARE(recordsOf(lib.path()).back().number, QStringLiteral("Иван Вазов"));
    }

    void listing() {
        QTemporaryDir lib;
        QCOMPARE(run({"--list"}, lib.path()).status, 1); // no catalogue, and none is made
        QVERIFY(!QFile::exists(catalogPath(lib.path())));
        auto opened = Catalogue::open(lib.path());
        writeFile(lib.filePath("Автор - Книга.txt"), bench::bulgarianText(4000).toUtf8());
        QVERIFY(importWork(*opened->catalogue, lib.path(), {lib.filePath("Автор - Книга.txt"), {}, {}}).ok());
        QVERIFY(insertRecord(*opened->catalogue,
                             {"Без файл", "Друг\tавтор", "Tahoma", "14", "37", "0", "0"}) >= 0);
        writeFile(lib.filePath("a.fb2"),
                  "<FictionBook><description><title-info><author><last-name>Вазов</last-name></author>"
                  "<book-title>Под игото</book-title><sequence name=\"Под игото\" number=\"1\"/></title-info>"
                  "</description><body><p>Текст.</p></body></FictionBook>");
        QVERIFY(importWork(*opened->catalogue, lib.path(), {lib.filePath("a.fb2"), {}, {}}).ok());
        opened->catalogue.reset();

        // The series is the fifth column, empty without one.
        const Outcome o = run({"--list"}, lib.path());
        QCOMPARE(o.status, 0);
        QCOMPARE(o.out, QStringLiteral("Книга\tАвтор\t%1\t1\t\nБез файл\tДруг автор\t-\t37\t\n"
                                       "Под игото\tВазов\t1\t1\tПод игото #1\n")
                            .arg(pagesOf(lib.path(), "Книга").size()));
    }

    void commandLine() {
        auto parse = [](const QStringList& args) {
            return parseStartOptions(QStringList{"velmora"} + args, "/def");
        };
        StartOptions o = parse({"--import", "a.txt", "b.doc", "--screen", "800x600", "--author", " Автор "});
        QVERIFY(o.error.isEmpty() && o.mode == StartMode::Import && o.libraryDir == u"/def");
        QCOMPARE(o.files, QStringList({"a.txt", "b.doc"}));
        QCOMPARE(o.screen, QSize(800, 600));
        QCOMPARE(o.author, QStringLiteral("Автор"));
        QCOMPARE(o.layout, PageLayout::Book);
        QCOMPARE(parse({"--import", "a.txt", "--layout=plain"}).layout, PageLayout::Plain);
        QCOMPARE(parse({"--import", "a.txt", "--jobs", "3"}).jobs, 3);
        QVERIFY(!parse({"--import", "a.txt", "--jobs=0"}).error.isEmpty());
        QVERIFY(!parse({"--list", "--jobs=2"}).error.isEmpty());
        o = parse({"--library=/tmp/l", "--import", "--title=Т", "--", "--странно.txt"});
        QVERIFY(o.error.isEmpty() && o.files == QStringList{"--странно.txt"} && o.libraryDir == u"/tmp/l");
        QCOMPARE(parse({}).libraryDir, QStringLiteral("/def"));
        o = parse({"книга.txt"});
        QVERIFY(o.mode == StartMode::Window && o.files == QStringList{"книга.txt"});
        o = parse({"--opds", "http://h/c.opds", "--search", " под  игото "});
        QVERIFY(o.error.isEmpty() && o.mode == StartMode::Opds && o.searchWords == u"под игото");
        // Beside --opds, --search takes words, given apart or together; alone, it searches a work.
        o = parse({"--search", "под", "--opds", "http://h/c.opds", "игото"});
        QVERIFY(o.error.isEmpty() && o.mode == StartMode::Opds && o.searchWords == u"под игото");
        o = parse({"--search", "Под игото", "чорбаджи"});
        QVERIFY(o.mode == StartMode::Search && o.workTitle == u"Под игото" && o.searchWords.isEmpty());

        for (const QStringList& args : QList<QStringList>{{"--import"},
                                                          {"--import", "a.txt", "b.txt", "--title", "Т"},
                                                          {"--import", "a.txt", "--screen", "1024"},
                                                          {"--import", "a.txt", "--screen", "10x10"},
                                                          {"--import", "a.txt", "--list"},
                                                          {"--import", "a.txt", "--layout", "fancy"},
                                                          {"--layout", "plain", "a.txt"},
                                                          {"--title", "Т", "a.txt"},
                                                          {"a.txt", "b.txt"},
                                                          {"--import", "a.txt", "--author"},
                                                          {"--opds", "http://h/c", "--list"},
                                                          {"--search", "думи"},
                                                          {"--opds", "http://h/c", "a.txt"}}) {
            // Refused, in both languages.
            QVERIFY2(parse(args).error.contains(" / "), qPrintable(args.join(u' ')));
        }

        // The unpacker in the library folder comes first, the one beside the program next.
        QTemporaryDir lib, program;
        QCOMPARE(findUnpacker(lib.path(), program.path()), QString());
        writeFile(program.filePath("RAZ.exe"), "");
        QCOMPARE(findUnpacker(lib.path(), program.path()), program.filePath("RAZ.exe"));
        writeFile(lib.filePath("RAZ.exe"), "");
        QCOMPARE(findUnpacker(lib.path(), program.path()), lib.filePath("RAZ.exe"));
    }
};

// A screen of the design's size, so that the book window, maximized, has exactly the pixels it is told of.
int main(int argc, char** argv) {
    const QByteArray config =
        QDir::temp()
            .filePath(QStringLiteral("velmora-screen-%1.json").arg(QCoreApplication::applicationPid()))
            .toLocal8Bit();
    if (FILE* f = std::fopen(config.constData(), "w")) {
        std::fputs(R"({"screens": [{"name": "design", "width": 1024, "height": 768, "logicalDpi": 96}]})", f);
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
