#include "windows/Govori.h"

#include "core/clock/Aphorisms.h"
#include "core/commands/Import.h"
#include "core/storage/Colors.h"
#include "core/storage/LibraryHome.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"
#include "core/text/formats/BookFormats.h"
#include "core/AsyncTask.h"
#include "ui/Design.h"
#include "ui/ScaleToScreen.h"
#include "ui/Session.h"
#include "ui/Speaker.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace vel {

namespace {

const QString kCaption = QStringLiteral("ZEZODORER ВЕЛМОРА");
const QString kWaitMessage =
    QStringLiteral("    Бъдете търпеливи, зареждам файла, ако е голям може да отнеме известно време!");
const QString kNoSelection = QStringLiteral("Няма селектиран текст.");
const QString kUnpackTitle = QStringLiteral("ВНИМАНИЕ ПРЕДСТОИ ОПЕРАЦИЯ РАЗАРХИВИРАНЕ ");
const QString kUnpackText = QStringLiteral(" БИБЛИОТЕКАТА е все още  архивирана. Започвам разархивиране !");
const QString kUnpacker = QString::fromLatin1(kUnpackerName);
const QString kSpeechTitle = QStringLiteral("ВНИМАНИЕ !");
const QString kNoSpeech = QStringLiteral("Четенето на глас не може да започне:");
const QString kLoadTitle = QStringLiteral("ЗАРЕЖДАНЕ НА ФАЙЛ");
const QString kBatchTitle = QStringLiteral("ДОБАВЯНЕ НА ПРОИЗВЕДЕНИЯ");
const QString kRebuildTitle = QStringLiteral("ВНИМАНИЕ ОТГОВОРНА ОПЕРАЦИЯ ");
const QStringList kRebuildText = {
    QStringLiteral("Ще последва преработка на файла."),
    QStringLiteral("Процесът не трябва да се прекъсва до окончателното му завършване."),
    QStringLiteral("Ако все пак го прекъснете ще повредите файла."),
    QStringLiteral("За да продължи натиснете ОК!"),
    QStringLiteral("За да се откажете натиснете Отказ (Cancel)!"),
};
// Both dialogs of the file commands show screen and printer fonts.

// Picture-button bands: blue normally, red while the pointer is over the button.
constexpr std::int32_t kBlueBand = 0xC08040;
constexpr std::int32_t kRedBand = 0x2020E0;

PictureButton* pictureButton(Govori& w, const QString& name, const TwipsRect& box, const QString& tip) {
    auto* b = w.add(new PictureButton(&w), ControlKind::PictureButton, name, box);
    b->setToolTip(tip);
    setDesignFont(b, QString::fromLatin1(kDefaultFontName), kDefaultFontSize);
    return b;
}

PictureBox* holder(Govori& w, const QString& name, double left, QSize px, std::int32_t band) {
    auto* p = w.add(new PictureBox(&w, false), ControlKind::PictureBox, name,
                    TwipsRect{left, 12000, pxToTwips(px.width()), pxToTwips(px.height())});
    setDesignFont(p, QString::fromLatin1(kDefaultFontName), kDefaultFontSize);
    p->setPicture(designPicture(QStringLiteral("Govori.") + name, px, band));
    p->hide();
    return p;
}

PictureBox* image(Govori& w, const QString& name, const TwipsRect& box, QSize px) {
    auto* p = w.add(new PictureBox(&w, true), ControlKind::Image, name, box);
    p->setPicture(designPicture(QStringLiteral("Govori.") + name, px));
    return p;
}

qint16 roundPixels(int twips, int twipsPerPixel) {
    return static_cast<qint16>(
        std::nearbyint(static_cast<double>(twips) / (twipsPerPixel > 0 ? twipsPerPixel : 15)));
}

} // namespace

struct Govori::PendingLoad {
    QString path;
    TextSource source = TextSource::PlainText;
    QString previousText;
    QString previousCaption;
    bool background = false;
};

