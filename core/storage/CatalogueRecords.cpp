#include "core/storage/CatalogueRecords.h"

#include "core/storage/Colors.h"
#include "core/storage/FaultPoint.h"
#include "core/storage/FileOps.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"
#include "core/storage/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace vel {

namespace {

using namespace schema;

const QString kAdd = QStringLiteral("add");
const QString kDelete = QStringLiteral("delete");

Failure catalogueFailure(Database& db) {
    if (db.isDiskFull())
        return fail(FailureKind::DiskFull,
                    QStringLiteral("Каталогът не може да бъде променен: няма свободно място на диска."),
                    QStringLiteral("The catalogue cannot be changed: the disk is full."));
    return fail(FailureKind::Io, QStringLiteral("Каталогът не може да бъде променен: %1.").arg(db.reason()),
                QStringLiteral("The catalogue cannot be changed: %1.").arg(db.errorText()));
}

// A file step's failure (its message a reason) as a sentence naming the file.
Failure fileFailure(const QString& path, const Failure& why) {
    return fail(why.kind,
                QStringLiteral("Файлът %1 не може да бъде записан: %2.").arg(shownPath(path), why.message),
                QStringLiteral("The file %1 cannot be written: %2.").arg(shownPath(path), why.english));
}

bool ensurePendingTable(Database& db) {
    return db.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Zapis INTEGER, Ime TEXT, Bilet TEXT, Vid TEXT)")
            .arg(kPendingTable));
}

// Writes and drops pending notes through statements prepared at first use and kept, so a merge or a
// reconciliation of thousands stays cheap. The notes' table must exist by then.
class PendingNotes {
public:
    explicit PendingNotes(Database& db) : db_(db) {}

    // The note's rowid, or -1.
    qint64 add(qint64 record, const QString& title, const QString& ticket, const QString& kind) {
        if (!insert_.isValid())
            insert_ = Statement(
                db_, QStringLiteral("INSERT INTO %1 (Zapis, Ime, Bilet, Vid) VALUES (?1, ?2, ?3, ?4)")
                         .arg(kPendingTable));
        insert_.reset();
        insert_.bindInt64(1, record);
        insert_.bind(2, title);
        insert_.bind(3, ticket);
        insert_.bind(4, kind);
        const bool ok = insert_.step() == Statement::Step::Done;
        insert_.reset();
        return ok ? db_.lastInsertRowid() : -1;
    }

    bool drop(qint64 note) {
        if (!drop_.isValid())
            drop_ = Statement(db_, QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(kPendingTable));
        drop_.reset();
        drop_.bindInt64(1, note);
        const bool ok = drop_.step() == Statement::Step::Done;
        drop_.reset();
        return ok;
    }

private:
    Database& db_;
    Statement insert_;
    Statement drop_;
};

// Removes the record only while it still carries the title it was noted with.
bool dropRecord(Database& db, qint64 record, const QString& title) {
    Statement st(db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?1 AND %2 IS ?2").arg(kTable, kName));
    st.bindInt64(1, record);
    st.bind(2, title);
    return st.step() == Statement::Step::Done;
}

} // namespace

Result<> storeWorkFacts(const QString& file, const CatalogueRecord& record) {
    Database db;
    if (!db.open(file, Database::Mode::ReadWrite))
        return fileFailure(file, fail(FailureKind::Io, db.reason(), db.errorText()));
    Statement st;
    // Two short facts: the file may grow by a few pages, whatever it holds.
    qint64 pages = 0;
    {
        Statement count(db, QStringLiteral("PRAGMA page_count"));
        if (count.step() == Statement::Step::Row)
            pages = count.int64(0);
    }
    bool ok = db.exec(QStringLiteral("PRAGMA max_page_count = %1; PRAGMA journal_mode = OFF; BEGIN; CREATE "
                                     "TABLE IF NOT EXISTS Svedenia (Ime TEXT PRIMARY KEY, Stoinost TEXT);")
                          .arg(pages + 64));
    for (const auto& [name, value] :
         {std::pair{kFactTitle, record.name}, std::pair{kFactAuthor, record.number}}) {
        if (!ok)
            break;
        st = Statement(db, QStringLiteral("INSERT OR REPLACE INTO Svedenia (Ime, Stoinost) VALUES (?1, ?2)"));
        st.bind(1, name);
        st.bind(2, value);
        ok = st.step() == Statement::Step::Done;
    }
    st = Statement();
    ok = ok && db.exec(QStringLiteral("COMMIT"));
    const Failure why =
        fail(db.isDiskFull() ? FailureKind::DiskFull : FailureKind::Io, db.reason(), db.errorText());
    db.close();
    if (!ok)
        return fileFailure(file, why);
    if (Result<> synced = fileops::syncFile(file); !synced)
        return fileFailure(file, synced.failure());
    return {};
}

