#include "windows/Katalog.h"

#include "core/net/Fetch.h"
#include "ui/Design.h"
#include "ui/Session.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vel {

namespace {

const QString kTitle = QStringLiteral("ОНЛАЙН КАТАЛОГ");

QPushButton* button(Window& w, const QString& name, const QString& text) {
    auto* b = w.add(new QPushButton(text, &w), ControlKind::Button, name);
    b->setAutoDefault(false);
    return b;
}

QString entryText(const OpdsEntry& e) {
    if (!e.isBook())
        return QStringLiteral("▸ ") + e.title;
    return e.authors.isEmpty() ? e.title : e.title + QStringLiteral(" — ") + e.author();
}

QString entryDetails(const OpdsEntry& e) {
    QString html = QStringLiteral("<h3>%1</h3>").arg(e.title.toHtmlEscaped());
    if (!e.authors.isEmpty())
        html += QStringLiteral("<p><b>%1</b></p>").arg(e.author().toHtmlEscaped());
    if (!e.series.isEmpty()) {
        const QString series =
            e.seriesNumber.isEmpty() ? e.series : e.series + QStringLiteral(" #") + e.seriesNumber;
        html += QStringLiteral("<p>Поредица: %1</p>").arg(series.toHtmlEscaped());
    }
    if (!e.summary.isEmpty())
        html +=
            QStringLiteral("<p>%1</p>").arg(e.summary.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")));
    return html;
}

} // namespace

Katalog::Katalog(Session& session)
    : Window(session, QStringLiteral("Katalog")), browser_(session.libraryDir()) {
    setWindowTitle(QStringLiteral("Онлайн каталози"));
    setWindowIcon(QIcon(designPicture(QStringLiteral("icon"), QSize(32, 32))));
    Window::setBackColor(0xE0F0F8);

    Combo1 = add(new QComboBox(this), ControlKind::ComboBox, QStringLiteral("Combo1"));
    TextAdres = add(new QLineEdit(this), ControlKind::TextBox, QStringLiteral("TextAdres"));
    TextAdres->setPlaceholderText(QStringLiteral("https://… адрес на каталог OPDS"));
    CommandOtvori = button(*this, QStringLiteral("CommandOtvori"), QStringLiteral("Отвори"));
    CommandZapazi = button(*this, QStringLiteral("CommandZapazi"), QStringLiteral("Запомни"));
    CommandZapazi->setToolTip(QStringLiteral("Добавя каталога към списъка"));
    TextTarsene = add(new QLineEdit(this), ControlKind::TextBox, QStringLiteral("TextTarsene"));
    TextTarsene->setPlaceholderText(QStringLiteral("заглавие или автор"));
    CommandTarsi = button(*this, QStringLiteral("CommandTarsi"), QStringLiteral("Търси"));
    CommandNazad = button(*this, QStringLiteral("CommandNazad"), QStringLiteral("◀ Назад"));
    CommandPredishna = button(*this, QStringLiteral("CommandPredishna"), QStringLiteral("Предишна страница"));
    CommandSledvashta =
        button(*this, QStringLiteral("CommandSledvashta"), QStringLiteral("Следваща страница"));
    List1 = add(new QListWidget(this), ControlKind::ListBox, QStringLiteral("List1"));
    PictureKorica = add(new QLabel(this), ControlKind::PictureBox, QStringLiteral("PictureKorica"));
    PictureKorica->setFixedSize(160, 240);
    PictureKorica->setAlignment(Qt::AlignCenter);
    TextOpisanie = add(new QTextBrowser(this), ControlKind::TextBox, QStringLiteral("TextOpisanie"));
    TextOpisanie->setOpenLinks(false);
    Dobavi = button(*this, QStringLiteral("Dobavi"), QStringLiteral("Добави"));
    Dobavi->setToolTip(QStringLiteral("Изтегля книгата и я добавя в библиотеката"));
    ProgressBar1 = add(new QProgressBar(this), ControlKind::Frame, QStringLiteral("ProgressBar1"));
    CommandOtkaz = button(*this, QStringLiteral("CommandOtkaz"), QStringLiteral("Отказ"));
    LabelSastoyanie = add(new QLabel(this), ControlKind::Label, QStringLiteral("LabelSastoyanie"));
    LabelSastoyanie->setWordWrap(true);
    for (QWidget* w : std::initializer_list<QWidget*>{Combo1, TextAdres, TextTarsene, List1, TextOpisanie,
                                                      LabelSastoyanie})
        setDesignFont(w, QStringLiteral("Arial"), 11);

    auto* top = new QHBoxLayout;
    top->addWidget(Combo1, 2);
    top->addWidget(TextAdres, 3);
    top->addWidget(CommandOtvori);
    top->addWidget(CommandZapazi);
    auto* nav = new QHBoxLayout;
    nav->addWidget(CommandNazad);
    nav->addWidget(TextTarsene, 1);
    nav->addWidget(CommandTarsi);
    nav->addWidget(CommandPredishna);
    nav->addWidget(CommandSledvashta);
    auto* detail = new QVBoxLayout;
    detail->addWidget(PictureKorica, 0, Qt::AlignHCenter);
    detail->addWidget(TextOpisanie, 1);
    auto* adding = new QHBoxLayout;
    adding->addWidget(Dobavi);
    adding->addWidget(ProgressBar1, 1);
    adding->addWidget(CommandOtkaz);
    detail->addLayout(adding);
    auto* middle = new QHBoxLayout;
    middle->addWidget(List1, 3);
    middle->addLayout(detail, 2);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(nav);
    all->addLayout(middle, 1);
    all->addWidget(LabelSastoyanie);

    connect(Combo1, &QComboBox::activated, this, &Katalog::Combo1_Click);
    connect(CommandOtvori, &QPushButton::clicked, this, &Katalog::CommandOtvori_Click);
    connect(TextAdres, &QLineEdit::returnPressed, this, &Katalog::CommandOtvori_Click);
    connect(CommandZapazi, &QPushButton::clicked, this, &Katalog::CommandZapazi_Click);
    connect(CommandTarsi, &QPushButton::clicked, this, &Katalog::CommandTarsi_Click);
    connect(TextTarsene, &QLineEdit::returnPressed, this, &Katalog::CommandTarsi_Click);
    connect(CommandNazad, &QPushButton::clicked, &browser_, &OpdsBrowser::back);
    connect(CommandPredishna, &QPushButton::clicked, &browser_, &OpdsBrowser::previousPage);
    connect(CommandSledvashta, &QPushButton::clicked, &browser_, &OpdsBrowser::nextPage);
    connect(List1, &QListWidget::currentRowChanged, this, &Katalog::List1_Click);
    connect(List1, &QListWidget::itemActivated, this, &Katalog::List1_DblClick);
    connect(Dobavi, &QPushButton::clicked, this, &Katalog::Dobavi_Click);
    connect(CommandOtkaz, &QPushButton::clicked, &browser_, &OpdsBrowser::cancel);
    connect(&browser_, &OpdsBrowser::pageLoaded, this, &Katalog::showPage);
    connect(&browser_, &OpdsBrowser::failed, this, &Katalog::showFailure);
    connect(&browser_, &OpdsBrowser::added, this, &Katalog::showAdded);
    connect(&browser_, &OpdsBrowser::importStarted, this, [this] {
        CommandOtkaz->setVisible(false);
        ProgressBar1->setRange(0, 0);
        LabelSastoyanie->setText(QStringLiteral("Добавяне в библиотеката…"));
    });
    connect(&browser_, &OpdsBrowser::downloadProgress, this, [this](qint64 got, qint64 total) {
        ProgressBar1->setRange(0, total > 0 ? 1000 : 0);
        if (total > 0)
            ProgressBar1->setValue(int(got * 1000 / total));
    });
    connect(&browser_, &OpdsBrowser::coverReady, this, [this](int entry, const QImage& cover) {
        if (entry == List1->currentRow())
            PictureKorica->setPixmap(QPixmap::fromImage(
                cover.scaled(PictureKorica->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    });

    // A third of the screen's area at least, never more than the screen.
    const ScreenMetrics screen = session.platform().screen();
    const QSize pixels(screen.widthTwips / screen.twipsPerPixelX, screen.heightTwips / screen.twipsPerPixelY);
    resize(std::min(pixels.width(), std::max(640, pixels.width() * 3 / 4)),
           std::min(pixels.height() - 40, std::max(480, pixels.height() * 3 / 4)));
    move((pixels.width() - width()) / 2, std::max(0, (pixels.height() - height()) / 2));
    showBusy(false);
}

void Katalog::Form_Load() {
    // The catalogue the reader browsed last opens again.
    const QUrl last = lastCatalogue(session().libraryDir());
    fillCatalogues(0);
    for (int i = 0; i < catalogues_.size(); ++i)
        if (catalogues_[i].url == last)
            Combo1->setCurrentIndex(i);
    Combo1_Click();
}

void Katalog::fillCatalogues(int current) {
    catalogues_ = loadCatalogues(session().libraryDir());
    Combo1->clear();
    for (const OpdsCatalogue& c : catalogues_)
        Combo1->addItem(c.name);
    Combo1->setCurrentIndex(std::clamp(current, 0, int(catalogues_.size()) - 1));
}

void Katalog::Combo1_Click() {
    const int i = Combo1->currentIndex();
    if (i < 0 || i >= catalogues_.size())
        return;
    TextAdres->setText(catalogues_[i].url.toString());
    openCatalogue(catalogues_[i].url);
}

void Katalog::CommandOtvori_Click() {
    const QUrl url = QUrl::fromUserInput(TextAdres->text().trimmed());
    if (!isWebUrl(url)) {
        session().platform().messageBox(
            QStringLiteral("Въведете адрес на каталог, който започва с http:// или https://"), MsgButtons::Ok,
            MsgIcon::Exclamation, kTitle);
        return;
    }
    openCatalogue(url);
}

void Katalog::openCatalogue(const QUrl& url) {
    rememberLastCatalogue(session().libraryDir(), url);
    browser_.start(url);
    showBusy(true);
}

void Katalog::CommandZapazi_Click() {
    const QUrl url = QUrl::fromUserInput(TextAdres->text().trimmed());
    const QString name =
        browser_.url() == url && !browser_.feed().title.isEmpty() ? browser_.feed().title : url.host();
    if (!addCatalogue(session().libraryDir(), {name, url})) {
        session().platform().messageBox(
            QStringLiteral("Каталогът не може да бъде запомнен: адресът трябва да започва "
                           "с http:// или https://, а папката на библиотеката да "
                           "позволява запис."),
            MsgButtons::Ok, MsgIcon::Exclamation, kTitle);
        return;
    }
    const QList<OpdsCatalogue> list = loadCatalogues(session().libraryDir());
    const auto at =
        std::find_if(list.begin(), list.end(), [&](const OpdsCatalogue& c) { return c.url == url; });
    fillCatalogues(int(at - list.begin()));
}

void Katalog::CommandTarsi_Click() {
    if (TextTarsene->text().simplified().isEmpty())
        return;
    browser_.search(TextTarsene->text());
    showBusy(true);
}

void Katalog::List1_Click() {
    const int row = List1->currentRow();
    PictureKorica->clear();
    if (row < 0 || row >= browser_.feed().entries.size()) {
        TextOpisanie->clear();
        Dobavi->setEnabled(false);
        return;
    }
    const OpdsEntry& e = browser_.feed().entries[row];
    TextOpisanie->setHtml(entryDetails(e));
    Dobavi->setEnabled(e.isBook() && !browser_.isBusy());
    browser_.fetchCover(row);
}

void Katalog::List1_DblClick() {
    const int row = List1->currentRow();
    if (row < 0 || row >= browser_.feed().entries.size())
        return;
    const OpdsEntry& e = browser_.feed().entries[row];
    if (e.isBook()) {
        Dobavi_Click();
    } else if (!e.feeds.isEmpty()) {
        browser_.open(e.feeds.front().href);
        showBusy(true);
    }
}

void Katalog::Dobavi_Click() {
    const int row = List1->currentRow();
    if (row < 0 || row >= browser_.feed().entries.size() || !browser_.feed().entries[row].isBook())
        return;
    const ScreenMetrics screen = session().platform().screen();
    browser_.add(
        row, QSize(screen.widthTwips / screen.twipsPerPixelX, screen.heightTwips / screen.twipsPerPixelY));
    ProgressBar1->setRange(0, 0);
    showBusy(browser_.isBusy());
    LabelSastoyanie->setText(QStringLiteral("Изтегляне на „%1“…").arg(browser_.feed().entries[row].title));
}

void Katalog::showPage() {
    const OpdsFeed& feed = browser_.feed();
    List1->clear();
    for (const OpdsEntry& e : feed.entries)
        List1->addItem(entryText(e));
    TextOpisanie->clear();
    PictureKorica->clear();
    LabelSastoyanie->setText(feed.title.isEmpty() ? browser_.url().toString() : feed.title);
    showBusy(false);
    if (!feed.entries.isEmpty())
        List1->setCurrentRow(0);
}

void Katalog::showBusy(bool busy) {
    const bool idle = !busy;
    CommandNazad->setEnabled(idle && browser_.canGoBack());
    CommandPredishna->setEnabled(idle && !browser_.feed().previous.isEmpty());
    CommandSledvashta->setEnabled(idle && !browser_.feed().next.isEmpty());
    CommandTarsi->setEnabled(idle && browser_.canSearch());
    TextTarsene->setEnabled(browser_.canSearch());
    const int row = List1->currentRow();
    Dobavi->setEnabled(idle && row >= 0 && row < browser_.feed().entries.size() &&
                       browser_.feed().entries[row].isBook());
    ProgressBar1->setVisible(busy);
    CommandOtkaz->setVisible(busy);
    if (busy)
        LabelSastoyanie->setText(QStringLiteral("Зареждане…"));
}

void Katalog::showFailure(const QString& message) {
    showBusy(false);
    LabelSastoyanie->setText(QString(message).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
    session().platform().messageBox(message, MsgButtons::Ok, MsgIcon::Critical, kTitle);
}

void Katalog::showAdded(const ImportResult& result) {
    showBusy(false);
    if (!result.ok()) {
        showFailure(QStringLiteral("Книгата не е добавена:\r\n") + result.error);
        return;
    }
    const QString text = QStringLiteral("„%1“ от %2 е добавена в библиотеката (%3 стр.).")
                             .arg(result.title, result.author)
                             .arg(result.pages);
    LabelSastoyanie->setText(text);
    // The library's lists take the new work in.
    session().askLibrary(LibraryRequest::Reload);
    session().platform().messageBox(text, MsgButtons::Ok, MsgIcon::Information, kTitle);
}

} // namespace vel
