// Books in their own formats: lines, notes and metadata as the book has them, archives, and the inputs that
// must be refused without harm.
#include "LibraryFiles.h"
#include "ZipWriter.h"
#include "core/book/Fonts.h"
#include "core/commands/Import.h"
#include "core/text/formats/BookFormats.h"
#include "core/text/formats/Zip.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>
#include <cstdio>

using namespace vel;
using namespace vel::test;

namespace {

// Every format's fixture tells this story: a heading, a paragraph with a note, two stanzas of verse.
const QStringList kStory = {
    "Глава първа",    "Тя тръгна по пътя[1] към реката.", "Две думи за вятъра,", "две думи за нощта.", "",
    "Сняг и тишина.", "[1] Старият път край Витоша.",
};

QByteArray fb2(const QString& body, const char* encoding = "UTF-8") {
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"%1\"?>\n"
            "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
            "xmlns:l=\"http://www.w3.org/1999/xlink\">\n"
            "<description><title-info><author><first-name>Елин</first-name><last-name>Пелин</last-name>"
            "</author><book-title>Гераците</book-title></title-info>"
            "<document-info><author><nickname>maker</nickname></author></document-info></description>\n")
            .arg(QLatin1String(encoding)) +
        body +
        QStringLiteral("\n<binary id=\"c.jpg\" content-type=\"image/jpeg\">AAAA</binary></FictionBook>");
    QStringEncoder enc(encoding);
    return enc(xml);
}

const QString kFb2Body = QStringLiteral(
    "<body><image l:href=\"#c.jpg\"/><section><title><p>Глава  първа</p></title>\n"
    "<p>Тя тръгна по <emphasis>пътя</emphasis><a l:href=\"#n1\" type=\"note\">1</a> към реката.</p>\n"
    "<poem><stanza><v>Две думи за вятъра,</v><v>две думи за нощта.</v></stanza>"
    "<stanza><v>Сняг и тишина.</v></stanza></poem></section></body>\n"
    "<body name=\"notes\"><section id=\"n1\"><title><p>1</p></title><p>Старият път край Витоша.</p></section>"
    "</body>");

// The same story without the blank line between stanzas, for formats whose stanzas are plain paragraphs.
QStringList flatStory() {
    QStringList lines = kStory;
    lines.removeAll(QString());
    return lines;
}

// moc reads raw strings only when each stays on one line.
const QByteArray kXhtmlChapter =
    R"(<?xml version="1.0" encoding="UTF-8"?>)"
    R"(<!DOCTYPE html>)"
    R"(<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops">)"
    R"(<head><title>Глава</title><style>p { margin: 0 }</style></head>)"
    R"(<body><h1>Глава първа</h1><img src="korica.jpg" alt="Корица"/><script>var a = 1 &lt; 2;</script>)"
    R"(<p>Тя тръгна по <em>пътя</em><a epub:type="noteref" href="#n1">[1]</a> към реката.</p>)"
    R"(<p class="stanza">Две думи за вятъра,<br/>две думи за нощта.</p>)"
    R"(<p class="stanza">Сняг и тишина.</p>)"
    R"(<aside epub:type="footnote" id="n1"><p>[1] Старият път край Витоша.</p></aside>)"
    R"(</body></html>)";

QByteArray epub(const ZipFiles& extra = {}) {
    ZipFiles files = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         R"(<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">)"
         R"(<rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/>)"
         R"(</rootfiles></container>)"},
        {"OEBPS/content.opf",
         R"(<?xml version="1.0"?><package xmlns="http://www.idpf.org/2007/opf" version="2.0">)"
         R"(<metadata xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:opf="http://www.idpf.org/2007/opf">)"
         R"(<dc:title>Гераците</dc:title><dc:creator opf:role="aut">Елин Пелин</dc:creator>)"
         R"(<dc:creator opf:role="ill">Художник</dc:creator></metadata>)"
         R"(<manifest><item id="cover" href="Text/cover.xhtml" media-type="application/xhtml+xml"/>)"
         R"(<item id="c1" href="Text/glava%201.xhtml" media-type="application/xhtml+xml"/></manifest>)"
         R"(<spine><itemref idref="cover" linear="no"/><itemref idref="c1"/></spine></package>)"},
        {"OEBPS/Text/glava 1.xhtml", kXhtmlChapter},
        {"OEBPS/Text/cover.xhtml",
         R"(<html xmlns="http://www.w3.org/1999/xhtml"><body><p>Край</p></body></html>)"},
    };
    return makeZip(files + extra);
}

