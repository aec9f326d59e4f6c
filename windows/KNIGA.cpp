#include "windows/KNIGA.h"

#include "core/speech/SpeechText.h"
#include "core/storage/Colors.h"
#include "core/storage/LibraryPaths.h"
#include "ui/Design.h"
#include "ui/PageView.h"
#include "ui/ScaleToScreen.h"
#include "ui/Session.h"
#include "ui/Speaker.h"
#include "windows/book/BookFinder.h"
#include "windows/book/BookTexts.h"
#include "windows/book/Painting.h"

#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QWheelEvent>
#include <QWindow>

namespace vel {

using namespace book;

namespace {

ClickLabel* clickArea(KNIGA& w, const QString& name, const TwipsRect& box, const QString& tip) {
    auto* l = w.add(new ClickLabel(&w), ControlKind::Label, name, box);
    l->setToolTip(tip);
    l->setCursor(Qt::PointingHandCursor);
    setTransparent(l);
    return l;
}

ShapeControl* rectangle(KNIGA& w, QWidget* host, const QString& name, const TwipsRect& box, int width) {
    auto* s = w.add(new ShapeControl(host, ShapeControl::Form::Rectangle), ControlKind::Shape, name);
    s->box = box;
    s->borderColor = colorFromNumber(0xFF0000);
    s->borderWidth = width;
    return s;
}

QComboBox* comboBox(KNIGA& w, QWidget* parent, const QString& name, double left, double top, double width,
                    const QString& text) {
    auto* c = new QComboBox(parent);
    c->setEditable(true);
    c->setEditText(text);
    return w.add(c, ControlKind::ComboBox, name, {left, top, width, pxToTwips(c->sizeHint().height())});
}

} // namespace

KNIGA::KNIGA(Session& session) : Window(session, QStringLiteral("KNIGA")) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowIcon(QIcon(designPicture(QStringLiteral("icon"), QSize(32, 32))));
    setStartState(StartState::Maximized);
    setFocusPolicy(Qt::StrongFocus);
    setTwipsBox(this, {0, 0, 15360, 11250});

    // Under the background picture: it never receives a click.
    Label10 = add(new ClickLabel(this), ControlKind::Label, QStringLiteral("Label10"), {7680, 0, 735, 495});

    Image1 =
        add(new PictureBox(this, true), ControlKind::Image, QStringLiteral("Image1"), {0, 0, 15360, 11520});
    Image1->setPicture(designPicture(QStringLiteral("KNIGA.Image1"), QSize(1024, 768)));

    Image2 =
        add(new PictureBox(this, true), ControlKind::Image, QStringLiteral("Image2"), {2400, 0, 735, 495});
    Image2->setToolTip(QStringLiteral("Чете книгата на глас (F5; десен бутон: скорост и глас)"));
    Image2->setCursor(Qt::PointingHandCursor);
    setTransparent(Image2);

    R1 = add(new RichTextView(this), ControlKind::RichText, QStringLiteral("R1"), {240, 600, 1695, 1935});
    R2 = add(new RichTextView(this), ControlKind::RichText, QStringLiteral("R2"), {2520, 600, 1575, 1935});
    const QCursor left(designPicture(QStringLiteral("KNIGA.arrowLeft"), QSize(32, 32)), 0, 16);
    const QCursor right(designPicture(QStringLiteral("KNIGA.arrowRight"), QSize(32, 32)), 31, 16);
    for (RichTextView* view : {R1, R2}) {
        view->makePageView();
        view->setFontName(QStringLiteral("Arial"));
        view->setFontSize(14.25);
        view->viewport()->setCursor(view == R1 ? left : right);
        view->viewport()->installEventFilter(this);
    }

    for (ClickLabel** label : {&Label1, &Label2}) {
        const bool first = label == &Label1;
        *label = add(new ClickLabel(this), ControlKind::Label,
                     first ? QStringLiteral("Label1") : QStringLiteral("Label2"),
                     {first ? 2280.0 : 2640.0, 3600, 975, 255});
        (*label)->setText(first ? QStringLiteral("1") : QString());
        (*label)->setAlignment(Qt::AlignCenter);
        setDesignFont(*label, QStringLiteral("Arial"), 8.25, true);
        setForeColor(*label, 0xFFFFFF);
        setTransparent(*label);
    }

