#pragma once
// Gathering a structured book's text: one line per paragraph, white space collapsed as XML and HTML
// collapse it, notes kept apart until the text they belong to has ended.

#include "core/text/TextImport.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>

namespace vel {

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

private:
    BookLines* notesTarget();

    QStringList lines_;
    QString current_;
    bool pendingSpace_ = false;
    bool hasText_ = false;
    std::unique_ptr<BookLines> notes_;
};

// Ends every structured format's read the same way: the lines become the text, already in paragraphs, and
// a book without any text is refused.
void finishBook(BookLines& lines, TextImportResult& result);

// "[1]" for 1, "[*]" for "*", and a marker already in brackets as it is.
QString noteMarker(const QString& label);

} // namespace vel
