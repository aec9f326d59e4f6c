#include "core/catalogue/LibraryIndex.h"

#include "core/storage/CatalogueSchema.h"

#include <QCollator>
#include <QHash>
#include <QStringMatcher>
#include <algorithm>
#include <numeric>

namespace vel {

namespace {
// Between title and author and between entries, so that a typed text never matches across them.
constexpr char16_t kSeparator = u'\x1f';
} // namespace

QString foldForFinding(QStringView text) {
    return text.toString().toCaseFolded();
}

LibraryIndex::LibraryIndex(std::vector<LibraryEntry> entries) : entries_(std::move(entries)) {
    starts_.reserve(entries_.size() + 1);
    for (const LibraryEntry& e : entries_) {
        starts_.push_back(folded_.size());
        folded_ += foldForFinding(e.title) + kSeparator + foldForFinding(e.author) + kSeparator;
    }
    starts_.push_back(folded_.size());

    stored_.resize(entries_.size());
    std::iota(stored_.begin(), stored_.end(), 0);

    // Bulgarian collation: Cyrillic in the alphabet's order, Latin beside it, case aside.
    QCollator collator{QLocale(QLocale::Bulgarian, QLocale::Bulgaria)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::vector<QCollatorSortKey> titleKeys, authorKeys;
    titleKeys.reserve(entries_.size());
    authorKeys.reserve(entries_.size());
    for (const LibraryEntry& e : entries_) {
        titleKeys.push_back(collator.sortKey(e.title));
        authorKeys.push_back(collator.sortKey(e.author));
    }
    byTitle_ = stored_;
    std::stable_sort(byTitle_.begin(), byTitle_.end(),
                     [&](int a, int b) { return titleKeys[size_t(a)].compare(titleKeys[size_t(b)]) < 0; });
    // By author, and an author's works by title.
    byAuthor_ = byTitle_;
    std::stable_sort(byAuthor_.begin(), byAuthor_.end(),
                     [&](int a, int b) { return authorKeys[size_t(a)].compare(authorKeys[size_t(b)]) < 0; });
    byLastRead_ = stored_;
    std::stable_sort(byLastRead_.begin(), byLastRead_.end(), [&](int a, int b) {
        return entries_[size_t(a)].lastRead > entries_[size_t(b)].lastRead;
    });
}

const std::vector<int>& LibraryIndex::ordered(TitleOrder order) const {
    switch (order) {
    case TitleOrder::Title:
        return byTitle_;
    case TitleOrder::Author:
        return byAuthor_;
    case TitleOrder::LastRead:
        return byLastRead_;
    case TitleOrder::Stored:
        break;
    }
    return stored_;
}

std::vector<int> LibraryIndex::find(QStringView typed, const QString& author, TitleOrder order) const {
    QString needle = foldForFinding(typed.trimmed());
    needle.remove(kSeparator);
    // One pass over all the text; each entry is left at its first match.
    std::vector<char> matched(entries_.size(), needle.isEmpty() ? 1 : 0);
    if (!needle.isEmpty()) {
        const QStringMatcher matcher(needle);
        for (qsizetype at = matcher.indexIn(folded_); at >= 0;) {
            const auto next = std::upper_bound(starts_.begin(), starts_.end(), at);
            matched[size_t(next - starts_.begin() - 1)] = 1;
            at = next == starts_.end() ? -1 : matcher.indexIn(folded_, *next);
        }
    }
    std::vector<int> found;
    for (const int i : ordered(order)) {
        const size_t at = size_t(i);
        if (matched[at] && (author.isEmpty() || entries_[at].author == author))
            found.push_back(i);
    }
    return found;
}

QStringList LibraryIndex::titles(const std::vector<int>& found) const {
    QStringList out;
    out.reserve(qsizetype(found.size()));
    for (const int i : found)
        out << entries_[size_t(i)].title;
    return out;
}

std::vector<LibraryEntry> libraryEntries(Catalogue& cat) {
    const QHash<QString, qint64> read = cat.lastRead();
    std::vector<LibraryEntry> entries;
    // Read past the cursor: the window's walks rely on where it stands.
    Statement st(cat.database(), QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY rowid")
                                     .arg(schema::kName, schema::kNumber, schema::kTable));
    while (st.step() == Statement::Step::Row) {
        if (!st.text(0).isEmpty())
            entries.push_back(LibraryEntry{st.text(0), st.text(1), read.value(st.text(0))});
    }
    return entries;
}

} // namespace vel