Govori::Govori(Session& session) : Window(session, QStringLiteral("Govori")) {
    setWindowTitle(kCaption);
    setBackColor(0xC0C0C0);
    setStartState(StartState::Maximized);
    setWindowIcon(designPicture(QStringLiteral("icon"), QSize(32, 32)));
    setTwipsBox(this, TwipsRect{0, 0, 10650, 5790});

    // The hover holders come first: the buttons show their normal holder's picture.
    Picture11 = holder(*this, QStringLiteral("Picture11"), 0, QSize(101, 33), kBlueBand);
    Picture12 = holder(*this, QStringLiteral("Picture12"), 1560, QSize(101, 33), kRedBand);
    Picture21 = holder(*this, QStringLiteral("Picture21"), 3120, QSize(92, 31), kBlueBand);
    Picture22 = holder(*this, QStringLiteral("Picture22"), 4560, QSize(92, 31), kRedBand);
    Picture31 = holder(*this, QStringLiteral("Picture31"), 6000, QSize(92, 31), kBlueBand);
    Picture32 = holder(*this, QStringLiteral("Picture32"), 7440, QSize(92, 31), kRedBand);
    Picture41 = holder(*this, QStringLiteral("Picture41"), 8880, QSize(92, 31), kBlueBand);
    Picture42 = holder(*this, QStringLiteral("Picture42"), 10320, QSize(92, 31), kRedBand);
    Picture51 = holder(*this, QStringLiteral("Picture51"), 11760, QSize(92, 31), kBlueBand);
    Picture52 = holder(*this, QStringLiteral("Picture52"), 13200, QSize(92, 31), kRedBand);
    Picture61 = holder(*this, QStringLiteral("Picture61"), 14640, QSize(92, 31), kBlueBand);
    Picture62 = holder(*this, QStringLiteral("Picture62"), 16080, QSize(92, 31), kRedBand);

    Command9 = pictureButton(*this, QStringLiteral("Command9"), {120, 120, 1455, 495},
                             QStringLiteral("Отваря библиотеката"));
    Command14 = pictureButton(*this, QStringLiteral("Command14"), {1920, 120, 1455, 495},
                              QStringLiteral("Добавя произведението към библиотеката "));
    Command1 = pictureButton(*this, QStringLiteral("Command1"), {3720, 120, 1455, 495},
                             QStringLiteral("Отваря външен файл :***. txt"));
    Command4 = pictureButton(*this, QStringLiteral("Command4"), {5520, 120, 1455, 495},
                             QStringLiteral("Отваря външен файл:***.doc"));
    Command2 = pictureButton(*this, QStringLiteral("Command2"), {7350, 120, 1455, 495},
                             QStringLiteral("Промяна цвета на листа"));
    Command6 = pictureButton(*this, QStringLiteral("Command6"), {7350, 120, 1455, 495},
                             QStringLiteral("Промяна цвета на листа"));
    Command7 = pictureButton(*this, QStringLiteral("Command7"), {9160, 120, 1455, 495},
                             QStringLiteral("Промяна на шрифта"));
    Command5 = pictureButton(
        *this, QStringLiteral("Command5"), {9160, 120, 1455, 495},
        QStringLiteral("Промяна на шрифта. Внимание ! Процесът ще отнеме време, моля не го прекъсвайте "
                       "съществува опасност от повреждане на файла."));
    Command15 =
        pictureButton(*this, QStringLiteral("Command15"), {10980, 120, 1455, 495},
                      QStringLiteral("Чете на глас избрания текст; без избран текст включва или изключва четенето "
                                     "при всяко избиране (Esc спира; десен бутон: скорост и глас)"));
    Command16 = pictureButton(*this, QStringLiteral("Command16"), {12800, 120, 1455, 495},
                              QStringLiteral("Онлайн каталози: книги направо от интернет"));
    Command16->setPicture(designPicture(QStringLiteral("Govori.Command16"), QSize(97, 33)));
    Command9->setPicture(Picture11->picture());
    Command14->setPicture(Picture21->picture());
    Command1->setPicture(Picture31->picture());
    Command4->setPicture(Picture41->picture());
    Command2->setPicture(Picture51->picture());
    Command6->setPicture(Picture51->picture());
    Command7->setPicture(Picture61->picture());
    Command5->setPicture(Picture61->picture());

    Ntext =
        add(new RichTextView(this), ControlKind::RichText, QStringLiteral("Ntext"), {360, 840, 2055, 2295});
    Ntext->setFontName(QStringLiteral("Tahoma"));
    Ntext->setFontSize(14.25);
    setAcceptDrops(true);
    Ntext->installEventFilter(this);
    Ntext->viewport()->installEventFilter(this);

    PictureEtiket = image(*this, QStringLiteral("PictureEtiket"), {4320, 1080, 1605, 1995}, QSize(699, 669));
    Picture1 = image(*this, QStringLiteral("Picture1"), {6240, 1040, 4815, 5910}, QSize(417, 439));
    Picture300 = image(*this, QStringLiteral("Picture300"), {6240, 6840, 5445, 4140}, QSize(363, 276));

    Text1 = add(new QPlainTextEdit(this), ControlKind::TextBox, QStringLiteral("Text1"),
                {1800, 2040, 7575, 3015});
    Text1->setPlainText(QStringLiteral("Text1"));
    vel::setBackColor(Text1, 0xC0C0C0);
    setForeColor(Text1, 0x404040);
    setDesignFont(Text1, QStringLiteral("Arial"), 14.25, true);
    Text1->hide();

    Timer2 = makeTimer(*this, QStringLiteral("Timer2"), 1000, true);
    Timer3 = makeTimer(*this, QStringLiteral("Timer3"), 500, false);
    Timercvet = makeTimer(*this, QStringLiteral("Timercvet"), 1000, false);

    // Images are drawn under every other control.
    Picture300->lower();
    Picture1->lower();
    PictureEtiket->lower();
    // Where pairs share a place, the upper one takes the clicks.
    Command6->raise();
    Command5->raise();
    // The aphorism box lies over the text panel's area.
    Text1->raise();

    connect(Command9, &PictureButton::clicked, this, &Govori::Command9_Click);
    connect(Command14, &PictureButton::clicked, this, &Govori::Command14_Click);
    connect(Command1, &PictureButton::clicked, this, &Govori::Command1_Click);
    connect(Command4, &PictureButton::clicked, this, &Govori::Command4_Click);
    connect(Command6, &PictureButton::clicked, this, &Govori::Command6_Click);
    connect(Command5, &PictureButton::clicked, this, &Govori::Command5_Click);
    connect(Command2, &PictureButton::clicked, this, &Govori::Command2_Click);
    connect(Command7, &PictureButton::clicked, this, &Govori::Command7_Click);
    connect(Command15, &PictureButton::clicked, this, &Govori::Command15_Click);
    connect(Command16, &PictureButton::clicked, this, &Govori::Command16_Click);
    Command15->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Command15, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        offerSpeechChoices(this->session().speaker(), this->session().platform(), Command15->mapToGlobal(at));
    });
    connect(Timer2, &QTimer::timeout, this, &Govori::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &Govori::Timer3_Timer);
    connect(Ntext, &RichTextView::mouseDown, this, &Govori::Ntext_MouseDown);
    connect(Ntext, &RichTextView::mouseMoved, this, &Govori::Ntext_MouseMove);
    connect(Ntext, &RichTextView::mouseUp, this, &Govori::Ntext_MouseUp);
    connect(Picture1, &PictureBox::mouseMoved, this, &Govori::Picture1_MouseMove);
    followReadingState();

    // Hover: each button lights up with its highlight holder's picture.
    const std::pair<PictureButton*, PictureBox*> hover[] = {
        {Command9, Picture12}, {Command14, Picture22}, {Command1, Picture32}, {Command4, Picture42},
        {Command6, Picture52}, {Command2, Picture52},  {Command7, Picture62}, {Command5, Picture62},
    };
    for (const auto& [button, lit] : hover) {
        connect(button, &PictureButton::mouseMoved, this,
                [button = button, lit = lit] { button->setPicture(lit->picture()); });
    }
}

