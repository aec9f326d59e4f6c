#pragma once
// Cutting a text into the pages of the left page view and handing them, in order, to a writer. Runs in any
// thread; the caller watches and stops it through PageBuildProgress.

#include "core/book/PageCut.h"

#include <QFont>
#include <QString>
#include <atomic>
#include <functional>

namespace vel {

struct PageBuildProgress {
    std::atomic<bool> cancel{false};
    std::atomic<int> laidOut{0}; // characters laid out so far
    std::atomic<int> total{0};   // characters in the text
    std::atomic<int> pages{0};   // pages found; known once the cut is complete
    std::atomic<int> written{0}; // pages handed to the writer
    std::atomic<int> fitsPercent{100}; // after TooManyPages: about how much of the text would fit
};

// The line a refusal of a text too long for one work adds: how much of it would fit.
QString fittingShareLine(int fitsPercent);

enum class PageBuildOutcome {
    Written,      // every page was handed over
    TooManyPages, // the text needs more pages than a work may hold; nothing was handed over
    Cancelled,
    WriteFailed, // the writer refused a page
};

// Cuts `text` and calls writePage for each page in order. Before any page is written the whole text is cut,
// so a text too long for one work writes nothing (and is mostly found out after a part of the cut). The first
// page is always written, even for an empty text. `spans`, when given, receives where each page lies in the text.
PageBuildOutcome buildPages(const QString& text, const PageGeometry& geometry, PageBuildProgress& progress,
                            const std::function<bool(const QString& page)>& writePage,
                            std::vector<PageSpan>* spans = nullptr);

} // namespace vel
