// Finding one's place: contents and notes from each format, chapter lines of plain texts, pages found again
// after a re-cut, marks, search over page breaks and the commands that print them.
#include "LibraryFiles.h"
#include "ZipWriter.h"
#include "core/book/BookGeometry.h"
#include "core/book/Fonts.h"
#include "core/book/PageBuild.h"
#include "core/commands/Import.h"
#include "core/commands/Navigate.h"
#include "core/nav/BookSearch.h"
#include "core/storage/WorkFileBuilder.h"
#include "core/text/formats/BookFormats.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using namespace vel;
using namespace vel::test;

namespace {

// moc misreads a '#' (and a '//') inside a raw string: the fixtures write '^' for '#' and namespaces
// without slashes, which the readers do not look at.
QByteArray hashed(QByteArray bytes) {
    return bytes.replace('^', '#');
}

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    writeFile(path, bytes);
    return path;
}

struct Outline {
    QStringList lines; // "level heading" per entry, checked against the text at its position
    QStringList notes; // "marker=text"
};

Outline outlineOf(const LoadedText& loaded) {
    Outline o;
    for (const ContentsEntry& e : loaded.navigation.contents) {
        // Each entry points at the line its heading starts.
        const QString there = loaded.text.mid(e.position).section(u'\r', 0, 0);
        o.lines << QStringLiteral("%1 %2 @%3").arg(e.level).arg(e.heading, there);
    }
    for (const NoteAnchor& n : loaded.navigation.notes)
        o.notes << loaded.text.mid(n.position, n.length) + u'=' + n.text;
    return o;
}

const QByteArray kXhtmlHead = R"(<?xml version="1.0" encoding="UTF-8"?><html xmlns="urn:x" xmlns:epub="urn:x"><body>)";

