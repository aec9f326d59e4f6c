#pragma once
// The library's catalogue (BAZA.mdb, table Phones) with its one cursor, and the cursor operations every
// catalogue walk is built from.

#include "core/Result.h"
#include "core/storage/Database.h"
#include "core/storage/Recordset.h"

#include <QHash>
#include <QString>
#include <memory>

namespace vel {

// The management window's title and author boxes, as the cursor operations see them.
struct RecordBoxes {
    QString name;
    QString number;
};

class Catalogue {
public:
    struct Opened {
        std::unique_ptr<Catalogue> catalogue;
        bool created = false; // there was none: it was made with its entry slot
    };

    // Opens libraryDir/BAZA.mdb; a missing file is created holding one entry slot. A file that cannot be
    // read, is not a database or lacks table Phones or one of its fields is reported (naming the file) and
    // left untouched. readOnly: only reads (listing); nothing is created, and a write-protected catalogue
    // opens as well.
    [[nodiscard]] static Result<Opened> open(const QString& libraryDir, bool readOnly = false);

    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    bool isReadOnly() const { return readOnly_; }
    Recordset& rs() { return *rs_; }
    const Recordset& rs() const { return *rs_; }
    Database& database() { return db_; }
    const QString& path() const { return db_.path(); }

    // Start-up clean-up: removes every record whose Name is the empty text (NULL is kept), appends an
    // entry slot when nothing is left, and moves to the first record.
    bool cleanUp();

    // Pokazhi: the current record's Name and Number into the boxes (empty without a current record).
    void pokazhi(RecordBoxes& boxes) const;
    // Zapishi: the boxes into the current record's Name and Number.
    bool zapishi(const RecordBoxes& boxes);
    // PrazenZapis: appends an entry slot and moves onto it.
    bool prazenZapis();
    // Napred: only when both boxes hold text: Zapishi, MoveNext, an entry slot past the end, Pokazhi.
    // Returns false, touching nothing, when either box is empty.
    bool napred(RecordBoxes& boxes);

    // The settings save after a book closes: walks from the first record with Napred to the first record
    // whose Name equals title and writes the five settings into it, passing records without a title value
    // or an author as the listing walks do. When no record carries the title the walk stops at the entry
    // slot and nothing is written (NoRecord); Failed when the catalogue refused the write.
    // boxes, when given, are the window's boxes and are left showing the record the walk stopped on.
    enum class SaveResult { Saved, NoRecord, Failed };
    [[nodiscard]] SaveResult saveSettings(const QString& title, const QString& font, const QString& size,
                            const QString& str, const QString& cvetList, const QString& cvetForma,
                            RecordBoxes* boxes = nullptr);

    // When each title was last read: set by a settings save that found the title (ms since the epoch).
    QHash<QString, qint64> lastRead();

    // Appends an entry slot when the last record is not one (or the catalogue is empty). The cursor stays.
    bool ensureEntrySlotAtEnd();

    // Name and Number both the empty text.
    bool isEntrySlot() const;

private:
    Catalogue() = default;
    // The position the settings save's walk reaches without changing anything on the way: the first record
    // with the title, or the record where Napred would stop, or the last record; -1 when there is none.
    int walkShortcut(const QString& title);
    bool noteRead(const QString& title);

    Database db_;
    std::unique_ptr<Recordset> rs_;
    bool readOnly_ = false;
};

} // namespace vel