    Label9 = clickArea(*this, QStringLiteral("Label9"), {480, 0, 735, 495},
                       QStringLiteral("Скоростно прелистване"));
    Label7 =
        clickArea(*this, QStringLiteral("Label7"), {1440, 0, 735, 495},
                  QStringLiteral("Настройка на Font и цвят на листа. Внимание ! Процесът отнема време, моля "
                                 "бъдете търпеливи и не го прекъсвайте."));
    Label12 = clickArea(*this, QStringLiteral("Label12"), {13920, 0, 495, 375}, QStringLiteral("Минимизира"));
    Label11 = clickArea(*this, QStringLiteral("Label11"), {14400, 0, 495, 495},
                        QStringLiteral("Запомня страницата и затваря книгата"));

    // Beside the buttons at the top left, as one more of them.
    layoutSwitch_ =
        add(new LayoutButton(this), ControlKind::Label, QStringLiteral("layoutSwitch"), {3360, 0, 735, 495});
    layoutSwitch_->setCursor(Qt::PointingHandCursor);
    layoutSwitch_->setAttribute(Qt::WA_TranslucentBackground);
    layoutSwitch_->setToolTip(kBookLayoutTip);
    for (QWidget* drawn : {static_cast<QWidget*>(Image2), static_cast<QWidget*>(layoutSwitch_)})
        drawn->stackUnder(R1);

    Label3 = add(new ClickLabel(this), ControlKind::Label, QStringLiteral("Label3"), {7680, 0, 1215, 280});
    Label3->setText(QStringLiteral("   Четене"));
    Label3->setToolTip(QStringLiteral("Четене по страници"));
    Label4 = add(new ClickLabel(this), ControlKind::Label, QStringLiteral("Label4"), {9240, 0, 1215, 285});
    Label4->setText(QStringLiteral(" Промени"));
    Label4->setToolTip(QStringLiteral("Промени на цветове и шрифтове"));
    for (auto [label, back] : {std::pair{Label3, 0x0000FF}, std::pair{Label4, 0xFF0000}}) {
        vel::setBackColor(label, back);
        setForeColor(label, 0xFFFFFF);
        setDesignFont(label, QStringLiteral("MS Sans Serif"), 9.75, true);
        label->hide();
    }

    // The reading-range panel: never shown.
    Frame1 =
        add(new ShapeFrame(this), ControlKind::Frame, QStringLiteral("Frame1"), {5040, 1560, 4095, 3135});
    vel::setBackColor(Frame1, 0x80C0FF);
    setForeColor(Frame1, 0xFFFFFF);
    setDesignFont(Frame1, QStringLiteral("MS Sans Serif"), 9.75, true);
    Frame1->setAccessibleName(QStringLiteral("Настройки на режима на четене"));
    auto* caption = new QLabel(QStringLiteral("Настройки на режима на четене"), Frame1);
    caption->move(8, 0);
    Command4 = add(new QPushButton(QStringLiteral("X"), Frame1), ControlKind::Button,
                   QStringLiteral("Command4"), {3840, 0, 255, 255});
    vel::setBackColor(Command4, 0x00FFFF);
    Combo2 = comboBox(*this, Frame1, QStringLiteral("Combo2"), 360, 960, 3375,
                      QStringLiteral("Избор на начална страница за четене"));
    Combo3 = comboBox(*this, Frame1, QStringLiteral("Combo3"), 360, 1920, 3375,
                      QStringLiteral("Избор на крайна страница за четене"));
    Command6 = add(new QPushButton(QStringLiteral("Прочети избраните страници"), Frame1), ControlKind::Button,
                   QStringLiteral("Command6"), {840, 2520, 2415, 375});
    Command6->setToolTip(
        QStringLiteral("Ако изберете много страници ще трябва да почакате за да се обработят."));
    vel::setBackColor(Command6, 0x0080FF);
    const std::tuple<ClickLabel**, const char*, double, const char*> panelLabels[] = {
        {&Label8, "Label8", 600, "Избор наначална страница "},
        {&Label6, "Label6", 1560, "Избор на крайна страница "},
        {&Label5, "Label5", 2040, "Избор на начална страница "},
    };
    for (const auto& [label, name, top, text] : panelLabels) {
        *label =
            add(new ClickLabel(Frame1), ControlKind::Label, QString::fromLatin1(name), {960, top, 2295, 375});
        (*label)->setText(QString::fromUtf8(text));
        setTransparent(*label);
    }
    Shape4 = rectangle(*this, Frame1, QStringLiteral("Shape4"), {0, 0, 4095, 3135}, 1);
    Shape3 = rectangle(*this, Frame1, QStringLiteral("Shape3"), {120, 480, 3855, 2535}, 4);
    Shape1 = rectangle(*this, Frame1, QStringLiteral("Shape1"), {240, 600, 3615, 855}, 2);
    Shape2 = rectangle(*this, Frame1, QStringLiteral("Shape2"), {240, 1560, 3615, 855}, 2);
    Frame1->hide();

