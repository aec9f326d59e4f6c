// Opening a stored work, and building a new one's pages into its work file in the background.

#include "windows/KNIGA.h"

#include "core/book/Recut.h"

#include "core/storage/LibraryPaths.h"
#include "core/AsyncTask.h"
#include "ui/PageView.h"
#include "ui/Session.h"
#include "windows/book/BookTexts.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QWindow>

namespace vel {

using namespace book;

void KNIGA::retryBuild() {
    TimerPosleden->start();
}

void KNIGA::TimerPosleden_Timer() {
    TimerPosleden->stop();
    if (session().reading().opensStoredWork())
        openingStep();
    else
        buildStep();
}

void KNIGA::openingStep() {
    const ReadingState& state = session().reading();
    const auto path = workFilePath(session().libraryDir(), state.chosenTitle());
    QString why;
    std::unique_ptr<WorkFile> work = path ? WorkFile::open(*path, &why) : nullptr;
    // A file that is there but cannot be read is damaged, not missing, and is reported as such.
    if (path && QFileInfo::exists(*path) && (!work || work->pageCount() < 1))
        return failedOpening(work ? QStringLiteral("Файлът %1 няма нито една страница.").arg(*path) : why);
    if (!work || work->pageCount() < 1)
        return failedOpening();
    work_ = std::move(work);
    openedName_ = state.chosenTitle();
    keptPlace_ = {};
    setPageLayout(storedLayout(work_->fact(kLayoutFact)));
    spreadOverWork();
    bool ok = false;
    const int n = Combo1->currentText().trimmed().toInt(&ok);
    const auto bookmark = wholeNumber16(state.bookmark());
    if (!ok || !spread_.showAt(n) || !bookmark) {
        work_.reset();
        spread_ = Spread();
        return failedOpening();
    }
    bookmark_ = *bookmark;
    applyView();
    naiPosleden->start();
}

void KNIGA::naiPosleden_Timer() {
    naiPosleden->stop();
    if (session().reading().opensStoredWork())
        bookmarkStep(bookmark_);
    else
        Timer1->start();
}

void KNIGA::bookmarkStep(int bookmark) {
    if (!spread_.openAtBookmark(bookmark))
        return failedOpening();
    const QStringList numbers = Spread::leftPageNumbers(spread_.lastPage());
    Combo1->clear();
    combo11->clear();
    Combo1->addItems(numbers);
    combo11->addItems(numbers);
    settingsValid_ = true;
    applyView();
}

void KNIGA::failedOpening(const QString& damaged) {
    settingsValid_ = true; // the work's page becomes 1
    if (damaged.isEmpty())
        session().platform().messageBox(kMissingText.join(QStringLiteral("\r\n")), MsgButtons::Ok,
                                        MsgIcon::None, kMissingTitle);
    else
        session().platform().messageBox(damaged, MsgButtons::Ok, MsgIcon::Critical, kAttention);
    close();
    showLibrary();
}

void KNIGA::buildStep() {
    if (building_)
        return;
    ReadingState& state = session().reading();
    const QString name = state.workName();
    if (typedTitle_.isNull())
        typedTitle_ = state.title();
    const bool rebuild = !state.rebuildTitle().isEmpty() && state.rebuildTitle() == name;
    // A new work's file waits, finished, for its record to be written with it (FormB::addBuiltWork).
    const auto placement = rebuild              ? WorkFileBuilder::Placement::Replace
                           : state.hasNewWork() ? WorkFileBuilder::Placement::Staged
                                                : WorkFileBuilder::Placement::New;
    if (!builder_->begin(session().libraryDir(), name, placement)) {
        state.setRebuildTitle({});
        // A name that cannot be used or is taken asks for another; the disk's refusal is told.
        if (const FailureKind kind = builder_->failure().kind; kind != FailureKind::Invalid && kind != FailureKind::Exists)
            return buildFailedMessage(builder_->failure().message);
        return askForAnotherName();
    }
    // A new work is set as a book; a rebuild keeps the layout its work had.
    PageLayout layout = PageLayout::Book;
    if (rebuild) {
        if (const auto old = WorkFile::open(builder_->finalPath()))
            layout = storedLayout(old->fact(kLayoutFact));
    }
    setPageLayout(layout);
    if (!builder_->setFact(kLayoutFact, layoutName(layout))) {
        builder_->abandon();
        state.setRebuildTitle({});
        return buildFailedMessage(builder_->failure().message);
    }
    // A rebuild keeps what the old file navigated by; a new work takes the loaded book's.
    if (!rebuild && !builder_->setNavigation(state.panelNavigation())) {
        builder_->abandon();
        return buildFailedMessage(builder_->failure().message);
    }
    buildName_ = name;
    building_ = true;
    keepTextAt_ = -1;
    buildText_ = state.panelText();
    naiPosleden->start();
}

void KNIGA::Timer1_Timer() {
    const QString font = session().reading().settings().font;
    R1->setFontName(font);
    R2->setFontName(font);
    Timer1->stop();
    if (!building_ || workerStarted_)
        return;
    showOpeningWhileBuilding(0);
    startWorker(pageGeometryOf(*R1));
}

void KNIGA::startWorker(const PageGeometry& geometry) {
    // Set while the window's own thread still has the builder; a failure shows at the commit.
    (void)builder_->setFact(kCutFact, cutSignature(geometry));
    progress_ = std::make_shared<PageBuildProgress>();
    progress_->total = int(buildText_.size());
    Timer101_Timer();
    progressBar_->show();
    progressBar_->raise();
    Timer101->start();
    workerStarted_ = true;
    worker_ = runInBackground(
        this,
        [builder = std::exchange(builder_, std::make_shared<WorkFileBuilder>()), text = buildText_, geometry,
         progress = progress_] { return cutAndWrite(builder, text, geometry, *progress); },
        [this](const BuildResult& result) { buildFinished(result); });
}

KNIGA::BuildResult KNIGA::cutAndWrite(std::shared_ptr<WorkFileBuilder> builder, const QString& text,
                                      const PageGeometry& geometry, PageBuildProgress& progress) {
    BuildResult result;
    result.builder = builder;
    switch (buildPages(text, geometry, progress,
                       [&builder = *builder](const QString& page) { return BOOT(builder, page); })) {
    case PageBuildOutcome::Written:
        if (builder->commit()) {
            result.outcome = BuildOutcome::Committed;
        } else {
            result.outcome = builder->failure().kind == FailureKind::Exists
                                 ? BuildOutcome::NameTaken
                                 : BuildOutcome::WriteFailed;
            result.error = builder->failure().message;
        }
        break;
    case PageBuildOutcome::TooManyPages: {
        result.outcome = BuildOutcome::TooManyPages;
        QStringList lines = kTooLong;
        lines.insert(2, fittingShareLine(progress.fitsPercent));
        result.error = lines.join(QStringLiteral("\r\n"));
        break;
    }
    case PageBuildOutcome::Cancelled:
        result.outcome = BuildOutcome::Cancelled;
        break;
    case PageBuildOutcome::WriteFailed:
        result.outcome = BuildOutcome::WriteFailed;
        result.error = builder->failure().message;
        break;
    }
    return result;
}

bool KNIGA::BOOT(WorkFileBuilder& builder, const QString& pagePiece) {
    return builder.appendPage(pagePiece).ok();
}

void KNIGA::Timer101_Timer() {
    const int pages = progress_->pages;
    if (pages == 0) {
        const int total = std::max(1, progress_->total.load());
        progressBar_->setValue(int(500LL * progress_->laidOut / total));
        progressBar_->setFormat(QStringLiteral("Нареждане на страниците…"));
    } else {
        const int written = progress_->written;
        progressBar_->setValue(500 + int(500LL * written / pages));
        progressBar_->setFormat(QStringLiteral("Записване: страница %1 от %2").arg(written).arg(pages));
    }
}

void KNIGA::buildFinished(const BuildResult& result) {
    worker_.waitForFinished();
    workerStarted_ = false;
    if (!building_ || !isLoaded())
        return;
    builder_ = result.builder;
    building_ = false;
    Timer101->stop();
    progressBar_->hide();
    session().reading().setRebuildTitle({});

    const int keepTextAt = std::exchange(keepTextAt_, -1);
    if (keepTextAt >= 0 && result.outcome != BuildOutcome::Committed) {
        // A layout switch that did not go through: the work stays as it was, on show as it was.
        builder_->abandon();
        setPageLayout(layout_ == PageLayout::Book ? PageLayout::Plain : PageLayout::Book);
        R1->setText(QString());
        applyView();
        if (result.outcome == BuildOutcome::TooManyPages)
            session().platform().messageBox(result.error, MsgButtons::Ok,
                                            MsgIcon::Critical, kAttention);
        else if (result.outcome != BuildOutcome::Cancelled)
            session().platform().messageBox(result.error, MsgButtons::Ok, MsgIcon::Critical, kAttention);
        return;
    }

    switch (result.outcome) {
    case BuildOutcome::Committed: {
        if (!builder_->stagedPath().isEmpty()) {
            const Result<> added =
                session().reading().addBuiltWork(session().libraryDir(), buildName_, builder_->stagedPath());
            builder_->abandon();
            if (added.kind() == FailureKind::Exists)
                return askForAnotherName();
            if (!added)
                return buildFailedMessage(added.message());
        }
        work_ = WorkFile::open(builder_->finalPath());
        if (!work_ || work_->pageCount() < 1)
            return failedOpening();
        openedName_ = buildName_;
        if (buildName_ != typedTitle_)
            adoptConfirmedName(buildName_);
        spreadOverWork();
        if (keepTextAt >= 0)
            return bookmarkStep(leftPageHolding(keepTextAt));
        bookmarkStep(wholeNumber16(session().reading().bookmark()).value_or(1));
        return;
    }
    case BuildOutcome::NameTaken:
        return askForAnotherName();
    case BuildOutcome::TooManyPages:
        builder_->abandon();
        return buildFailedMessage(result.error);
    case BuildOutcome::WriteFailed:
        builder_->abandon();
        return buildFailedMessage(result.error);
    case BuildOutcome::Cancelled:
        builder_->abandon();
        return;
    }
}

void KNIGA::stopBuild() {
    progress_->cancel = true;
    worker_.waitForFinished();
    recut_.waitForFinished();
    recutting_ = false;
    // A work finished just before the stop is complete: its record gets its reading settings. A new work
    // goes in with its record now, as it would have a moment later.
    bool committed = false;
    if (workerStarted_ && worker_.resultCount() > 0) {
        builder_ = worker_.result().builder;
        committed = worker_.result().outcome == BuildOutcome::Committed;
    }
    workerStarted_ = false;
    if (building_ && committed && !builder_->stagedPath().isEmpty()) {
        committed =
            session().reading().addBuiltWork(session().libraryDir(), buildName_, builder_->stagedPath()).ok();
    }
    builder_->abandon();
    if (building_) {
        building_ = false;
        Timer101->stop();
        progressBar_->hide();
        if (committed)
            settingsValid_ = true;
        session().reading().setRebuildTitle({});
    }
}

void KNIGA::askForAnotherName() {
    session().close(Role::NameDialog);
    Window& dialog = session().open(Role::NameDialog);
    // Kept in front of the full-screen book without blocking it.
    dialog.winId();
    if (dialog.windowHandle() && windowHandle())
        dialog.windowHandle()->setTransientParent(windowHandle());
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

void KNIGA::buildFailedMessage(const QString& text) {
    session().platform().messageBox(text, MsgButtons::Ok, MsgIcon::Critical, kAttention);
    close();
}

void KNIGA::adoptConfirmedName(const QString& name) {
    // The record went in under the name the file was built with; the other work with the typed title keeps
    // its own record and file.
    setWindowTitle(name);
    typedTitle_ = name;
}

int KNIGA::leftPageHolding(int pos) const {
    if (!work_)
        return 1;
    int start = 0;
    int page = work_->pageCount();
    for (int n = 1; n <= work_->pageCount(); ++n) {
        start += int(work_->page(n).text.size());
        if (pos < start) {
            page = n;
            break;
        }
    }
    return page % 2 == 1 ? page : page - 1;
}

void KNIGA::spreadOverWork() {
    spread_ = Spread(work_->pageCount(), [this](int n) {
        if (!work_)
            return StoredPage{{}, {}, false};
        const WorkFile::Page p = work_->page(n);
        return StoredPage{p.label, p.text, p.ok};
    });
}

bool KNIGA::recutForView(int leftPage) {
    if (!work_ || building_ || recutting_ || !layoutDone_ || !isVisible())
        return recutting_;
    const PageGeometry geometry = pageGeometryOf(*R1);
    const QString cutFor = cutSignature(geometry);
    // A work that says what it was cut for is cut anew for any other view; one that does not (cut before
    // that was kept) only when a page on show does not fit.
    const QString stored = work_->fact(kCutFact);
    const bool stale = stored.isEmpty() ? !showsWhole(*R1) || !showsWhole(*R2) : stored != cutFor;
    if (!stale || cutFor == recutFor_) {
        recutSettle_->stop();
        return false;
    }
    // Nothing is shown clipped meanwhile.
    R1->setText(QString());
    R2->setText(QString());
    if (!std::exchange(viewSettled_, false)) {
        recutSettle_->start();
        return true;
    }
    stopReading();
    recutFor_ = cutFor;
    recutting_ = true;
    combo11->hide();
    progress_ = std::make_shared<PageBuildProgress>();
    progress_->total = 1;
    Timer101_Timer();
    progressBar_->show();
    progressBar_->raise();
    Timer101->start();
    recut_ = runInBackground(
        this,
        [dir = session().libraryDir(), name = openedName_, geometry,
         place = keptPlace_.leftPage == leftPage ? keptPlace_ : ReadingPlace{leftPage},
         progress = progress_] { return recutWork(dir, name, geometry, place, *progress); },
        [this](const RecutOutcome& result) { recutFinished(result); });
    return true;
}

void KNIGA::viewSettled() {
    viewSettled_ = true;
    applyView();
    viewSettled_ = false;
}

void KNIGA::recutFinished(const RecutOutcome& result) {
    recut_.waitForFinished();
    if (!recutting_)
        return; // stopped with the book
    recutting_ = false;
    Timer101->stop();
    progressBar_->hide();
    int left = spread_.pageCounter() - 1;
    if (result.outcome == PageBuildOutcome::Written) {
        QString why;
        std::unique_ptr<WorkFile> work = WorkFile::open(work_->path(), &why);
        if (!work || work->pageCount() < 1)
            return failedOpening(why.isEmpty() ? kUnreadable.join(QStringLiteral("\r\n")) : why);
        work_ = std::move(work);
        spreadOverWork();
        left = result.leftPage;
        keptPlace_ = {result.leftPage, result.position};
    } else if (result.outcome != PageBuildOutcome::Cancelled) {
        // The work stays as it was cut; the reader is told why it could not be fitted.
        session().platform().messageBox(
            result.error.isEmpty() ? kUnreadable.join(QStringLiteral("\r\n")) : result.error, MsgButtons::Ok,
            MsgIcon::Critical, kAttention);
    }
    bookmarkStep(left);
}

} // namespace vel
