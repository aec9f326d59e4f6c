// A work cut for another screen is cut anew when the book opens it: the reader's place is kept by its
// position in the text, and no page is shown clipped, before or after.
#include "kniga_fixture.h"

#include "core/book/BookGeometry.h"
#include "core/book/Recut.h"
#include "ui/PageView.h"

#include <QProgressBar>

using namespace vel;
using namespace vel::test;

class TstBookFit : public QObject {
    Q_OBJECT
private slots:
    void workCutForAnotherScreenIsCutAnew() {
        QString text;
        for (int p = 0; p < 300; ++p)
            text += QStringLiteral("Абзац %1: момичето стоеше зад него и гледаше към морето, където "
                                   "светлината на вечерта падаше върху пътя.\r\n")
                        .arg(p);
        const PageGeometry small = bookPageGeometry(800, 600, QStringLiteral("Tahoma"), 14, PageLayout::Book);
        const PageCut cut = cutPages(text, small);
        QStringList pages;
        for (const PageSpan& s : cut.pages)
            pages << text.mid(s.start, s.length);

        Library lib({{QStringLiteral("Море"), {QStringLiteral("x")}, QStringLiteral("9")}});
        {
            // As cut on a small screen, and saying so.
            WorkFileBuilder b;
            QVERIFY(b.begin(lib.dir.path(), QStringLiteral("Море"), WorkFileBuilder::Placement::Replace));
            QVERIFY(b.setFact(kLayoutFact, layoutName(PageLayout::Book)));
            QVERIFY(b.setFact(kCutFact, cutSignature(small)));
            for (const QString& page : pages)
                QVERIFY(b.appendPage(page));
            QVERIFY(b.commit());
        }
        KNIGA& k = lib.open(QStringLiteral("Море"), QStringLiteral("9"));
        QVERIFY(k.R1->text().isEmpty()); // nothing shown until it fits
        auto* bar = k.findChild<QProgressBar*>();
        QTRY_VERIFY_WITH_TIMEOUT(!bar->isVisible() && !k.R1->text().isEmpty(), 20000);

        const QString path = workPath(lib.dir.path(), QStringLiteral("Море"));
        auto work = WorkFile::open(path);
        QCOMPARE(work->fact(kCutFact), cutSignature(pageGeometryOf(*k.R1)));
        QCOMPARE(work->fact(kLayoutFact), layoutName(PageLayout::Book));
        QVERIFY(work->pageCount() != int(pages.size()));
        QVERIFY(showsWhole(*k.R1) && showsWhole(*k.R2));

        // The reader's place is carried over by position; the text itself is unchanged.
        const int left = k.Label1->text().toInt();
        QCOMPARE(k.R1->text(), work->page(left).text);
        const GatheredPages now = *gatherPages(work->pageCount(), [&work](int n) -> std::optional<QString> {
            return work->page(n).text;
        });
        QCOMPARE(now.text, pages.join(QString()));
        QVERIFY(left > 1);

        // Closed, the bookmark is the page in the new cut.
        lib.book()->Label11_Click();
        lib.formB().TimerZapis_Timer();
        Library::settle();
        QCOMPARE(catalogueRecords(lib.catalogue()).front().second, QString::number(left));

        // Opened again on the same screen: not cut a second time, and at the same spread.
        const int pageCount = work->pageCount();
        work.reset();
        KNIGA& again = lib.open(QStringLiteral("Море"), QString::number(left));
        QTRY_VERIFY_WITH_TIMEOUT(!again.R1->text().isEmpty(), 20000);
        QVERIFY(!again.findChild<QProgressBar*>()->isVisible());
        QCOMPARE(again.Label1->text().toInt(), left);
        QCOMPARE(WorkFile::open(path)->pageCount(), pageCount);
    }
};

QTEST_MAIN(TstBookFit)
#include "tst_bookfit.moc"
