#include "core/storage/CatalogueRecords.h"

namespace vel {

std::vector<CatalogueRecord> titledRecords(Catalogue& cat) {
    std::vector<CatalogueRecord> records;
    Recordset& r = cat.rs();
    for (r.MoveFirst(); !r.eof(); r.MoveNext()) {
        if (r.field(QStringLiteral("Name")).isEmpty())
            continue;
        records.push_back({r.field(QStringLiteral("Name")), r.field(QStringLiteral("Number")),
                           r.field(QStringLiteral("Font")), r.field(QStringLiteral("Size")),
                           r.field(QStringLiteral("STR")), r.field(QStringLiteral("CvetList")),
                           r.field(QStringLiteral("CvetForma"))});
    }
    r.MoveFirst();
    return records;
}

bool hasTitle(Catalogue& cat, const QString& title) {
    Recordset& r = cat.rs();
    bool found = false;
    for (r.MoveFirst(); !r.eof() && !found; r.MoveNext())
        found = !r.isNull(QStringLiteral("Name")) && r.field(QStringLiteral("Name")) == title;
    r.MoveFirst();
    return found;
}

bool addWork(Catalogue& cat, const CatalogueRecord& record) {
    if (record.name.isEmpty() || record.number.isEmpty())
        return false;
    Recordset& r = cat.rs();
    Transaction t(cat.database());
    if (!cat.ensureEntrySlotAtEnd())
        return false;
    r.MoveLast();
    r.Edit();
    r.setField(QStringLiteral("STR"), record.str);
    r.setField(QStringLiteral("Font"), record.font);
    r.setField(QStringLiteral("Size"), record.size);
    r.setField(QStringLiteral("CvetList"), record.cvetList);
    r.setField(QStringLiteral("CvetForma"), record.cvetForma);
    if (!r.Update())
        return false;
    RecordBoxes boxes{record.name, record.number};
    return cat.napred(boxes) && t.commit(); // anything short of the commit is rolled back
}

} // namespace vel