Govori::~Govori() {
    // The batch reports to the progress bar, a child of this window: it ends first.
    if (batchCancel_) {
        *batchCancel_ = true;
        batch_.waitForFinished();
    }
}

bool Govori::importMany(const QStringList& paths) {
    if (batchProgress_ || paths.isEmpty())
        return false;
    batchProgress_ = new BatchProgress(this);
    batchProgress_->setGeometry(QRect(QPoint(0, 0), QSize(std::min(width(), 460), 150))
                                    .translated((width() - std::min(width(), 460)) / 2, (height() - 150) / 2));
    batchProgress_->show();
    batchProgress_->raise();
    batchCancel_ = std::make_shared<std::atomic<bool>>(false);
    connect(batchProgress_, &BatchProgress::cancelRequested, this, [this] {
        *batchCancel_ = true;
        batchProgress_->showCancelling();
    });

    const ScreenMetrics m = session().platform().screen();
    BatchOptions options;
    options.screen = QSize(m.widthTwips / std::max(1, m.twipsPerPixelX), m.heightTwips / std::max(1, m.twipsPerPixelY));
    const QString library = session().libraryDir();
    BatchProgress* progress = batchProgress_;
    auto cancel = batchCancel_;
    // The job has its own connection to the catalogue; the window's cursor re-reads what it added.
    batch_ = runInBackground(
        this,
        [paths, options, library, progress, cancel] {
            BatchRun run;
            auto opened = Catalogue::open(library);
            if (!opened) {
                run.first = opened.message();
                return run;
            }
            const ImportItems found = importItems(paths);
            run.second = importBatch(
                *opened->catalogue, library, found.items, options,
                [progress](const BatchItem& item, int done, int total) {
                    const QString title = item.result.title.isEmpty() ? QFileInfo(item.file).fileName()
                                                                      : item.result.title;
                    QMetaObject::invokeMethod(
                        progress, [progress, done, total, title] { progress->setProgress(done, total, title); },
                        Qt::QueuedConnection);
                },
                cancel.get());
            // A folder without a book is named in the summary like a book that was not added.
            for (const QString& folder : found.emptyFolders) {
                BatchItem none{folder, {}};
                none.result.reason = kNoBooksInFolder;
                none.result.error = kNoBooksInFolder;
                run.second.insert(run.second.begin(), none);
            }
            return run;
        },
        [this](const BatchRun& run) { finishBatch(run.first, run.second); });
    return true;
}