QByteArray docx() {
    const QByteArray w = R"(xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")";
    return makeZip({
        {"word/document.xml",
         "<w:document " + w +
             R"(><w:body>)"
             R"(<w:p><w:pPr><w:pStyle w:val="Heading1"/></w:pPr><w:r><w:t>Глава първа</w:t></w:r></w:p>)"
             R"(<w:p><w:r><w:t xml:space="preserve">Тя тръгна по </w:t></w:r><w:r><w:rPr><w:i/></w:rPr><w:t>пътя</w:t>)"
             R"(</w:r><w:r><w:footnoteReference w:id="2"/></w:r><w:del><w:r><w:delText>изтрито</w:delText></w:r>)"
             R"(</w:del><w:r><w:t xml:space="preserve"> към реката.</w:t></w:r></w:p>)"
             R"(<w:p><w:r><w:t>Две думи за вятъра,</w:t><w:br/><w:t>две думи за нощта.</w:t></w:r></w:p><w:p/>)"
             R"(<w:p><w:r><w:t>Сняг и тишина.</w:t></w:r></w:p></w:body></w:document>)"},
        {"word/footnotes.xml",
         "<w:footnotes " + w +
             R"(><w:footnote w:type="separator" w:id="-1"><w:p><w:r>)"
             R"(<w:separator/></w:r></w:p></w:footnote><w:footnote w:id="2"><w:p><w:r><w:footnoteRef/></w:r>)"
             R"(<w:r><w:t xml:space="preserve"> Старият път край Витоша.</w:t></w:r></w:p></w:footnote></w:footnotes>)"},
        {"docProps/core.xml",
         R"(<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" )"
         R"(xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Гераците</dc:title>)"
         R"(<dc:creator>Елин Пелин</dc:creator></cp:coreProperties>)"},
    });
}

QByteArray odt() {
    const QByteArray ns = R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
                          R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
                          R"(xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" )"
                          R"(xmlns:dc="http://purl.org/dc/elements/1.1/")";
    return makeZip({
        {"mimetype", "application/vnd.oasis.opendocument.text"},
        {"content.xml",
         "<office:document-content " + ns +
             R"(><office:body><office:text>)"
             R"(<text:h text:outline-level="1">Глава първа</text:h>)"
             R"(<text:p>Тя тръгна по <text:span>пътя</text:span><text:note text:note-class="footnote">)"
             R"(<text:note-citation>1</text:note-citation><text:note-body><text:p>Старият път край Витоша.</text:p>)"
             R"(</text:note-body></text:note> към<text:s/>реката.<office:annotation><text:p>бележка на)"
             R"( редактора</text:p></office:annotation></text:p>)"
             R"(<text:p>Две думи за вятъра,<text:line-break/>две думи за нощта.</text:p><text:p/>)"
             R"(<text:p>Сняг и тишина.</text:p></office:text></office:body></office:document-content>)"},
        {"meta.xml",
         "<office:document-meta " + ns +
             R"(><office:meta><dc:title>Гераците</dc:title>)"
             R"(<meta:initial-creator>Елин Пелин</meta:initial-creator><dc:creator>Редактор</dc:creator>)"
             R"(</office:meta></office:document-meta>)"},
    });
}

