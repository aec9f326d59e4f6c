#pragma once
// Gathering a structured book's text: one line per paragraph, white space collapsed as XML and HTML
// collapse it, notes kept apart until the text they belong to has ended.

#include "core/text/TextImport.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>

namespace vel {

// A book's text stops here: five times the longest novels, and small against the memory an import may take
// (the text is copied a few times on its way into pages).
inline constexpr qsizetype kMaxBookChars = qsizetype(16) * 1024 * 1024;

class BookLines {
public:
    // Text inside a paragraph; runs of white space become one space, at the line's start none.
    void text(QStringView s);
    // Text from formats that mark spaces themselves; spaces still never pile up.
    void literal(QStringView s);
    // Ends the current line when it holds anything.
    void endLine();
    // A blank line in the book (a stanza or scene break); never two in a row, never first.
    void blankLine();
    bool lineIsEmpty() const { return current_.isEmpty(); }

    // Lines of notes, marked, placed by flushNotes: after the paragraph or document they belong to.
    BookLines& notes() { return *notesTarget(); }
    void flushNotes();

    // Moves another gatherer's lines, its notes after them, to the end of these.
    void append(BookLines& other);

    // The lines joined with CR LF, without blank lines at the ends.
    QString joined();
    bool hasText() const { return hasText_; }

    // Stops the book: nothing more is gathered and finishBook reports the first reason given. The text
    // growing past kMaxBookChars refuses it so.
    void refuse(const QString& reason);
    bool refused() const { return !refusal_.isEmpty(); }
    const QString& refusal() const { return refusal_; }

private:
    BookLines* notesTarget();
    bool take(qsizetype chars);

    QStringList lines_;
    QString current_;
    bool pendingSpace_ = false;
    bool hasText_ = false;
    qsizetype size_ = 0; // characters gathered, notes' included
    QString refusal_;
    std::unique_ptr<BookLines> notes_;
};

// Ends every structured format's read the same way: the lines become the text, already in paragraphs, and
// a book without any text is refused.
void finishBook(BookLines& lines, TextImportResult& result);

// "[1]" for 1, "[*]" for "*", and a marker already in brackets as it is.
QString noteMarker(const QString& label);

} // namespace vel
