#pragma once
// Gathering a structured book's text: one line per paragraph, white space collapsed as XML and HTML
// collapse it, notes kept apart until the text they belong to has ended.

#include "core/nav/Navigation.h"
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

    // Lines of notes, marked, placed by flushNotes: after the paragraph or document they belong to.
    BookLines& notes() { return *notesTarget(); }
    void flushNotes();

    // Moves another gatherer's lines, its notes after them, to the end of these.
    void append(BookLines& other);

    // The book's structure, kept as its navigation. A heading runs over the lines ended between
    // startHeading and endHeading, a note's text over those between startNote and endNote.
    void startHeading(int level);
    void endHeading();
    void startNote(const QString& key);
    void endNote();
    // Writes a note reference's marker and remembers the note it calls; the note with that key nearest
    // after it (else before it) is its text.
    void noteReference(const QString& key, const QString& marker);
    // A place the book's own contents point to: the next line ended.
    void target(const QString& key);
    // Puts `document` before the keys of the targets read so far that are a bare "#id".
    void qualifyTargets(const QString& document);
    // Contents the book lists apart from its text (EPUB): entries point to targets; when any is found
    // they stand instead of the headings.
    struct OutlineItem {
        int level = 1;
        QString heading;
        QString target;
    };
    void setOutline(std::vector<OutlineItem> items) { outline_ = std::move(items); }

    // The lines joined with CR LF, without blank lines at the ends; `navigation`, when given, receives the
    // structure with positions in that text.
    QString joined(BookNavigation* navigation = nullptr);
    bool hasText() const { return hasText_; }

    // Stops the book: nothing more is gathered and finishBook reports the first reason given. The text
    // growing past kMaxBookChars refuses it so.
    void refuse(const QString& reason);
    bool refused() const { return !refusal_.isEmpty(); }
    const QString& refusal() const { return refusal_; }

private:
    struct Span {
        enum class Kind : char { Heading, Note, Reference, Target } kind = Kind::Heading;
        int level = 0;
        QString key;
        int first = -1; // lines, -1 until one is ended
        int last = -1;
        int column = 0; // a reference's place in its line
        int length = 0;
    };
    BookLines* notesTarget();
    void lineEnded(int index);
    // Takes over the other gatherer's structure; `moved` says where each of its lines went (-1: dropped).
    void adoptSpans(BookLines& other, const std::vector<int>& moved);
    BookNavigation navigationOf(const std::vector<int>& starts) const;
    bool take(qsizetype chars);

    QStringList lines_;
    QString current_;
    bool pendingSpace_ = false;
    bool hasText_ = false;
    qsizetype size_ = 0; // characters gathered, notes' included
    QString refusal_;
    std::unique_ptr<BookLines> notes_;
    std::vector<Span> spans_;
    int openHeading_ = -1; // in spans_
    int openNote_ = -1;
    std::vector<int> openTargets_;
    std::vector<OutlineItem> outline_;
};

// Ends every structured format's read the same way: the lines become the text, already in paragraphs, and
// a book without any text is refused.
void finishBook(BookLines& lines, TextImportResult& result);

// "[1]" for 1, "[*]" for "*", and a marker already in brackets as it is.
QString noteMarker(const QString& label);

} // namespace vel