namespace {

CatalogueRecord adoptedRecord(const QString& title, const QString& author) {
    return CatalogueRecord{title,
                           author,
                           kDefaultFont,
                           QString::number(kDefaultSize),
                           kFirstPage,
                           colorNumberToText(kDefaultPageColor),
                           colorNumberToText(kDefaultWindowColor)};
}

// Moves a work file no record can claim into the aside folder, under its own name or a numbered one.
bool setAside(const QString& libraryDir, const QString& name) {
    const QDir dir(libraryDir);
    if (!dir.mkpath(kAsideFolder))
        return false;
    const QString from = dir.filePath(name);
    const QString stem = name.chopped(int(qstrlen(kWorkFileSuffix)));
    for (int n = 1; n < 1000; ++n) {
        const QString target =
            dir.filePath(kAsideFolder + u'/' +
                         (n == 1 ? name : QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(kWorkFileSuffix)));
        const Result<> moved = fileops::publishNew(from, target);
        if (moved)
            return true;
        if (moved.kind() != FailureKind::Exists)
            return false;
    }
    return false;
}

} // namespace

std::vector<CatalogueRecord> titledRecords(Catalogue& cat) {
    std::vector<CatalogueRecord> records;
    Statement st(cat.database(),
                 QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(kFields.join(u','), kTable));
    while (st.step() == Statement::Step::Row) {
        if (st.text(0).isEmpty())
            continue;
        records.push_back(
            {st.text(0), st.text(1), st.text(2), st.text(3), st.text(4), st.text(5), st.text(6)});
    }
    cat.rs().MoveFirst();
    return records;
}

