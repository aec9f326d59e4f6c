#pragma once
// The library list among thousands of works: what the reader types narrows the titles (title or author,
// any case, Cyrillic or Latin), beside the author filter, in the order the reader chose. Every order is
// sorted once when the works are set, so a keystroke only walks the list.

#include "core/storage/Catalogue.h"

#include <QString>
#include <QStringView>
#include <vector>

namespace vel {

struct LibraryEntry {
    QString title;
    QString author;
    qint64 lastRead = 0; // ms since the epoch; 0 = never read
};

enum class TitleOrder { Stored, Title, Author, LastRead };

class LibraryIndex {
public:
    LibraryIndex() = default;
    explicit LibraryIndex(std::vector<LibraryEntry> entries);

    const std::vector<LibraryEntry>& entries() const { return entries_; }
    // Indices into entries(): the works whose title or author holds `typed` (white space at its ends
    // ignored) and, unless `author` is empty, whose author is exactly `author`, in `order`. Last read
    // puts the latest first and the never-read last, in stored order.
    std::vector<int> find(QStringView typed, const QString& author, TitleOrder order) const;
    QStringList titles(const std::vector<int>& found) const;

private:
    const std::vector<int>& ordered(TitleOrder order) const;

    std::vector<LibraryEntry> entries_;
    // Every entry's title and author folded, in one text searched in one pass; starts_[i] is where entry i
    // begins, with one more start at the end.
    QString folded_;
    std::vector<qsizetype> starts_;
    std::vector<int> stored_, byTitle_, byAuthor_, byLastRead_;
};

// Every titled work of the catalogue, in stored order, with the moment it was last read; the cursor stays.
std::vector<LibraryEntry> libraryEntries(Catalogue& cat);

// Case folded for finding: "Под" and "под" meet, as do "A" and "a".
QString foldForFinding(QStringView text);

} // namespace vel
