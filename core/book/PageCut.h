#pragma once
// Cutting a text into pages that each fill the left page view exactly, found from one layout of the whole
// text. A page is the run of whole lines the view shows at once from the start of the text still to be cut.

#include "core/book/Typeset.h"
#include "core/storage/LibraryPaths.h" // kMaxPages

#include <QFont>
#include <QString>

#include <functional>
#include <vector>

class QTextDocument;

namespace vel {

// At most this many characters may be left over after the last full cut; they are dropped only when they are
// all white space.
inline constexpr int kMaxResidue = 5;

// Qt breaks a run with no break opportunity anywhere by measuring, for each of its lines, on to the run's end
// within the text it is given: a run's cost is its length times its lines. The cutter ends a layout piece
// this many characters into such a run, far more than any line holds, so that a megabyte of one letter is
// laid out in linear time into the very same lines.
inline constexpr int kUnbrokenRunChars = 2048;

// Whether `text` holds a run of more than kUnbrokenRunChars characters without a space or a line break.
bool hasUnbrokenRun(QStringView text);

// What a page view lays its text out in, in pixels: the viewport (not the widget), the document margin on
// every side, the font and the typesetting. Lines wrap at word boundaries and, when hyphenated, at the
// soft hyphens the typesetting adds, or anywhere for a word wider than the line.
struct PageGeometry {
    QFont font;
    int viewportWidth = 0;
    int viewportHeight = 0;
    qreal documentMargin = 4;
    Typesetting typesetting;
};

// A page as a run of the text that was cut.
struct PageSpan {
    int start = 0;
    int length = 0;
    bool operator==(const PageSpan&) const = default;
};

struct PageCut {
    enum class Status {
        Complete,     // `pages` holds every page
        TooManyPages, // more than kMaxPages would be needed; `pages` is empty. Found out early: from the
                      // first quarter of the text at the latest, unless it only just does not fit
        Cancelled,    // the progress callback asked to stop; `pages` is empty
    };
    Status status = Status::Complete;
    std::vector<PageSpan> pages;
    int fitsPercent = 100; // when TooManyPages: about how much of the text a work's pages would hold

    bool complete() const { return status == Status::Complete; }
};

// Reports characters laid out so far of the total; returning false cancels the cut.
using CutProgress = std::function<bool(int done, int total)>;

// Cuts `text` (CR LF, CR or LF line breaks) into the pages a view of `geometry` shows one after another.
// The pages follow one another without gap from the start of the text; only a tail of at most kMaxResidue
// white-space characters may be left uncovered. A line break ending a page's last line belongs to that page,
// and such a page also leaves room for the empty line the break opens, so that every page shown alone in
// the view lays out into the same lines and needs no scrolling. A page never ends inside a hyphenated word:
// when its last line would end in a hyphen, the page ends before that word, which opens the next page, so
// every stored page holds whole words and is filled to its last line. A page holds at least one line. An
// empty text gives one empty page. Reentrant: may run in any thread. Long texts are laid out in shares in
// Qt's thread pool; `progress` is called from those threads, one call at a time.
PageCut cutPages(const QString& text, const PageGeometry& geometry, const CutProgress& progress = {});

// The first `count` pages of the text from `from` on, as cutPages cuts the whole of it there, found from a
// beginning of that text only, so that they can be shown at once while the whole is cut. Positions are in
// `text`.
std::vector<PageSpan> cutOpeningPages(const QString& text, int from, const PageGeometry& geometry, int count);

// The document position where the page starting at `fromPos` ends in `doc` (a view's laid-out document):
// the same rule as cutPages applied to the lines from the one holding `fromPos`, as if they were shown from
// the top of a viewport `viewportHeight` pixels high with the document's margin.
int viewPageEnd(const QTextDocument& doc, int fromPos, int viewportHeight);

} // namespace vel
