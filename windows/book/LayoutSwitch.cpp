// Switching the open work between the book and the plain layout: it is cut anew and reopened at the same text.

#include "windows/KNIGA.h"

#include "ui/PageView.h"
#include "ui/Session.h"
#include "windows/book/BookTexts.h"

namespace vel {

using namespace book;

void KNIGA::switchLayout() {
    if (!work_ || building_ || workerStarted_ || recutting_ || Timer4->isActive() || !layoutDone_)
        return;
    // The work file is replaced beneath what is being read.
    stopReading();
    combo11->hide();
    // The work's text as the hand-back gathers it, and where the left page on show starts in it.
    const int left = spread_.cursor() - 1;
    QString text;
    int keep = 0;
    for (int n = 1; n <= work_->pageCount(); ++n) {
        const WorkFile::Page page = work_->page(n);
        if (!page.ok) {
            session().platform().messageBox(kUnreadable.join(QStringLiteral("\r\n")), MsgButtons::Ok,
                                            MsgIcon::Critical, kAttention);
            return;
        }
        if (n == left)
            keep = int(text.size());
        if (page.text != text)
            text += page.text;
    }
    const PageLayout before = layout_;
    const PageLayout after = before == PageLayout::Book ? PageLayout::Plain : PageLayout::Book;
    // The work on show stays open and readable until the new one is in place.
    if (!builder_->begin(session().libraryDir(), openedName_, true) ||
        !builder_->setFact(kLayoutFact, layoutName(after))) {
        builder_->abandon();
        session().platform().messageBox(builder_->failure().message, MsgButtons::Ok, MsgIcon::Critical,
                                        kAttention);
        return;
    }
    setPageLayout(after);
    buildName_ = openedName_;
    typedTitle_ = openedName_;
    building_ = true;
    keepTextAt_ = keep;
    buildText_ = text;
    // The text on show, already in the new layout, while the whole of it is cut.
    showOpeningWhileBuilding(keep);
    startWorker(pageGeometryOf(*R1));
}

} // namespace vel