void Govori::finishBatch(const QString& error, const std::vector<BatchItem>& items) {
    // Gone before the summary: the summary's own event loop would not delete it.
    batchProgress_->hide();
    batchProgress_->deleteLater();
    batchProgress_ = nullptr;
    batchCancel_.reset();
    if (!error.isEmpty()) {
        session().platform().messageBox(error, MsgButtons::Ok, MsgIcon::Critical, kBatchTitle);
        return;
    }
    BatchTally tally;
    for (const BatchItem& item : items) {
        if (item.cancelled)
            ++tally.untried;
        else if (item.result.ok())
            ++tally.added;
        else
            tally.refused << QFileInfo(item.file).fileName() + QStringLiteral(": ") +
                                 QString(item.result.reason).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    }
    if (tally.added > 0)
        session().askLibrary(LibraryRequest::Reload);
    session().platform().messageBox(batchSummary(tally), MsgButtons::Ok,
                                    tally.refused.isEmpty() ? MsgIcon::Information : MsgIcon::Exclamation,
                                    kBatchTitle);
}

void Govori::followReadingState() {
    ReadingState& state = session().reading();
    // The panel's text is the state's; the panel shows it and hands back what the user types.
    connect(Ntext, &QTextEdit::textChanged, this, [this, &state] { state.setPanelText(Ntext->text()); });
    connect(&state, &ReadingState::panelTextChanged, this, [this, &state] {
        if (Ntext->text() != state.panelText())
            Ntext->setText(state.panelText());
    });
    auto publishLook = [this, &state] {
        state.setPanelLook({Ntext->fontName(), Ntext->fontSize(), Ntext->backColor(), backColor()});
    };
    publishLook();
    connect(Ntext, &RichTextView::lookChanged, this, publishLook);
    connect(this, &Window::backColorChanged, this, publishLook);
    connect(&state, &ReadingState::lookChosen, this, [this, &state] {
        const ReadingSettings& s = state.settings();
        applyWorkLook(s.font, s.size, s.pageColor, s.formColor);
    });
    connect(&state, &ReadingState::bookShown, this, [this] {
        hideAphorism();
        setLookCommandsVisible(false);
    });
    connect(&state, &ReadingState::bookGone, this, [this](bool textReturned) {
        show();
        if (!textReturned) {
            setLookCommandsVisible(true);
            setWindowTitle(QStringLiteral(" ВЕЛМОРА "));
        }
    });
    connect(&session(), &Session::aphorismAsked, this, [this](bool shown) {
        if (shown)
            showAphorismUnderLibrary();
        else
            hideAphorism();
    });
}

// ---- Start-up, resize, close

void Govori::Form_Load() {
    const ScreenMetrics metrics = session().platform().screen();
    const qint16 screenW = roundPixels(metrics.widthTwips, metrics.twipsPerPixelX);
    const qint16 screenH = roundPixels(metrics.heightTwips, metrics.twipsPerPixelY);
    showReadingSwitch();

    // The window fills the screen; the picture goes to its right edge, the panel beside it.
    setTwipsBox(this, TwipsRect{twLeft(this), twTop(this), pxToTwips(screenW), pxToTwips(screenH)});
    setTwLeft(Picture1, twWidth(this) - twWidth(Picture1));
    setTwWidth(Ntext, twLeft(Picture1));
    setTwHeight(Ntext, twHeight(this) - twTop(Ntext) - 800);

    // Loading the management window opens the catalogue and shows the current work's title.
    session().show(Role::Library);
    session().hide(Role::Library);

    // A catalogue without a current work is still packed. One that could not be opened has been reported
    // already and is left alone: unpacking would write over it.
    const ReadingState& state = session().reading();
    if (state.catalogueOpen() && state.chosenTitle().isEmpty() &&
        session().platform().messageBox(kUnpackText, MsgButtons::OkCancel, MsgIcon::Question, kUnpackTitle) !=
            MsgAnswer::Cancel) {
        // The unpacker is started before anything is closed, so a missing one costs nothing. It is looked
        // for in the library folder, then beside the program, and told which library to fill.
        const QString programDir = QCoreApplication::applicationDirPath();
        QString unpacker = findUnpacker(session().libraryDir(), programDir);
        QString problem;
        if (unpacker.isEmpty()) {
            problem = QStringLiteral("Програмата за разархивиране не е намерена:");
            unpacker = QDir(session().libraryDir()).filePath(kUnpacker);
            if (QDir(programDir) != QDir(session().libraryDir()))
                unpacker += QStringLiteral("\r\n") + QDir(programDir).filePath(kUnpacker);
        } else if (!session().platform().startProcess(unpacker,
                                                      {QStringLiteral("--library"), session().libraryDir()},
                                                      session().libraryDir())) {
            problem = QStringLiteral("Програмата за разархивиране не може да бъде стартирана:");
        }
        if (problem.isEmpty()) {
            for (Role other : {Role::Library, Role::Book, Role::NameDialog, Role::MinimizedBook})
                session().close(other);
            Timer3->start();
        } else {
            session().platform().messageBox(problem + QStringLiteral("\r\n") + shownPath(unpacker) +
                                                QStringLiteral("\r\nБИБЛИОТЕКАТА остава архивирана."),
                                            MsgButtons::Ok, MsgIcon::Critical, kUnpackTitle);
        }
    }

    // Fit the window and its controls to the screen.
    setTwLeft(Picture300, twLeft(Picture1));
    designWidth = 1024;
    designHeight = 768;
    ScreenModule& module = session().screen();
    screenFactors(module, metrics.widthTwips, metrics.heightTwips, metrics.twipsPerPixelX,
                  metrics.twipsPerPixelY);
    const float x = static_cast<float>(module.screenWidthPx) / static_cast<float>(designWidth);
    const float y = static_cast<float>(module.screenHeightPx) / static_cast<float>(designHeight);
    ScaleToScreen(x, y, *this);

    Ntext->setVisible(false);
}

