#include "windows/KNIGA.h"

#include "ui/PageView.h"
#include <QFileInfo>

#include "core/speech/SpeechText.h"
#include "core/storage/Colors.h"
#include "core/storage/LibraryPaths.h"
#include "ui/Background.h"
#include "ui/Design.h"
#include "ui/ScaleToScreen.h"
#include "ui/Session.h"
#include "ui/Speaker.h"

#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QWheelEvent>
#include <QWindow>

namespace vel {

namespace {

// About a full page of small print on a large screen.
constexpr int kShownWhileBuilding = 12 * 1024;

const QString kMissingTitle = QStringLiteral("ВНИМАНИЕ! НАЛИЧИЕ НА НЕСЪОТВЕТСТВИЕ! ");
const QStringList kMissingText = {
    QStringLiteral("Съжалявам, но не намерих търсения файл."),
    QStringLiteral("Възможни са следните варианти:"),
    QStringLiteral("файла е изтрит, преименуван или преместен."),
    QStringLiteral("Проверете посочените възможности."),
    QStringLiteral("За да продължи натиснете ОК!"),
};

const QString kWaitLeft = QStringLiteral("\r\n\r\n                       МОЛЯ ИЗЧАКАЙТЕ !");
const QString kWaitRight = QStringLiteral("\r\n\r\nГОЛЕМИТЕ ПРОИЗВЕДЕНИЯ ОТНЕМАТ ВРЕМЕ!");

const QString kAttention = QStringLiteral("ВНИМАНИЕ !");
const QString kNoSpeech = QStringLiteral("Четенето на глас не може да започне:");
// The word being heard: a marker's yellow that reads on every page colour.
const QColor kSpokenWord(0xFF, 0xD8, 0x4A);
const QStringList kTooLong = {
    QStringLiteral("Произведението е твърде дълго за една книга:"),
    QStringLiteral("с този шрифт то би заело повече от 32767 страници."),
    QStringLiteral("Нищо не е записано; текстът остава в основния прозорец."),
    QStringLiteral("Изберете по-малък шрифт или разделете текста на части."),
};
const QStringList kUnreadable = {
    QStringLiteral("Произведението не може да бъде прочетено докрай."),
    QStringLiteral("Файлът му остава непроменен."),
};

// A frame drawing its shapes under its child widgets.
class ShapeFrame : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent* e) override {
        QFrame::paintEvent(e);
        QPainter p(this);
        paintGraphicControls(this, p);
    }
};

const QString kBookLayoutTip = QStringLiteral(
    "Страниците са подредени като в книга. Щракнете за обикновено подреждане (без пренасяне и полета). "
    "Процесът отнема време.");
const QString kPlainLayoutTip = QStringLiteral(
    "Страниците са подредени обикновено. Щракнете за подреждане като в книга (двустранно подравнени редове, "
    "пренасяне, отстъп и полета). Процесът отнема време.");

// A round button like the ones painted in the window's picture, showing the layout of the pages on show:
// justified lines with an indent for the book, ragged ones for plain text.
class LayoutButton : public ClickLabel {
public:
    using ClickLabel::ClickLabel;
    void setBook(bool book) {
        book_ = book;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        // The picture's buttons: 11 px across the ring, 8.4 px the face, in a box 33 px high.
        const qreal unit = height() / 33.0;
        const QPointF c(width() / 2.0, 12.5 * unit);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawEllipse(c + QPointF(0, unit), 11.8 * unit, 11.8 * unit);
        QRadialGradient ring(c + QPointF(-2 * unit, -3 * unit), 15 * unit);
        ring.setColorAt(0, QColor(0xffffff));
        ring.setColorAt(0.55, QColor(0xc2c7cd));
        ring.setColorAt(0.85, QColor(0x7e848b));
        ring.setColorAt(1, QColor(0xd5d9dd));
        p.setPen(QPen(QColor(0x2a2e33), 0.8 * unit));
        p.setBrush(ring);
        p.drawEllipse(c, 11 * unit, 11 * unit);
        QRadialGradient face(c + QPointF(-1.7 * unit, -2.5 * unit), 12.6 * unit);
        face.setColorAt(0, QColor(0x7fa6cf));
        face.setColorAt(0.6, QColor(0x3f6f9f));
        face.setColorAt(1, QColor(0x24466b));
        p.setPen(QPen(QColor(0x1b2633), 0.8 * unit));
        p.setBrush(face);
        p.drawEllipse(c, 8.4 * unit, 8.4 * unit);
        p.setPen(QPen(QColor(0xf4f5f6), 1.1 * unit, Qt::SolidLine, Qt::RoundCap));
        const qreal left = c.x() - 4.2 * unit, right = c.x() + 4.2 * unit;
        const qreal ragged[] = {0, 1.8, 0.6, 3.0};
        for (int i = 0; i < 4; ++i) {
            const qreal y = c.y() + (i - 1.5) * 2.4 * unit;
            const qreal from = book_ && i == 0 ? left + 1.6 * unit : left;
            const qreal to = book_ ? (i == 3 ? right - 2.6 * unit : right) : right - ragged[i] * unit;
            p.drawLine(QPointF(from, y), QPointF(to, y));
        }
    }

private:
    bool book_ = true;
};

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
}

