#include "windows/book/BookFinder.h"

#include "core/storage/WorkFile.h"
#include "ui/Platform.h"
#include "ui/RichTextView.h"
#include "ui/Session.h"
#include "ui/Window.h"
#include "windows/book/RoundButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vel {

namespace {

const QString kTitle = QStringLiteral("ВНИМАНИЕ !");
const QColor kChosen(0xFF, 0xD8, 0x4A); // a marker's yellow, as the word read aloud
const QColor kNoteMark(0x1F, 0x4E, 0x9A);
constexpr int kRoleMark = Qt::UserRole;
constexpr int kRolePosition = Qt::UserRole + 1;
constexpr int kRoleLength = Qt::UserRole + 2;
constexpr int kMaxHits = 1000;
constexpr int kSearchSliceMs = 15; // the window stays responsive while a long book is searched

QString panelTitle(BookFinder::Mode mode) {
    switch (mode) {
    case BookFinder::Mode::Contents:
        return QStringLiteral("Съдържание");
    case BookFinder::Mode::Search:
        return QStringLiteral("Търсене в книгата");
    case BookFinder::Mode::Marks:
        break;
    }
    return QStringLiteral("Отметки");
}

} // namespace

// ---- The note over the page -------------------------------------------------------------------------------

NotePopup::NotePopup(QWidget* parent) : QFrame(parent), label_(new QLabel(this)) {
    setObjectName(QStringLiteral("notePopup"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xEA));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    label_->setObjectName(QStringLiteral("noteText"));
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addWidget(label_);
    hide();
}

QString NotePopup::text() const {
    return label_->text();
}

void NotePopup::showNote(const QString& text, QPoint at, const QRect& area) {
    label_->setText(text);
    const int width = std::max(200, area.width() * 4 / 5);
    label_->setFixedWidth(width - 24);
    adjustSize();
    const int height = std::min(sizeHint().height(), area.height());
    resize(width, height);
    // Below the reference when there is room, else above it; always inside the page.
    int y = at.y() + 24;
    if (y + height > area.bottom())
        y = std::max(area.top(), at.y() - 8 - height);
    move(std::clamp(at.x() - width / 2, area.left(), std::max(area.left(), area.right() - width)), y);
    show();
    raise();
    // Any click closes it, wherever it falls.
    qApp->installEventFilter(this);
}

bool NotePopup::eventFilter(QObject* watched, QEvent* e) {
    if (isVisible() && e->type() == QEvent::MouseButtonPress) {
        // The click that closes the note does nothing else in the window: its release is eaten too.
        const auto* w = qobject_cast<QWidget*>(watched);
        eatRelease_ = w && parentWidget() && parentWidget()->isAncestorOf(w);
        hide();
        return eatRelease_;
    }
    if (eatRelease_ && e->type() == QEvent::MouseButtonRelease) {
        eatRelease_ = false;
        qApp->removeEventFilter(this);
        return true;
    }
    if (isVisible() && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        hide();
        return true;
    }
    return QFrame::eventFilter(watched, e);
}

void NotePopup::hideEvent(QHideEvent* e) {
    if (!eatRelease_)
        qApp->removeEventFilter(this);
    QFrame::hideEvent(e);
}

// ---- The finder -------------------------------------------------------------------------------------------

