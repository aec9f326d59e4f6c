#pragma once
// What a reader finds their place by: the book's contents, its note references and the reader's own marks.
// Every place is a position in the work's text (the stored pages one after another, CR LF counting two), so
// it stays right whatever pages the text is cut into.

#include <QDateTime>
#include <QString>
#include <vector>

namespace vel {

struct ContentsEntry {
    int level = 1; // 1 for the outermost
    QString heading;
    int position = 0;
    bool operator==(const ContentsEntry&) const = default;
};

// A note reference as it stands in the text ("[3]"), with the note's own text.
struct NoteAnchor {
    int position = 0;
    int length = 0;
    QString text;
    bool operator==(const NoteAnchor&) const = default;
};

struct BookMark {
    qint64 id = 0;
    int position = 0;
    QDateTime made;
    QString words; // the first words of the marked page
};

struct BookNavigation {
    std::vector<ContentsEntry> contents;
    std::vector<NoteAnchor> notes;
    bool isEmpty() const { return contents.empty() && notes.empty(); }
};

// The chapter lines of a plain text: a line standing alone that can only be a heading ("Глава първа",
// "ГЛАВА II", "Първа част", "I."). Conservative: a text with a single such line has none.
std::vector<ContentsEntry> chapterLines(const QString& text);

// The navigation found in `from` for the text `to`, which should be the same text: entries are kept where
// they still stand and looked for further on where the text moved; an entry that is not found is dropped.
BookNavigation carryNavigation(const BookNavigation& nav, const QString& from, const QString& to);

// What a new work's text navigates by: its book's own navigation when it has any, else its chapter lines.
BookNavigation navigationForText(const BookNavigation& book, const QString& bookText, const QString& text);

// The first words of a text, for a mark's list entry.
QString firstWords(const QString& text, int maxChars = 60);

} // namespace vel