KNIGA::~KNIGA() {
    // Other windows may be gone already: only the worker and the unfinished file are dealt with here.
    progress_.cancel = true;
    worker_.waitForFinished();
    builder_.abandon();
}

int KNIGA::pageCounter() const {
    return building_ ? progress_.written + 1 : spread_.pageCounter();
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
    TimerPosleden->start();
    session().open(Role::Library).setVisible(true);

    const ScreenMetrics screen = session().platform().screen();
    setTwipsBox(this, {0, 0, double(screen.widthTwips), double(screen.heightTwips)});
    const ScaleFactors factors = screenFactors(session().screen(), screen.widthTwips, screen.heightTwips,
                                               screen.twipsPerPixelX, screen.twipsPerPixelY);
    fontStep = float(Spread::fontStep(factors.x, factors.y));
    ScaleToScreen(factors.x, factors.y, *this, session().screen().scaleWindowItself);
    topButtons_.clear();
}

void KNIGA::retryBuild() {
    TimerPosleden->start();
}

void KNIGA::Timer2_Timer() {
    Timer2->stop();
    applyLayout(true);
    layoutDone_ = true;
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
    // A window manager that sizes the window after the layout step gets the pages placed again.
    if (layoutDone_ && !isMinimized())
        applyLayout(false);
}

// ---- Opening a stored work -------------------------------------------------------------------------------

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
    setPageLayout(storedLayout(work_->fact(kLayoutFact)));
    spread_ = Spread(work_->pageCount(), [this](int n) {
        if (!work_)
            return StoredPage{{}, {}, false};
        const WorkFile::Page p = work_->page(n);
        return StoredPage{p.label, p.text, p.ok};
    });
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

void KNIGA::applyView() {
    const SpreadView& v = spread_.view();
    // Whether a page opens a paragraph or ends inside one is told by the pages around it.
    PageFlow left, right;
    if (work_ && layout_ == PageLayout::Book) {
        auto endsParagraph = [](const QString& t) {
            return t.isEmpty() || t.endsWith(u'\n') || t.endsWith(u'\r') || t.endsWith(QChar(0x2029));
        };
        const int n = spread_.cursor() - 1; // the left page's record
        const int count = work_->pageCount();
        left.startsParagraph = n <= 1 || endsParagraph(work_->page(n - 1).text);
        left.paragraphGoesOn = n < count && !endsParagraph(v.leftText);
        right.startsParagraph = endsParagraph(v.leftText);
        right.paragraphGoesOn = n + 1 < count && !endsParagraph(v.rightText);
    }
    if (R1->text() != v.leftText || R1->pageFlow() != left) {
        R1->setPageFlow(left);
        R1->setText(v.leftText);
    }
    if (R2->text() != v.rightText || R2->pageFlow() != right) {
        R2->setPageFlow(right);
        R2->setText(v.rightText);
    }
    Label1->setText(v.label1);
    Label2->setText(v.label2);
    setPageBox(v.pageBox);
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

// ---- Turning and jumping ---------------------------------------------------------------------------------

void KNIGA::Prelistvane() {
    stopReading();
    bool ok = false;
    const int n = Combo1->currentText().trimmed().toInt(&ok);
    if (ok && spread_.showAt(n))
        applyView();
}

void KNIGA::Combo1_Click() {
    Prelistvane();
}

void KNIGA::naprede() {
    stopReading();
    if (building_ || Timer4->isActive())
        return;
    if (spread_.forward())
        applyView();
}

void KNIGA::nazade() {
    stopReading();
    if (building_ || Timer4->isActive())
        return;
    if (spread_.back())
        applyView();
}

void KNIGA::R1_Click() {
    nazade();
    combo11->hide();
}

void KNIGA::R2_Click() {
    naprede();
    combo11->hide();
}

void KNIGA::Image1_Click() {
    combo11->hide();
}

void KNIGA::Label9_Click() {
    if (!combo11->isHidden()) {
        combo11->hide();
        return;
    }
    vel::setBackColor(combo11, R1->backColor());
    setTwHeight(combo11, twHeight(R1) - 450);
    combo11->show();
    combo11->raise();
    if (QListWidgetItem* item = combo11->currentItem())
        combo11->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void KNIGA::combo11_Click() {
    stopReading();
    const int row = combo11->currentRow();
    if (row < 0 || row >= Combo1->count())
        return;
    Combo1->setCurrentIndex(row);
    Combo1->setEditText(Combo1->itemText(row));
    Combo1_Click();
    combo11->hide();
    Timer3->start();
}

void KNIGA::Timer3_Timer() {
    Timer3->stop();
    spread_.tidyUp();
    applyView();
}

void KNIGA::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_F5:
        toggleReading();
        return;
    case Qt::Key_Right:
    case Qt::Key_PageDown:
    case Qt::Key_Space:
        R2_Click();
        return;
    case Qt::Key_Left:
    case Qt::Key_PageUp:
        R1_Click();
        return;
    default:
        Window::keyPressEvent(e);
    }
}

