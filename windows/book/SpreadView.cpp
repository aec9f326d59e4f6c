// The spread on show: the pages set in their layout, the labels and the page box, placed on the window.

#include "windows/KNIGA.h"
#include "windows/book/BookFinder.h"

#include "core/book/BookGeometry.h"
#include "core/book/Recut.h"
#include "ui/PageView.h"
#include "ui/Session.h"
#include "windows/book/BookTexts.h"
#include "windows/book/Painting.h"

#include <QProgressBar>

namespace vel {

using namespace book;

void KNIGA::Timer2_Timer() {
    Timer2->stop();
    applyLayout(true);
    layoutDone_ = true;
    if (work_ && !building_)
        applyView(); // a work opened before the layout step is shown on the laid-out pages
    // In front, with the keys that turn the pages.
    if (isVisible()) {
        activateWindow();
        setFocus();
    }
}

void KNIGA::applyLayout(bool withFontStep) {
    const TwipsRect me = twipsBox(this);
    const BookLayout l = bookLayout(me.width, me.height, twWidth(Label1), twWidth(Label2));
    setTwipsBox(R1, l.r1);
    setTwipsBox(R2, l.r2);
    applyPageMargins();
    if (withFontStep) {
        R1->setFontSize(steppedFontSize(R1->fontSize(), int(fontStep)));
        R2->setFontSize(steppedFontSize(R2->fontSize(), int(fontStep)));
    }
    setTwLeft(Label1, l.label1Left);
    setTwTop(Label1, l.label1Top);
    setTwTop(Label2, l.label2Top);
    setTwLeft(Label2, l.label2Left);
    fitTopButtons();
    const QRect page = R1->geometry();
    progressBar_->setGeometry(page.left() + 24, page.bottom() - 40, page.width() - 48, 24);
}

void KNIGA::fitTopButtons() {
    // The buttons along the top edge grow with the window, but the pages keep their place just below it:
    // on a screen taller than the design's the buttons reach over the pages' first lines, whatever the
    // layout. The click areas end at the pages' top; the drawn buttons lie under the pages, which cover
    // their lower part as they cover the picture's buttons.
    if (topButtons_.empty()) {
        for (QWidget* button : {Label9, Label7, Label12, Label11})
            topButtons_.emplace_back(button, twipsBox(button));
    }
    const double pagesTop = std::min(twTop(R1), twTop(R2));
    for (const auto& [button, full] : topButtons_) {
        TwipsRect box = full;
        if (box.top < pagesTop)
            box.height = std::min(box.height, pagesTop - box.top);
        setTwipsBox(button, box);
    }
}

void KNIGA::Form_Resize() {
    // A window manager that sizes the window after the layout step gets the pages placed again, and cut
    // again when they no longer fit.
    if (layoutDone_ && !isMinimized()) {
        applyLayout(false);
        if (building_ && !workerStarted_)
            showOpeningWhileBuilding(0); // the first spread waits for no cut
        else
            applyView();
    }
}

void KNIGA::applyView() {
    if (recutting_)
        return; // the pages on show wait for the new cut
    const SpreadView& v = spread_.view();
    Label1->setText(v.label1);
    Label2->setText(v.label2);
    setPageBox(v.pageBox);
    // Before the layout step the views still have their design size, too small for a page.
    if (!layoutDone_)
        return;
    const int n = spread_.cursor() - 1; // the left page's record
    const int count = work_ ? work_->pageCount() : 0;
    showPages(v.leftText, v.rightText, n <= 1 || !work_ || endsParagraph(work_->page(n - 1).text), n < count,
              n + 1 < count);
    finder_->spreadShown(spread_.cursor() - 1);
    if (spread_.lastPage() > 0)
        recutForView(spread_.pageCounter() - 1);
}

void KNIGA::showPages(const QString& leftText, const QString& rightText, bool afterParagraphEnd,
                      bool textAfterLeft, bool textAfterRight) {
    // Whether a page opens a paragraph or ends inside one is told by the pages around it.
    PageFlow left, right;
    if (layout_ == PageLayout::Book) {
        left = pageFlowOf(afterParagraphEnd, leftText, textAfterLeft);
        right = pageFlowOf(endsParagraph(leftText), rightText, textAfterRight);
    }
    if (R1->text() != leftText || R1->pageFlow() != left) {
        R1->setPageFlow(left);
        R1->setText(leftText);
    }
    if (R2->text() != rightText || R2->pageFlow() != right) {
        R2->setPageFlow(right);
        R2->setText(rightText);
    }
}

void KNIGA::showOpeningWhileBuilding(int from) {
    // Cut exactly for the view, so that nothing is shown clipped; the whole text is cut elsewhere.
    const PageGeometry geometry = pageGeometryOf(*R1);
    const QString cutFor = cutSignature(geometry) + QLatin1Char(' ') + QString::number(from);
    if (cutFor == openingCutFor_ && !R1->text().isEmpty())
        return; // on show already
    openingCutFor_ = cutFor;
    const std::vector<PageSpan> pages = cutOpeningPages(buildText_, from, geometry, 2);
    auto pageText = [&](std::size_t i) {
        return i < pages.size() ? buildText_.mid(pages[i].start, pages[i].length) : QString();
    };
    const int afterRight = pages.empty() ? from : pages.back().start + pages.back().length;
    showPages(pageText(0), pageText(1), from == 0 || endsParagraph(QStringView(buildText_).left(from)),
              pages.size() > 1, afterRight < buildText_.size());
}

void KNIGA::setPageBox(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    const int row = ok ? Spread::listRowOf(n, spread_.lastPage()) : -1;
    if (row >= 0 && row < Combo1->count())
        Combo1->setCurrentIndex(row);
    Combo1->setEditText(text);
    // The fast-flip list marks the left page on show.
    if (row >= 0 && row < combo11->count())
        combo11->setCurrentRow(row);
    else
        combo11->setCurrentRow(-1);
}

void KNIGA::setPageLayout(PageLayout layout) {
    layout_ = layout;
    session().reading().setLayout(layout);
    R1->setLayout(layout);
    R2->setLayout(layout);
    applyPageMargins();
    static_cast<LayoutButton*>(layoutSwitch_)->setBook(layout == PageLayout::Book);
    layoutSwitch_->setToolTip(layout == PageLayout::Book ? kBookLayoutTip : kPlainLayoutTip);
}

void KNIGA::applyPageMargins() {
    R1->setPageMargins(pageMargins(layout_, R1->size(), PageSide::Left));
    // The right page's text is as wide as the left's, which its pages were cut for; the wider box gives
    // the rest to its outer margin.
    QMargins right = pageMargins(layout_, R1->size(), PageSide::Right);
    if (layout_ == PageLayout::Book)
        right.setRight(right.right() + R2->width() - R1->width());
    R2->setPageMargins(right);
}

} // namespace vel
