#pragma once
// The book window: a stored work shown as two pages side by side over the picture of an open book, turned
// by clicks on the pages; also the place where a text is cut into pages and written as a new work file.

#include "core/book/PageBuild.h"
#include "core/book/Recut.h"
#include "core/book/Spread.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"
#include "ui/RichTextView.h"
#include "ui/Session.h"
#include "ui/TwipsBox.h"
#include "ui/Window.h"

#include <QComboBox>
#include <QFrame>
#include <QFuture>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <utility>
#include <vector>

class QProgressBar;

namespace vel {

class BookFinder;

class KNIGA : public Window {
    Q_OBJECT
public:
    static constexpr Role kRole = Role::Book;

    explicit KNIGA(Session& session);
    ~KNIGA() override;

    // Design.
    PictureBox* Image1;
    PictureBox* Image2; // reading aloud: starts and stops
    RichTextView* R1;
    RichTextView* R2;
    ClickLabel* Label1;
    ClickLabel* Label2;
    ClickLabel* Label9;
    ClickLabel* Label7;
    ClickLabel* Label12;
    ClickLabel* Label11;
    ClickLabel* Label3;
    ClickLabel* Label4;
    ClickLabel* Label10;
    QFrame* Frame1;
    QPushButton* Command4;
    QComboBox* Combo2;
    QComboBox* Combo3;
    QPushButton* Command6;
    ClickLabel* Label8;
    ClickLabel* Label6;
    ClickLabel* Label5;
    ShapeControl* Shape4;
    ShapeControl* Shape3;
    ShapeControl* Shape1;
    ShapeControl* Shape2;
    QComboBox* Combo1;
    QListWidget* combo11;
    QPushButton* Command1;
    QPushButton* Command2;
    QTimer* Timer2;
    QTimer* Timer4;
    QTimer* Timer3;
    QTimer* naiPosleden;
    QTimer* TimerPosleden;
    QTimer* f12;
    QTimer* TimerNov;
    QTimer* Timer1;
    QTimer* Timer100;
    QTimer* Timer101;

    // Values of the window.
    QString gatheredText;
    qint16 reprocessed = 0;
    float fontStep = 0;

    // The right page's number while a spread is shown; the next page's number while pages are written.
    int pageCounter() const;
    int lastPage() const { return spread_.lastPage(); }
    const Spread& spread() const { return spread_; }
    // A build is under way: from the creation of its file to the first spread of the new work.
    // Cutting pages, for a new work or anew for the view: nothing to read or switch meanwhile.
    bool isBuilding() const { return building_ || recutting_; }

    // How the pages on show are set: the work's own layout once it is open; a build cuts in it.
    PageLayout pageLayout() const { return layout_; }
    void setPageLayout(PageLayout layout);
    // The switch between the book and the plain layout, drawn as one of the window's painted buttons.
    ClickLabel* layoutSwitch() const { return layoutSwitch_; }
    // Rebuilds the open work in the other layout, reopening it at the page that holds the same text.
    void switchLayout();

    void Form_Load() override;
    void Form_Resize() override;
    void Form_Unload() override;

    void TimerPosleden_Timer();
    void Timer2_Timer();
    void naiPosleden_Timer();
    void Timer1_Timer();
    void Timer101_Timer();
    void Timer3_Timer();
    void Timer4_Timer();

    // Shows the spread whose left page is the page box's number.
    void Prelistvane();
    void naprede();
    void nazade();
    // Starts the build again, under the name the management window now holds.
    void retryBuild();
    // Writes the next page of the work being built; runs on the build's worker.
    static bool BOOT(WorkFileBuilder& builder, const QString& pagePiece);

    void Combo1_Click();
    void combo11_Click();
    void R1_Click();
    void R2_Click();
    void Image1_Click();
    void Label9_Click();
    void Label7_Click();
    void Label12_Click();
    void Label11_Click();
    void Image2_Click();

    // The contents, search and marks, and the notes over the page.
    BookFinder* finder() const { return finder_; }