void Govori::Form_Resize() {
    // The management window is hidden whenever the main window is shown, minimized, restored or resized.
    // Only a real change counts: X11 reports the size of a window shown again late, after the library may
    // already have been put in front of it. A hidden window's size is not the reader's: a maximized window
    // is sized to the whole screen while hidden and back to the work area when shown again.
    if (!isVisible())
        return;
    if (!Text1->isHidden())
        fitAphorismBox();
    const std::pair<QSize, Qt::WindowStates> now{size(), windowState()};
    if (now == lastSizeAndState_)
        return;
    lastSizeAndState_ = now;
    session().hide(Role::Library);
}

void Govori::Form_Unload() {
    stopPanelSpeech();
    session().close(Role::Library);
    session().close(Role::MinimizedBook);
    // A download under way stops with it and leaves nothing behind.
    session().close(Role::OnlineCatalogue);
}

void Govori::Timer2_Timer() {
    Timer2->stop();
    setTwLeft(Picture1, twWidth(this) - twWidth(Picture1));
    setTwLeft(Picture300, twLeft(Picture1));
    setTwTop(Picture300, twTop(Picture1) + twHeight(Picture1));
    setTwLeft(Ntext, 120);
    setTwWidth(Ntext, twLeft(Picture1) - 120);
    setTwHeight(Ntext, twHeight(Picture300) + twHeight(Picture1));
    // The label picture covers the panel's place, as high as the panel is wide.
    setTwipsBox(PictureEtiket, TwipsRect{twLeft(Ntext), twTop(Ntext) - 400, twWidth(Ntext), twWidth(Ntext)});
}

void Govori::Timer3_Timer() {
    Timer3->stop();
    close();
}

// ---- Loading texts

void Govori::Command1_Click() {
    // The second letter of the description is the Cyrillic "е".
    const QString path = askForFile(QStringLiteral("Tеxt Files (*.txt)|*.txt"));
    if (!path.isEmpty())
        loadFile(path, TextSource::PlainText);
}

void Govori::Command4_Click() {
    if (loading_)
        return;
    const QString books = bookFilePatterns().join(u';');
    const QString filter = QStringLiteral("Книги и документи|") + books + QStringLiteral("|All Files (*.doc)|*.doc");
    // Several files chosen at once become works straight away; one goes into the panel as before.
    const QStringList chosen = session().platform().openFilesDialog(QStringLiteral("Open"), filter);
    if (chosen.size() > 1) {
        importMany(chosen);
        return;
    }
    preparePanelForFile(filter);
    CommonDialog1.fileName = chosen.value(0);
    if (!CommonDialog1.fileName.isEmpty())
        loadFile(CommonDialog1.fileName, TextSource::Document);
}

void Govori::preparePanelForFile(const QString& filter) {
    Text1->hide();
    PictureEtiket->hide();
    Ntext->show();
    session().reading().setBookmark(QStringLiteral("1"));
    CommonDialog1.dialogTitle = QStringLiteral("Open");
    CommonDialog1.filter = filter;
}

QString Govori::askForFile(const QString& filter) {
    if (loading_)
        return {};
    preparePanelForFile(filter);
    CommonDialog1.fileName = session()
                                 .platform()
                                 .openFileDialog(CommonDialog1.dialogTitle, CommonDialog1.filter)
                                 .value_or(QString());
    return CommonDialog1.fileName;
}

void Govori::loadFile(const QString& path, TextSource source) {
    if (loading_)
        return;
    Text1->hide();
    PictureEtiket->hide();
    Ntext->show();
    session().reading().setBookmark(QStringLiteral("1"));
    loadIntoPanel(path, source);
}

