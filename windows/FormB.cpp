#include "windows/FormB.h"

#include "core/catalogue/CatalogueWalks.h"
#include "core/catalogue/Cover.h"
#include "core/clock/ClockMath.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/Colors.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/WorkFile.h"
#include "core/text/TextImport.h"
#include "ui/Design.h"
#include "ui/Session.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QStringListModel>

namespace vel {

namespace {

const QString kLibraryHeading = QStringLiteral("БИБЛИОТЕКА");
const QString kAuthorHeading = QStringLiteral("ИЗБОР НА АВТОР");
const QString kWorksOf = QStringLiteral("Произведения на ");
const QString kAttention = QStringLiteral("ВНИМАНИЕ !");
const QString kCatalogueTitle = QStringLiteral("ВЕЛМОРА");

const QStringList kNoText = {QStringLiteral("Няма въведен текст !"),
                             QStringLiteral("Използвайте бутоните за въвеждане на файлове.")};
const QString kWarningTitle = QStringLiteral("ВНИМАНИЕ ОТГОВОРНА ОПЕРАЦИЯ ");
const QStringList kWarning = {
    QStringLiteral("Ще последва създаване на нов тип файл (базаданни)."),
    QStringLiteral("Процесът не трябва да се прекъсва до окончателното му завършване."),
    QStringLiteral("Ако все пак го прекъснете ще повредите файла."),
    QStringLiteral("По-големите произведения отнемат повече време."),
    QStringLiteral("За да продължи натиснете ОК!")};
const QStringList kNoTitle = {QStringLiteral("Не е въведено име на произведението!"),
                              QStringLiteral("Въведете име на произведението и чак тогава потвърдете.")};
const QStringList kNoAuthor = {QStringLiteral("Не е въведено името на автора!"),
                               QStringLiteral("Въведете името на автора и чак тогава потвърдете.")};
const QString kDeleteTitle = QStringLiteral("ВНИМАНИЕ ОПЕРАЦИЯ ИЗТРИВАНЕ ");

constexpr std::int32_t kWindowBack = 0x0080C0FF;
constexpr std::int32_t kListBack = 0x00C0FFC0;
constexpr std::int32_t kNameBack = 0x00FFFFC0;
constexpr std::int32_t kGreyBack = 0x00C0C0C0;
constexpr std::int32_t kAlarmButtonBack = 0x0080FF80;
constexpr std::int32_t kAlarmLabelBack = 0x000080FF;
constexpr std::int32_t kAlarmHandColor = 0x0080FFFF;
// Bands of the button pictures: blue normally, red highlighted, orange on the small squares.
constexpr std::int32_t kBlueBand = 0x00C08040;
constexpr std::int32_t kRedBand = 0x000000FF;
constexpr std::int32_t kOrangeBand = 0x000080FF;
constexpr std::int32_t kGreyBand = 0x00808080;

constexpr double kDesignWidth = 10560;
constexpr double kDesignHeight = 6255;

QString lines(const QStringList& l) {
    return l.join(QStringLiteral("\r\n"));
}

QString pictureName(const char* control) {
    return QStringLiteral("FormB.") + QLatin1String(control);
}

// Items added to or removed from a combo box leave the heading in its text area as it was.
void appendItems(QComboBox* combo, const QStringList& items) {
    const QString text = combo->currentText();
    combo->addItems(items);
    combo->setEditText(text);
}

void emptyList(QComboBox* combo) {
    const QString text = combo->currentText();
    combo->clear();
    combo->setEditText(text);
}

void setOpaque(QWidget* w, bool opaque) {
    w->setAutoFillBackground(opaque);
}

} // namespace

FormB::FormB(Session& session) : Window(session, QStringLiteral("FormB")) {
    buildDesign();
}

FormB::~FormB() = default;

void FormB::buildDesign() {
    setWindowTitle(QStringLiteral("Управление на БИБЛИОТЕКАТА"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowIcon(QIcon(designPicture(QStringLiteral("icon"), QSize(32, 32))));
    setDesignFont(this, QString::fromLatin1(kDefaultFontName), kDefaultFontSize);
    Window::setBackColor(kWindowBack);
    setBackgroundPicture(designPicture(pictureName("background"), QSize(704, 418), kGreyBand));

    auto holder = [this](const char* name, QSize px, std::int32_t band) {
        auto* box = add(new PictureBox(this), ControlKind::Image, QLatin1String(name),
                        {0, kDesignHeight + 1200, pxToTwips(px.width()), pxToTwips(px.height())});
        box->setPicture(designPicture(pictureName(name), px, band));
        box->hide();
        return box;
    };
    auto pictureButton = [this](QWidget* parent, const char* name, const TwipsRect& box, const QString& tip) {
        auto* b = add(new PictureButton(parent), ControlKind::PictureButton, QLatin1String(name), box);
        b->setToolTip(tip);
        return b;
    };
    auto textBox = [this](const char* name, const TwipsRect& box, const QString& text) {
        auto* t = add(new QLineEdit(this), ControlKind::TextBox, QLatin1String(name), box);
        t->setText(text);
        return t;
    };
    auto label = [this](QWidget* parent, const char* name, const TwipsRect& box, const QString& caption) {
        auto* l = add(new ClickLabel(parent), ControlKind::Label, QLatin1String(name), box);
        l->setText(caption);
        return l;
    };
    auto comboBox = [this](const char* name, const TwipsRect& box, const QString& text) {
        auto* c = add(new QComboBox(this), ControlKind::ComboBox, QLatin1String(name), box);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setMaxVisibleItems(20);
        c->setEditText(text);
        vel::setBackColor(c, kListBack);
        c->hide();
        return c;
    };

    // Picture holders first: the buttons share their pictures.
    Image1 = holder("Image1", {89, 31}, kBlueBand);
    Image2 = holder("Image2", {89, 31}, kRedBand);
    Image3 = holder("Image3", {92, 31}, kBlueBand);
    Image4 = holder("Image4", {92, 31}, kRedBand);
    Image5 = holder("Image5", {92, 31}, kBlueBand);
    Image6 = holder("Image6", {92, 31}, kRedBand);
    Image7 = holder("Image7", {92, 31}, kBlueBand);
    Image8 = holder("Image8", {92, 31}, kRedBand);
    Image9 = holder("Image9", {93, 31}, kBlueBand);
    Image10 = holder("Image10", {93, 31}, kRedBand);
    Image11 = holder("Image11", {31, 22}, kBlueBand);
    Image12 = holder("Image12", {30, 23}, kOrangeBand);

    Command2 = pictureButton(this, "Command2", {9080, 30, 1455, 495}, QStringLiteral("Скрива формата"));
    Command2->setPicture(Image5->picture());

    Combo1 = comboBox("Combo1", {4440, 4320, 4335, 315}, kLibraryHeading);
    Combo2 = comboBox("Combo2", {5520, 2760, 3135, 315}, kAuthorHeading);

    // The finder goes where the lists go.
    TxtTarsi = textBox("TxtTarsi", {4620, 3780, 2085, 315}, QString()); // clear of the clock
    TxtTarsi->setPlaceholderText(QStringLiteral("Заглавие или автор"));
    TxtTarsi->setClearButtonEnabled(true);
    vel::setBackColor(TxtTarsi, kNameBack);
    TxtTarsi->hide();
    ComboRed = add(new QComboBox(this), ControlKind::ComboBox, QStringLiteral("ComboRed"), {6765, 3780, 2010, 315});
    ComboRed->addItems({QStringLiteral("Както са добавени"), QStringLiteral("По заглавие"), QStringLiteral("По автор"),
                        QStringLiteral("Последно четени")});
    ComboRed->setToolTip(QStringLiteral("Подреждане на заглавията"));
    vel::setBackColor(ComboRed, kListBack);
    ComboRed->hide();
    // Below the background's heading and its ornament, which reach down to 1600 twips at the right.
    Korica = add(new PictureBox(this, false), ControlKind::PictureBox, QStringLiteral("Korica"),
                 {8880, 1800, 1560, 2340});
    Korica->hide();
    Svedenia = label(this, "Svedenia", {8880, 4200, 1560, 1140}, QString());
    Svedenia->setWordWrap(true);
    Svedenia->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setTransparent(Svedenia);
    Svedenia->hide();
    found_ = new QCompleter(this);
    found_->setModel(new QStringListModel(found_));
    found_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    found_->setMaxVisibleItems(15);
    TxtTarsi->setCompleter(found_);
    Combo1->installEventFilter(this);

    Command3 = pictureButton(this, "Command3", {5640, 4800, 1335, 495},
                             QStringLiteral("Добавяне на ново произведение"));
    Command3->setBackColor(colorFromNumber(kGreyBack));
    Command3->setPicture(Image1->picture());
    Command3->hide();
    Iztrii = pictureButton(this, "Iztrii", {7200, 4800, 1335, 495},
                           QStringLiteral("Изтриване на избраното проиведение от библиотеката"));
    Iztrii->setPicture(Image3->picture());
    Iztrii->hide();

    Label1 = label(this, "Label1", {4080, 2760, 1575, 375}, QStringLiteral("Заглавие:"));
    Label2 = label(this, "Label2", {4080, 3240, 1575, 375}, QStringLiteral("Автор:"));
    for (ClickLabel* l : {Label1, Label2}) {
        setDesignFont(l, QString::fromLatin1(kDefaultFontName), 9.75, true);
        l->setAlignment(Qt::AlignRight | Qt::AlignTop);
        setTransparent(l);
        l->hide();
    }
    TxtName = textBox("TxtName", {5640, 2760, 3015, 375}, QString());
    vel::setBackColor(TxtName, kNameBack);
    TxtName->hide();
    TxtNumber = textBox("TxtNumber", {5640, 3240, 3015, 405}, QString());
    vel::setBackColor(TxtNumber, kListBack);
    TxtNumber->setMouseTracking(true);
    TxtNumber->installEventFilter(this);
    TxtNumber->hide();
    // Lies over the right end of the author box.
    Combo3 = pictureButton(this, "Combo3", {8280, 3255, 375, 380},
                           QStringLiteral("Отваряне на списъка с вече записаните автори"));
    Combo3->setPicture(Image11->picture());
    Combo3->hide();
    List1 =
        add(new QListWidget(this), ControlKind::ListBox, QStringLiteral("List1"), {5760, 3240, 2535, 450});
    vel::setBackColor(List1, kListBack);
    List1->viewport()->setMouseTracking(true);
    List1->viewport()->installEventFilter(this);
    List1->hide();
    Combo3->raise(); // over the list's right edge as well
    Dobavi = pictureButton(this, "Dobavi", {5640, 2040, 1215, 495},
                           QStringLiteral("Потвърждение за окончателен запис"));
    Dobavi->setPicture(Image7->picture());
    Dobavi->hide();
    Command4 = pictureButton(this, "Command4", {7440, 2040, 1215, 495},
                             QStringLiteral("Отказ от добавяне в библиотеката"));
    Command4->setPicture(Image9->picture());
    Command4->hide();

    // Controls that never show.
    Command1 = add(new QPushButton(QStringLiteral("Отвори"), this), ControlKind::Button,
                   QStringLiteral("Command1"), {4080, 5400, 1215, 375});
    Nazad = add(new QPushButton(this), ControlKind::Button, QStringLiteral("Nazad"), {5400, 5400, 1215, 375});
    B_Napred =
        add(new QPushButton(this), ControlKind::Button, QStringLiteral("B_Napred"), {6720, 5400, 1215, 375});
    TxtAvtor = textBox("TxtAvtor", {5640, 3720, 3015, 375}, QString());
    Label3 = label(this, "Label3", {4080, 3720, 1575, 375}, QStringLiteral("Nomer:"));
    Text3 = textBox("Text3", {5640, 4200, 3015, 375}, QString());
    for (QWidget* w : std::initializer_list<QWidget*>{Command1, Nazad, B_Napred, TxtAvtor, Label3, Text3})
        w->hide();

    // Value carriers, below the visible area.
    Text1 = textBox("Text1", {120, 7200, 1575, 375}, QStringLiteral("Text1"));
    Text2 = textBox("Text2", {120, 6600, 1575, 375}, QStringLiteral("Text2"));
    Text6 = textBox("Text6", {6720, 6360, 1575, 375}, QStringLiteral("Tahoma"));
    Text7 = textBox("Text7", {6720, 6840, 1575, 375}, QStringLiteral("14"));
    Text8 = textBox("Text8", {6720, 7320, 1575, 375}, QStringLiteral("1"));
    Text9 = textBox("Text9", {6720, 7800, 1575, 375}, QStringLiteral("Text9"));
    Text10 = textBox("Text10", {6720, 8280, 1575, 375}, QStringLiteral("Text10"));
    Label4 = label(this, "Label4", {6720, 120, 255, 255}, QString());
    setTransparent(Label4);
    Label4->hide();
    TimerZapis = makeTimer(*this, QStringLiteral("TimerZapis"), 100, false);

    // The clock.
    Timer4 = makeTimer(*this, QStringLiteral("Timer4"), 1000, true);
    auto hand = [this](const char* name, double y2, std::int32_t color, int width) {
        auto* line = add(new LineControl(this), ControlKind::Line, QLatin1String(name));
        line->setPoints(clockface::kCentreX, clockface::kCentreY, clockface::kCentreX, y2);
        line->setBorderColor(colorFromNumber(color));
        line->setBorderWidth(width);
        line->setVisible(false);
        return line;
    };
    s = hand("s", 2640, 0x000000FF, 1);
    s1 = hand("s1", 2760, 0x00000000, 2);
    s2 = hand("s2", 3240, 0x00000000, 3);
    s3 = hand("s3", 2700, kAlarmHandColor, 2);
    Shape14 = add(new ShapeControl(this, ShapeControl::Form::Circle), ControlKind::Shape,
                  QStringLiteral("Shape14"));
    Shape14->box = {3345, 3585, 135, 135};
    Shape14->filled = true;
    Shape14->fillColor = Qt::black;
    Text4 = textBox("Text4", {120, 1920, 735, 285}, QStringLiteral("Text4"));
    Text4->hide();

    // The alarm.
    Command333 = pictureButton(this, "Command333", {3240, 6000, 495, 255}, Alarm::openToolTip());
    Command333->setBackColor(colorFromNumber(kAlarmButtonBack));
    Command333->setPicture(designPicture(pictureName("Command333"), QSize(32, 17)));
    Frame1 = add(new QFrame(this), ControlKind::Frame, QStringLiteral("Frame1"), {2160, 5160, 2655, 255});
    Frame1->setFrameShape(QFrame::NoFrame);
    vel::setBackColor(Frame1, kNameBack);
    Frame1->hide();
    auto alarmButton = [&](const char* name, double left, const QString& tip) {
        auto* b = pictureButton(Frame1, name, {left, 0, 495, 255}, tip);
        b->setBackColor(colorFromNumber(kAlarmButtonBack));
        b->setPicture(designPicture(pictureName(name), QSize(32, 17)));
        return b;
    };
    Command6 = alarmButton("Command6", 0, QStringLiteral("Настройва часа"));
    Command222 = alarmButton("Command222", 480, QStringLiteral("Настройва часа"));
    Text555 = label(Frame1, "Text555", {960, 20, 285, 240}, QStringLiteral("12"));
    Text555->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label6 = label(Frame1, "Label6", {1300, 15, 405, 240}, QStringLiteral(": 00"));
    Label6->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    for (ClickLabel* l : {Text555, Label6}) {
        setDesignFont(l, QString::fromLatin1(kDefaultFontName), 9.75, true);
        vel::setBackColor(l, kAlarmLabelBack);
        setOpaque(l, false);
    }
    Command7 = alarmButton("Command7", 1680, QStringLiteral("Настройва минутите"));
    Command111 = alarmButton("Command111", 2160, QStringLiteral("Настройва минутите"));
    Text666 = label(this, "Text666", {360, 5160, 165, 240}, QStringLiteral("0"));
    setDesignFont(Text666, QString::fromLatin1(kDefaultFontName), 9.75, true);
    Text666->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Text666->hide();
    Command5 = pictureButton(this, "Command5", {3240, 5520, 495, 375}, QStringLiteral("СТАРТ"));
    Command5->setPicture(Image11->picture());
    Command5->hide();
    Label5 = label(this, "Label5", {2400, 5520, 2295, 255}, QStringLiteral("Аларма включена"));
    setDesignFont(Label5, QString::fromLatin1(kDefaultFontName), 9.75, true);
    setTransparent(Label5);
    Label5->hide();
    // Picture3 lies over Picture2, which lies over Picture4.
    auto hammer = [&](const char* name) {
        auto* p = add(new PictureBox(this, false), ControlKind::PictureBox, QLatin1String(name),
                      {3100, 1930, 780, 420});
        p->setPicture(designPicture(pictureName(name), QSize(52, 28), kGreyBand));
        return p;
    };
    Picture4 = hammer("Picture4");
    Picture2 = hammer("Picture2");
    Picture3 = hammer("Picture3");
    Picture2->hide();
    Picture3->hide();
    Timer1 = makeTimer(*this, QStringLiteral("Timer1"), 200, false);

    // A mouse move over any control is that control's own; only the bare background restores the hover
    // pictures.
    for (QObject* c : controls()) {
        if (auto* w = qobject_cast<QWidget*>(c))
            w->setAttribute(Qt::WA_NoMousePropagation);
    }

    // Design client size, at the design's client origin.
    resize(twipsToPx(kDesignWidth), twipsToPx(kDesignHeight));
    move(twipsToPx(120), 0);

    followReadingState();

    connect(Command2, &PictureButton::clicked, this, &FormB::Command2_Click);
    connect(Command3, &PictureButton::clicked, this, &FormB::Command3_Click);
    connect(Command4, &PictureButton::clicked, this, &FormB::Command4_Click);
    connect(Dobavi, &PictureButton::clicked, this, &FormB::Dobavi_Click);
    connect(Iztrii, &PictureButton::clicked, this, &FormB::Iztrii_Click);
    connect(Combo1, &QComboBox::activated, this, &FormB::Combo1_Click);
    connect(Combo2, &QComboBox::activated, this, &FormB::Combo2_Click);
    connect(TxtTarsi, &QLineEdit::textEdited, this, &FormB::TxtTarsi_Change);
    connect(ComboRed, &QComboBox::activated, this, &FormB::ComboRed_Click);
    connect(Combo1, &QComboBox::highlighted, this, [this](int i) { showWorkCard(Combo1->itemText(i)); });
    connect(found_, qOverload<const QString&>(&QCompleter::highlighted), this, &FormB::showWorkCard);
    connect(found_, qOverload<const QString&>(&QCompleter::activated), this, [this](const QString& title) {
        Combo1->setEditText(title);
        Combo1_Click();
    });
    connect(Combo3, &PictureButton::clicked, this, &FormB::Combo3_Click);
    connect(List1, &QListWidget::itemClicked, this, &FormB::List1_Click);
    connect(TimerZapis, &QTimer::timeout, this, &FormB::TimerZapis_Timer);
    connect(Timer4, &QTimer::timeout, this, &FormB::Timer4_Timer);
    connect(Timer1, &QTimer::timeout, this, &FormB::Timer1_Timer);
    connect(Command333, &PictureButton::clicked, this, &FormB::Command333_Click);
    connect(Command5, &PictureButton::clicked, this, &FormB::Command5_Click);
    connect(Command222, &PictureButton::clicked, this, &FormB::Command222_Click);
    connect(Command6, &PictureButton::clicked, this, &FormB::Command6_Click);
    connect(Command111, &PictureButton::clicked, this, &FormB::Command111_Click);
    connect(Command7, &PictureButton::clicked, this, &FormB::Command7_Click);

    connect(Command2, &PictureButton::mouseMoved, this, &FormB::Command2_MouseMove);
    connect(Command3, &PictureButton::mouseMoved, this, &FormB::Command3_MouseMove);
    connect(Iztrii, &PictureButton::mouseMoved, this, &FormB::Iztrii_MouseMove);
    connect(Dobavi, &PictureButton::mouseMoved, this, &FormB::Dobavi_MouseMove);
    connect(Command4, &PictureButton::mouseMoved, this, &FormB::Command4_MouseMove);
    connect(Combo3, &PictureButton::mouseMoved, this, &FormB::Combo3_MouseMove);
    connect(Command5, &PictureButton::mouseMoved, this, &FormB::Command5_MouseMove);
}

void FormB::followReadingState() {
    ReadingState& state = session().reading();
    // The hidden fields show what the state holds; the state is their source, never the other way.
    auto mirror = [this, &state] {
        Text1->setText(state.workName());
        Text2->setText(state.title());
        const ReadingSettings& settings = state.settings();
        Text6->setText(settings.font);
        Text7->setText(settings.size);
        Text8->setText(state.bookmark());
        Text9->setText(settings.pageColor);
        Text10->setText(settings.formColor);
        Label4->setText(state.mode());
    };
    mirror();
    for (auto signal : {&ReadingState::workChanged, &ReadingState::settingsChanged,
                        &ReadingState::bookmarkChanged, &ReadingState::modeChanged})
        connect(&state, signal, this, mirror);
    connect(TxtName, &QLineEdit::textChanged, &state, &ReadingState::setChosenTitle);
    connect(&state, &ReadingState::settingsHandedBack, TimerZapis, qOverload<>(&QTimer::start));
    connect(&state, &ReadingState::panelLoaded, this, &FormB::showListPrompts);
    connect(&state, &ReadingState::workAdded, this, [this] {
        emptyList(Combo1);
        emptyList(Combo2);
        Spisak();
    });
    connect(&state, &ReadingState::bookGone, this, [this](bool textReturned) {
        hide();
        if (!textReturned)
            hideLists();
    });
    connect(&session(), &Session::libraryAsked, this, [this](LibraryRequest request) {
        switch (request) {
        case LibraryRequest::Reading:
            Otkaz();
            showReadingLayout();
            break;
        case LibraryRequest::Lists:
            showReadingLayout();
            break;
        case LibraryRequest::Managing:
            showManagingLayout();
            break;
        case LibraryRequest::Reopen:
            showTypedTitle();
            modulNov();
            hide();
            break;
        case LibraryRequest::Reload:
            reloadLists();
            break;
        }
    });
    connect(&session(), &Session::hoverLeftButtons, this, &FormB::restoreCommand2);
}

// ---- Load and unload
// ---------------------------------------------------------------------------------------

void FormB::Form_Load() {
    Result<Catalogue::Opened> opened = Catalogue::open(session().libraryDir());
    if (!opened) {
        // Nothing to list; every catalogue operation of the window stays idle.
        openError_ = opened.message();
        session().platform().messageBox(openError_, MsgButtons::Ok, MsgIcon::Critical, kCatalogueTitle);
    } else {
        catalogue_ = std::move(opened->catalogue);
        session().reading().setCatalogue(catalogue_.get());
        // What an interrupted add or delete (here or in another program) left is put right first.
        QStringList told;
        for (const Failure& note : reconcileLibrary(*catalogue_, session().libraryDir()).messages())
            told << note.message;
        if (!told.isEmpty())
            session().platform().messageBox(lines(told), MsgButtons::Ok, MsgIcon::Exclamation,
                                            kCatalogueTitle);
        catalogue_->cleanUp();
        catalogue_->rs().MoveFirst();
        Pokazhi();
        Spisak();
        catalogue_->rs().MoveFirst();
        Pokazhi();
    }
    TxtNumber->hide();
    s->setVisible(true);
    s1->setVisible(true);
    s2->setVisible(true);
    setTwLeft(Label6, twLeft(Text555) + twWidth(Text555));
}

void FormB::Form_Unload() {
    TimerZapis->stop();
    Timer1->stop();
    Timer4->stop();
    session().reading().setCatalogue(nullptr);
    session().reading().dropNewWork();
    catalogue_.reset();
}

// ---- Cursor operations
// -------------------------------------------------------------------------------------

RecordBoxes FormB::boxes() const {
    return RecordBoxes{TxtName->text(), TxtNumber->text()};
}

void FormB::boxesFrom(const RecordBoxes& b) {
    if (TxtName->text() != b.name)
        TxtName->setText(b.name);
    if (TxtNumber->text() != b.number)
        TxtNumber->setText(b.number);
}

void FormB::Pokazhi() {
    if (!catalogue_)
        return;
    RecordBoxes b;
    catalogue_->pokazhi(b);
    boxesFrom(b);
}

void FormB::Zapishi() {
    if (catalogue_)
        catalogue_->zapishi(boxes());
}

void FormB::PrazenZapis() {
    if (catalogue_)
        catalogue_->prazenZapis();
}

void FormB::Napred() {
    if (!catalogue_)
        return;
    RecordBoxes b = boxes();
    catalogue_->napred(b);
    boxesFrom(b);
}

// ---- Lists
// -------------------------------------------------------------------------------------------------

void FormB::Spisak() {
    List1->clear();
    appendItems(Combo2, {kAllAuthors});
    if (!catalogue_)
        return;
    RecordBoxes b = boxes();
    const CatalogueLists lists = spisak(*catalogue_, b);
    boxesFrom(b);
    appendItems(Combo1, lists.titles);
    appendItems(Combo2, lists.authors);
    List1->addItems(lists.authors);
    index_ = LibraryIndex(libraryEntries(*catalogue_));
    if (narrowing())
        TxtTarsi_Change();
}

void FormB::reloadLists() {
    emptyList(Combo1);
    emptyList(Combo2);
    Spisak();
}

bool FormB::narrowing() const {
    return !TxtTarsi->text().trimmed().isEmpty() || ComboRed->currentIndex() > 0;
}

void FormB::TxtTarsi_Change() {
    // The author filter stays: its entries after the first are authors, its headings are no entries.
    const int author = Combo2->findText(Combo2->currentText(), Qt::MatchExactly);
    const std::vector<int> found = index_.find(TxtTarsi->text(), author > 0 ? Combo2->currentText() : QString(),
                                               TitleOrder(ComboRed->currentIndex()));
    const QStringList titles = index_.titles(found);
    emptyList(Combo1);
    appendItems(Combo1, titles);
    // The pop-up under the box lists the first matches; the title list holds them all.
    static_cast<QStringListModel*>(found_->model())->setStringList(titles.mid(0, 200));
    if (!TxtTarsi->text().trimmed().isEmpty() && TxtTarsi->hasFocus())
        found_->complete();
    else
        found_->popup()->hide();
}

void FormB::ComboRed_Click() {
    TxtTarsi_Change();
}

void FormB::showWorkCard(const QString& title) {
    Korica->setPicture(QPixmap());
    Korica->hide();
    Svedenia->clear();
    Svedenia->hide();
    const auto it = std::find_if(index_.entries().begin(), index_.entries().end(),
                                 [&title](const LibraryEntry& e) { return e.title == title; });
    if (title.isEmpty() || it == index_.entries().end() || !catalogue_)
        return;
    QString series;
    if (const auto path = workFilePath(QFileInfo(catalogue_->path()).path(), title)) {
        if (const auto work = WorkFile::open(*path)) {
            series = seriesLabel(work->fact(schema::kFactSeries), work->fact(schema::kFactSeriesNumber));
            QPixmap cover;
            if (cover.loadFromData(work->cover())) {
                Korica->setPicture(cover.scaled(Korica->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
                Korica->show();
            }
        }
    }
    Svedenia->setText(series.isEmpty() ? it->author : it->author + QStringLiteral("\n") + series);
    Svedenia->show();
}

void FormB::SpisakAv() {
    emptyList(Combo1);
    if (!catalogue_)
        return;
    RecordBoxes b = boxes();
    const QStringList titles = titlesOfAuthor(*catalogue_, b, Combo2->currentText());
    boxesFrom(b);
    appendItems(Combo1, titles);
}

void FormB::Combo2_Click() {
    emptyList(Combo1);
    if (Combo2->currentText() != kAllAuthors) {
        SpisakAv();
        Combo1->setEditText(kWorksOf + Combo2->currentText());
    } else {
        if (catalogue_) {
            RecordBoxes b = boxes();
            const QStringList titles = allTitles(*catalogue_, b);
            boxesFrom(b);
            appendItems(Combo1, titles);
        }
        Combo1->setEditText(kLibraryHeading);
    }
    if (narrowing())
        TxtTarsi_Change();
    focusNextChild();
}

bool FormB::Tarsene() {
    if (!catalogue_)
        return false;
    RecordBoxes b = boxes();
    const std::optional<WorkSettings> found = tarsene(*catalogue_, b, Combo1->currentText());
    boxesFrom(b);
    if (!found)
        return false;
    ReadingState& state = session().reading();
    state.setSettings({found->font, found->size, found->cvetList, found->cvetForma});
    state.setBookmark(found->str);
    state.chooseStoredLook();
    return true;
}

void FormB::modulNov() {
    hide();
    session().open(Role::Main).setWindowTitle(Combo1->currentText());
    session().reading().setMode(QStringLiteral("Nov"));
    session().show(Role::Book);
}

void FormB::Combo1_Click() {
    if (!Tarsene())
        return;
    session().reading().setTitle(Combo1->currentText());
    modulNov();
    hide();
    Combo1->hide();
    Combo2->hide();
}

void FormB::modulEn() {
    session().reading().joinPanelLines();
}

// ---- Layouts and the entry form
// ----------------------------------------------------------------------------

void FormB::showReadingLayout() {
    show();
    setVisible(true);
    TxtName->hide();
    Combo1->show();
    Combo2->show();
    Command3->hide();
    Iztrii->hide();
}

void FormB::showManagingLayout() {
    show();
    Combo1->hide();
    Combo2->hide();
    // The entry form left open is shown again as it was.
    if (!Dobavi->isHidden()) {
        TxtName->show();
        TxtNumber->show();
    } else {
        Command3->show();
    }
    Iztrii->show();
}

void FormB::hideLists() {
    Combo1->hide();
    Combo2->hide();
    TxtName->hide();
}

void FormB::showListPrompts() {
    Combo2->setEditText(QStringLiteral("Избор на АВТОР"));
    Combo1->setEditText(QStringLiteral("Библиотека"));
}

void FormB::showTypedTitle() {
    Combo1->setEditText(session().reading().title());
}

void FormB::Otkaz() {
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, TxtName, TxtNumber, Dobavi})
        w->hide();
    Command3->show();
    Combo1->show();
    Combo2->show();
    Combo3->hide();
    List1->hide();
    pickListOpen = 0;
    Command4->hide();
    Combo1->setEditText(kLibraryHeading);
    Combo2->setEditText(kAuthorHeading);
    hide();
}

void FormB::Command2_Click() {
    session().askAphorism(false);
    hide();
}

void FormB::Command4_Click() {
    Otkaz();
}

void FormB::Combo3_Click() {
    if (pickListOpen == 0) {
        pickListOpen = 1;
        List1->show();
        setTwHeight(List1, pxToTwips(height()) - twTop(List1) - 100);
    } else {
        List1->hide();
        pickListOpen = 0;
    }
}

void FormB::List1_Click() {
    if (QListWidgetItem* item = List1->currentItem())
        TxtNumber->setText(item->text());
    List1->hide();
    pickListOpen = 0;
}

void FormB::TxtNumber_Click() {
    pickListOpen = 0;
    List1->hide();
}

void FormB::Command3_Click() {
    Platform& platform = session().platform();
    // Blank text would make a work of empty pages.
    const QString& text = session().reading().panelText();
    if (text.size() < 3 || !hasVisibleText(text)) {
        platform.messageBox(lines(kNoText), MsgButtons::Ok, MsgIcon::Critical, kAttention);
        hide();
        return;
    }
    if (!catalogue_) {
        platform.messageBox(openError_, MsgButtons::Ok, MsgIcon::Critical, kCatalogueTitle);
        return;
    }
    Combo1->hide();
    Combo2->hide();
    Combo3->show();
    Command4->show();
    Iztrii->hide();
    Command3->hide();
    for (QWidget* w : std::initializer_list<QWidget*>{Dobavi, TxtName, TxtNumber, Label1, Label2})
        w->show();
    // The form opens on the entry slot at the end, never on a work's record.
    catalogue_->ensureEntrySlotAtEnd();
    catalogue_->rs().MoveLast();
    Pokazhi();
    const ReadingState& state = session().reading();
    if (!state.offeredTitle().isEmpty())
        TxtName->setText(state.offeredTitle());
    if (!state.offeredAuthor().isEmpty())
        TxtNumber->setText(state.offeredAuthor());
    TxtName->setFocus();
}

void FormB::Dobavi_Click() {
    Platform& platform = session().platform();
    platform.messageBox(lines(kWarning), MsgButtons::Ok, MsgIcon::None, kWarningTitle);
    const QString title = TxtName->text();
    if (title.isEmpty()) {
        platform.messageBox(lines(kNoTitle), MsgButtons::Ok, MsgIcon::Critical, kAttention);
        return;
    }
    if (TxtNumber->text().isEmpty()) {
        platform.messageBox(lines(kNoAuthor), MsgButtons::Ok, MsgIcon::Critical, kAttention);
        return;
    }
    if (!catalogue_) {
        platform.messageBox(openError_, MsgButtons::Ok, MsgIcon::Critical, kCatalogueTitle);
        return;
    }
    ReadingState& state = session().reading();
    state.setWorkName(title);
    state.setTitle(title);

    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, TxtName, TxtNumber, Dobavi})
        w->hide();
    Command3->show();
    Command4->hide();
    emptyList(Combo1);
    emptyList(Combo2);
    Combo1->show();
    Combo2->show();
    Combo3->hide();
    Combo1->setEditText(kLibraryHeading);
    Combo2->setEditText(kAuthorHeading);

    const PanelLook& panel = state.panelLook();
    // The record is written together with the work file once the build has finished it: a build that
    // fails or is given up leaves the catalogue as it was.
    state.setNewWork(CatalogueRecord{title, TxtNumber->text(), panel.font, catalogueFontSize(panel.size),
                                     schema::kFirstPage, colorNumberToText(panel.pageColor),
                                     colorNumberToText(panel.formColor)});
    catalogue_->ensureEntrySlotAtEnd();
    catalogue_->rs().MoveLast();
    Pokazhi();
    Spisak();
    hide();

    state.setMode(QStringLiteral("Star"));
    state.setBookmark(QStringLiteral("1"));
    state.setSettings({panel.font, QString::number(panel.size), colorNumberToText(panel.pageColor),
                       colorNumberToText(panel.formColor)});

    session().show(Role::Book);
    session().open(Role::Book).setWindowTitle(state.workName());
    session().hide(Role::Main);
}

// ---- Settings save
// -----------------------------------------------------------------------------------------

void FormB::TimerZapis_Timer() {
    TimerZapis->stop();
    if (!catalogue_)
        return;
    const ReadingState& state = session().reading();
    const ReadingSettings& settings = state.settings();
    RecordBoxes b = boxes();
    const auto saved = catalogue_->saveSettings(state.title(), settings.font, settings.size, state.bookmark(),
                                                settings.pageColor, settings.formColor, &b);
    boxesFrom(b);
    if (saved == Catalogue::SaveResult::Failed)
        session().platform().messageBox(
            QStringLiteral("Настройките на произведението „%1“ не могат да бъдат записани: %2.")
                .arg(state.title(), catalogue_->database().reason()),
            MsgButtons::Ok, MsgIcon::Critical, kAttention);
}

// ---- Deleting
// ----------------------------------------------------------------------------------------------

void FormB::Iztrii_Click() {
    if (!catalogue_)
        return;
    Recordset& r = catalogue_->rs();
    const QString title = r.hasCurrent() ? r.field(schema::kName) : QString();
    if (title.isEmpty())
        return;
    const QString question =
        lines({QStringLiteral("От БИБЛИОТЕКАТА ще бъде изтрито произведението:"), QString(), title, QString(),
               QStringLiteral("Ако сте сигурни натиснете ОК!"),
               QStringLiteral("Ако не сте сигурни натиснете Отказ (Cancel)!")});
    Platform& platform = session().platform();
    if (platform.messageBox(question, MsgButtons::OkCancel, MsgIcon::Question, kDeleteTitle) ==
        MsgAnswer::Cancel)
        return;
    // The file and the record go together; a file that cannot be removed keeps its record, and says so.
    // Only the record the reader confirmed goes, even when another program changed the catalogue meanwhile.
    const Result<RemovedWork> removed = removeCurrentWork(*catalogue_, session().libraryDir(), title);
    if (!removed) {
        platform.messageBox(removed.message(), MsgButtons::Ok, MsgIcon::Critical, kAttention);
        return;
    }
    if (removed->fileRemoved)
        hide();
    emptyList(Combo1);
    emptyList(Combo2);
    Spisak();
    Combo1->setEditText(kLibraryHeading);
    Combo2->setEditText(kAuthorHeading);
}

// ---- Clock and alarm
// ---------------------------------------------------------------------------------------

void FormB::Timer4_Timer() {
    Text4->setText(QString::number(clockface::aphorismIndex(session().platform().rnd())));
    session().reading().setAphorismIndex(Text4->text());
    const QTime now = session().platform().timeOfDay();
    const double hourAngle = clockface::hourAngle(now.hour(), now.minute());
    // Each hand turns about its own start point, read back from the line.
    auto turn = [](LineControl* line, double angle, int length) {
        const HandEnd end = clockface::handEnd(angle, length, float(line->x1), float(line->y1));
        line->setPoints(line->x1, line->y1, end.x2, end.y2);
    };
    turn(s, clockface::secondAngle(now.second()), clockface::kSecondLength);
    turn(s1, clockface::minuteAngle(now.minute()), clockface::kMinuteLength);
    turn(s2, hourAngle, clockface::kHourLength);

    // A ringing alarm keeps its pace: Timer1 is not restarted while it runs.
    if (alarm_.clockTick(hourAngle)) {
        if (!Timer1->isActive())
            Timer1->start();
    } else {
        Timer1->stop();
    }
}

void FormB::Timer1_Timer() {
    const Alarm::RingEffects effects = alarm_.ringTick();
    if (effects.showWindow) {
        show();
        raise();
        activateWindow();
    }
    if (effects.beep)
        session().platform().beep();
    showAlarm();
}

void FormB::showAlarm() {
    Frame1->setVisible(alarm_.panelOpen());
    Command5->setVisible(alarm_.startOffered());
    Label5->setVisible(alarm_.armedShown());
    const HandEnd end = alarm_.alarmHand();
    s3->setPoints(s3->x1, s3->y1, end.x2, end.y2);
    s3->setVisible(alarm_.alarmHandVisible());
    Command333->setToolTip(alarm_.panelToolTip());
    Text555->setText(alarm_.hourCaption());
    Label6->setText(alarm_.minutesCaption());
    Text666->setText(alarm_.minutesCounter());
    setOpaque(Text555, alarm_.timeLit());
    setOpaque(Label6, alarm_.timeLit());
    // Picture4 always shows the hammer at rest; the raised or lowered one is laid over it.
    Picture2->setVisible(alarm_.hammer() == Alarm::Hammer::Up);
    Picture3->setVisible(alarm_.hammer() == Alarm::Hammer::Down);
}

void FormB::Command333_Click() {
    const bool beep = alarm_.panelButtonClicked();
    showAlarm();
    if (beep)
        session().platform().beep();
}

void FormB::Command5_Click() {
    alarm_.startClicked();
    showAlarm();
}

void FormB::Command222_Click() {
    alarm_.hourUp();
    showAlarm();
}

void FormB::Command6_Click() {
    alarm_.hourDown();
    showAlarm();
}

void FormB::Command111_Click() {
    alarm_.minuteUp();
    showAlarm();
    setTwLeft(Label6, twLeft(Text555) + twWidth(Text555));
}

void FormB::Command7_Click() {
    alarm_.minuteDown();
    showAlarm();
    setTwLeft(Label6, twLeft(Text555) + twWidth(Text555));
}

// ---- Hover highlighting
// ------------------------------------------------------------------------------------

void FormB::Command2_MouseMove() {
    Command2->setPicture(Image6->picture());
}
void FormB::Command3_MouseMove() {
    Command3->setPicture(Image2->picture());
}
void FormB::Iztrii_MouseMove() {
    Iztrii->setPicture(Image4->picture());
}
void FormB::Dobavi_MouseMove() {
    Dobavi->setPicture(Image8->picture());
}
void FormB::Command4_MouseMove() {
    Command4->setPicture(Image10->picture());
}
void FormB::Combo3_MouseMove() {
    Combo3->setPicture(Image12->picture());
}
void FormB::Command5_MouseMove() {
    Command5->setPicture(Image12->picture());
}

void FormB::restoreHover() {
    Command2->setPicture(Image5->picture());
    Command3->setPicture(Image1->picture());
    Iztrii->setPicture(Image3->picture());
    Dobavi->setPicture(Image7->picture());
    Command4->setPicture(Image9->picture());
    Combo3->setPicture(Image11->picture());
    Command5->setPicture(Image11->picture());
}

void FormB::restoreCommand2() {
    Command2->setPicture(Image5->picture());
}

void FormB::restoreCombo3() {
    Combo3->setPicture(Image11->picture());
}

void FormB::Form_MouseMove() {
    restoreHover();
}

bool FormB::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Combo1 && (e->type() == QEvent::Show || e->type() == QEvent::Hide)) {
        const bool shown = !Combo1->isHidden();
        TxtTarsi->setVisible(shown);
        ComboRed->setVisible(shown);
        if (!shown) {
            Korica->hide();
            Svedenia->hide();
        }
    }
    if (watched == TxtNumber || watched == List1->viewport()) {
        if (e->type() == QEvent::MouseMove)
            restoreCombo3();
        else if (watched == TxtNumber && e->type() == QEvent::MouseButtonRelease)
            TxtNumber_Click();
    }
    return Window::eventFilter(watched, e);
}

} // namespace vel