    // Reading aloud from the left page of the spread on show, spread after spread; F5 or Image2.
    Q_INVOKABLE void toggleReading();
    bool isReading() const { return reading_; }
    // The page being read: false for the left one.
    bool readingRightPage() const { return readingRight_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    enum class BuildOutcome { Committed, TooManyPages, Cancelled, WriteFailed, NameTaken };
    // What a build job hands back: its outcome and the builder it wrote into.
    struct BuildResult {
        BuildOutcome outcome = BuildOutcome::Cancelled;
        QString error;
        std::shared_ptr<WorkFileBuilder> builder;
    };

    void startAtOnce();
    void openingStep();
    void buildStep();
    void bookmarkStep(int bookmark);
    // damaged: the reason a work file that is there cannot be read; empty for a missing one.
    void failedOpening(const QString& damaged = {});
    void showLibrary();
    void applyView();
    void showPages(const QString& leftText, const QString& rightText, bool afterParagraphEnd,
                   bool textAfterLeft, bool textAfterRight);
    // The first spread of the text being built from `from` on, while the whole of it is cut.
    void showOpeningWhileBuilding(int from);
    void applyPageMargins();
    // The left page of the spread that shows the text at `pos` of the open work.
    int leftPageHolding(int pos) const;
    void setPageBox(const QString& text);
    void applyLayout(bool withFontStep);
    void fitTopButtons();
    void turnByWheel(int angleDelta);

    void readCurrentPage();
    void readingWord(int start, int length);
    void readingPageDone();
    void stopReading();
    void readingEnded();
    void showReadingState();

    // A stored work cut for another page size is cut anew for this one before it is shown: true when
    // that has begun. The reader's place is kept by its position in the text.
    bool recutForView(int leftPage);
    void viewSettled();
    // The spread over the open work file, nothing read yet.
    void spreadOverWork();
    void recutFinished(const RecutOutcome& result);

    void startWorker(const PageGeometry& geometry);
    static BuildResult cutAndWrite(std::shared_ptr<WorkFileBuilder> builder, const QString& text,
                                   const PageGeometry& geometry, PageBuildProgress& progress);
    void buildFinished(const BuildResult& result);
    void stopBuild();
    void askForAnotherName();
    void buildFailedMessage(const QString& text);
    void adoptConfirmedName(const QString& name);

    Spread spread_;
    std::unique_ptr<WorkFile> work_;

    // The build: its file, its text and the job that cuts and writes it. The job takes the builder and
    // hands it back with its result; the progress it shares, for its counters and the cancel flag.
    std::shared_ptr<WorkFileBuilder> builder_ = std::make_shared<WorkFileBuilder>();
    QFuture<BuildResult> worker_;
    QString openingCutFor_; // what the first spread on show while building was cut for
    bool workerStarted_ = false;
    std::shared_ptr<PageBuildProgress> progress_ = std::make_shared<PageBuildProgress>();
    QString buildText_;
    QString buildName_;
    QString typedTitle_;
    bool building_ = false;
    QProgressBar* progressBar_ = nullptr;
    // The re-cut of a work opened on a screen it was not cut for.
    QFuture<RecutOutcome> recut_;
    bool recutting_ = false;
    QString recutFor_; // the view a re-cut was last made for: never twice for the same
    // A window manager sizes a window after it is shown, so a view that needs a re-cut waits until it has
    // kept its size a moment: one re-cut for the size it ends at, not one for each size on the way.
    QTimer* recutSettle_ = nullptr;
    bool viewSettled_ = false;
    ReadingPlace keptPlace_; // the place the last re-cut was given, while the reader stays on its spread

    PageLayout layout_ = PageLayout::Book; // new works are set as books
    ClickLabel* layoutSwitch_ = nullptr;
    // The click areas along the top edge, with their boxes as scaled to the screen.
    std::vector<std::pair<QWidget*, TwipsRect>> topButtons_;
    // A layout switch: the text position the reopened work shows on its left page; -1 for other builds.
    int keepTextAt_ = -1;
    QString openedName_;

    int bookmark_ = 1;
    QString openedSize_;
    bool layoutDone_ = false;
    // The closing steps hand settings back only for a work that was shown, or one that failed to open.
    bool settingsValid_ = false;
    int wheelAccum_ = 0;

    bool reading_ = false;
    bool readingRight_ = false;
    QString readingText_; // the stored text of the page being read
    QList<QMetaObject::Connection> speakerLinks_;
    BookFinder* finder_ = nullptr;
};

} // namespace vel
