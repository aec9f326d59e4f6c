// Online catalogues against a server on the loopback address: reading pages, walking them down to the
// books, searching, and downloads that fail or stop halfway importing nothing.
#include "LibraryFiles.h"
#include "LoopbackServer.h"
#include "core/book/Fonts.h"
#include "core/commands/Import.h"
#include "core/net/BookDownload.h"
#include "core/opds/OpdsCatalogues.h"
#include "core/opds/OpdsWalk.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using namespace vel;
using namespace vel::test;

namespace {

QByteArray feed(const QString& title, const QString& links, const QString& entries) {
    return (QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:dcterms=\"http://purl.org/dc/terms/\">"
                "<title>%1</title>%2%3</feed>")
                .arg(title, links, entries))
        .toUtf8();
}

QString navEntry(const QString& title, const QString& href,
                 const QString& rel = QStringLiteral("subsection")) {
    return QStringLiteral("<entry><title>%1</title><id>%2</id><link rel=\"%3\" href=\"%2\" "
                          "type=\"application/atom+xml;profile=opds-catalog;kind=navigation\"/></entry>")
        .arg(title, href, rel);
}

QString bookEntry(const QString& title, const QString& author, const QString& file) {
    return QStringLiteral(
               "<entry><title>%1</title><id>%3</id><author><name>%2</name></author>"
               "<link rel=\"http://opds-spec.org/acquisition\" href=\"%3\" type=\"application/fb2+zip\"/>"
               "</entry>")
        .arg(title, author, file);
}

QString feedLink(const QString& rel, const QString& href) {
    return QStringLiteral("<link rel=\"%1\" href=\"%2\" type=\"application/atom+xml;profile=opds-catalog\"/>")
        .arg(rel, href);
}

const QByteArray kFb2 =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FictionBook "
    "xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">"
    "<description><title-info><author><first-name>Иван</first-name><last-name>Вазов</last-name></author>"
    "<book-title>Чичовци</book-title></title-info></description><body><section>"
    "<p>Това беше в едно време, когато градчето спеше.</p><p>И никой не знаеше какво ще стане.</p>"
    "</section></body></FictionBook>";

} // namespace

