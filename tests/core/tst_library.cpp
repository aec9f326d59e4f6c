// A library of many works: finding and ordering titles, series and covers from the books, SFB books, and
// many books imported at once.
#include "CatalogueFixture.h"
#include "LibraryFiles.h"
#include "ZipWriter.h"
#include "core/book/Fonts.h"
#include "core/catalogue/Cover.h"
#include "core/catalogue/LibraryIndex.h"
#include "core/commands/BatchImport.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"
#include "core/text/formats/BookFormats.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using namespace vel;
using namespace vel::test;

namespace {

// A picture of noise compresses badly: the thumbnail must still fit.
QByteArray noisyPng(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    quint32 seed = 7;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            image.setPixel(x, y, seed | 0xff000000u);
        }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray fb2Book(const QString& title, const QByteArray& cover) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FictionBook "
               "xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
               "xmlns:l=\"http://www.w3.org/1999/xlink\">"
               "<description><title-info><author><first-name>Иван</first-name><last-name>Вазов</last-name>"
               "</author><book-title>%1</book-title><coverpage><image l:href=\"#k.png\"/></coverpage>"
               "<sequence name=\"Под игото\" number=\"1\"/><sequence name=\"Друга\" number=\"9\"/>"
               "</title-info></description><body><section><p>Беше тих летен ден.</p></section></body>"
               "<binary id=\"other\" content-type=\"image/png\">AAAA</binary>"
               "<binary id=\"k.png\" content-type=\"image/png\">\n%2\n</binary></FictionBook>")
        .arg(title, QString::fromLatin1(cover.toBase64()))
        .toUtf8();
}

QByteArray epubBook(const QByteArray& opfMetadata, const QByteArray& manifestExtra, const QByteArray& cover) {
    return makeZip({
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         R"(<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">)"
         R"(<rootfiles><rootfile full-path="OPS/book.opf"/></rootfiles></container>)"},
        {"OPS/book.opf",
         R"(<?xml version="1.0"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0">)"
         R"(<metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Чичовци</dc:title>)"
         R"(<dc:creator>Иван Вазов</dc:creator>)" +
             opfMetadata + R"(</metadata><manifest><item id="t" href="t.xhtml"/>)" + manifestExtra +
             R"(</manifest><spine><itemref idref="t"/></spine></package>)"},
        {"OPS/t.xhtml", R"(<html xmlns="http://www.w3.org/1999/xhtml"><body><p>Текст.</p></body></html>)"},
        {"OPS/img/k.png", cover},
    });
}

} // namespace

