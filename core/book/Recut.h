#pragma once
// Cutting a stored work anew for another page view: the work's text put back together from its pages, the
// reader's place carried over by its position in that text, and the fact that tells what a work was cut for.

#include "core/book/PageBuild.h"
#include "core/book/PageCut.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace vel {

// The work file's fact naming the page view a work was cut for (see cutSignature).
inline const QString kCutFact = QStringLiteral("cut");

// What a cut depends on, as text: the text area's size and margin, the font as it measures, and the
// typesetting. Two views with the same signature cut a text into the same pages.
QString cutSignature(const PageGeometry& geometry);

// A work's pages put back together: their text one after another, and where each page starts in it.
struct GatheredPages {
    QString text;
    std::vector<int> starts; // starts[n - 1] is where page n starts
};
// Pages 1..count as `page` reads them; nothing when one cannot be read.
std::optional<GatheredPages> gatherPages(int count, const std::function<std::optional<QString>(int n)>& page);

// Where page n starts in the text (n is kept within the pages; 0 for none).
int pageStart(const GatheredPages& gathered, int n);
// The page (1-based) whose run holds text position pos; a position in the dropped residue or past the end
// belongs to the last page, one before the start to the first.
int pageAtPosition(const std::vector<PageSpan>& pages, int pos);
// The left page of the spread that shows the page holding pos: the spreads start at odd pages.
int leftPageAtPosition(const std::vector<PageSpan>& pages, int pos);

// What a stored work needs to be shown whole in a view of `geometry`: nothing when it was cut for it.
bool needsRecut(const QString& storedSignature, const PageGeometry& geometry);

// The reader's place: the left page on show and, when known, the text position it stands for. A work cut
// anew twice while the reader stays put keeps the first place, not the start of the spread it landed on.
struct ReadingPlace {
    int leftPage = 1;
    int position = -1; // -1: where the left page starts
};

struct RecutOutcome {
    PageBuildOutcome outcome = PageBuildOutcome::WriteFailed;
    int leftPage = 1; // where the reader's place is now
    int position = 0; // the text position that place stands for
    QString error;    // a Bulgarian sentence, when it failed
};
// Cuts the stored work `name` of the library anew for `geometry` (its layout is the work's own) and puts the
// new file in place of the old one, which stays whole until then; the facts it kept go with it. The reader at
// `place` before is at `leftPage` after: the spread holding the same place in the text. Runs in any thread.
RecutOutcome recutWork(const QString& libraryDir, const QString& name, const PageGeometry& geometry,
                       ReadingPlace place, PageBuildProgress& progress);

} // namespace vel