class TestOpds : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { installDesignFonts(); }

    void readsEntriesAndChoosesTheBestFormat() {
        const QByteArray page = feed(
            "Нови",
            feedLink("next", "?page=2") + feedLink("start", "/catalog.opds") +
                "<link rel=\"search\" href=\"/search?q={searchTerms}&amp;p={startPage?}\" "
                "type=\"application/atom+xml\"/>",
            "<entry><title>Под  игото</title><id>b1</id><author><name>Иван Вазов</name></author>"
            "<author><name>Друг</name></author><dcterms:isPartOf number=\"1\">Епопея</dcterms:isPartOf>"
            "<summary type=\"html\">&lt;p&gt;Роман &amp;amp; още&lt;/p&gt;&lt;br/&gt;за "
            "Април&amp;#33;</summary>"
            "<link rel=\"http://opds-spec.org/image/thumbnail\" href=\"/th/1.jpg\" type=\"image/jpeg\"/>"
            "<link rel=\"http://opds-spec.org/acquisition\" href=\"b1.pdf\" type=\"application/pdf\"/>"
            "<link rel=\"http://opds-spec.org/acquisition\" href=\"b1.txt.zip\" type=\"application/zip\"/>"
            "<link rel=\"http://opds-spec.org/acquisition\" href=\"b1.epub\" type=\"application/epub+zip\"/>"
            "<link rel=\"http://opds-spec.org/acquisition/buy\" href=\"b1.fb2\" "
            "type=\"application/fb2+xml\"/>"
            "<link rel=\"related\" href=\"/author/1\" type=\"application/atom+xml;profile=opds-catalog\"/>"
            "</entry>"
            "<entry><title>Само PDF</title><link rel=\"http://opds-spec.org/acquisition/open-access\" "
            "href=\"x.pdf\" type=\"application/pdf\"/></entry>");
        const OpdsParse parsed = parseOpdsFeed(page, QUrl("http://h/cat/new.opds"));
        QVERIFY2(parsed.ok(), qPrintable(parsed.error));
        const OpdsFeed& f = parsed.feed;
        QCOMPARE(f.next, QUrl("http://h/cat/new.opds?page=2"));
        QCOMPARE(f.start, QUrl("http://h/catalog.opds"));
        QCOMPARE(searchUrl(f.searchTemplate, "Бай  Ганьо"),
                 QUrl("http://h/search?q=%D0%91%D0%B0%D0%B9%20%D0%93%D0%B0%D0%BD%D1%8C%D0%BE&p="));
        QCOMPARE(f.entries.size(), 2);
        const OpdsEntry& e = f.entries[0];
        QCOMPARE(e.title, "Под игото");
        QCOMPARE(e.author(), "Иван Вазов, Друг");
        QCOMPARE(e.series, "Епопея");
        QCOMPARE(e.seriesNumber, "1");
        QCOMPARE(e.summary, "Роман & още\nза Април!");
        QCOMPARE(e.thumbnail, QUrl("http://h/th/1.jpg"));
        // A buy link is no download; EPUB beats text and PDF.
        QCOMPARE(bestAcquisition(e)->href, QUrl("http://h/cat/b1.epub"));
        QVERIFY(!bestAcquisition(f.entries[1]));

        OpdsEntry zipped;
        zipped.acquisitions = {{QUrl("http://h/a.epub"), {}, "application/epub+zip", {}},
                               {QUrl("http://h/a.fb2.zip"), {}, "application/zip", {}}};
        QCOMPARE(bestAcquisition(zipped)->href, QUrl("http://h/a.fb2.zip"));

        const QByteArray description =
            "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">"
            "<Url type=\"text/html\" template=\"/web?q={searchTerms}\"/>"
            "<Url type=\"application/atom+xml\" "
            "template=\"/s.opds?q={searchTerms}\"/></OpenSearchDescription>";
        QCOMPARE(openSearchTemplate(description, QUrl("http://h/os.xml")), "http://h/s.opds?q={searchTerms}");
    }

    // Not a feed at all: an error, never an empty catalogue.
    void refusesPagesThatAreNoFeed() {
        for (const QByteArray& bytes :
             {QByteArray("<html><body>Hello</body></html>"), QByteArray("{\"a\": 1}"),
              QByteArray("<feed><entry><title>cut off")}) {
            const OpdsParse parsed = parseOpdsFeed(bytes, QUrl("http://h/x"));
            QVERIFY2(!parsed.ok(), bytes.constData());
        }
    }

    void walksNavigationAndPagesOnce() {
        LoopbackServer server;
        server.route("/root",
                     {200, feed("Каталог", feedLink("self", "/root") + feedLink("start", "/root"),
                                navEntry("Автори", "/authors") + navEntry("Нови", "/new") +
                                    navEntry("Начало", "/root", "start") + navEntry("Пак", "/root"))});
        server.route("/authors", {200, feed("Автори", feedLink("up", "/root"),
                                            navEntry("Вазов", "/a/vazov") + navEntry("Нови", "/new"))});
        server.route("/a/vazov", {200, feed("Вазов", feedLink("next", "/a/vazov?p=2"),
                                            bookEntry("Чичовци", "Иван Вазов", "/b/1.fb2.zip"))});
        server.route("/a/vazov?p=2",
                     {200, feed("Вазов 2", feedLink("previous", "/a/vazov") + feedLink("next", "/a/vazov"),
                                bookEntry("Под игото", "Иван Вазов", "/b/2.fb2.zip"))});
        server.route("/new", {200, feed("Нови", {},
                                        bookEntry("Чичовци", "Иван Вазов", "/b/1.fb2.zip") +
                                            bookEntry("Гераците", "Елин Пелин", "/b/3.fb2.zip"))});
        QTemporaryDir dir;
        StartOptions options;
        options.mode = StartMode::Opds;
        options.opdsUrl = server.url("/root").toString();
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(runOpds(options, o, e), 0);
        const QString base = server.url({}).toString();
        QCOMPARE(out, QStringLiteral("Чичовци\tИван Вазов\t%1/b/1.fb2.zip\n"
                                     "Под игото\tИван Вазов\t%1/b/2.fb2.zip\n"
                                     "Гераците\tЕлин Пелин\t%1/b/3.fb2.zip\n")
                          .arg(base));
        QCOMPARE(server.requests(), QStringList({"/root", "/authors", "/a/vazov", "/a/vazov?p=2", "/new"}));
        QVERIFY(err.isEmpty());

        // A missing page and a page that is not XML are reported; the rest is still walked.
        server.route("/authors", {200, "<html>Грешка</html>", "text/html"});
        server.route("/new", {404, "gone", "text/plain"});
        QNetworkAccessManager network;
        const OpdsWalkResult walked = walkOpds(network, server.url("/root"));
        QCOMPARE(walked.books.size(), 0);
        QCOMPARE(walked.errors.size(), 2);
        QVERIFY(walked.errors.join(' ').contains("404"));
        QVERIFY(walked.errors.join(' ').contains("не е каталог OPDS"));
        QCOMPARE(walkOpds(network, server.url("/nothing")).errors.size(), 1);
    }

    void searchesThroughTheOpenSearchDescription() {
        LoopbackServer server;
        server.route("/root", {200, feed("Каталог",
                                         "<link rel=\"search\" href=\"/os.xml\" "
                                         "type=\"application/opensearchdescription+xml\"/>",
                                         {})});
        server.route("/os.xml", {200,
                                 "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">"
                                 "<Url type=\"application/atom+xml\" template=\"/find?q={searchTerms}\"/>"
                                 "</OpenSearchDescription>",
                                 "application/opensearchdescription+xml"});
        server.route("/find",
                     {200, feed("Намерени", {}, bookEntry("Бай Ганьо", "Алеко Константинов", "/b/g.fb2"))});
        StartOptions options;
        options.mode = StartMode::Opds;
        options.opdsUrl = server.url("/root").toString();
        options.searchWords = "бай ганьо";
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(runOpds(options, o, e), 0);
        QVERIFY(out.startsWith("Бай Ганьо\tАлеко Константинов\t"));
        QCOMPARE(server.requests().last(), "/find?q=%D0%B1%D0%B0%D0%B9%20%D0%B3%D0%B0%D0%BD%D1%8C%D0%BE");

        server.route("/root", {200, feed("Каталог", {}, {})});
        QCOMPARE(runOpds(options, o, e), 1);
        QVERIFY(err.contains("не предлага търсене"));
    }

    // A download that fails or stops short imports nothing and leaves no file; a whole one is imported.
    void downloadsImportOnlyWholeBooks() {
        LoopbackServer server;
        server.route("/cut.fb2", {200, kFb2.left(200), "application/octet-stream", kFb2.size()});
        server.route("/book", {200, kFb2, "application/octet-stream"});
        QTemporaryDir dir;
        auto opened = Catalogue::open(dir.path());
        QVERIFY(opened);
        const ImportRequest request{{}, "Чичовци", "Иван Вазов"};
        const ImportResult cut =
            importFromUrl(*opened->catalogue, dir.path(), server.url("/cut.fb2"), request);
        QVERIFY2(cut.error.contains("непълно"), qPrintable(cut.error));
        const ImportResult missing =
            importFromUrl(*opened->catalogue, dir.path(), server.url("/none.fb2"), request);
        QVERIFY(missing.error.contains("404"));
        QVERIFY(recordsOf(dir.path()).empty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"BAZA.mdb"});

        // From the command line. The server's own name has no ending: the file's first bytes tell it is FB2.
        StartOptions options;
        options.mode = StartMode::Import;
        options.libraryDir = dir.path();
        options.files = QStringList{server.url("/book").toString()};
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(runImport(options, o, e), 0);
        QVERIFY2(out.contains("„Чичовци“, Иван Вазов"), qPrintable(out + err));
        QVERIFY(pagesOf(dir.path(), "Чичовци").join(' ').contains("градчето спеше"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"BAZA.mdb", "Чичовци.mdb"}));
    }

    void cancelledDownloadLeavesNothing() {
        LoopbackServer server;
        server.route("/slow", {200, "abc", "application/octet-stream", 100000}); // never ends by itself
        QTemporaryDir dir;
        QNetworkAccessManager network;
        {
            BookDownload download(network, server.url("/slow"), dir.path());
            QVERIFY(QFileInfo::exists(download.path()));
            QTimer::singleShot(0, download.fetch(), &Fetch::cancel);
            QVERIFY(!download.waitForFinished());
            QVERIFY(download.fetch()->wasCancelled());
        }
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void readersCataloguesFollowTheDefault() {
        QTemporaryDir dir;
        QVERIFY(addCatalogue(dir.path(), {"Моят", QUrl("http://example.org/opds")}));
        QVERIFY(addCatalogue(dir.path(), {"Преименуван", QUrl("http://example.org/opds")}));
        QVERIFY(!addCatalogue(dir.path(), {"Файл", QUrl("file:///etc/passwd")}));
        const QList<OpdsCatalogue> all = loadCatalogues(dir.path());
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0], defaultCatalogue());
        QCOMPARE(all[1].name, "Преименуван");
    }
};

QTEST_MAIN(TestOpds)
#include "tst_opds.moc"