// Cyrillic as \'hh bytes of Windows-1251, or as \uN with a fallback of `fallback` question marks.
QByteArray rtfText(const QString& text, int fallback = 0) {
    QByteArray out;
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            out += char(c.unicode());
        else if (fallback > 0)
            out += "\\u" + QByteArray::number(c.unicode()) + QByteArray(fallback, '?');
        else
            out += "\\'" + QByteArray(QStringEncoder("windows-1251")(QString(c))).toHex();
    }
    return out;
}

QByteArray rtf() {
    return "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fnil\\fcharset204 Times;}}"
           "{\\colortbl;\\red0\\green0\\blue0;}{\\*\\generator Писач;}"
           "{\\info{\\title " +
           rtfText("Гераците") + "}{\\author " + rtfText("Елин Пелин", 1) +
           "}}\r\n"
           "\\pard\\b\\f0 " +
           rtfText("Глава първа") +
           "\\b0\\par\r\n"
           "\\pard " +
           rtfText("Тя тръгна по пътя") + "{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} " +
           rtfText("Старият път край Витоша.", 1) + "}" + rtfText(" към реката.") +
           "{\\pict\\wmetafile8\\bin5 {}}\\\\}\\par\r\n"
           "\\uc2 " +
           rtfText("Две думи за вятъра,", 2) + "\\line " + rtfText("две думи за нощта.") + "\\par\\par\r\n" +
           rtfText("Сняг и тишина.") + "\\par}\r\n";
}

QByteArray tagSoupHtml() {
    return QStringEncoder("windows-1251")(QStringLiteral(
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
        "<title>Гераците</title></head><body><h1>Глава първа</h1>"
        "<p>Тя тръгна по пътя[1] към реката.<p>Две думи за вятъра,<br>две думи за нощта.<p>Сняг и тишина."
        "<p>[1] Старият път край Витоша.</body></html>"));
}

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    writeFile(path, bytes);
    return path;
}

QStringList linesOf(const TextImportResult& r) {
    return r.loaded.text.split(QStringLiteral("\r\n"));
}

} // namespace

