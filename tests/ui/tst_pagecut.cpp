// Page cutting checked against real page views: every page fits its view alone and no page could take one
// more line; one layout of the whole text cuts exactly where laying out each remainder again would.
#include "core/book/Fonts.h"
#include "core/book/Hyphenation.h"
#include "core/book/PageCut.h"
#include "ui/PageView.h"
#include "ui/RichTextView.h"

#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QThread>

#include <memory>

Q_DECLARE_METATYPE(vel::PageLayout)

using namespace vel;

namespace {

// Bulgarian prose with what real texts carry: blank lines, indented paragraphs, lone LF, tabs, a forced line
// break, a word too long for any line.
QString sampleText(int paragraphs, unsigned seed = 7) {
    const QStringList words =
        QStringLiteral("и на се да че той тя беше когато човек старият град пътя към морето "
                       "сърцето думите времето никога защото вечерта светлината разказваше")
            .split(u' ');
    QString s;
    for (int p = 0; p < paragraphs; ++p) {
        if (p % 7 == 3)
            s += QStringLiteral("    ");
        const int count = 3 + int((seed = seed * 1103515245u + 12345u) >> 16) % 90;
        for (int w = 0; w < count; ++w)
            s += words.at(int((seed = seed * 1103515245u + 12345u) >> 16) % words.size()) +
                 (w % 11 == 5 ? QStringLiteral(",\t") : QStringLiteral(" "));
        if (p % 13 == 6)
            s += QString(120, QChar(u'щ')) + QChar(0x2028);
        s += p % 17 == 8 ? QStringLiteral("края.\n") : QStringLiteral("края.\r\n");
        if (p % 5 == 2)
            s += QStringLiteral("\r\n");
    }
    return s;
}

std::unique_ptr<RichTextView> pageView(const QString& font, double points, int width, int height,
                                       bool shown = true) {
    auto view = std::make_unique<RichTextView>();
    view->makePageView();
    view->setFontName(font);
    view->setFontSize(points);
    view->resize(width, height);
    view->setVisible(shown);
    return view;
}

bool pageFlowStarts(const QString& text, int start) {
    return start == 0 || text[start - 1] == u'\n' || text[start - 1] == u'\r';
}

// Shows the page of `text` that starts at `start` in `view`, indented if it opens a paragraph.
void show(RichTextView& view, const QString& text, int start, int length = -1) {
    view.setPageFlow({pageFlowStarts(text, start), false});
    view.setText(text.mid(start, length));
}

bool fitsAlone(RichTextView& view, const QString& page) {
    view.setText(page);
    return view.document()->size().height() <= view.viewport()->height();
}

bool droppable(const QString& text, int from) {
    return text.size() - from <= kMaxResidue && text.mid(from).trimmed().isEmpty();
}

// The slow way: show what is left in the view, take one view-page from its start, repeat.
std::vector<PageSpan> relaidReference(const QString& text, RichTextView& view) {
    std::vector<PageSpan> pages;
    int start = 0;
    do {
        show(view, text, start);
        const int length = view.textIndex(viewPageEnd(*view.document(), 0, view.viewport()->height()));
        pages.push_back({start, length});
        start += length;
    } while (!droppable(text, start));
    return pages;
}

// One layout of the text in the view, walked a view-page at a time. A page that ends inside a line (before a
// word the line would hyphenate) has the rest shown anew from there. Lines depend only on the text from
// their start on, so a window of the text well longer than a page gives the same pages.
std::vector<PageSpan> walkedReference(const QString& text, RichTextView& view) {
    constexpr int kWindow = 24000;
    std::vector<PageSpan> pages;
    for (int pos = 0, start = 0, shown = -1; pages.empty() || !droppable(text, start);) {
        const QTextBlock block = view.document()->findBlock(pos);
        if (shown < 0 || (start + kWindow / 2 > shown + kWindow && shown + kWindow < text.size()) ||
            block.layout()->lineForTextPosition(pos - block.position()).textStart() != pos - block.position()) {
            show(view, text, start, kWindow);
            shown = start;
            pos = 0;
        }
        pos = viewPageEnd(*view.document(), pos, view.viewport()->height());
        const int end = shown + view.textIndex(pos);
        pages.push_back({start, end - start});
        start = end;
    }
    return pages;
}

void addGeometries() {
    QTest::addColumn<QString>("font");
    QTest::addColumn<double>("points");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<PageLayout>("layout");
    QTest::newRow("book page, Tahoma 14") << "Tahoma" << 14.0 << 456 << 715 << PageLayout::Plain;
    QTest::newRow("Tahoma 10.5, narrow") << "Tahoma" << 10.5 << 230 << 400 << PageLayout::Plain;
    QTest::newRow("DejaVu Serif 17.25") << "DejaVu Serif" << 17.25 << 380 << 500 << PageLayout::Plain;
    QTest::newRow("Liberation Serif 12.75, wide")
        << "Liberation Serif" << 12.75 << 700 << 333 << PageLayout::Plain;
    // Set as a book: each line hyphenated where the full hyphenation of the page view would end it.
    QTest::newRow("hyphenated, Tahoma 14") << "Tahoma" << 14.0 << 456 << 715 << PageLayout::Book;
    QTest::newRow("hyphenated, Tahoma 10.5, narrow") << "Tahoma" << 10.5 << 230 << 400 << PageLayout::Book;
    QTest::newRow("hyphenated, DejaVu Serif 17.25")
        << "DejaVu Serif" << 17.25 << 380 << 500 << PageLayout::Book;
}

} // namespace

class PageCutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { installDesignFonts(); }

    void pagesFillTheViewAsRelaidRemaindersWould_data() { addGeometries(); }
    void pagesFillTheViewAsRelaidRemaindersWould() {
        QFETCH(QString, font);
        QFETCH(double, points);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(PageLayout, layout);
        auto view = pageView(font, points, width, height);
        view->setLayout(layout);
        const PageGeometry g = pageGeometryOf(*view);
        QCOMPARE(pageGeometryOf(*pageView(font, points, width, height, false)).viewportHeight,
                 g.viewportHeight);

        const QString text = sampleText(60);
        const PageCut cut = cutPages(text, g);
        QVERIFY(cut.complete());
        QVERIFY(cut.pages.size() > 3);
        int at = 0;
        for (std::size_t i = 0; i < cut.pages.size(); ++i) {
            const PageSpan p = cut.pages[i];
            QCOMPARE(p.start, at);
            at += p.length;
            show(*view, text, p.start, p.length);
            const QString page = view->text();
            QVERIFY2(fitsAlone(*view, page), qPrintable(QStringLiteral("page %1 scrolls").arg(i + 1)));
            if (i + 1 == cut.pages.size())
                continue;
            // The next page's first line, with its line break, would not have fitted.
            show(*view, text, cut.pages[i + 1].start, cut.pages[i + 1].length);
            const QString next = view->text();
            const QTextBlock first = view->document()->firstBlock();
            const int lineEnd =
                first.layout()->lineAt(0).textLength() + (first.layout()->lineCount() == 1 ? 1 : 0);
            const QString nextLine = next.left(view->textIndex(lineEnd));
            view->setPageFlow({pageFlowStarts(text, p.start), false});
            QVERIFY2(!fitsAlone(*view, page + nextLine),
                     qPrintable(QStringLiteral("page %1 could take another line").arg(i + 1)));
        }
        QVERIFY(droppable(text, at));

        // One layout of the whole text cuts where laying out each remainder anew does.
        const QString small = sampleText(25, 11) + QStringLiteral("\r\n \r\n");
        QCOMPARE(cutPages(small, g).pages, relaidReference(small, *view));

        // A paragraph far longer than a layout piece, with a run no line can break at a space.
        const int paragraphs = layout == PageLayout::Book ? 80 : 400; // a book's is walked more slowly
        const QString longParagraph =
            sampleText(paragraphs, 3).replace(QLatin1String("\r\n"), QLatin1String(" ")) +
            QString(50000, QChar(u'ж')) + sampleText(40, 5);
        QCOMPARE(cutPages(longParagraph, g).pages, walkedReference(longParagraph, *view));
    }

    void largerFontOrSmallerViewGivesMorePages() {
        const QString text = sampleText(80);
        auto count = [&](double points, int width, int height) {
            return cutPages(text, pageGeometryOf(*pageView("Tahoma", points, width, height))).pages.size();
        };
        const std::size_t base = count(14, 456, 715);
        QVERIFY(count(16, 456, 715) > base);
        QVERIFY(count(14, 456, 500) > base);
        QVERIFY(count(14, 300, 715) > base);
    }

    void shortTextsBreaksAndResidue() {
        auto view = pageView("Tahoma", 14, 456, 715);
        PageGeometry g = pageGeometryOf(*view);
        auto texts = [](const QString& text, const PageGeometry& geometry) {
            QStringList pages;
            for (const PageSpan& p : cutPages(text, geometry).pages)
                pages << text.mid(p.start, p.length);
            return pages;
        };
        QCOMPARE(texts(QString(), g), QStringList{QString()});
        QCOMPARE(texts(QStringLiteral("Да."), g), QStringList{QStringLiteral("Да.")});

        // Room for exactly two lines: a page ending in a line break keeps room for the empty line it opens.
        view->setText(QStringLiteral("А"));
        const int h = qRound(view->document()->size().height() - 2 * g.documentMargin);
        g.viewportHeight = 2 * h + int(2 * g.documentMargin);
        QCOMPARE(texts(QStringLiteral("Първи ред\r\nВтори"), g),
                 QStringList{QStringLiteral("Първи ред\r\nВтори")});
        QCOMPARE(texts(QStringLiteral("А\r\nБ\r\nВ\r\n"), g), (QStringList{"А\r\n", "Б\r\n", "В\r\n"}));
        QCOMPARE(texts(QStringLiteral("Първи\r\nВтори\r\n\r\n"), g), (QStringList{"Първи\r\n", "Втори\r\n"}));

        // One line per page: a tail of white space is dropped, a short tail of words never is.
        g.viewportHeight = h + int(2 * g.documentMargin);
        QCOMPARE(texts(QStringLiteral("Първи\r\nВтори\r\n  "), g), (QStringList{"Първи\r\n", "Втори\r\n"}));
        QCOMPARE(texts(QStringLiteral("Първи\r\nВтори\r\nКрай"), g),
                 (QStringList{"Първи\r\n", "Втори\r\n", "Край"}));

        // Lines taller than the view still make progress, one line a page.
        g.viewportHeight = 10;
        QCOMPARE(texts(QStringLiteral("Първи ред\r\nВтори ред"), g),
                 (QStringList{"Първи ред\r\n", "Втори ред"}));
    }

    // A book page whose paragraph goes on: its last line reaches the edge like the others, the space the
    // page ends in included, and keeps their height; but only a full line is set full.
    void runOnLastLineIsFull() {
        auto view = pageView("Tahoma", 14, 456, 715);
        view->setLayout(PageLayout::Book);
        view->setPageFlow({true, true});
        view->setText(QStringLiteral("Марките трупаше в една кутия от чай на полицата в кухнята на фара, "
                                     "защото Вяра беше на двадесет години и работеше в пощата от "));
        QTextLayout* layout = view->document()->lastBlock().layout();
        QVERIFY(layout->lineCount() >= 2);
        const QTextLine first = layout->lineAt(0);
        const QTextLine last = layout->lineAt(layout->lineCount() - 1);
        const int end = last.textStart() + last.textLength() - 1; // before the closing space
        QVERIFY2(last.cursorToX(end) > last.x() + last.width() - 1.5,
                 qPrintable(QString::number(last.cursorToX(end))));
        QCOMPARE(last.height(), first.height());

        // A short last line (a page shown at another width than it was cut for) is never stretched.
        view->setText(QStringLiteral("Момичето се радва на "));
        const QTextLine only = view->document()->lastBlock().layout()->lineAt(0);
        const int words = only.textLength() - 1;
        QVERIFY2(only.cursorToX(words) < only.x() + only.naturalTextWidth() + 1,
                 qPrintable(QString::number(only.cursorToX(words))));
    }

    // Words met before break where they did then, whatever came between; the longest words too.
    void wordsMetAgainBreakAlike() {
        const Hyphenator* h = Hyphenator::bulgarian();
        if (!h)
            QSKIP("no Bulgarian hyphenation patterns");
        Hyphenator::Buffers kept;
        const QString longest(63, QChar(u'а'));
        for (const QString& word :
             QStringList{QStringLiteral("неприятностите"), QStringLiteral("разказвач"),
                         QStringLiteral("Разказвач"), QStringLiteral("неприятностите"), longest,
                         QStringLiteral("разказвач"), longest + QStringLiteral("ба")}) {
            std::vector<int> again{-1}, fresh{-1};
            h->breaks(word, again, kept);
            h->breaks(word, fresh);
            QCOMPARE(again, fresh);
        }
    }

    void moreThanTheLastPageNumberIsRefused() {
        auto view = pageView("Tahoma", 14, 456, 715);
        PageGeometry g = pageGeometryOf(*view);
        g.viewportHeight = 10; // every line a page of its own
        QCOMPARE(cutPages(QStringLiteral("ред\r\n").repeated(kMaxPages - 1) + "ред", g).pages.size(),
                 std::size_t(kMaxPages));
        const PageCut tooMany = cutPages(QStringLiteral("ред\r\n").repeated(kMaxPages) + "ред", g);
        QCOMPARE(tooMany.status, PageCut::Status::TooManyPages);
        QVERIFY(tooMany.pages.empty());
        QCOMPARE(tooMany.fitsPercent, 99);

        // Five times too long: known early, with about how much would fit.
        const QString text = QStringLiteral("ред\r\n").repeated(5 * kMaxPages);
        int laidOut = 0;
        const PageCut early = cutPages(text, g, [&](int done, int) {
            laidOut = std::max(laidOut, done);
            return true;
        });
        QCOMPARE(early.status, PageCut::Status::TooManyPages);
        QVERIFY2(laidOut <= text.size() / 4, qPrintable(QString::number(laidOut)));
        QVERIFY2(early.fitsPercent >= 18 && early.fitsPercent <= 22, qPrintable(QString::number(early.fitsPercent)));
    }

    void cutsInAWorkerThreadWithProgressAndCancel() {
        auto view = pageView("Tahoma", 14, 456, 715);
        const PageGeometry g = pageGeometryOf(*view);
        const QString text = sampleText(1200); // long enough to be laid out in shares by several threads
        const PageCut here = cutPages(text, g);
        QCOMPARE(here.pages, walkedReference(text, *view));
        PageCut there, cancelled;
        std::vector<int> reports;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            there = cutPages(text, g, [&](int done, int total) {
                reports.push_back(done);
                return total == text.size();
            });
            cancelled = cutPages(text, g, [](int, int) { return false; });
        }));
        worker->start();
        QVERIFY(worker->wait(60000));
        QCOMPARE(there.pages, here.pages);
        QVERIFY(reports.size() > 2 && std::is_sorted(reports.begin(), reports.end()));
        QCOMPARE(reports.back(), int(text.size()));
        QCOMPARE(cancelled.status, PageCut::Status::Cancelled);
        QVERIFY(cancelled.pages.empty());
    }
};

QTEST_MAIN(PageCutTest)
#include "tst_pagecut.moc"