void KNIGA::turnByWheel(int angleDelta) {
    // One turn per notch; a touchpad's small steps add up to one.
    wheelAccum_ += angleDelta;
    while (wheelAccum_ >= 120) {
        wheelAccum_ -= 120;
        R1_Click();
    }
    while (wheelAccum_ <= -120) {
        wheelAccum_ += 120;
        R2_Click();
    }
}

void KNIGA::wheelEvent(QWheelEvent* e) {
    turnByWheel(e->angleDelta().y());
    e->accept();
}

bool KNIGA::eventFilter(QObject* watched, QEvent* e) {
    // The page views never scroll: the wheel turns the book instead.
    if (e->type() == QEvent::Wheel && (watched == R1->viewport() || watched == R2->viewport())) {
        turnByWheel(static_cast<QWheelEvent*>(e)->angleDelta().y());
        return true;
    }
    return Window::eventFilter(watched, e);
}

// ---- Reading aloud --------------------------------------------------------------------------------------

void KNIGA::Image2_Click() {
    combo11->hide();
    toggleReading();
}

void KNIGA::toggleReading() {
    if (reading_) {
        stopReading();
        return;
    }
    if (!work_ || building_ || Timer4->isActive() || !spread_.isOpen())
        return;
    Speaker& speaker = session().speaker();
    speakerLinks_ = {
        connect(&speaker, &Speaker::word, this, &KNIGA::readingWord),
        connect(&speaker, &Speaker::finished, this, &KNIGA::readingPageDone),
        connect(&speaker, &Speaker::released, this,
                [this](QObject* client) {
                    if (client == this)
                        readingEnded();
                }),
    };
    reading_ = true;
    session().reading().setSpeaking(true);
    readingRight_ = false;
    showReadingState();
    readCurrentPage();
}

void KNIGA::readCurrentPage() {
    readingText_ = readingRight_ ? spread_.view().rightText : spread_.view().leftText;
    (readingRight_ ? R1 : R2)->setExtraSelections({});
    QString why;
    if (session().speaker().speak(readingText_, this, &why))
        return;
    readingEnded();
    session().platform().messageBox(kNoSpeech + QStringLiteral("\r\n") + why, MsgButtons::Ok,
                                    MsgIcon::Exclamation, kAttention);
}

void KNIGA::readingWord(int start, int length) {
    if (!reading_ || session().speaker().client() != this)
        return;
    // The view may hold the page typeset: positions are found again in its own text.
    RichTextView* view = readingRight_ ? R2 : R1;
    const QString laidOut = view->document()->toRawText();
    QTextEdit::ExtraSelection word;
    word.cursor = QTextCursor(view->document());
    word.cursor.setPosition(laidOutOffset(readingText_, laidOut, start));
    word.cursor.setPosition(laidOutOffset(readingText_, laidOut, start + length), QTextCursor::KeepAnchor);
    word.format.setBackground(kSpokenWord);
    view->setExtraSelections({word});
}