BookFinder::BookFinder(Window& window, RichTextView* left, RichTextView* right, std::function<WorkFile*()> work)
    : QObject(&window), window_(window), left_(left), right_(right), work_(std::move(work)) {
    // The round buttons go beside the page list's triangle and the window's own buttons.
    auto button = [&](SymbolButton::Symbol symbol, const QString& name, double x, const QString& tip) {
        auto* b = window_.add(new SymbolButton(&window_, symbol), ControlKind::Label, name, {x, 0, 735, 495});
        b->setCursor(Qt::PointingHandCursor);
        b->setAttribute(Qt::WA_TranslucentBackground);
        b->setToolTip(tip);
        b->stackUnder(left_);
        return b;
    };
    contentsButton_ = button(SymbolButton::Symbol::Contents, QStringLiteral("contentsButton"), 4320,
                             QStringLiteral("Съдържание (Ctrl+T)"));
    searchButton_ = button(SymbolButton::Symbol::Search, QStringLiteral("searchButton"), 5280,
                           QStringLiteral("Търсене в книгата (Ctrl+F)"));
    marksButton_ = button(SymbolButton::Symbol::Marks, QStringLiteral("marksButton"), 6240,
                          QStringLiteral("Отметки (Ctrl+B отбелязва страницата)"));
    auto toggle = [this](Mode mode) {
        if (panelVisible() && mode_ == mode)
            hidePanel();
        else
            showPanel(mode);
    };
    connect(contentsButton_, &ClickLabel::clicked, this, [toggle] { toggle(Mode::Contents); });
    connect(searchButton_, &ClickLabel::clicked, this, [toggle] { toggle(Mode::Search); });
    connect(marksButton_, &ClickLabel::clicked, this, [toggle] { toggle(Mode::Marks); });

    panel_ = new QFrame(&window_);
    panel_->setObjectName(QStringLiteral("findPanel"));
    panel_->setFrameShape(QFrame::StyledPanel);
    panel_->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(panel_);
    title_ = new QLabel(panel_);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    searchBox_ = new QLineEdit(panel_);
    searchBox_->setObjectName(QStringLiteral("searchBox"));
    searchBox_->setPlaceholderText(QStringLiteral("Думи за търсене…"));
    searchBox_->setClearButtonEnabled(true);
    list_ = new QTreeWidget(panel_);
    list_->setObjectName(QStringLiteral("findList"));
    list_->setColumnCount(2);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setWordWrap(false);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    empty_ = new QLabel(panel_);
    empty_->setWordWrap(true);
    addMark_ = new QPushButton(QStringLiteral("Отбележи тази страница"), panel_);
    removeMark_ = new QPushButton(QStringLiteral("Премахни отметката"), panel_);
    layout->addWidget(title_);
    layout->addWidget(searchBox_);
    layout->addWidget(empty_);
    layout->addWidget(list_, 1);
    layout->addWidget(addMark_);
    layout->addWidget(removeMark_);
    panel_->hide();

    connect(searchBox_, &QLineEdit::textChanged, this, &BookFinder::startSearch);
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        choose(list_->indexOfTopLevelItem(item));
    });
    connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        choose(list_->indexOfTopLevelItem(item));
    });
    connect(addMark_, &QPushButton::clicked, this, &BookFinder::markSpread);
    connect(removeMark_, &QPushButton::clicked, this, [this] {
        if (QTreeWidgetItem* item = list_->currentItem())
            removeMark(item->data(0, kRoleMark).toLongLong());
    });
    connect(list_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { removeMark_->setEnabled(item != nullptr); });

    popup_ = new NotePopup(&window_);

    auto key = [this](const QKeySequence& seq, auto slot) {
        auto* s = new QShortcut(seq, &window_);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    key(QKeySequence(QStringLiteral("Ctrl+T")), [toggle] { toggle(Mode::Contents); });
    key(QKeySequence(QStringLiteral("Ctrl+F")), [this] { showPanel(Mode::Search); });
    key(QKeySequence(QStringLiteral("Ctrl+B")), [this] {
        markSpread();
        showPanel(Mode::Marks);
    });
    key(QKeySequence(Qt::Key_Escape), [this] { hidePanel(); });

    viewports_ = {left_->viewport(), right_->viewport()};
    for (QObject* viewport : viewports_)
        viewport->installEventFilter(this);
    left_->installEventFilter(this); // the page's size and place
}

BookFinder::~BookFinder() {
    ++searchGeneration_;
}

bool BookFinder::panelVisible() const {
    return panel_->isVisible();
}

void BookFinder::fitToPages() {
    const QRect page = left_->geometry();
    panel_->setGeometry(page.adjusted(8, 8, -8, -8));
}

void BookFinder::showPanel(Mode mode) {
    mode_ = mode;
    title_->setText(panelTitle(mode));
    searchBox_->setVisible(mode == Mode::Search);
    addMark_->setVisible(mode == Mode::Marks);
    removeMark_->setVisible(mode == Mode::Marks);
    fitToPages();
    panel_->show();
    panel_->raise();
    switch (mode) {
    case Mode::Contents:
        fillContents();
        list_->setFocus();
        break;
    case Mode::Search:
        startSearch();
        searchBox_->setFocus();
        searchBox_->selectAll();
        break;
    case Mode::Marks:
        fillMarks();
        list_->setFocus();
        break;
    }
}

void BookFinder::hidePanel() {
    ++searchGeneration_;
    panel_->hide();
    popup_->hide();
    window_.setFocus();
}