void Govori::loadIntoPanel(const QString& path, TextSource source) {
    auto load = std::make_unique<PendingLoad>();
    load->path = path;
    load->source = source;
    // A file that cannot be read leaves the panel and the caption as they were.
    load->previousText = Ntext->text();
    load->previousCaption = windowTitle();
    load->background = readsInBackground(path, source, backgroundLoadFrom);

    // A name that is not UTF-8 arrives as a descriptor's path; the caption names the file itself.
    if (source == TextSource::PlainText) {
        Ntext->setText(QString());
        Ntext->setText(kWaitMessage);
        setWindowTitle(shownPath(path));
    } else {
        setWindowTitle(shownPath(path));
        Ntext->setText(QString());
        Ntext->setText(kWaitMessage);
    }

    if (!load->background) {
        finishLoad(*load, readPanelText(path, source));
        return;
    }
    // Until the text is in, nothing may take the wait message for the text.
    loading_ = std::move(load);
    setLoadingLock(true);
    runInBackground(
        this, [path, source] { return readPanelText(path, source); },
        [this](TextImportResult result) {
            std::unique_ptr<PendingLoad> done = std::move(loading_);
            setLoadingLock(false);
            if (done)
                finishLoad(*done, std::move(result));
        });
}

void Govori::setLoadingLock(bool locked) {
    for (PictureButton* b : {Command9, Command14, Command1, Command4, Command2, Command6, Command7, Command5})
        b->setEnabled(!locked);
    Ntext->setReadOnly(locked);
    if (Window* library = session().loaded(Role::Library))
        library->setEnabled(!locked);
}

void Govori::finishLoad(PendingLoad& load, TextImportResult result) {
    if (!result.ok()) {
        Ntext->setText(load.previousText);
        setWindowTitle(load.previousCaption);
        session().platform().messageBox(result.error, MsgButtons::Ok, MsgIcon::Critical, kLoadTitle);
        return;
    }
    ReadingState& state = session().reading();
    Ntext->setText(result.loaded.text);
    setLookCommandsVisible(true);
    state.textLoaded();
    // A structured book's paragraphs are whole already: only plain texts have their lines joined.
    const bool join = !result.loaded.structured;
    if (load.source == TextSource::PlainText) {
        if (join)
            state.joinPanelLines();
        Ntext->setFontName(QStringLiteral("Tahoma"));
        Ntext->setFontSize(14);
    } else {
        Ntext->setFontName(QStringLiteral("Arial"));
        Ntext->setFontSize(14);
        if (join)
            state.joinPanelLines();
    }
    state.setPanelBook(std::move(result.loaded.navigation), std::move(result.loaded.text));
    state.setOffer(result.loaded.title.simplified(), result.loaded.author.simplified());
    if (result.loaded.damaged)
        session().platform().messageBox(
            QStringLiteral("Файлът съдържа повредени знаци; те са показани като „\uFFFD“."), MsgButtons::Ok,
            MsgIcon::Exclamation, kLoadTitle);
}

namespace {
// The local files and folders a drag carries when they are several, or one folder; empty otherwise.
QStringList draggedBooks(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls())
        return {};
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths.size() > 1 || (paths.size() == 1 && QFileInfo(paths.front()).isDir()) ? paths : QStringList();
}

// The one local file a drag carries; empty for several files, folders, or anything else.
QString draggedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().front().isLocalFile())
        return {};
    const QString path = data->urls().front().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}
} // namespace

void Govori::dragEnterEvent(QDragEnterEvent* e) {
    if ((!loading_ && !draggedFile(e->mimeData()).isEmpty()) ||
        (!batchProgress_ && !draggedBooks(e->mimeData()).isEmpty()))
        e->acceptProposedAction();
}

void Govori::dropEvent(QDropEvent* e) {
    if (const QStringList books = draggedBooks(e->mimeData()); !books.isEmpty()) {
        if (importMany(books))
            e->acceptProposedAction();
        return;
    }
    const QString path = draggedFile(e->mimeData());
    if (path.isEmpty() || loading_)
        return;
    e->acceptProposedAction();
    PictureEtiket->hide();
    Ntext->show();
    loadFile(path, sourceForFile(path));
}

bool Govori::eventFilter(QObject* watched, QEvent* e) {
    // The panel would take a dropped file for text to insert.
    if (watched == Ntext || watched == Ntext->viewport()) {
        if (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDragMoveEvent*>(e);
            if (!draggedBooks(drag->mimeData()).isEmpty()) {
                if (!batchProgress_)
                    drag->acceptProposedAction();
                else
                    drag->ignore();
                return true;
            }
            if (!draggedFile(drag->mimeData()).isEmpty()) {
                if (!loading_)
                    drag->acceptProposedAction();
                else
                    drag->ignore();
                return true;
            }
        } else if (e->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(e);
            if (!draggedFile(drop->mimeData()).isEmpty() || !draggedBooks(drop->mimeData()).isEmpty()) {
                dropEvent(drop);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, e);
}

// ---- Library, font and colour, re-processing

void Govori::placeManagementWindow() {
    // Computed in the main window's client coordinates, placed on the screen.
    Window& formB = session().open(Role::Library);
    const QPoint client(twipsToPx(twLeft(Picture1) - twWidth(&formB)), twipsToPx(twTop(Ntext) + 400));
    QPoint at = mapToGlobal(client);
    // On a screen smaller than the design the place would lie partly off the screen: keep it all in view.
    if (const QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - formB.width())));
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - formB.height())));
    }
    formB.move(at);
}

