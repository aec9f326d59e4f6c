#pragma once
// The catalogue walks of the management window, free of any window: the listing walk behind the title list,
// the author filter and the author pick list, and the search for a chosen title.

#include "core/storage/Catalogue.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vel {

// The first entry of the author filter (eleven spaces before the words).
inline const QString kAllAuthors = QStringLiteral("           ВСИЧКИ АВТОРИ");

// The lists Spisak fills: every title in catalogue order, and every author once in order of first appearance.
struct CatalogueLists {
    QStringList titles;
    QStringList authors;
};

// A work's reading settings as its catalogue record keeps them, as text.
struct WorkSettings {
    QString font;
    QString size;
    QString str;
    QString cvetList;
    QString cvetForma;
};

// The listing walk: visits the records in stored order from the first, which is always visited, up to the
// first record with an empty title, the entry slot at the end, which is not; records without any title
// value are passed over. Past the last record an entry slot is appended. Afterwards the cursor is on the last
// record and the boxes show the record the walk ended on.
void listingWalk(Catalogue& cat, RecordBoxes& boxes, const std::function<void(const RecordBoxes&)>& visit);

// Spisak: the titles and the distinct authors (exact, case-sensitive comparison) of the whole catalogue.
CatalogueLists spisak(Catalogue& cat, RecordBoxes& boxes);
// SpisakAv: the titles of the works whose author equals `author` exactly.
QStringList titlesOfAuthor(Catalogue& cat, RecordBoxes& boxes, const QString& author);
// The all-authors branch of the author filter.
QStringList allTitles(Catalogue& cat, RecordBoxes& boxes);

// Tarsene: moves the cursor to the first record whose title equals `title`, shows it in the boxes and
// reads its settings. Without such a record the search stops at the entry slot and nothing is returned.
std::optional<WorkSettings> tarsene(Catalogue& cat, RecordBoxes& boxes, const QString& title);

// A font size as the catalogue keeps it: rounded to four decimals, without trailing zeros ("14.25", "14").
QString catalogueFontSize(double points);

} // namespace vel
