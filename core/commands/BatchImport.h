#pragma once
// Many works at once, on every core: files are loaded and cut side by side, and the finished works enter
// the catalogue in the order given, a few at a time through one transaction each. A cancel stops at the
// next work; what is in by then stays, and nothing half-made is left.

#include "core/commands/Import.h"

#include <atomic>
#include <functional>
#include <vector>

namespace vel {

struct BatchOptions {
    QString title{}; // for a single file only, as --title and --author
    QString author{};
    QSize screen{1024, 768};
    PageLayout layout = PageLayout::Book;
    int jobs = 0; // works cut at once; 0 = the number of cores
};

// One book to add: a file by the bytes of its path (which need not be UTF-8), or one book of a zip that
// holds several.
struct ImportItem {
    QByteArray file;
    QString entry{};
    QString shown() const; // as a reader reads it: the path, and the book inside the zip after a slash
};

struct ImportItems {
    QList<ImportItem> items;
    QStringList emptyFolders; // folders given that hold no book
};

// "В папката няма книги за добавяне."
extern const QString kNoBooksInFolder;

struct BatchItem {
    QString file; // the item as shown
    ImportResult result;
    bool cancelled = false; // not tried: the batch was cancelled first
};

// Called on the calling thread after each file is settled: its outcome, how many are settled, of how many.
using BatchReport = std::function<void(const BatchItem& item, int done, int total)>;

// Every book under the given folders (recursively, in name order, whatever bytes the names are made of) and
// the files given by name, whatever they are called, in order; a zip holding several books stands for each.
ImportItems importItems(const QStringList& given);

// Imports files (see importWork) into the catalogue; one item per file, in order. A title already in the
// library, or earlier in the batch, is reported and never overwritten. cancel may be null.
std::vector<BatchItem> importBatch(Catalogue& cat, const QString& libraryDir, const QList<ImportItem>& files,
                                   const BatchOptions& options, const BatchReport& report = {},
                                   const std::atomic<bool>* cancel = nullptr);

} // namespace vel