    Combo1 = comboBox(*this, this, QStringLiteral("Combo1"), 4320, 120, 615, QStringLiteral("1"));
    Combo1->hide();
    combo11 =
        add(new QListWidget(this), ControlKind::ListBox, QStringLiteral("combo11"), {440, 435, 1095, 10590});
    combo11->setUniformItemSizes(true);
    combo11->hide();

    Command1 =
        add(new QPushButton(this), ControlKind::Button, QStringLiteral("Command1"), {2760, 960, 375, 315});
    Command2 =
        add(new QPushButton(this), ControlKind::Button, QStringLiteral("Command2"), {2280, 3240, 375, 315});
    Command1->hide();
    Command2->hide();

    Timer2 = makeTimer(*this, QStringLiteral("Timer2"), 100, true);
    Timer4 = makeTimer(*this, QStringLiteral("Timer4"), 10, false);
    Timer3 = makeTimer(*this, QStringLiteral("Timer3"), 75, false);
    naiPosleden = makeTimer(*this, QStringLiteral("naiPosleden"), 200, false);
    TimerPosleden = makeTimer(*this, QStringLiteral("TimerPosleden"), 50, false);
    f12 = makeTimer(*this, QStringLiteral("f12"), 100, false);
    TimerNov = makeTimer(*this, QStringLiteral("TimerNov"), 1, false);
    Timer1 = makeTimer(*this, QStringLiteral("Timer1"), 50, false);
    Timer100 = makeTimer(*this, QStringLiteral("Timer100"), 1, false);
    Timer101 = makeTimer(*this, QStringLiteral("Timer101"), 100, false);

    connect(Timer2, &QTimer::timeout, this, &KNIGA::Timer2_Timer);
    connect(Timer4, &QTimer::timeout, this, &KNIGA::Timer4_Timer);
    connect(Timer3, &QTimer::timeout, this, &KNIGA::Timer3_Timer);
    connect(naiPosleden, &QTimer::timeout, this, &KNIGA::naiPosleden_Timer);
    connect(TimerPosleden, &QTimer::timeout, this, &KNIGA::TimerPosleden_Timer);
    connect(Timer1, &QTimer::timeout, this, &KNIGA::Timer1_Timer);
    connect(Timer101, &QTimer::timeout, this, &KNIGA::Timer101_Timer);
    recutSettle_ = new QTimer(this);
    recutSettle_->setSingleShot(true);
    recutSettle_->setInterval(250);
    connect(recutSettle_, &QTimer::timeout, this, &KNIGA::viewSettled);
    connect(R1, &RichTextView::clicked, this, &KNIGA::R1_Click);
    connect(R2, &RichTextView::clicked, this, &KNIGA::R2_Click);
    connect(Image1, &PictureBox::clicked, this, &KNIGA::Image1_Click);
    connect(Label9, &ClickLabel::clicked, this, &KNIGA::Label9_Click);
    connect(Label7, &ClickLabel::clicked, this, &KNIGA::Label7_Click);
    connect(Label12, &ClickLabel::clicked, this, &KNIGA::Label12_Click);
    connect(Label11, &ClickLabel::clicked, this, &KNIGA::Label11_Click);
    connect(layoutSwitch_, &ClickLabel::clicked, this, &KNIGA::switchLayout);
    connect(Image2, &PictureBox::clicked, this, &KNIGA::Image2_Click);
    Image2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Image2, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        offerSpeechChoices(this->session().speaker(), this->session().platform(), Image2->mapToGlobal(at));
    });
    showReadingState();
    connect(Combo1, &QComboBox::activated, this, &KNIGA::Combo1_Click);
    connect(combo11, &QListWidget::itemClicked, this, &KNIGA::combo11_Click);
    connect(combo11, &QListWidget::itemActivated, this, &KNIGA::combo11_Click);

    // Shown over the left page while a build runs; not part of the design.
    progressBar_ = new QProgressBar(this);
    progressBar_->setRange(0, 1000);
    progressBar_->setTextVisible(true);
    progressBar_->hide();
    setPageLayout(layout_);
    connect(&session.reading(), &ReadingState::anotherNameGiven, this, &KNIGA::retryBuild);

    finder_ = new BookFinder(*this, R1, R2, [this] { return building_ ? nullptr : work_.get(); });
    connect(finder_, &BookFinder::pageWanted, this, [this](int page) {
        if (!work_ || building_ || !layoutDone_)
            return;
        stopReading();
        combo11->hide();
        if (spread_.showAt(page % 2 == 1 ? page : page - 1)) {
            spread_.tidyUp();
            applyView();
        }
    });
}