class TestLibrary : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installDesignFonts(); }

    void findingNarrowsAndOrders() {
        const LibraryIndex index({
            {"Под игото", "Иван Вазов", 0},
            {"Бай Ганьо", "Алеко Константинов", 300},
            {"Animal Farm", "George Orwell", 0},
            {"Чичовци", "Иван Вазов", 200},
            {"ален мак", "Яна Язова", 100},
        });
        // Title or author, any case, Cyrillic and Latin; white space at the ends does not count.
        QCOMPARE(index.titles(index.find(u"ВАЗ", {}, TitleOrder::Stored)),
                 QStringList({"Под игото", "Чичовци"}));
        QCOMPARE(index.titles(index.find(u" orwell ", {}, TitleOrder::Stored)), QStringList({"Animal Farm"}));
        QCOMPARE(index.titles(index.find(u"АЛ", {}, TitleOrder::Title)),
                 QStringList({"ален мак", "Бай Ганьо"}));
        // Typed text never matches across title and author.
        QVERIFY(index.find(u"игото иван", {}, TitleOrder::Stored).empty());
        // Beside the author filter.
        QCOMPARE(index.titles(index.find(u"ч", QStringLiteral("Иван Вазов"), TitleOrder::Stored)),
                 QStringList({"Чичовци"}));
        // Bulgarian alphabetical order (Cyrillic before Latin), case aside; by author, then title; latest
        // read first, unread last.
        QCOMPARE(index.titles(index.find({}, {}, TitleOrder::Title)),
                 QStringList({"ален мак", "Бай Ганьо", "Под игото", "Чичовци", "Animal Farm"}));
        QCOMPARE(index.titles(index.find({}, {}, TitleOrder::Author)),
                 QStringList({"Бай Ганьо", "Под игото", "Чичовци", "ален мак", "Animal Farm"}));
        QCOMPARE(index.titles(index.find({}, {}, TitleOrder::LastRead)),
                 QStringList({"Бай Ганьо", "Чичовци", "ален мак", "Под игото", "Animal Farm"}));
    }

    void aSavedReadingIsRemembered() {
        QTemporaryDir dir;
        writeLibrary(dir.path(), {{"Първа", {"а"}}, {"Втора", {"б"}}});
        auto opened = Catalogue::open(dir.path());
        QVERIFY(opened);
        QCOMPARE(opened->catalogue->saveSettings("Втора", "Arial", "12", "1", "0", "0"),
                 Catalogue::SaveResult::Saved);
        const LibraryIndex index(libraryEntries(*opened->catalogue));
        QCOMPARE(index.titles(index.find({}, {}, TitleOrder::LastRead)), QStringList({"Втора", "Първа"}));
    }

    void seriesAndCoverComeWithTheBook() {
        const QByteArray picture = noisyPng(600, 900);
        QTemporaryDir dir;
        const QString fb2 = dir.filePath("a.fb2");
        writeFile(fb2, fb2Book("Под игото", picture));
        TextImportResult r = readBook(fb2);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.loaded.series, QString("Под игото"));
        QCOMPARE(r.loaded.seriesNumber, QString("1"));
        QCOMPARE(r.loaded.cover, picture);

        // EPUB 3 collections win over calibre's meta; calibre's alone are taken, "2.0" as "2".
        const QByteArray epub3 = R"(<meta property="belongs-to-collection" id="c1">Повести</meta>)"
                                 R"(<meta refines="#c1" property="group-position">3</meta>)"
                                 R"(<meta name="calibre:series" content="Друга"/>)";
        writeFile(dir.filePath("b.epub"),
                  epubBook(epub3, R"(<item id="k" href="img/k.png" properties="cover-image"/>)", picture));
        r = readBook(dir.filePath("b.epub"));
        QCOMPARE(r.loaded.series, QString("Повести"));
        QCOMPARE(r.loaded.seriesNumber, QString("3"));
        QCOMPARE(r.loaded.cover, picture);
        writeFile(
            dir.filePath("c.epub"),
            epubBook(R"(<meta name="calibre:series" content="Повести"/><meta name="calibre:series_index" )"
                     R"(content="2.0"/><meta name="cover" content="k"/>)",
                     R"(<item id="k" href="img/k.png"/>)", picture));
        r = readBook(dir.filePath("c.epub"));
        QCOMPARE(seriesLabel(r.loaded.series, r.loaded.seriesNumber), QString("Повести #2"));
        QCOMPARE(r.loaded.cover, picture);

        // Stored with the work: a thumbnail within its bound, and the series as the work file's facts.
        auto opened = Catalogue::open(dir.path());
        const ImportResult added = importWork(*opened->catalogue, dir.path(), ImportRequest{fb2, {}, {}});
        QVERIFY2(added.ok(), qPrintable(added.error));
        const auto work = WorkFile::open(*workFilePath(dir.path(), "Под игото"));
        QVERIFY(work);
        QCOMPARE(work->fact(schema::kFactSeries), QString("Под игото"));
        const QImage thumb = QImage::fromData(work->cover());
        QVERIFY(!thumb.isNull());
        QVERIFY(work->cover().size() <= kMaxCoverBytes);
        QVERIFY(thumb.width() <= 300 && thumb.height() <= 450 && thumb.height() > 400);
        // Not a picture: the work comes in without a cover.
        QVERIFY(coverThumbnail("not a picture").isEmpty());

        // A rebuild (another font, another screen) keeps them: they are the work's, not its pages'.
        const QByteArray cover = work->cover();
        WorkFileBuilder rebuild;
        QVERIFY(rebuild.begin(dir.path(), "Под игото", WorkFileBuilder::Placement::Replace));
        QVERIFY(rebuild.appendPage("нова страница"));
        QVERIFY(rebuild.commit());
        const auto rebuilt = WorkFile::open(*workFilePath(dir.path(), "Под игото"));
        QCOMPARE(rebuilt->fact(schema::kFactSeries), QString("Под игото"));
        QCOMPARE(rebuilt->fact(schema::kFactSeriesNumber), QString("1"));
        QCOMPARE(rebuilt->cover(), cover);
    }

    void sfbBookWithEveryMarker() {
        const TextImportResult r = readBook(QFINDTESTDATA("../data/every-marker.sfb"));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.loaded.title, QString("Гераците"));
        QCOMPARE(r.loaded.author, QString("Елин Пелин"));
        QVERIFY(r.loaded.structured);
        const QStringList expected = {"Елин Пелин",
                                      "Гераците",
                                      "Повест",
                                      "Кратко описание на книгата.",
                                      "На майка ми",
                                      "Всяко начало е трудно.",
                                      "Поговорка",
                                      "",
                                      "Глава първа",
                                      "Завръщането",
                                      "",
                                      "Първа част",
                                      "Тя тръгна по пътя[1] към реката.",
                                      "[1] Старият път край Витоша.",
                                      "Втори абзац с наклонени думи и картина.",
                                      "",
                                      "* * *",
                                      "",
                                      "Песен",
                                      "Две думи за вятъра,",
                                      "две думи за нощта.",
                                      "",
                                      "Сняг и тишина.",
                                      "1911",
                                      "",
                                      "Цитат от писмо.",
                                      "Бележка на издателя.",
                                      "Дълго обявление.",
                                      "Драги приятелю,",
                                      "Твой Елин",
                                      "Табела",
                                      "преформатиран ред",
                                      "код",
                                      "Име | Година",
                                      "Гераците | 1911",
                                      "В средата.",
                                      "Суров ред.",
                                      "",
                                      "Трето ниво",
                                      "",
                                      "Четвърто ниво",
                                      "",
                                      "Пето ниво",
                                      "Край[2] с втора бележка.",
                                      "[2] Втората бележка",
                                      "на два реда.",
                                      "абзац без табулация"};
        QCOMPARE(r.loaded.text.split("\r\n"), expected);
        // Headings by their markers' depth, one heading over its marker's lines; notes found from references.
        QStringList contents;
        for (const ContentsEntry& e : r.loaded.navigation.contents)
            contents << QString::number(e.level) + ' ' + e.heading + ' ' + r.loaded.text.mid(e.position, 5);
        QCOMPARE(contents, QStringList({"1 Глава първа Завръщането Глава", "2 Първа част Първа",
                                        "3 Трето ниво Трето", "4 Четвърто ниво Четвъ", "5 Пето ниво Пето "}));
        QCOMPARE(r.loaded.navigation.notes.size(), size_t(2));
        const NoteAnchor& second = r.loaded.navigation.notes[1];
        QCOMPARE(r.loaded.text.mid(second.position, second.length), QString("[2]"));
        QCOMPARE(second.text, QString("[2] Втората бележка на два реда."));
        QCOMPARE(r.loaded.navigation.notes[0].text, QString("[1] Старият път край Витоша."));

        // Marks that open and never close, many on one line: read in one pass, kept as text.
        const QString open = QString(" _a {e a [[a|b").repeated(20000);
        const TextImportResult unclosed =
            readBookBytes("|\tЗаглавие\n\t" + open.toUtf8() + " край\n", "a.sfb");
        QVERIFY2(unclosed.ok(), qPrintable(unclosed.error));
        QCOMPARE(unclosed.loaded.text, "Заглавие\r\n" + open.trimmed() + " край");
    }

    void batchReportsEachFileAndKeepsWhatIsDone() {
        QTemporaryDir dir;
        const QString lib = dir.filePath("lib");
        QVERIFY(QDir().mkpath(lib));
        const QString src = dir.filePath("src");
        QVERIFY(QDir().mkpath(src + "/sub"));
        const QByteArray prose = QString("Дълъг ред текст за страницата. ").repeated(40).toUtf8();
        writeFile(src + "/А - Едно.txt", prose);
        writeFile(src + "/А - Две.fb2", "<FictionBook><body>"); // broken in the middle
        writeFile(src + "/sub/Б - Три.txt", prose);
        writeFile(src + "/В - Едно.txt", prose); // the same title again
        writeFile(src + "/Г - Четири.txt", prose);
        writeLibrary(lib, {{"Четири", {"стара"}}});
        auto opened = Catalogue::open(lib);
        QVERIFY(opened);

        QStringList seen;
        const auto items =
            importBatch(*opened->catalogue, lib, importItems({src}).items, BatchOptions{.jobs = 2},
                        [&](const BatchItem& item, int done, int total) {
                            QCOMPARE(total, 5);
                            QCOMPARE(done, seen.size() + 1);
                            seen << QFileInfo(item.file).fileName();
                        });
        // In path order, case aside.
        QCOMPARE(seen, QStringList(
                           {"Б - Три.txt", "А - Две.fb2", "А - Едно.txt", "В - Едно.txt", "Г - Четири.txt"}));
        QVERIFY(items[0].result.ok());
        QVERIFY(!items[1].result.ok() && !items[1].result.reason.isEmpty());
        QVERIFY(items[2].result.ok());
        QVERIFY(items[3].result.reason.contains("вече има произведение „Едно“"));
        QVERIFY(items[4].result.reason.contains("вече има произведение „Четири“"));
        QCOMPARE(titlesOf(lib), QStringList({"Четири", "Три", "Едно"}));
        QCOMPARE(pagesOf(lib, "Четири"), QStringList({"стара"}));

        // Cancelled after the first work: that one stays, whole; nothing else is left behind.
        const QString lib2 = dir.filePath("lib2");
        QVERIFY(QDir().mkpath(lib2));
        auto second = Catalogue::open(lib2);
        std::atomic<bool> cancel{false};
        const auto partial = importBatch(
            *second->catalogue, lib2, importItems({src}).items, BatchOptions{.jobs = 1},
            [&](const BatchItem& item, int, int) { cancel = cancel || item.result.ok(); }, &cancel);
        QCOMPARE(titlesOf(lib2), QStringList({"Три"}));
        QVERIFY(partial.back().cancelled);
        QCOMPARE(QDir(lib2).entryList({"*.mdb", ".velmora*"}, QDir::Files | QDir::Hidden),
                 QStringList({"BAZA.mdb", "Три.mdb"}));
    }
};

QTEST_MAIN(TestLibrary)
#include "tst_library.moc"