QByteArray epub(const QByteArray& manifestExtra, const QByteArray& spineAttr, const ZipFiles& extra) {
    ZipFiles files = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         R"(<?xml version="1.0"?><container version="1.0" xmlns="urn:x"><rootfiles><rootfile full-path="OPS/book.opf" media-type="application/oebps-package+xml"/></rootfiles></container>)"},
        {"OPS/book.opf",
         R"(<?xml version="1.0"?><package xmlns="urn:x" version="3.0"><metadata xmlns:dc="urn:x"><dc:title>Т</dc:title></metadata><manifest>)" +
             manifestExtra +
             R"(<item id="a" href="text/a.xhtml" media-type="application/xhtml+xml"/><item id="b" href="text/b.xhtml" media-type="application/xhtml+xml"/></manifest><spine )" +
             spineAttr + R"(><itemref idref="a"/><itemref idref="b"/></spine></package>)"},
        {"OPS/text/a.xhtml", kXhtmlHead + R"(<p>Увод.</p><h2 id="g1">Първа</h2><p>Текст едно<a epub:type="noteref" href="^fn1">1</a>.</p><aside epub:type="footnote" id="fn1"><p>Бележка едно.</p></aside></body></html>)"},
        {"OPS/text/b.xhtml", kXhtmlHead + R"(<h2>Втора</h2><p id="s2">Текст две.</p></body></html>)"},
    };
    files += extra;
    for (auto& file : files)
        file.second = hashed(file.second);
    return makeZip(files);
}

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installDesignFonts(); }

    void contentsAndNotesFromEachFormat_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("contents");
        QTest::addColumn<QStringList>("notes");

        QTest::newRow("fb2 nested sections")
            << "k.fb2"
            << hashed(R"(<?xml version="1.0" encoding="UTF-8"?><FictionBook xmlns="urn:x" xmlns:l="urn:xlink"><body><title><p>Книгата</p></title><section><title><p>Част първа</p><p>Зима</p></title><section><title><p>Глава 1</p></title><p>Сняг<a l:href="^n1" type="note">1</a> вали.</p></section><section><title><p>Глава 2</p></title><p>Лед.</p></section></section><section><title><p>Част втора</p></title><p>Пролет.</p></section></body><body name="notes"><section id="n1"><title><p>1</p></title><p>Първи сняг.</p></section></body></FictionBook>)")
            << QStringList{"1 Част първа Зима @Част първа", "2 Глава 1 @Глава 1", "2 Глава 2 @Глава 2",
                           "1 Част втора @Част втора"}
            << QStringList{"[1]=[1] Първи сняг."};
        QTest::newRow("epub 3 nav")
            << "k.epub"
            << epub(R"(<item id="nav" href="nav.xhtml" properties="nav" media-type="application/xhtml+xml"/>)", "",
                    {{"OPS/nav.xhtml", kXhtmlHead + R"(<nav epub:type="toc"><ol><li><a href="text/a.xhtml">Начало</a><ol><li><a href="text/a.xhtml^g1">Първа глава</a></li></ol></li><li><a href="text/b.xhtml^s2">Втора глава</a></li></ol></nav><nav epub:type="landmarks"><ol><li><a href="text/b.xhtml">Друго</a></li></ol></nav></body></html>)"}})
            << QStringList{"1 Начало @Увод.", "2 Първа глава @Първа", "1 Втора глава @Текст две."}
            << QStringList{"[1]=Бележка едно."};
        QTest::newRow("epub 2 ncx")
            << "k.epub"
            << epub(R"(<item id="ncx" href="toc.ncx" media-type="application/x-dtbncx+xml"/>)", R"(toc="ncx")",
                    {{"OPS/toc.ncx", R"(<?xml version="1.0"?><ncx xmlns="urn:x"><navMap><navPoint id="p1"><navLabel><text>Първа глава</text></navLabel><content src="text/a.xhtml^g1"/><navPoint id="p2"><navLabel><text>Вътре</text></navLabel><content src="text/b.xhtml"/></navPoint></navPoint></navMap></ncx>)"}})
            << QStringList{"1 Първа глава @Първа", "2 Вътре @Втора"} << QStringList{"[1]=Бележка едно."};
        QTest::newRow("epub without its own contents: the headings")
            << "k.epub" << epub("", "", {}) << QStringList{"2 Първа @Първа", "2 Втора @Втора"}
            << QStringList{"[1]=Бележка едно."};

        const QByteArray w = R"(xmlns:w="urn:x")";
        QTest::newRow("docx heading styles, translated ids")
            << "k.docx"
            << makeZip({{"word/document.xml",
                         "<w:document " + w +
                             R"(><w:body><w:p><w:pPr><w:pStyle w:val="1"/></w:pPr><w:r><w:t>Глава първа</w:t></w:r></w:p><w:p><w:r><w:t>Текст</w:t></w:r><w:r><w:footnoteReference w:id="2"/></w:r></w:p><w:p><w:pPr><w:pStyle w:val="Heading2"/></w:pPr><w:r><w:t>Подглава</w:t></w:r></w:p><w:p><w:pPr><w:outlineLvl w:val="0"/></w:pPr><w:r><w:t>Глава втора</w:t></w:r></w:p></w:body></w:document>)"},
                        {"word/styles.xml",
                         "<w:styles " + w +
                             R"(><w:style w:type="paragraph" w:styleId="1"><w:name w:val="heading 1"/></w:style><w:style w:type="paragraph" w:styleId="Heading2"><w:name w:val="heading 2"/></w:style></w:styles>)"},
                        {"word/footnotes.xml",
                         "<w:footnotes " + w +
                             R"(><w:footnote w:id="2"><w:p><w:r><w:t>Бележка.</w:t></w:r></w:p></w:footnote></w:footnotes>)"}})
            << QStringList{"1 Глава първа @Глава първа", "2 Подглава @Подглава", "1 Глава втора @Глава втора"}
            << QStringList{"[1]=[1] Бележка."};
        QTest::newRow("odt outline levels")
            << "k.odt"
            << makeZip({{"content.xml",
                         R"(<office:document-content xmlns:office="urn:x" xmlns:text="urn:x"><office:body><office:text><text:h text:outline-level="1">Глава</text:h><text:p>Текст<text:note><text:note-citation>1</text:note-citation><text:note-body><text:p>Бележка.</text:p></text:note-body></text:note>.</text:p><text:h text:outline-level="2">Под</text:h><text:p>Още.</text:p></office:text></office:body></office:document-content>)"}})
            << QStringList{"1 Глава @Глава", "2 Под @Под"} << QStringList{"[1]=[1] Бележка."};
        QTest::newRow("rtf outline levels")
            << "k.rtf"
            << QByteArray(R"({\rtf1\ansi{\pard\outlinelevel0 Chapter\par}{\pard Text{\footnote Note.}.\par}{\pard\outlinelevel1 Part\par}{\pard More.\par}})")
            << QStringList{"1 Chapter @Chapter", "2 Part @Part"} << QStringList{"[1]=[1] Note."};
        QTest::newRow("html h1-h6")
            << "k.html"
            << QByteArray(R"(<html><body><h1>Книга</h1><p>Увод.</p><h3>Раздел <em>първи</em></h3><p>Текст.</p></body></html>)")
            << QStringList{"1 Книга @Книга", "3 Раздел първи @Раздел първи"} << QStringList{};
    }
    void contentsAndNotesFromEachFormat() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, contents);
        QFETCH(QStringList, notes);
        QTemporaryDir dir;
        const TextImportResult r = readBook(write(dir, name, bytes));
        QVERIFY2(r.ok(), qPrintable(r.error));
        const Outline o = outlineOf(r.loaded);
        QCOMPARE(o.lines, contents);
        QCOMPARE(o.notes, notes);
    }

    void chapterLinesOfPlainTexts() {
        const QString with = QStringLiteral("Глава първа\r\nБеше зима.\r\n\r\nГЛАВА II\r\nПролет.\r\n* * *\r\n"
                                            "Втора част\r\nI.\r\nЛято.\r\nII.\r\nЕсен.");
        std::vector<ContentsEntry> found = chapterLines(with);
        QStringList heads;
        for (const ContentsEntry& e : found)
            heads << QStringLiteral("%1 %2").arg(e.level).arg(with.mid(e.position, e.heading.size()));
        QCOMPARE(heads, (QStringList{"2 Глава първа", "2 ГЛАВА II", "1 Втора част", "2 I.", "2 II."}));
        // A lone numbered line, a list of numerals out of order, chapters named inside prose: none.
        QVERIFY(chapterLines(QStringList{"Глава първа", "Текст без други глави."}.join("\r\n")).empty());
        QVERIFY(chapterLines(QStringList{"IV.", "a", "II.", "b", "Глава първа беше дълга."}.join("\n")).empty());
        QVERIFY(chapterLines(QStringLiteral("Той прочете глава първа и глава втора.")).empty());
    }

    void pagesMarksAndSearchSurviveARecut() {
        QTemporaryDir dir;
        QStringList paragraphs;
        for (int i = 1; i <= 40; ++i) {
            paragraphs << QStringLiteral("Глава %1").arg(i);
            for (int j = 0; j < 6; ++j)
                paragraphs << QStringLiteral("Реката течеше бавно покрай старата воденица, а вятърът носеше "
                                             "мирис на окосена ливада и на дим от далечните комини %1.")
                                  .arg(i * 10 + j);
        }
        const QString text = paragraphs.join(QStringLiteral("\r\n"));
        const BookNavigation nav{chapterLines(text), {}};
        QCOMPARE(int(nav.contents.size()), 40);

        auto build = [&](double size, PageLayout layout, bool replace) {
            WorkFileBuilder b;
            QVERIFY(b.begin(dir.path(), "Река", replace ? WorkFileBuilder::Placement::Replace
                                                         : WorkFileBuilder::Placement::New));
            if (!replace)
                QVERIFY(b.setNavigation(nav));
            PageBuildProgress progress;
            QCOMPARE(buildPages(text, bookPageGeometry(1024, 768, "Tahoma", size, layout), progress,
                                [&](const QString& p) { return b.appendPage(p).ok(); }),
                     PageBuildOutcome::Written);
            QVERIFY(b.commit());
        };
        auto checkPages = [&](int* pages) {
            auto work = WorkFile::open(*workFilePath(dir.path(), "Река"));
            QVERIFY(work);
            *pages = work->pageCount();
            const auto contents = work->contents();
            QCOMPARE(int(contents.size()), 40);
            for (const ContentsEntry& e : contents) {
                const WorkFile::Page page = work->page(work->pageAt(e.position));
                QVERIFY2(page.text.contains(e.heading + u"\r\n") || page.text.endsWith(e.heading),
                         qPrintable(e.heading));
            }
            // The marked place is found on whatever page now holds it.
            const auto marks = work->marks();
            QCOMPARE(int(marks.size()), 1);
            const int page = work->pageAt(marks[0].position);
            const qint64 at = marks[0].position - work->pageStarts()[size_t(page - 1)];
            QVERIFY(work->page(page).text.mid(int(at)).startsWith(QStringLiteral("Глава 17")));
            // A phrase over a line break, another case and a soft hyphen in the words looked for.
            const auto hits = searchWork(work->pageCount(), [&](int n) { return work->page(n).text; }, QStringLiteral("комини 205.   ГЛАВА 2\u00AD1"));
            QCOMPARE(int(hits.size()), 1);
            QCOMPARE(hits[0].page, work->pageAt(text.indexOf(QStringLiteral("комини 205."))));
            QVERIFY2(hits[0].context.contains(QStringLiteral("комини 205. Глава 21 Реката")),
                     qPrintable(hits[0].context));
        };
        build(14, PageLayout::Book, false);
        BookMark mark{0, int(text.indexOf(QStringLiteral("Глава 17\r\n"))), QDateTime::currentDateTime(), "Глава 17"};
        QVERIFY(WorkFile::addMark(*workFilePath(dir.path(), "Река"), mark));
        int before = 0, after = 0;
        checkPages(&before);
        build(20, PageLayout::Plain, true);
        checkPages(&after);
        QVERIFY(after > before);
        QVERIFY(WorkFile::removeMark(*workFilePath(dir.path(), "Река"), mark.id));
        QVERIFY(WorkFile::open(*workFilePath(dir.path(), "Река"))->marks().empty());
    }

    void searchOverPageBreaks() {
        // Fed page by page as a work's pages are: the phrase runs over the break, hits come in book order.
        BookSearch search(QStringLiteral("тиха   РЕКА"));
        std::vector<SearchHit> hits;
        search.addPage(1, QStringLiteral("Тиха река. Една тиха"), hits);
        search.addPage(2, QStringLiteral("\r\nре\u00ADка тече."), hits);
        search.finish(hits);
        QCOMPARE(int(hits.size()), 2);
        QCOMPARE(hits[0], (SearchHit{0, 9, 1, QStringLiteral("Тиха река. Една тиха река тече.")}));
        QCOMPARE(hits[1].position, 16);
        QCOMPARE(hits[1].length, 11); // the line break and the soft hyphen are inside it
        QCOMPARE(hits[1].page, 1);
        QVERIFY(BookSearch(QStringLiteral(" \u00AD ")).isEmpty());
    }

    void commandsPrintContentsAndHits() {
        QTemporaryDir dir;
        const QString fb2 = write(dir, "Автор - Книга.fb2",
                                  R"(<?xml version="1.0" encoding="UTF-8"?><FictionBook xmlns="urn:x"><body><section><title><p>Първа глава</p></title><p>Сняг вали над града.</p></section><section><title><p>Втора глава</p></title><p>Снегът се топи.</p></section></body></FictionBook>)");
        {
            auto opened = Catalogue::open(dir.path());
            QVERIFY(importWork(*opened->catalogue, dir.path(), ImportRequest{fb2, {}, {}}).ok());
        }
        auto run = [&](StartMode mode, const QString& title, const QStringList& words, QString* printed) {
            StartOptions o;
            o.libraryDir = dir.path();
            o.mode = mode;
            o.workTitle = title;
            o.files = words;
            QString out, err;
            QTextStream os(&out), es(&err);
            const int code = mode == StartMode::Contents ? runContents(o, os, es) : runSearch(o, os, es);
            *printed = out + err;
            return code;
        };
        QString printed;
        QCOMPARE(run(StartMode::Contents, "Книга", {}, &printed), 0);
        QCOMPARE(printed, QStringLiteral("1\t1\tПърва глава\n1\t1\tВтора глава\n"));
        QCOMPARE(run(StartMode::Search, "Книга", {"сНЕг"}, &printed), 0);
        QCOMPARE(printed, QStringLiteral("1\tглава Сняг вали над града. Втора глава Снегът се топи.\n"));
        QCOMPARE(run(StartMode::Search, "Книга", {"дъжд"}, &printed), 0);
        QCOMPARE(printed, QString());
        QCOMPARE(run(StartMode::Contents, "Няма я", {}, &printed), 1);
        QVERIFY(printed.contains(QStringLiteral("няма произведение „Няма я“")));
    }
};

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
