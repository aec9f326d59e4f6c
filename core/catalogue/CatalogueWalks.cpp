#include "core/catalogue/CatalogueWalks.h"

#include "core/storage/CatalogueSchema.h"

#include <QSet>
#include <cmath>

namespace vel {

namespace {

enum class ScanEnd { Stopped, PastEnd, Failed };

// Reads the records in stored order, as the show operation would put them into the boxes, until `stop`
// returns true for one (its position is left in *position) or the last one is passed. A record without any
// title value (NULL, which the start-up clean-up keeps) is no work and no entry slot: it is passed over.
//
// The walks read the catalogue in this one pass instead of stepping with Napred: each Napred step only
// saves the record's own title and author back into it, which changes nothing, so the lists, the record
// the walk ends on and the entry slot appended past the end come out the same, at a fraction of the cost.
template <class Stop> ScanEnd scan(Catalogue& cat, int* position, Stop&& stop) {
    Statement st(cat.database(), QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY rowid")
                                     .arg(schema::kName, schema::kNumber, schema::kTable));
    RecordBoxes b;
    int pos = 0;
    for (;; ++pos) {
        switch (st.step()) {
        case Statement::Step::Row:
            if (st.isNull(0))
                continue;
            b.name = st.text(0);
            b.number = st.text(1);
            if (stop(b)) {
                *position = pos;
                return ScanEnd::Stopped;
            }
            break;
        case Statement::Step::Done:
            *position = pos;
            return ScanEnd::PastEnd;
        case Statement::Step::Error:
            *position = pos;
            return ScanEnd::Failed;
        }
    }
}

// Leaves the cursor where a walk stopped and the boxes showing that record; past the end, on a new entry
// slot, as the step past the last record makes one.
void settle(Catalogue& cat, RecordBoxes& boxes, ScanEnd end, int position) {
    Recordset& r = cat.rs();
    if (end == ScanEnd::PastEnd) {
        cat.prazenZapis();
    } else {
        r.MoveFirst();
        r.Move(position);
    }
    cat.pokazhi(boxes);
}

} // namespace

void listingWalk(Catalogue& cat, RecordBoxes& boxes, const std::function<void(const RecordBoxes&)>& visit) {
    int position = 0;
    bool first = true;
    // The first record is always visited. The walk ends at the first empty title, which is the entry slot
    // at the end: a title of a single character is a work like any other, and a record without an author is
    // listed and passed.
    const ScanEnd end = scan(cat, &position, [&](const RecordBoxes& b) {
        if (first || !b.name.isEmpty())
            visit(b);
        first = false;
        return b.name.isEmpty();
    });
    if (first)
        visit(RecordBoxes{});
    settle(cat, boxes, end, position);
    cat.rs().MoveLast();
}

CatalogueLists spisak(Catalogue& cat, RecordBoxes& boxes) {
    CatalogueLists lists;
    QSet<QString> seen;
    listingWalk(cat, boxes, [&](const RecordBoxes& b) {
        lists.titles.append(b.name);
        if (!seen.contains(b.number)) {
            seen.insert(b.number);
            lists.authors.append(b.number);
        }
    });
    return lists;
}

QStringList titlesOfAuthor(Catalogue& cat, RecordBoxes& boxes, const QString& author) {
    QStringList titles;
    listingWalk(cat, boxes, [&](const RecordBoxes& b) {
        if (b.number == author)
            titles.append(b.name);
    });
    return titles;
}

QStringList allTitles(Catalogue& cat, RecordBoxes& boxes) {
    QStringList titles;
    listingWalk(cat, boxes, [&](const RecordBoxes& b) { titles.append(b.name); });
    return titles;
}

std::optional<WorkSettings> tarsene(Catalogue& cat, RecordBoxes& boxes, const QString& title) {
    Recordset& r = cat.rs();
    // The entry slot's empty title names no work.
    if (title.isEmpty()) {
        r.MoveFirst();
        cat.pokazhi(boxes);
        return std::nullopt;
    }
    // Without a record of that title the walk stops at the entry slot, where stepping on is impossible.
    bool found = false;
    int position = 0;
    const ScanEnd end = scan(cat, &position, [&](const RecordBoxes& b) {
        found = b.name == title;
        return found || b.name.isEmpty();
    });
    settle(cat, boxes, end, position);
    if (!found)
        return std::nullopt;
    return WorkSettings{r.field(schema::kFont), r.field(schema::kSize), r.field(schema::kStr),
                        r.field(schema::kCvetList), r.field(schema::kCvetForma)};
}

QString catalogueFontSize(double points) {
    QString s = QString::number(std::round(points * 10000.0) / 10000.0, 'f', 4);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
    return s == u"-0" ? QStringLiteral("0") : s;
}

} // namespace vel
