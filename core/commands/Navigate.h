#pragma once
// Finding one's place in a work without any window: its contents and the hits of a search, printed.

#include "core/Result.h"
#include "core/commands/StartOptions.h"
#include "core/storage/WorkFile.h"

#include <memory>

class QTextStream;

namespace vel {

// The work the catalogue lists under `title`, opened for reading; fails when there is no catalogue or no such
// readable work.
[[nodiscard]] Result<std::unique_ptr<WorkFile>> openLibraryWork(const QString& libraryDir,
                                                                const QString& title);

// --contents: one line per entry, level, page and heading separated by tabs. 0, or 1 without the work.
int runContents(const StartOptions& options, QTextStream& out, QTextStream& err);

// --search: one line per hit in book order, the page and the hit with a few words around it separated by a
// tab; no hit prints nothing. 0, or 1 without the work.
int runSearch(const StartOptions& options, QTextStream& out, QTextStream& err);

} // namespace vel