class TstBookFormats : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installDesignFonts(); }

    void booksReadToTheirLinesAndNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("author");
        QTest::newRow("fb2 utf-8") << "kniga.fb2" << fb2(kFb2Body) << kStory << "Елин Пелин";
        QTest::newRow("fb2 windows-1251")
            << "kniga.fb2" << fb2(kFb2Body, "windows-1251") << kStory << "Елин Пелин";
        QTest::newRow("fb2.zip") << "kniga.fb2.zip" << makeZip({{"kniga.fb2", fb2(kFb2Body)}}) << kStory
                                 << "Елин Пелин";
        QStringList epubLines = flatStory();
        epubLines << "Край"; // outside the reading order: last
        QTest::newRow("epub") << "kniga.epub" << epub() << epubLines << "Елин Пелин";
        QTest::newRow("epub with obfuscated fonts")
            << "kniga.epub"
            << epub(
                   {{"META-INF/encryption.xml",
                     R"(<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container" )"
                     R"(xmlns:enc="http://www.w3.org/2001/04/xmlenc#"><enc:EncryptedData><enc:EncryptionMethod )"
                     R"(Algorithm="http://www.idpf.org/2008/embedding"/><enc:CipherData><enc:CipherReference )"
                     R"(URI="OEBPS/Fonts/a.otf"/></enc:CipherData></enc:EncryptedData></encryption>)"}})
            << epubLines << "Елин Пелин";
        QTest::newRow("docx") << "kniga.docx" << docx() << flatStory() << "Елин Пелин";
        QTest::newRow("docx saved as .doc") << "kniga.doc" << docx() << flatStory() << "Елин Пелин";
        QTest::newRow("odt") << "kniga.odt" << odt() << flatStory() << "Елин Пелин";
        QTest::newRow("rtf") << "kniga.rtf" << rtf() << flatStory() << "Елин Пелин";
        QTest::newRow("rtf saved as .doc") << "kniga.doc" << rtf() << flatStory() << "Елин Пелин";
        QTest::newRow("xhtml")
            << "kniga.html"
            << QByteArray(kXhtmlChapter)
                   .replace("<title>Глава</title>",
                            "<title>Гераците</title><meta name=\"author\" content=\"Елин Пелин\"/>")
            << flatStory() << "Елин Пелин";
        QTest::newRow("html") << "kniga.htm" << tagSoupHtml() << flatStory() << "";
        // Any of them zipped alone is that book.
        QTest::newRow("epub.zip") << "kniga.zip" << makeZip({{"kniga.epub", epub()}}) << epubLines
                                  << "Елин Пелин";
        QTest::newRow("docx.zip") << "kniga.zip" << makeZip({{"a/kniga.docx", docx()}}) << flatStory()
                                  << "Елин Пелин";
        QTest::newRow("odt.zip") << "kniga.zip" << makeZip({{"kniga.odt", odt()}}) << flatStory()
                                 << "Елин Пелин";
        QTest::newRow("rtf.zip") << "kniga.zip" << makeZip({{"kniga.rtf", rtf()}, {"korica.jpg", "x"}})
                                 << flatStory() << "Елин Пелин";
        QTest::newRow("html.zip") << "kniga.zip" << makeZip({{"kniga.htm", tagSoupHtml()}}) << flatStory()
                                  << "";
    }
    void booksReadToTheirLinesAndNames() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(QString, author);
        QTemporaryDir dir;
        const TextImportResult r = readBook(write(dir, name, bytes));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(linesOf(r), lines);
        QCOMPARE(r.loaded.title, QStringLiteral("Гераците"));
        QCOMPARE(r.loaded.author, author);
        QVERIFY(r.loaded.structured);
    }

    // A zipped Windows-1251 text is a plain text; the name inside the archive is the one that counts.
    void zippedPlainText() {
        QTemporaryDir dir;
        const QByteArray cp1251 = QStringEncoder("windows-1251")(QStringLiteral("Първи ред\nвтори ред"));
        const QString zip = write(dir, "arhiv.zip",
                                  makeZip({{"__MACOSX/._x.txt", "junk"},
                                           {"Йордан Йовков - Албена.txt", cp1251},
                                           {"korica.jpg", "\xff\xd8"}}));
        const TextImportResult r = readBook(zip);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.loaded.text, QStringLiteral("Първи ред\r\nвтори ред"));
        QCOMPARE(r.loaded.encoding, QStringLiteral("windows-1251"));
        QVERIFY(!r.loaded.structured);

        auto opened = Catalogue::open(dir.path());
        const ImportResult imported = importWork(*opened->catalogue, dir.path(), ImportRequest{zip, {}, {}});
        QVERIFY2(imported.ok(), qPrintable(imported.error));
        QCOMPARE(imported.title, QStringLiteral("Албена"));
        QCOMPARE(imported.author, QStringLiteral("Йордан Йовков"));
        QCOMPARE(pagesOf(dir.path(), "Албена").join(QString()).simplified(),
                 QStringLiteral("Първи ред втори ред"));
    }

    // Wrapped source lines are spaces between words, as the formats define them; preformatted text keeps
    // its lines. Books from a real converter, and one hand-wrapped XHTML chapter in an EPUB.
    void wrappedLinesAreSpaces_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("pre");
        const QDir data(QFINDTESTDATA("../data/producers"));
        for (const char* name : {"book.html", "book.epub", "book.fb2", "book.docx", "book.odt", "book.rtf"})
            QTest::newRow(name) << data.filePath(name)
                                << (QByteArray(name) != "book.docx" && QByteArray(name) != "book.odt" &&
                                    QByteArray(name) != "book.rtf");
        static QTemporaryDir dir;
        QByteArray chapter =
            QByteArray(kXhtmlChapter)
                .replace(
                    "<p>Тя тръгна",
                    "<p>Ние сме народите велики\r\nправи и горди,\tи Константин\n "
                    "Величков каза, че  той\nрече нещо важно.</p><pre>код на\nдва реда</pre><p>Тя тръгна");
        QTest::newRow("hand-wrapped epub")
            << write(dir, "a.epub", epub({{"OEBPS/Text/glava 1.xhtml", chapter}})) << true;
        // Elements left open, deeper than any XML book nests, are HTML all the same.
        QTest::newRow("tag soup")
            << write(dir, "a.htm",
                     QByteArray("<div>").repeated(3'000) +
                         "<p>Ние сме народите велики\nправи и горди, и Константин\n"
                         "Величков каза, че той<br>\nрече нещо важно.<pre>код на\nдва реда</pre>")
            << true;
    }
    void wrappedLinesAreSpaces() {
        QFETCH(QString, path);
        QFETCH(bool, pre);
        const TextImportResult r = readBook(path);
        QVERIFY2(r.ok(), qPrintable(r.error));
        const QStringList lines = linesOf(r);
        const QString wrapped = "Ние сме народите велики прави и горди, и Константин Величков каза, че той";
        QVERIFY2(r.loaded.text.contains(wrapped), qPrintable(r.loaded.text));
        QVERIFY(!r.loaded.text.contains("  "));
        if (pre)
            QVERIFY2(lines.contains("код на") && lines.contains("два реда"), qPrintable(r.loaded.text));
    }

    // One story as other producers write it, from a source wrapped and not (see data/producers/README.md):
    // every word of it whole, the note's too, and the chapters where the format marks them.
    void otherProducersKeepWordsWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("chapters");
        QTest::addColumn<bool>("note");
        for (const char* name : {"lo.html", "lo.epub", "lo.docx", "lo.odt", "lo.rtf", "calibre-wrapped.epub",
                                 "calibre-unwrapped.epub"})
            QTest::newRow(name) << QString::fromLatin1(name) << true << true;
        // Plain HTML, read as a browser would; calibre's FB2 makes its headings bold paragraphs.
        for (const char* name : {"bela-voda.html", "bela-voda-wrapped.html"})
            QTest::newRow(name) << QString::fromLatin1(name) << true << false;
        for (const char* name : {"calibre-wrapped.fb2", "calibre-unwrapped.fb2"})
            QTest::newRow(name) << QString::fromLatin1(name) << false << false;
    }
    void otherProducersKeepWordsWhole() {
        QFETCH(QString, name);
        QFETCH(bool, chapters);
        QFETCH(bool, note);
        const QDir data(QFINDTESTDATA("../data/producers"));
        static const QRegularExpression word(QStringLiteral("[\\x{0400}-\\x{04FF}]+"));
        auto words = [&](const QString& text) {
            QSet<QString> found;
            for (auto it = word.globalMatch(text); it.hasNext();)
                found.insert(it.next().captured());
            return found;
        };
        QFile source(data.filePath("bela-voda.html"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString story = QString::fromUtf8(source.readAll()).remove(QRegularExpression("<[^>]*>"));

        const TextImportResult r = readBook(data.filePath(name));
        QVERIFY2(r.ok(), qPrintable(r.error));
        const QSet<QString> read = words(r.loaded.text);
        QSet<QString> lost = words(story) - read, made = read - words(story);
        QVERIFY2(lost.isEmpty() && made.isEmpty(),
                 qPrintable(QStringList(lost.values()).join(' ') + " | " + QStringList(made.values()).join(' ')));
        QVERIFY2(linesOf(r).contains("носи пролет във сърцето."), qPrintable(r.loaded.text));
        if (chapters) {
            QStringList headings;
            for (const ContentsEntry& e : r.loaded.navigation.contents)
                headings << e.heading;
            QCOMPARE(headings, QStringList({"Първа глава", "Втора глава"}));
        }
        if (note) {
            QCOMPARE(r.loaded.navigation.notes.size(), std::size_t(1));
            QVERIFY2(r.loaded.navigation.notes.front().text.startsWith("[1] Воденица — постройка"),
                     qPrintable(r.loaded.navigation.notes.front().text));
        }
    }

    void badInputsAreRefusedWithAReason_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QString bomb = "<?xml version=\"1.0\"?><!DOCTYPE FictionBook [<!ENTITY a0 \"ха-ха-ха-ха\">";
        for (int i = 1; i < 12; ++i)
            bomb += QStringLiteral("<!ENTITY a%1 \"%2\">")
                        .arg(i)
                        .arg(QStringLiteral("&a%1;").arg(i - 1).repeated(10));
        bomb += "]><FictionBook><body><p>&a11;</p></body></FictionBook>";
        QTest::newRow("malformed fb2") << "a.fb2" << fb2("<body><p>Текст</body>") << "грешка в XML";
        QTest::newRow("billion laughs") << "a.fb2" << bomb.toUtf8() << "прекалено голям обем";
        // Each entity within its own limit, all of them together far past the total.
        const QByteArray wide = "<?xml version=\"1.0\"?><!DOCTYPE FictionBook [<!ENTITY e \"" +
                                QByteArray(60'000, 'x') + "\">]><FictionBook><body><p>" +
                                QByteArray("&e;").repeated(2'000) + "</p></body></FictionBook>";
        QTest::newRow("entities in total") << "a.fb2" << wide << "прекалено голям обем";
        QTest::newRow("entities in an epub")
            << "a.epub"
            << epub({{"OEBPS/Text/glava 1.xhtml", QByteArray(wide).replace("FictionBook", "html")}})
            << "прекалено голям обем";
        QString attributes;
        for (int i = 0; i < 5'000; ++i)
            attributes += QStringLiteral(" a%1=\"\"").arg(i);
        QTest::newRow("attributes") << "a.fb2" << fb2("<body" + attributes + "><p>Текст</p></body>")
                                    << "много атрибути";
        QTest::newRow("nesting") << "a.fb2"
                                 << fb2("<body>" + QString("<section>").repeated(5'000) + "</body>")
                                 << "дълбоко";
        QString spine;
        for (int i = 0; i < 20'000; ++i)
            spine += "<itemref idref=\"c1\"/>";
        QTest::newRow("spine repeating a chapter")
            << "a.epub"
            << epub({{"OEBPS/content.opf",
                      "<package xmlns=\"http://www.idpf.org/2007/opf\"><manifest><item id=\"c1\" "
                      "href=\"Text/cover.xhtml\"/></manifest><spine>" +
                          spine.toUtf8() + "</spine></package>"}})
            << "много части";
        QTest::newRow("footnote referenced over and over")
            << "a.docx"
            << makeZip(
                   {{"word/document.xml",
                     "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                     "<w:body><w:p>" +
                         QByteArray("<w:r><w:footnoteReference w:id=\"2\"/></w:r>").repeated(25'000) +
                         "</w:p></w:body></w:document>"}})
            << "много бележки";
        QTest::newRow("fb2 without text")
            << "a.fb2" << fb2("<body><section><p> </p></section></body>") << "няма текст";
        QTest::newRow("not a zip") << "a.zip" << QByteArray("PK\x03\x04 nothing more") << "ZIP";
        QTest::newRow("zip bomb") << "a.txt.zip" << makeZip({{"a.txt", QByteArray(40 << 20, 'a')}})
                                  << "прекалено голям обем";
        QTest::newRow("two books") << "a.zip" << makeZip({{"a.txt", "едно"}, {"b.epub", "две"}})
                                   << "няколко книги (a.txt, b.epub)";
        QTest::newRow("no book in zip") << "a.zip" << makeZip({{"a.jpg", "x"}}) << "няма книга";
        QTest::newRow("zip in a zip")
            << "a.zip" << makeZip({{"b.zip", makeZip({{"a.txt", "едно"}})}}) << "няма книга";
        QTest::newRow("epub with drm")
            << "a.epub"
            << epub(
                   {{"META-INF/encryption.xml",
                     R"(<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container" )"
                     R"(xmlns:enc="http://www.w3.org/2001/04/xmlenc#"><enc:EncryptedData><enc:EncryptionMethod )"
                     R"(Algorithm="http://www.w3.org/2001/04/xmlenc#aes128-cbc"/><enc:CipherData><enc:CipherReference )"
                     R"(URI="OEBPS/Text/glava%201.xhtml"/></enc:CipherData></enc:EncryptedData></encryption>)"}})
            << "DRM";
        QTest::newRow("epub without package")
            << "a.epub" << makeZip({{"mimetype", "application/epub+zip"}}) << "не е книга EPUB";
        QTest::newRow("broken docx") << "a.docx" << makeZip({{"word/document.xml", "<w:document><w:body>"}})
                                     << "грешка в XML";
        QTest::newRow("rtf cut short") << "a.rtf" << rtf().left(300) << "непълен";
    }
    void badInputsAreRefusedWithAReason() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = write(dir, name, bytes);
        const TextImportResult r = readBook(path);
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(reason), qPrintable(r.error));
        QVERIFY(r.error.endsWith(path));
        QVERIFY(r.loaded.text.isEmpty());
    }

    // A folder: every book in name order, each added whole or not at all, failures named, the rest going on.
    void folderImport() {
        QTemporaryDir books, library;
        QDir(books.path()).mkdir("под");
        write(books, "b.fb2", fb2(kFb2Body));
        write(books, "a.fb2", fb2("<body><p>счупен"));
        write(books, "под/Иван Вазов - Чичовци.txt", "Чичовци се събраха.");
        write(books, "c.jpg", "\xff\xd8");
        write(books, "разкази.zip",
              makeZip({{"Иван Вазов - Дядо Йоцо гледа.txt", "Дядо Йоцо гледа влака."},
                       {"Иван Вазов - Една българка.txt", "Баба Илийца."}}));
        // A name that is not UTF-8 is taken by its bytes and shown readably.
        const QByteArray raw = QFile::encodeName(books.path()) + "/Христо Ботев - Хаджи Димитър\xff.txt";
        FILE* file = std::fopen(raw.constData(), "wb");
        QVERIFY(file && std::fputs("Жив е той, жив е!", file) >= 0 && std::fclose(file) == 0);
        StartOptions o;
        o.mode = StartMode::Import;
        o.libraryDir = library.path();
        o.files = {books.path()};
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(runImport(o, outStream, errStream), 1);
        QVERIFY2(err.startsWith(books.filePath("a.fb2") + ": ") && err.count('\n') == 1, qPrintable(err));
        const QStringList added = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(added.size(), 5);
        QVERIFY(added[0].startsWith(books.filePath("b.fb2") + ": „Гераците“, Елин Пелин"));
        QVERIFY(added[1].contains("„Чичовци“, Иван Вазов"));
        // Each book of a zip that holds several, named by its own name.
        QVERIFY2(
            added[2].startsWith(books.filePath("разкази.zip/Иван Вазов - Дядо Йоцо гледа.txt: „Дядо Йоцо")),
            qPrintable(added[2]));
        QVERIFY(added[3].contains("„Една българка“, Иван Вазов"));
        QVERIFY2(added[4].contains("„Хаджи Димитър\uFFFD“, Христо Ботев"), qPrintable(added[4]));
        QCOMPARE(pagesOf(library.path(), "Гераците").join("\r\n"), kStory.join("\r\n"));
        QCOMPARE(recordsOf(library.path()).size(), std::size_t(5));

        // A folder with nothing to add is an error, not a quiet success.
        QTemporaryDir empty;
        write(empty, "korica.jpg", "\xff\xd8");
        o.files = {empty.path()};
        out.clear();
        err.clear();
        QCOMPARE(runImport(o, outStream, errStream), 1);
        QVERIFY2(err.contains("В папката няма книги"), qPrintable(err));
    }
};

QTEST_MAIN(TstBookFormats)
#include "tst_bookformats.moc"