bool hasTitle(Catalogue& cat, const QString& title) {
    Statement st(cat.database(), QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?1 LIMIT 1").arg(kTable, kName));
    st.bind(1, title);
    const bool found = st.step() == Statement::Step::Row;
    cat.rs().MoveFirst();
    return found;
}

qint64 insertRecord(Catalogue& cat, const CatalogueRecord& record) {
    if (record.name.isEmpty() || record.number.isEmpty())
        return -1;
    Recordset& r = cat.rs();
    if (!cat.ensureEntrySlotAtEnd())
        return -1;
    r.MoveLast();
    const qint64 rowid = r.rowid();
    r.Edit();
    r.setField(kStr, record.str);
    r.setField(kFont, record.font);
    r.setField(kSize, record.size);
    r.setField(kCvetList, record.cvetList);
    r.setField(kCvetForma, record.cvetForma);
    if (!r.Update())
        return -1;
    RecordBoxes boxes{record.name, record.number};
    return cat.napred(boxes) ? rowid : -1;
}

Result<> addWorks(Catalogue& cat, const QString& libraryDir,
                     const std::vector<std::pair<CatalogueRecord, QString>>& works, QStringList* added,
                     QStringList* taken) {
    struct Step {
        qint64 record = -1;
        qint64 note = -1;
        QString target;
        bool placed = false;
    };
    std::vector<Step> steps(works.size());
    for (size_t i = 0; i < works.size(); ++i) {
        const std::optional<QString> target = workFilePath(libraryDir, works[i].first.name);
        if (!target)
            return fail(FailureKind::Invalid,
                        QStringLiteral("„%1“ не е допустимо име на файл.").arg(works[i].first.name),
                        QStringLiteral("\"%1\" cannot name a file.").arg(works[i].first.name));
        steps[i].target = *target;
    }

    // The files reach the disk before any record names them; a batch's together, in one pass.
    QStringList staged;
    for (const auto& work : works)
        staged << work.second;
    if (const qsizetype unsynced = fileops::syncFiles(libraryDir, staged); unsynced >= 0)
        return fileFailure(steps[size_t(unsynced)].target, fileops::errnoFailure(errno));

    // The records first, noted as pending: from here on any open can tell whether each file made it.
    Database& db = cat.database();
    const QDir dir(libraryDir);
    {
        Transaction t(db);
        if (!t.isActive() || !ensurePendingTable(db))
            return catalogueFailure(db);
        // Records before notes: a note written between two records would make the cursor re-read the
        // whole table for the next one.
        for (size_t i = 0; i < works.size(); ++i) {
            steps[i].record = insertRecord(cat, works[i].first);
            if (steps[i].record < 0)
                return catalogueFailure(db);
        }
        PendingNotes notes(db);
        for (size_t i = 0; i < works.size(); ++i) {
            steps[i].note =
                notes.add(steps[i].record, works[i].first.name, dir.relativeFilePath(works[i].second), kAdd);
            if (steps[i].note < 0)
                return catalogueFailure(db);
        }
        if (!t.commit())
            return catalogueFailure(db);
    }
    faultPoint("add-recorded");

    Result<> result;
    for (size_t i = 0; i < works.size(); ++i) {
        const Result<> placed = fileops::publishNew(works[i].second, steps[i].target);
        steps[i].placed = placed.ok();
        if (!placed && placed.kind() == FailureKind::Exists) {
            if (taken)
                *taken << works[i].first.name;
        } else if (!placed && result.ok()) {
            result = fileFailure(steps[i].target, placed.failure());
        }
    }
    // The files are in place; a folder that cannot be flushed only makes them less sure to survive a crash.
    (void)fileops::syncDir(libraryDir);
    faultPoint("add-placed");

    // Works whose file did not go in lose their record again; the others are complete. Notes that cannot
    // be dropped now are settled by the next open, which finds each file in place or not.
    {
        Transaction t(db);
        bool ok = t.isActive();
        PendingNotes notes(db);
        for (size_t i = 0; ok && i < works.size(); ++i) {
            ok = notes.drop(steps[i].note) &&
                 (steps[i].placed || dropRecord(db, steps[i].record, works[i].first.name));
        }
        if (ok)
            t.commit();
    }
    for (size_t i = 0; added && i < works.size(); ++i) {
        if (steps[i].placed)
            *added << works[i].first.name;
    }
    return result;
}

Result<> addWork(Catalogue& cat, const QString& libraryDir, const CatalogueRecord& record,
                 const QString& stagedFile) {
    const std::optional<QString> target = workFilePath(libraryDir, record.name);
    const auto taken = [&target] {
        return fail(FailureKind::Exists, QStringLiteral("Файлът %1 вече съществува.").arg(shownPath(*target)),
                    QStringLiteral("The work file %1 exists already.").arg(shownPath(*target)));
    };
    if (target && pathTaken(*target))
        return taken();
    if (target) {
        if (Result<> stored = storeWorkFacts(stagedFile, record); !stored)
            return stored;
    }
    QStringList clash;
    Result<> result = addWorks(cat, libraryDir, {{record, stagedFile}}, nullptr, &clash);
    if (result.ok() && !clash.isEmpty())
        return taken();
    return result;
}

Result<RemovedWork> removeCurrentWork(Catalogue& cat, const QString& libraryDir, const QString& title) {
    Database& db = cat.database();
    const qint64 rowid = cat.rs().rowid();
    if (rowid < 0 || title.isEmpty())
        return fail(FailureKind::NotFound, QStringLiteral("Няма избрано произведение."),
                    QStringLiteral("No work is chosen."));

    PendingNotes notes(db);
    qint64 note = -1;
    {
        Transaction t(db);
        if (!t.isActive() || !ensurePendingTable(db))
            return catalogueFailure(db);
        // Another program may have changed the record since the reader confirmed it.
        Statement again(db, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(kName, kTable));
        again.bindInt64(1, rowid);
        if (again.step() != Statement::Step::Row || again.text(0) != title)
            return fail(
                FailureKind::NotFound,
                QStringLiteral("Произведението „%1“ вече е променено или изтрито от друга програма.")
                    .arg(title),
                QStringLiteral("The work \"%1\" was changed or deleted by another program.").arg(title));
        again = Statement();
        note = notes.add(rowid, title, QString(), kDelete);
        if (note < 0 || !t.commit())
            return catalogueFailure(db);
    }
    faultPoint("delete-noted");

    // The file is moved aside under a temporary name, so that it is either in place or already gone.
    RemovedWork result;
    fileops::LockedTemp aside;
    const std::optional<QString> path = workFilePath(libraryDir, title);
    if (path && pathTaken(*path)) {
        Result<fileops::LockedTemp> made = fileops::createTempFile(libraryDir);
        Result<> moved = made ? fileops::publishReplace(*path, made->path()) : Result<>(made.failure());
        if (made)
            aside = std::move(*made);
        if (!moved) {
            aside.remove();
            Transaction t(db);
            if (t.isActive() && notes.drop(note))
                t.commit();
            return fail(moved.kind(),
                        QStringLiteral("Файлът %1 не може да бъде изтрит: %2.").arg(shownPath(*path), moved.message()),
                        QStringLiteral("The file %1 cannot be deleted: %2.").arg(shownPath(*path), moved.failure().english));
        }
        result.fileRemoved = true;
    }
    faultPoint("delete-moved");

    Transaction t(db);
    if (!t.isActive() || !dropRecord(db, rowid, title) || !notes.drop(note) || !t.commit()) {
        const Failure failed = catalogueFailure(db);
        t.rollback();
        // Put the file back, so that the work stays whole; failing that the next open finishes the delete.
        if (result.fileRemoved && fileops::publishNew(aside.path(), *path)) {
            Transaction back(db);
            if (back.isActive() && notes.drop(note))
                back.commit();
        }
        aside.unlock();
        return failed;
    }
    aside.remove();
    return result;
}

std::vector<Failure> ReconcileReport::messages() const {
    std::vector<Failure> lines;
    for (const QString& name : setAside) {
        lines.push_back(fail(FailureKind::NotFound,
                             QStringLiteral("Файлът „%1“ няма запис в каталога и не носи името на "
                                            "произведението си; преместен е в папка „%2“.")
                                 .arg(name, kAsideFolder),
                             QStringLiteral("The work file \"%1\" has no catalogue record and names no work; "
                                            "it was moved to the folder \"%2\".")
                                 .arg(name, kAsideFolder)));
    }
    if (failure)
        lines.push_back(*failure);
    return lines;
}

ReconcileReport reconcileLibrary(Catalogue& cat, const QString& libraryDir) {
    ReconcileReport report;
    Database& db = cat.database();
    const QDir dir(libraryDir);
    auto failed = [&]() {
        report.failure = catalogueFailure(db);
        report.leftovers = fileops::removeLeftovers(libraryDir);
        return report;
    };

    Transaction t(db);
    if (!t.isActive())
        return failed();

    if (!db.columns(kPendingTable).isEmpty()) {
        struct Note {
            qint64 id, record;
            QString title, ticket, kind;
        };
        std::vector<Note> notes;
        PendingNotes pending(db);
        Statement st(db, QStringLiteral("SELECT rowid, Zapis, Ime, Bilet, Vid FROM %1").arg(kPendingTable));
        while (st.step() == Statement::Step::Row)
            notes.push_back({st.int64(0), st.int64(1), st.text(2), st.text(3), st.text(4)});
        st = Statement();
        Statement owner(
            db, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?1 AND rowid <> ?2 LIMIT 1").arg(kTable, kName));
        for (const Note& n : notes) {
            const std::optional<QString> target = workFilePath(libraryDir, n.title);
            const bool inPlace = target && pathTaken(*target);
            if (n.kind == kDelete) {
                // The file still in place: the delete never happened. Gone: finish it.
                if (inPlace) {
                    report.undone << n.title;
                } else {
                    if (!dropRecord(db, n.record, n.title))
                        return failed();
                    report.completed << n.title;
                }
                if (!pending.drop(n.id))
                    return failed();
                continue;
            }
            // An add whose writer still holds its file is in progress.
            const QString ticket = n.ticket.section(u'/', 0, 0);
            if (!ticket.isEmpty() && fileops::isLockedByWriter(dir.filePath(ticket)))
                continue;
            const bool staged = !n.ticket.isEmpty() && pathTaken(dir.filePath(n.ticket));
            owner.reset();
            owner.bind(1, n.title);
            owner.bindInt64(2, n.record);
            const bool otherOwner = owner.step() == Statement::Step::Row;
            owner.reset();
            if (!staged && inPlace && !otherOwner) {
                report.completed << n.title;
            } else {
                if (!dropRecord(db, n.record, n.title))
                    return failed();
                report.undone << n.title;
            }
            if (!pending.drop(n.id))
                return failed();
        }
    }

    // Work files without a record: taken back from their own title and author, or set aside.
    QSet<QString> titles;
    {
        Statement st(db, QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL").arg(kName, kTable));
        while (st.step() == Statement::Step::Row)
            titles.insert(st.text(0));
    }
    const QString suffix = QString::fromLatin1(kWorkFileSuffix);
    const QStringList files = dir.entryList({QStringLiteral("*") + suffix},
                                            QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QString& name : files) {
        if (name.compare(QString::fromLatin1(kCatalogFileName), Qt::CaseInsensitive) == 0 ||
            !name.endsWith(suffix))
            continue;
        const QString title = name.chopped(suffix.size());
        if (titles.contains(title))
            continue;
        const auto work = WorkFile::open(dir.filePath(name));
        const QString author = work ? work->fact(kFactAuthor) : QString();
        if (work && work->fact(kFactTitle) == title && !author.isEmpty() && isValidWorkTitle(title)) {
            if (insertRecord(cat, adoptedRecord(title, author)) < 0)
                return failed();
            titles.insert(title);
            report.adopted << title;
        } else if (setAside(libraryDir, name)) {
            report.setAside << name;
        }
    }
    if (!t.commit())
        return failed();
    report.leftovers = fileops::removeLeftovers(libraryDir);
    cat.rs().MoveFirst();
    return report;
}

} // namespace vel
