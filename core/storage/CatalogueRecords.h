#pragma once
// Whole catalogue records and the one way a work and its record enter and leave a library together.
//
// A work's file and its record appear and disappear together, whatever moment a crash or a kill hits:
//   add:    the finished work file waits under a locked temporary name; one transaction writes the record
//           and a pending note; the file is renamed into place; the note goes.
//   delete: a pending note; the file is renamed aside; one transaction removes the record and the note.
// Every open of a library (reconcileLibrary) finishes or undoes what a dead writer's notes describe, takes
// work files without a record back from the title and author they keep, and removes leftovers.

#include "core/Result.h"
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueSchema.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace vel {

// Every record with a title, in stored order. The cursor ends on the first record.
std::vector<CatalogueRecord> titledRecords(Catalogue& cat);

// Whether a record carries exactly this title. The cursor ends on the first record.
bool hasTitle(Catalogue& cat, const QString& title);

// Writes a new work's record the way the entry form does: its settings into the entry slot at the end
// (appended when the last record is no entry slot), title and author saved with the step forward, which
// appends the next entry slot. Returns the new record's rowid, or -1. The caller holds the transaction.
qint64 insertRecord(Catalogue& cat, const CatalogueRecord& record);

// Puts a finished work file (stagedFile, a locked temporary file in the library folder) in place under
// record.name together with its record. The title and author are stored in the file as well. Exists when a
// work file of that name exists: nothing is written. On any failure the library is as it was and
// stagedFile is left for the caller to drop. Failures carry English too, for the command line.
[[nodiscard]] Result<> addWork(Catalogue& cat, const QString& libraryDir, const CatalogueRecord& record,
                    const QString& stagedFile);

// The same for many works at once (the unpacker's merge), in stored order: one transaction for all the
// records, then the files, then one transaction for the notes. stagedFile of each lies in a locked
// temporary file or folder inside the library. Works whose file name is taken by then are left out and
// named in *taken; the result fails only when the files cannot be flushed to the disk or the catalogue could
// not be changed (nothing is added then).
[[nodiscard]] Result<> addWorks(Catalogue& cat, const QString& libraryDir,
                     const std::vector<std::pair<CatalogueRecord, QString>>& works, QStringList* added,
                     QStringList* taken);

// Writes the record's title and author into a work file that is not in place yet.
[[nodiscard]] Result<> storeWorkFacts(const QString& file, const CatalogueRecord& record);

// Deletes the work under the cursor, which the reader confirmed by its title: its work file and its record.
// A missing file does not stop the record from going; a file that cannot be removed keeps the record as well
// (and says why). A record that no longer carries the confirmed title (another program changed or removed
// it since it was shown) is left alone (NotFound).
struct RemovedWork {
    bool fileRemoved = false; // the work file was there and is gone
};
[[nodiscard]] Result<RemovedWork> removeCurrentWork(Catalogue& cat, const QString& libraryDir,
                                                   const QString& title);

struct ReconcileReport {
    QStringList completed; // titles whose interrupted add was finished
    QStringList undone;    // titles whose interrupted add or delete was taken back
    QStringList adopted;   // work files without a record, taken back into the catalogue
    QStringList setAside;  // work files without a record that could not be, moved to kAsideFolder
    int leftovers = 0;     // temporary files and staging folders of dead writers removed
    std::optional<Failure> failure; // the catalogue could not be changed
    // What the reader is told: what was set aside and why, and any failure. Empty when nothing needs saying.
    std::vector<Failure> messages() const;
};

// The folder inside the library where work files no record can claim are moved.
inline const QString kAsideFolder = QStringLiteral("Отделени");

// Puts right what an interrupted writer left; cheap when there is nothing to do. Run at every open.
[[nodiscard]] ReconcileReport reconcileLibrary(Catalogue& cat, const QString& libraryDir);

} // namespace vel
