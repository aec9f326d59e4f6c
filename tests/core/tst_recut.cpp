// A work cut for one screen, cut anew for another: the reader's place is found again by its position in the
// text, and the stored fact tells apart the views a work was cut for.
#include "core/book/BookGeometry.h"
#include "core/book/Fonts.h"
#include "core/book/Recut.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"

#include <QTemporaryDir>

#include <QTest>

using namespace vel;

namespace {

QString novel() {
    QString s;
    for (int p = 0; p < 400; ++p)
        s += QStringLiteral("Абзац %1: момичето стоеше зад него и гледаше към морето, където светлината "
                            "на вечерта падаше върху пътя и старите къщи на града.\r\n")
                 .arg(p);
    return s;
}

GatheredPages stored(const QString& text, const PageCut& cut) {
    return *gatherPages(int(cut.pages.size()), [&](int n) -> std::optional<QString> {
        const PageSpan s = cut.pages[std::size_t(n - 1)];
        return text.mid(s.start, s.length);
    });
}

} // namespace

class RecutTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installDesignFonts(); }

    void placeKeptAcrossScreens() {
        const QString text = novel();
        const PageCut small = cutPages(text, bookPageGeometry(800, 600, QStringLiteral("Tahoma"), 14,
                                                              PageLayout::Book));
        const PageCut large = cutPages(text, bookPageGeometry(1920, 1080, QStringLiteral("Tahoma"), 14,
                                                              PageLayout::Book));
        QVERIFY(small.complete() && large.complete());
        QVERIFY(small.pages.size() != large.pages.size());

        // The pages put back together are the text; each page starts where the cut said.
        const GatheredPages g = stored(text, small);
        QCOMPARE(g.text, text.left(g.text.size()));
        QVERIFY(text.size() - g.text.size() <= kMaxResidue);
        for (int n : {1, 2, 17, int(small.pages.size())})
            QCOMPARE(pageStart(g, n), small.pages[std::size_t(n - 1)].start);

        // Reading at left page 17 on the small screen: the large screen's spread shows that text.
        const int pos = pageStart(g, 17);
        const int left = leftPageAtPosition(large.pages, pos);
        QVERIFY(left % 2 == 1);
        const PageSpan l = large.pages[std::size_t(left - 1)];
        const int spreadEnd = left < int(large.pages.size()) ? large.pages[std::size_t(left)].start +
                                                                   large.pages[std::size_t(left)].length
                                                             : l.start + l.length;
        QVERIFY(l.start <= pos && pos < spreadEnd);

        // And back: the same place, whichever way the cut went.
        QCOMPARE(pageAtPosition(large.pages, 0), 1);
        QCOMPARE(pageAtPosition(large.pages, -5), 1);
        QCOMPARE(pageAtPosition(large.pages, int(text.size()) + 10), int(large.pages.size()));
        QCOMPARE(pageAtPosition({}, 3), 1);
        QCOMPARE(leftPageAtPosition(large.pages, large.pages[1].start), 1);
        QCOMPARE(leftPageAtPosition(large.pages, large.pages[2].start), 3);

        // The spread shown while a work is cut, found from a beginning only, is the whole cut's; from a
        // page's start on, it is the cut of the text from there.
        const PageGeometry g1080 =
            bookPageGeometry(1920, 1080, QStringLiteral("Tahoma"), 14, PageLayout::Book);
        QCOMPARE(cutOpeningPages(text, 0, g1080, 2),
                 std::vector<PageSpan>(large.pages.begin(), large.pages.begin() + 2));
        const int from = large.pages[40].start;
        const PageCut rest = cutPages(text.mid(from), g1080);
        const std::vector<PageSpan> opening = cutOpeningPages(text, from, g1080, 2);
        QCOMPARE(opening.size(), std::size_t(2));
        QCOMPARE(opening[1].start, from + rest.pages[1].start);
        QCOMPARE(opening[1].length, rest.pages[1].length);
    }

    void unreadablePageGathersNothing() {
        QVERIFY(!gatherPages(3, [](int n) -> std::optional<QString> {
                     if (n == 2)
                         return std::nullopt;
                     return QStringLiteral("x");
                 }).has_value());
        const GatheredPages none = *gatherPages(0, [](int) { return std::optional<QString>(); });
        QCOMPARE(pageStart(none, 1), 0);
    }

    void signatureTellsViewsApart() {
        const auto at = [](int w, int h, double size, PageLayout layout) {
            return cutSignature(bookPageGeometry(w, h, QStringLiteral("Tahoma"), size, layout));
        };
        const QString base = at(1024, 768, 14, PageLayout::Book);
        QCOMPARE(at(1024, 768, 14, PageLayout::Book), base);
        QVERIFY(at(1920, 1080, 14, PageLayout::Book) != base);
        QVERIFY(at(1024, 768, 16, PageLayout::Book) != base);
        QVERIFY(at(1024, 768, 14, PageLayout::Plain) != base);
        // One pixel of height changes which lines fit.
        PageGeometry g = bookPageGeometry(1024, 768, QStringLiteral("Tahoma"), 14, PageLayout::Book);
        g.viewportHeight -= 1;
        QVERIFY(cutSignature(g) != base);
    }

    void storedWorkCutAnewKeepsPlaceAndFacts() {
        QTemporaryDir dir;
        const QString text = novel();
        const PageGeometry small = bookPageGeometry(800, 600, QStringLiteral("Tahoma"), 14, PageLayout::Book);
        const PageGeometry large = bookPageGeometry(1920, 1080, QStringLiteral("Tahoma"), 14, PageLayout::Book);
        const PageCut cut = cutPages(text, small);
        {
            WorkFileBuilder b;
            QVERIFY(b.begin(dir.path(), QStringLiteral("Морето")));
            QVERIFY(b.setFact(kLayoutFact, layoutName(PageLayout::Book)));
            for (const PageSpan& s : cut.pages)
                QVERIFY(b.appendPage(text.mid(s.start, s.length)));
            QVERIFY(b.commit());
        }
        const QString path = dir.filePath(QStringLiteral("Морето.mdb"));
        QVERIFY(needsRecut(WorkFile::open(path)->fact(kCutFact), large)); // cut before the fact was kept

        PageBuildProgress progress;
        const RecutOutcome r = recutWork(dir.path(), QStringLiteral("Морето"), large, {17}, progress);
        QCOMPARE(r.outcome, PageBuildOutcome::Written);
        const auto work = WorkFile::open(path);
        QVERIFY(!needsRecut(work->fact(kCutFact), large));
        QCOMPARE(work->fact(kLayoutFact), layoutName(PageLayout::Book));
        QCOMPARE(work->fact(QStringLiteral("title")), QStringLiteral("Морето"));
        // The pages are those of the new view, not the old ones.
        const PageCut fresh = cutPages(text, large);
        QCOMPARE(work->pageCount(), int(fresh.pages.size()));
        QVERIFY(fresh.pages.size() != cut.pages.size());
        // Where the old page 17 began lies on the new spread at r.leftPage; the text is the same.
        const GatheredPages now = *gatherPages(work->pageCount(), [&work](int n) -> std::optional<QString> {
            return work->page(n).text;
        });
        QCOMPARE(now.text, stored(text, cut).text);
        const int place = cut.pages[16].start;
        QCOMPARE(r.leftPage % 2, 1);
        QVERIFY(pageStart(now, r.leftPage) <= place);
        QVERIFY(r.leftPage + 2 > work->pageCount() || place < pageStart(now, r.leftPage + 2));
        QCOMPARE(r.position, place);

        // Cut back and forth while the reader stays put: the place does not drift back a spread at a time.
        const RecutOutcome back =
            recutWork(dir.path(), QStringLiteral("Морето"), small, {r.leftPage, r.position}, progress);
        const RecutOutcome there =
            recutWork(dir.path(), QStringLiteral("Морето"), large, {back.leftPage, back.position}, progress);
        QCOMPARE(there.position, place);
        QCOMPARE(there.leftPage, r.leftPage);

        // A work that is not there is reported, and nothing is written.
        const RecutOutcome missing = recutWork(dir.path(), QStringLiteral("Няма го"), large, {1}, progress);
        QVERIFY(missing.outcome != PageBuildOutcome::Written);
        QVERIFY(!missing.error.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Няма го.mdb"))));
    }
};

QTEST_MAIN(RecutTest)
#include "tst_recut.moc"
