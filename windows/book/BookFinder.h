#pragma once
// The book window's part for finding one's place: the contents, search and marks panel over the left page,
// their round buttons beside the page list and their keys (Ctrl+T, Ctrl+F, Ctrl+B), the note references
// marked on the pages and the note shown over the page when one is clicked.

#include "core/nav/BookSearch.h"
#include "core/nav/Navigation.h"

#include <QFrame>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vel {

class ClickLabel;
class RichTextView;
class WorkFile;
class Window;

// A note's text over the page; Esc or a click anywhere closes it.
class NotePopup : public QFrame {
    Q_OBJECT
public:
    explicit NotePopup(QWidget* parent);
    // Shows `text` in a box inside `area` (window coordinates), near `at`.
    void showNote(const QString& text, QPoint at, const QRect& area);
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    QLabel* label_;
    bool eatRelease_ = false;
};

class BookFinder : public QObject {
    Q_OBJECT
public:
    enum class Mode { Contents, Search, Marks };

    // `work` gives the work on show, or none while a work is built or closed.
    BookFinder(Window& window, RichTextView* left, RichTextView* right, std::function<WorkFile*()> work);
    ~BookFinder() override;

    // A spread is on show: marks its note references and the place chosen last, if it is there.
    void spreadShown(int leftPage);
    // The panel and the popup keep to the left page.
    void fitToPages();

    void showPanel(Mode mode);
    void hidePanel();
    bool panelVisible() const;
    Mode mode() const { return mode_; }
    // Marks the spread on show at the start of its left page.
    void markSpread();
    void removeMark(qint64 id);

    QFrame* panel() const { return panel_; }
    QLineEdit* searchBox() const { return searchBox_; }
    QTreeWidget* list() const { return list_; }
    NotePopup* notePopup() const { return popup_; }
    ClickLabel* contentsButton() const { return contentsButton_; }
    ClickLabel* searchButton() const { return searchButton_; }
    ClickLabel* marksButton() const { return marksButton_; }
    // Chooses the list's row as a click would.
    void choose(int row);

Q_SIGNALS:
    // The spread that holds this page should be shown.
    void pageWanted(int page);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void fillContents();
    void fillMarks();
    void startSearch();
    void searchSome(quint64 generation);
    void addRow(const QString& text, int page, qint64 position, int length, qint64 markId = 0);
    void goTo(qint64 position, int length);
    void highlight();
    // The note whose reference is at `pos` of `view`'s page, when it is one.
    const NoteAnchor* noteAt(RichTextView* view, QPoint pos);

    WorkFile* work() const { return work_(); }

    Window& window_;
    RichTextView* left_;
    RichTextView* right_;
    std::array<QObject*, 2> viewports_{};
    std::function<WorkFile*()> work_;
    const WorkFile* notesOf_ = nullptr; // the work notes_ were read from
    std::vector<NoteAnchor> notes_;
    int leftPage_ = 0;
    Mode mode_ = Mode::Contents;
    // The place chosen last, shown highlighted while its spread is on show.
    std::optional<std::pair<qint64, int>> chosen_;

    QFrame* panel_;
    QLabel* title_;
    QLineEdit* searchBox_;
    QTreeWidget* list_;
    QLabel* empty_;
    QPushButton* addMark_;
    QPushButton* removeMark_;
    NotePopup* popup_;
    ClickLabel* contentsButton_;
    ClickLabel* searchButton_;
    ClickLabel* marksButton_;
    bool swallowRelease_ = false;

    std::unique_ptr<BookSearch> search_;
    std::vector<SearchHit> hits_;
    int searchPage_ = 0;
    quint64 searchGeneration_ = 0;
};

} // namespace vel