void KNIGA::readingPageDone() {
    if (!reading_ || session().speaker().client() != this)
        return;
    if (!readingRight_) {
        readingRight_ = true;
        return readCurrentPage();
    }
    // The right page is read: the book turns itself, and the bookmark goes with it.
    if (!spread_.forward())
        return stopReading();
    applyView();
    readingRight_ = false;
    readCurrentPage();
}

void KNIGA::stopReading() {
    if (!reading_)
        return;
    Speaker& speaker = session().speaker();
    if (speaker.client() == this)
        speaker.stop();
    readingEnded();
}

void KNIGA::readingEnded() {
    reading_ = false;
    session().reading().setSpeaking(false);
    readingRight_ = false;
    for (const QMetaObject::Connection& link : std::as_const(speakerLinks_))
        disconnect(link);
    speakerLinks_.clear();
    R1->setExtraSelections({});
    R2->setExtraSelections({});
    showReadingState();
}

void KNIGA::showReadingState() {
    Image2->setPicture(designPicture(
        reading_ ? QStringLiteral("KNIGA.Image2on") : QStringLiteral("KNIGA.Image2"), QSize(49, 33)));
    Image2->setAccessibleName(reading_ ? QStringLiteral("Спира четенето") : QStringLiteral("Чете на глас"));
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

// ---- Building a work's pages -----------------------------------------------------------------------------

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
    if (!builder_.begin(session().libraryDir(), name, placement)) {
        state.setRebuildTitle({});
        if (builder_.failure() == WorkFileBuilder::Failure::Io)
            return buildFailedMessage(builder_.errorString());
        return askForAnotherName();
    }
    // A new work is set as a book; a rebuild keeps the layout its work had.
    PageLayout layout = PageLayout::Book;
    if (rebuild) {
        if (const auto old = WorkFile::open(builder_.finalPath()))
            layout = storedLayout(old->fact(kLayoutFact));
    }
    setPageLayout(layout);
    if (!builder_.setFact(kLayoutFact, layoutName(layout))) {
        builder_.abandon();
        state.setRebuildTitle({});
        return buildFailedMessage(builder_.errorString());
    }
    buildName_ = name;
    building_ = true;
    keepTextAt_ = -1;
    buildText_ = state.panelText();
    naiPosleden->start();
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

void KNIGA::switchLayout() {
    if (!work_ || building_ || workerStarted_ || Timer4->isActive() || !layoutDone_)
        return;
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
    if (!builder_.begin(session().libraryDir(), openedName_, true) ||
        !builder_.setFact(kLayoutFact, layoutName(after))) {
        builder_.abandon();
        session().platform().messageBox(builder_.errorString(), MsgButtons::Ok, MsgIcon::Critical,
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
    R1->setPageFlow({});
    R1->setText(buildText_.mid(keep, kShownWhileBuilding));
    R2->setText(QString());
    startWorker(pageGeometryOf(*R1));
}

void KNIGA::Timer1_Timer() {
    const QString font = session().reading().settings().font;
    R1->setFontName(font);
    R2->setFontName(font);
    Timer1->stop();
    if (!building_ || workerStarted_)
        return;
    // The left page shows the start of the text while the whole of it is cut elsewhere; laying all of it
    // out in the view would only hold up the window.
    R1->setText(buildText_.left(kShownWhileBuilding));
    startWorker(pageGeometryOf(*R1));
}

void KNIGA::startWorker(const PageGeometry& geometry) {
    progress_.cancel = false;
    progress_.laidOut = 0;
    progress_.total = int(buildText_.size());
    progress_.pages = 0;
    progress_.written = 0;
    Timer101_Timer();
    progressBar_->show();
    progressBar_->raise();
    Timer101->start();
    workerStarted_ = true;
    worker_ = runInBackground(
        this, [this, text = buildText_, geometry] { return cutAndWrite(text, geometry); },
        [this](const BuildResult& result) { buildFinished(result); });
}

KNIGA::BuildResult KNIGA::cutAndWrite(const QString& text, const PageGeometry& geometry) {
    BuildResult result;
    switch (buildPages(text, geometry, progress_, [this](const QString& page) { return BOOT(page); })) {
    case PageBuildOutcome::Written:
        if (builder_.commit()) {
            result.outcome = BuildOutcome::Committed;
        } else {
            result.outcome = builder_.failure() == WorkFileBuilder::Failure::Exists
                                 ? BuildOutcome::NameTaken
                                 : BuildOutcome::WriteFailed;
            result.error = builder_.errorString();
        }
        break;
    case PageBuildOutcome::TooManyPages: {
        result.outcome = BuildOutcome::TooManyPages;
        QStringList lines = kTooLong;
        lines.insert(2, fittingShareLine(progress_.fitsPercent));
        result.error = lines.join(QStringLiteral("\r\n"));
        break;
    }
    case PageBuildOutcome::Cancelled:
        result.outcome = BuildOutcome::Cancelled;
        break;
    case PageBuildOutcome::WriteFailed:
        result.outcome = BuildOutcome::WriteFailed;
        result.error = builder_.errorString();
        break;
    }
    return result;
}

bool KNIGA::BOOT(const QString& pagePiece) {
    return builder_.appendPage(pagePiece);
}

void KNIGA::Timer101_Timer() {
    const int pages = progress_.pages;
    if (pages == 0) {
        const int total = std::max(1, progress_.total.load());
        progressBar_->setValue(int(500LL * progress_.laidOut / total));
        progressBar_->setFormat(QStringLiteral("Нареждане на страниците…"));
    } else {
        const int written = progress_.written;
        progressBar_->setValue(500 + int(500LL * written / pages));
        progressBar_->setFormat(QStringLiteral("Записване: страница %1 от %2").arg(written).arg(pages));
    }
}

void KNIGA::buildFinished(const BuildResult& result) {
    worker_.waitForFinished();
    workerStarted_ = false;
    if (!building_ || !isLoaded())
        return;
    building_ = false;
    Timer101->stop();
    progressBar_->hide();
    session().reading().setRebuildTitle({});

    const int keepTextAt = std::exchange(keepTextAt_, -1);
    if (keepTextAt >= 0 && result.outcome != BuildOutcome::Committed) {
        // A layout switch that did not go through: the work stays as it was, on show as it was.
        builder_.abandon();
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
        if (!builder_.stagedPath().isEmpty()) {
            const WriteResult added =
                session().reading().addBuiltWork(session().libraryDir(), buildName_, builder_.stagedPath());
            builder_.abandon();
            if (added.outcome == WriteResult::Outcome::NameTaken)
                return askForAnotherName();
            if (!added.ok())
                return buildFailedMessage(added.error);
        }
        work_ = WorkFile::open(builder_.finalPath());
        if (!work_ || work_->pageCount() < 1)
            return failedOpening();
        openedName_ = buildName_;
        if (buildName_ != typedTitle_)
            adoptConfirmedName(buildName_);
        spread_ = Spread(work_->pageCount(), [this](int n) {
            if (!work_)
                return StoredPage{{}, {}, false};
            const WorkFile::Page p = work_->page(n);
            return StoredPage{p.label, p.text, p.ok};
        });
        if (keepTextAt >= 0)
            return bookmarkStep(leftPageHolding(keepTextAt));
        bookmarkStep(wholeNumber16(session().reading().bookmark()).value_or(1));
        return;
    }
    case BuildOutcome::NameTaken:
        return askForAnotherName();
    case BuildOutcome::TooManyPages:
        builder_.abandon();
        return buildFailedMessage(result.error);
    case BuildOutcome::WriteFailed:
        builder_.abandon();
        return buildFailedMessage(result.error);
    case BuildOutcome::Cancelled:
        builder_.abandon();
        return;
    }
}

void KNIGA::stopBuild() {
    progress_.cancel = true;
    worker_.waitForFinished();
    // A work finished just before the stop is complete: its record gets its reading settings. A new work
    // goes in with its record now, as it would have a moment later.
    bool committed =
        workerStarted_ && worker_.resultCount() > 0 && worker_.result().outcome == BuildOutcome::Committed;
    workerStarted_ = false;
    if (building_ && committed && !builder_.stagedPath().isEmpty()) {
        committed =
            session().reading().addBuiltWork(session().libraryDir(), buildName_, builder_.stagedPath()).ok();
    }
    builder_.abandon();
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

} // namespace vel