KNIGA::~KNIGA() {
    // Other windows may be gone already: only the worker and the unfinished file are dealt with here.
    progress_->cancel = true;
    worker_.waitForFinished();
    recut_.waitForFinished();
    builder_->abandon();
}

int KNIGA::pageCounter() const {
    return building_ ? progress_->written + 1 : spread_.pageCounter();
}

// ---- Load and layout -------------------------------------------------------------------------------------

void KNIGA::Form_Load() {
    ReadingState& state = session().reading();
    state.bookOpened();
    setWindowTitle(state.title());

    const ReadingSettings settings = state.settings();
    openedSize_ = settings.size;
    const auto points = pointsFromText(openedSize_);
    const auto pageColor = colorNumberFromText(settings.pageColor);
    for (RichTextView* view : {R1, R2}) {
        view->setFontName(settings.font);
        if (points)
            view->setFontSize(*points);
        if (pageColor)
            view->setBackColor(*pageColor);
    }
    if (const auto windowColor = colorNumberFromText(settings.formColor)) {
        Window::setBackColor(*windowColor);
        vel::setBackColor(Combo1, *windowColor);
    }
    reprocessed = 0;
    QTimer::singleShot(0, this, &KNIGA::startAtOnce);
    session().open(Role::Library).setVisible(true);

    const ScreenMetrics screen = session().platform().screen();
    setTwipsBox(this, {0, 0, double(screen.widthTwips), double(screen.heightTwips)});
    const ScaleFactors factors = screenFactors(session().screen(), screen.widthTwips, screen.heightTwips,
                                               screen.twipsPerPixelX, screen.twipsPerPixelY);
    fontStep = float(Spread::fontStep(factors.x, factors.y));
    ScaleToScreen(factors.x, factors.y, *this);
    topButtons_.clear();
}

// ---- Hand-back, minimizing, closing ----------------------------------------------------------------------

void KNIGA::Label7_Click() {
    stopReading();
    if (!work_ || building_ || Timer4->isActive())
        return;
    R1->setPageFlow({});
    R2->setPageFlow({});
    R1->setText(kWaitLeft);
    R2->setText(kWaitRight);
    Timer4->start();
    R1->repaint();
    R2->repaint();
}

void KNIGA::Timer4_Timer() {
    Timer4->stop();
    session().askAphorism(false);
    if (!work_)
        return;
    gatheredText.clear();
    for (int n = 1; n <= work_->pageCount(); ++n) {
        const WorkFile::Page page = work_->page(n);
        if (!page.ok) {
            gatheredText.clear();
            applyView();
            session().platform().messageBox(kUnreadable.join(QStringLiteral("\r\n")), MsgButtons::Ok,
                                            MsgIcon::Critical, kAttention);
            return;
        }
        // A page repeating everything gathered so far is left out.
        if (page.text != gatheredText)
            gatheredText += page.text;
    }
    ReadingState& state = session().reading();
    state.setPanelText(gatheredText);
    state.setPanelBook({}, {}); // the work keeps its own contents; the text brings none of its own
    state.setWorkName(state.title());
    work_.reset();
    reprocessed = 1;
    close();
}

void KNIGA::Label12_Click() {
    session().open(Role::MinimizedBook).showMinimized();
    session().hide(Role::Main);
    hide();
    session().hide(Role::Library);
}

void KNIGA::Label11_Click() {
    close();
    showLibrary();
}

void KNIGA::Form_Unload() {
    stopReading();
    stopBuild();
    session().close(Role::NameDialog); // the build it asks a name for ends with the book
    ReadingState& state = session().reading();
    // A new work whose file was never finished is given up: it has no record to save settings into.
    if (state.hasNewWork()) {
        state.dropNewWork();
        settingsValid_ = false;
    }

    session().show(Role::Main);
    work_.reset();
    session().hide(Role::Library);
    if (reprocessed == 1) {
        if (settingsValid_)
            state.setBookmark(QStringLiteral("1"));
    } else {
        bool ok = false;
        const int left = Combo1->currentText().trimmed().toInt(&ok);
        if (ok)
            Combo1->setEditText(QString::number(Spread::endOfBookRule(left, spread_.lastPage())));
        if (settingsValid_)
            state.setBookmark(Combo1->currentText());
    }
    if (settingsValid_) {
        // The size the work was opened with: the size on show is scaled to the screen.
        state.handBack({R1->fontName(), openedSize_, colorNumberToText(R1->backColor()),
                        colorNumberToText(backColor())});
    }
    state.bookClosed(reprocessed == 1);
}

void KNIGA::showLibrary() {
    session().askLibrary(LibraryRequest::Lists);
    ShowAphorism(session());
}

} // namespace vel
