#pragma once
// How a work's text is set on its pages: plain (as typed, ragged right) or as a printed book (justified
// lines, Bulgarian hyphenation, first-line indents, margins). One setting serves the page cutter and the
// page views alike, so that a page cut from a text lays out into the same lines wherever it is shown.

#include "core/book/Hyphenation.h"

#include <QFont>
#include <QMargins>
#include <QSize>
#include <QString>
#include <QStringView>
#include <QTextOption>

#include <optional>
#include <vector>

class QTextDocument;

namespace vel {

enum class PageLayout {
    Plain, // the text as it comes, no margins: how works were cut before layouts were kept
    Book,
};

// The work file's "layout" fact; a file without it was cut plain.
inline const QString kLayoutFact = QStringLiteral("layout");
QString layoutName(PageLayout layout);
std::optional<PageLayout> layoutFromName(const QString& name);
PageLayout storedLayout(const QString& fact);

struct Typesetting {
    PageLayout layout = PageLayout::Plain;
    bool justify = false;
    bool hyphenate = false;
    int indent = 0; // first line of a paragraph, pixels

    // The settings of a layout for text in `font`.
    static Typesetting of(PageLayout layout, const QFont& font);
    bool operator==(const Typesetting&) const = default;
};

// The room a page view leaves around its text, in pixels, for a page view `box` large: none in the plain
// layout; in proportion to the page in the book layout, wider at the foot and at the spine.
enum class PageSide { Left, Right };
QMargins pageMargins(PageLayout layout, QSize box, PageSide side);

// Where a page sits among its paragraphs, which only its neighbours tell.
struct PageFlow {
    bool startsParagraph = true;  // its first line opens a paragraph: it is indented
    bool paragraphGoesOn = false; // its last line is not its paragraph's last: it is justified too
    bool operator==(const PageFlow&) const = default;
};
// Whether a page's text ends its last paragraph.
bool endsParagraph(QStringView page);
// The flow of `page`, told by whether the text before it ended a paragraph and whether text follows it.
PageFlow pageFlowOf(bool afterParagraphEnd, QStringView page, bool textFollows);

// A text as it is laid out: the original with soft hyphens added where its words may break. The added
// hyphens exist only here; positions map both ways.
struct LaidOutText {
    QString text;
    std::vector<int> added; // positions in `text` of the added soft hyphens, rising

    int toLaidOut(int pos) const;  // a position in the original text
    int toOriginal(int pos) const; // a position in `text`
};

// Whether `c` belongs to a word for hyphenation: letters, with the digits, marks and soft hyphens that keep
// a word whole.
bool isWordChar(QChar c);

// Appends to `out` the positions inside `word` (a whole run of word characters) where a book's line may end
// in a hyphen, rising: none unless every character is a letter the patterns know and it is no longer than
// Hyphenator::kMaxWord.
void hyphenationPoints(QStringView word, const Hyphenator& h, Hyphenator::Buffers& buffers,
                       std::vector<int>& out);

// `text` with soft hyphens at the hyphenation points of its words when `t` hyphenates; as it is otherwise.
LaidOutText laidOutText(QStringView text, const Typesetting& t);

// The text option every paragraph is laid out with.
QTextOption textOption(const Typesetting& t, Qt::LayoutDirection direction = Qt::LeftToRight);

// Puts `text` (paragraphs separated by LF) into `doc`, laid out as `t` sets it for a page placed as `flow`
// says, and returns what was put in.
LaidOutText typesetDocument(QTextDocument& doc, const QString& text, const Typesetting& t,
                            const PageFlow& flow = {});

} // namespace vel
