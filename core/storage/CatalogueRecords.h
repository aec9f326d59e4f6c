#pragma once
// Whole catalogue records, for the ways works enter a library without the management window: imported
// from the command line or unpacked from the sample library.

#include "core/storage/Catalogue.h"

#include <QString>
#include <vector>

namespace vel {

// The seven fields of a record, as text.
struct CatalogueRecord {
    QString name;   // title
    QString number; // author
    QString font;
    QString size;
    QString str;
    QString cvetList;
    QString cvetForma;
    bool operator==(const CatalogueRecord&) const = default;
};

// Every record with a title, in stored order. The cursor ends on the first record.
std::vector<CatalogueRecord> titledRecords(Catalogue& cat);

// Whether a record carries exactly this title. The cursor ends on the first record.
bool hasTitle(Catalogue& cat, const QString& title);

// Adds a work the way the entry form does: its settings go into the entry slot at the end (appended when the
// last record is no entry slot), title and author are saved with the step forward, which appends the next
// entry slot. One transaction: on failure the catalogue is as it was.
bool addWork(Catalogue& cat, const CatalogueRecord& record);

} // namespace vel