void Govori::applyWorkLook(const QString& font, const QString& size, const QString& pageColor,
                           const QString& formColor) {
    Ntext->setFontName(font);
    bool sizeOk = false;
    const double points = size.trimmed().toDouble(&sizeOk);
    if (sizeOk && points > 0)
        Ntext->setFontSize(points);
    if (const auto page = colorNumberFromText(pageColor))
        Ntext->setBackColor(*page);
    if (const auto form = colorNumberFromText(formColor))
        setBackColor(*form);
}

void Govori::setLookCommandsVisible(bool visible) {
    Command6->setVisible(visible);
    Command5->setVisible(visible);
}

void Govori::Command9_Click() {
    PictureEtiket->hide();
    session().askLibrary(LibraryRequest::Reading);
    Ntext->show();
    placeManagementWindow();
    ShowAphorism(session());
}

void Govori::Command14_Click() {
    Text1->hide();
    PictureEtiket->hide();
    Ntext->show();
    session().askLibrary(LibraryRequest::Managing);
    placeManagementWindow();
}

void Govori::sendTab() {
    QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier));
}

void Govori::Command6_Click() {
    Text1->hide();
    PictureEtiket->hide();
    Ntext->show();
    // The dialog starts at the page colour in use, so that OK without a choice keeps it; cancel keeps it too.
    const std::optional<std::int32_t> chosen = session().platform().colorDialog(Ntext->backColor());
    if (!chosen)
        return;
    CommonDialog1.color = *chosen;
    Ntext->setBackColor(CommonDialog1.color);
    session().reading().setPageColor(colorNumberToText(CommonDialog1.color));
    sendTab();
}

bool Govori::chooseFont() {
    const std::optional<FontChoice> chosen =
        session().platform().fontDialog(FontChoice{Ntext->fontName(), Ntext->fontSize()});
    if (!chosen) // cancel-as-error is always on here
        return false;
    // A name this short is no font; the panel keeps its own.
    QString fontName = Ntext->fontName();
    if (chosen->name.size() >= 3) {
        Ntext->setFontName(chosen->name);
        fontName = chosen->name;
    }
    Ntext->setFontSize(chosen->size);
    session().reading().setFontName(fontName);
    session().reading().setFontSize(QString::number(chosen->size));
    return true;
}

void Govori::Command5_Click() {
    Text1->hide();
    PictureEtiket->hide();
    Ntext->show();
    chooseFont();
}

void Govori::Command2_Click() {
    // The dialog starts at the page colour in use, so that OK without a choice keeps it; cancel keeps it too.
    const std::optional<std::int32_t> chosen = session().platform().colorDialog(Ntext->backColor());
    if (!chosen)
        return;
    CommonDialog1.color = *chosen;
    Ntext->setBackColor(CommonDialog1.color);
    session().reading().setPageColor(colorNumberToText(Ntext->backColor()));
    sendTab();
    session().askLibrary(LibraryRequest::Reopen);
}

void Govori::Command7_Click() {
    if (session().platform().messageBox(kRebuildText.join(QStringLiteral("\r\n")), MsgButtons::OkCancel,
                                        MsgIcon::Question, kRebuildTitle) == MsgAnswer::Cancel)
        return;
    if (!chooseFont())
        return;

    // The old work file stays until the book window has built the new one completely and put it in place.
    ReadingState& state = session().reading();
    const QString title = state.title();
    const std::optional<QString> workFile = workFilePath(session().libraryDir(), title);
    if (!workFile || !QFileInfo(*workFile).isFile())
        return;
    state.setRebuildTitle(title);
    state.setMode(QStringLiteral("Star"));
    session().show(Role::Book);
    session().open(Role::Book).setWindowTitle(state.workName());
    hide();
}

// ---- Text panel mouse steps

void Govori::Ntext_MouseDown() {
    session().hide(Role::Library);
    Text1->hide();
    Ntext->setFocus();
}

void Govori::Ntext_MouseMove() {
    if (const Window* library = session().loaded(Role::Library); library && library->isVisible())
        return;
    lastSelection = Ntext->selectedText();
    Ntext->setFocus();
}