void BookFinder::addRow(const QString& text, int page, qint64 position, int length, qint64 markId) {
    auto* item = new QTreeWidgetItem(list_, {text, QString::number(page)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setToolTip(0, text);
    item->setData(0, kRoleMark, markId);
    item->setData(0, kRolePosition, position);
    item->setData(0, kRoleLength, length);
}

void BookFinder::fillContents() {
    list_->clear();
    const std::vector<ContentsEntry> entries = work() ? work()->contents() : std::vector<ContentsEntry>{};
    for (const ContentsEntry& e : entries)
        addRow(QString(4 * (e.level - 1), u' ') + e.heading, work()->pageAt(e.position), e.position, 0);
    empty_->setText(QStringLiteral("Книгата няма съдържание."));
    empty_->setVisible(entries.empty());
    // The entry the spread on show belongs to.
    for (int row = list_->topLevelItemCount() - 1; row >= 0; --row) {
        if (list_->topLevelItem(row)->text(1).toInt() <= leftPage_ + 1) {
            list_->setCurrentItem(list_->topLevelItem(row));
            break;
        }
    }
}

void BookFinder::fillMarks() {
    list_->clear();
    const std::vector<BookMark> marks = work() ? work()->marks() : std::vector<BookMark>{};
    for (const BookMark& m : marks)
        addRow(m.made.toString(QStringLiteral("dd.MM.yyyy HH:mm")) + QStringLiteral(" · ") + m.words,
               work()->pageAt(m.position), m.position, 0, m.id);
    empty_->setText(QStringLiteral("Няма отметки. Ctrl+B отбелязва страницата."));
    empty_->setVisible(marks.empty());
    removeMark_->setEnabled(list_->currentItem() != nullptr);
}

void BookFinder::markSpread() {
    if (!work() || leftPage_ < 1)
        return;
    BookMark mark;
    mark.position = int(work()->pageStarts()[size_t(leftPage_ - 1)]);
    mark.made = QDateTime::currentDateTime();
    mark.words = firstWords(work()->page(leftPage_).text);
    if (const Result<> added = WorkFile::addMark(work()->path(), mark); !added) {
        window_.session().platform().messageBox(added.message(), MsgButtons::Ok, MsgIcon::Critical, kTitle);
        return;
    }
    if (panelVisible() && mode_ == Mode::Marks)
        fillMarks();
}

void BookFinder::removeMark(qint64 id) {
    if (!work())
        return;
    if (const Result<> removed = WorkFile::removeMark(work()->path(), id); !removed)
        window_.session().platform().messageBox(removed.message(), MsgButtons::Ok, MsgIcon::Critical, kTitle);
    fillMarks();
}

void BookFinder::startSearch() {
    ++searchGeneration_;
    list_->clear();
    hits_.clear();
    search_ = std::make_unique<BookSearch>(searchBox_->text());
    searchPage_ = 1;
    empty_->setVisible(false);
    if (!work() || search_->isEmpty())
        return;
    searchSome(searchGeneration_);
}

void BookFinder::searchSome(quint64 generation) {
    if (generation != searchGeneration_ || !work() || !search_)
        return;
    QElapsedTimer slice;
    slice.start();
    const size_t before = hits_.size();
    const int last = work()->pageCount();
    while (searchPage_ <= last && int(hits_.size()) < kMaxHits && slice.elapsed() < kSearchSliceMs) {
        search_->addPage(searchPage_, work()->page(searchPage_).text, hits_);
        ++searchPage_;
    }
    const bool done = searchPage_ > last || int(hits_.size()) >= kMaxHits;
    if (done && searchPage_ > last)
        search_->finish(hits_);
    for (size_t i = before; i < hits_.size() && i < size_t(kMaxHits); ++i)
        addRow(hits_[i].context, hits_[i].page, hits_[i].position, hits_[i].length);
    if (!done) {
        QMetaObject::invokeMethod(this, [this, generation] { searchSome(generation); }, Qt::QueuedConnection);
        return;
    }
    empty_->setText(hits_.empty() ? QStringLiteral("Няма намерени места.")
                                  : QStringLiteral("Показани са първите %1 места.").arg(kMaxHits));
    empty_->setVisible(hits_.empty() || int(hits_.size()) >= kMaxHits);
}

void BookFinder::choose(int row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item)
        return;
    list_->setCurrentItem(item);
    goTo(item->data(0, kRolePosition).toLongLong(), item->data(0, kRoleLength).toInt());
}

void BookFinder::goTo(qint64 position, int length) {
    if (!work())
        return;
    chosen_.reset();
    if (length > 0)
        chosen_ = std::pair{position, length};
    Q_EMIT pageWanted(work()->pageAt(position));
    // A hit stays in the panel's list for the next one; the contents and marks have done their work.
    if (mode_ != Mode::Search)
        hidePanel();
}

void BookFinder::spreadShown(int leftPage) {
    WorkFile* shown = work();
    if (shown != notesOf_) {
        // Another work, or the same one cut anew: its notes are read again and the old choice is gone.
        notesOf_ = shown;
        notes_ = shown ? shown->notes() : std::vector<NoteAnchor>{};
        chosen_.reset();
        popup_->hide();
    }
    leftPage_ = leftPage;
    highlight();
}

void BookFinder::highlight() {
    if (!work() || leftPage_ < 1)
        return;
    const std::vector<qint64>& starts = work()->pageStarts();
    for (int side = 0; side < 2; ++side) {
        RichTextView* view = side == 0 ? left_ : right_;
        const int page = leftPage_ + side;
        if (page > work()->pageCount())
            break;
        const qint64 from = starts[size_t(page - 1)], to = starts[size_t(page)];
        QList<QTextEdit::ExtraSelection> marks;
        auto mark = [&](qint64 position, int length, const QTextCharFormat& format) {
            const qint64 a = std::max(position, from), b = std::min(position + length, to);
            if (a >= b)
                return;
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(view->document());
            s.cursor.setPosition(view->documentPosition(int(a - from)));
            s.cursor.setPosition(view->documentPosition(int(b - from)), QTextCursor::KeepAnchor);
            s.format = format;
            marks << s;
        };
        QTextCharFormat note;
        note.setForeground(kNoteMark);
        note.setFontUnderline(true);
        const auto first = std::lower_bound(notes_.begin(), notes_.end(), from,
                                            [](const NoteAnchor& n, qint64 p) { return n.position + n.length <= p; });
        for (auto it = first; it != notes_.end() && it->position < to; ++it)
            mark(it->position, it->length, note);
        if (chosen_) {
            QTextCharFormat chosen;
            chosen.setBackground(kChosen);
            mark(chosen_->first, chosen_->second, chosen);
        }
        view->setExtraSelections(marks);
    }
}

const NoteAnchor* BookFinder::noteAt(RichTextView* view, QPoint pos) {
    if (!work() || notes_.empty() || leftPage_ < 1)
        return nullptr;
    const int page = leftPage_ + (view == right_ ? 1 : 0);
    if (page > work()->pageCount())
        return nullptr;
    const QTextCursor cursor = view->cursorForPosition(pos);
    // The character under the pointer, not the gap the cursor would go to.
    const QRect caret = view->cursorRect(cursor);
    const int docPos = pos.x() < caret.x() ? std::max(0, cursor.position() - 1) : cursor.position();
    const qint64 at = work()->pageStarts()[size_t(page - 1)] + view->textIndex(docPos);
    const auto it = std::upper_bound(notes_.begin(), notes_.end(), at,
                                     [](qint64 p, const NoteAnchor& n) { return p < n.position; });
    if (it == notes_.begin())
        return nullptr;
    const NoteAnchor& n = *std::prev(it);
    return at < n.position + n.length ? &n : nullptr;
}

bool BookFinder::eventFilter(QObject* watched, QEvent* e) {
    // Only pointers are compared until the event is one of ours: the views may be half destroyed.
    const QEvent::Type type = e->type();
    if (watched == left_ && (type == QEvent::Resize || type == QEvent::Move)) {
        if (panelVisible())
            fitToPages();
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    RichTextView* view = watched == viewports_[0] ? left_ : watched == viewports_[1] ? right_ : nullptr;
    if (!view)
        return false;
    if (type == QEvent::MouseButtonRelease) {
        const bool swallow = swallowRelease_;
        swallowRelease_ = false;
        return swallow;
    }
    const auto* me = static_cast<QMouseEvent*>(e);
    if (me->button() != Qt::LeftButton)
        return false;
    if (const NoteAnchor* note = noteAt(view, me->position().toPoint())) {
        // The reference opens its note; the page does not turn.
        swallowRelease_ = true;
        const QPoint at = view->viewport()->mapTo(&window_, me->position().toPoint());
        popup_->showNote(note->text, at, view->geometry());
        return true;
    }
    return false;
}

} // namespace vel