void Govori::Ntext_MouseUp() {
    Platform& platform = session().platform();
    platform.clipboardClear();
    if (lastSelection.isEmpty())
        lastSelection = kNoSelection;
    platform.clipboardSetText(lastSelection);
    // Nobody listening for the keys is no fault of ours.
    platform.sendReadAloudKeys();
    // Our own voice besides, for what is really selected.
    const QString selected = Ntext->selectedText();
    if (panelReading() && !selected.trimmed().isEmpty())
        speakSelection(selected);
}

// ---- Reading aloud

bool Govori::panelReading() const {
    return session().speaker().settings().panelReading;
}

void Govori::showReadingSwitch() {
    const bool on = panelReading();
    Command15->setPicture(designPicture(
        on ? QStringLiteral("Govori.Command15on") : QStringLiteral("Govori.Command15"), QSize(97, 33)));
    Command15->setAccessibleName(on ? QStringLiteral("Четене на глас: включено")
                                    : QStringLiteral("Четене на глас: изключено"));
}

void Govori::Command15_Click() {
    Speaker& speaker = session().speaker();
    // What is being read stops; a selection is read at once; without one the button switches reading each
    // selection as it is made.
    if (speaker.isSpeaking() && speaker.client() == this) {
        stopPanelSpeech();
        return;
    }
    if (const QString selected = Ntext->selectedText(); !selected.trimmed().isEmpty()) {
        speakSelection(selected);
        return;
    }
    SpeechSettings settings = speaker.settings();
    settings.panelReading = !settings.panelReading;
    if (!settings.panelReading)
        stopPanelSpeech();
    applySpeechSettings(speaker, session().platform(), settings);
    showReadingSwitch();
}

void Govori::Command16_Click() {
    session().show(Role::OnlineCatalogue);
}

void Govori::speakSelection(const QString& text) {
    Speaker& speaker = session().speaker();
    QString why;
    if (speaker.speak(text, this, &why))
        return;
    // Switched off, so that the message does not come back at every release.
    SpeechSettings settings = speaker.settings();
    settings.panelReading = false;
    applySpeechSettings(speaker, session().platform(), settings);
    showReadingSwitch();
    session().platform().messageBox(kNoSpeech + QStringLiteral("\r\n") + why, MsgButtons::Ok,
                                    MsgIcon::Exclamation, kSpeechTitle);
}

void Govori::stopPanelSpeech() {
    Speaker& speaker = session().speaker();
    if (speaker.client() == this)
        speaker.stop();
}

void Govori::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && session().speaker().isSpeaking() &&
        session().speaker().client() == this) {
        stopPanelSpeech();
        return;
    }
    Window::keyPressEvent(e);
}

// ---- Hover highlighting

void Govori::restoreManagementHideButton() {
    session().hoverLeft();
}

void Govori::restoreHoverPictures() {
    Command9->setPicture(Picture11->picture());
    Command14->setPicture(Picture21->picture());
    Command1->setPicture(Picture31->picture());
    Command4->setPicture(Picture41->picture());
    Command6->setPicture(Picture51->picture());
    Command2->setPicture(Picture51->picture());
    Command7->setPicture(Picture61->picture());
    Command5->setPicture(Picture61->picture());
    restoreManagementHideButton();
}

void Govori::Form_MouseMove() {
    restoreHoverPictures();
}

void Govori::mouseMoveEvent(QMouseEvent* e) {
    // Controls pass the moves they do not use on to the window; only the bare background restores, or a
    // button's highlight would be undone by the very move that set it.
    if (childAt(e->position().toPoint()) == nullptr)
        Window::mouseMoveEvent(e);
}

void Govori::Picture1_MouseMove() {
    restoreManagementHideButton();
}

// ---- The aphorism box

void Govori::showAphorism(const QString& index, const QPoint& top) {
    Text1->setVisible(true);
    vel::setBackColor(Text1, Ntext->backColor());
    setTwTop(Text1, pxToTwips(mapFromGlobal(top).y()));
    fitAphorismBox();
    // Before the clock's first tick the index is no number yet; a valid aphorism is shown all the same.
    Text1->setPlainText(aphorismForIndexText(index));
    Ntext->setText(QString());
}

void Govori::fitAphorismBox() {
    // On a screen smaller than the design the box would run past the window's bottom: it ends there, as
    // long as that leaves room for a few lines. A window manager may take its title bar off the window
    // after the box was placed.
    if (aphorismHeight_ == 0)
        aphorismHeight_ = Text1->height();
    const int room = height() - Text1->y();
    const int least = 3 * Text1->fontMetrics().lineSpacing();
    Text1->resize(Text1->width(), std::clamp(room, std::min(least, aphorismHeight_), aphorismHeight_));
}

void Govori::showAphorismUnderLibrary() {
    const Window& formB = session().open(Role::Library);
    Ntext->show();
    // The box's top edge at the management window's bottom edge.
    showAphorism(session().reading().aphorismIndex(), QPoint(formB.x(), formB.y() + formB.height()));
}

} // namespace vel
