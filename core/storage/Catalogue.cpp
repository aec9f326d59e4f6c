#include "core/storage/Catalogue.h"

#include "core/storage/CatalogueSchema.h"
#include "core/storage/FaultPoint.h"
#include "core/storage/FileOps.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <sqlite3.h>
#include <sys/stat.h>

namespace vel {

namespace {

using namespace schema;

// Writes a new catalogue holding one entry slot beside the final name and moves it into place, never over
// a file that appeared meanwhile: Exists then, and that file is opened instead.
Result<> createCatalogue(const QString& libraryDir, const QString& path) {
    Result<fileops::LockedTemp> made = fileops::createTempFile(libraryDir);
    if (!made)
        return made.failure();
    fileops::LockedTemp& temp = *made;
    const QString tmp = temp.path();
    Database db;
    QStringList cols;
    for (const QString& f : kFields)
        cols << f + QStringLiteral(" TEXT");
    const bool ok = db.open(tmp, Database::Mode::Create) &&
                    db.exec(QStringLiteral("PRAGMA journal_mode = OFF; BEGIN; CREATE TABLE %1 (%2);"
                                           "INSERT INTO %1 (%3, %4) VALUES ('', ''); COMMIT;")
                                .arg(kTable, cols.join(QStringLiteral(", ")), kName, kNumber));
    const QString why = db.reason();
    db.close();
    if (!ok) {
        temp.remove();
        return fail(FailureKind::Io, why);
    }
    Result<> placed = fileops::syncFile(tmp);
    if (placed)
        placed = fileops::publishNew(tmp, path);
    if (!placed) {
        temp.remove();
        return placed;
    }
    temp.unlock();
    // The catalogue is in place; a folder that cannot be flushed only makes it less sure to survive a crash.
    (void)fileops::syncDir(libraryDir);
    return {};
}

} // namespace

Result<Catalogue::Opened> Catalogue::open(const QString& libraryDir, bool readOnly) {
    const QString path = catalogPath(libraryDir);
    const QString shown = shownPath(path);
    auto failed = [](FailureKind kind, const QString& message) { return fail(kind, message); };

    bool created = false;
    if (!pathTaken(path) && readOnly)
        return failed(FailureKind::NotFound, QStringLiteral("Каталогът %1 липсва.").arg(shown));
    if (!pathTaken(path)) {
        const Result<> made = createCatalogue(libraryDir, path);
        if (!made && made.kind() != FailureKind::Exists)
            return failed(made.kind(), QStringLiteral("Каталогът %1 липсва и не може да бъде създаден: %2.")
                                           .arg(shown, made.message()));
        created = made.ok();
    }

    std::unique_ptr<Catalogue> cat(new Catalogue);
    cat->readOnly_ = readOnly;
    if (!cat->db_.open(path, readOnly ? Database::Mode::ReadOnly : Database::Mode::ReadWrite)) {
        if (cat->db_.errorCode() == SQLITE_READONLY)
            return failed(
                FailureKind::Io,
                QStringLiteral("Каталогът %1 е защитен срещу запис и библиотеката не може да го променя.")
                    .arg(shown));
        return failed(FailureKind::Io, QStringLiteral("Каталогът %1 не може да бъде отворен.").arg(shown));
    }

    // Reading the schema is the first real read: a foreign or damaged file shows itself here, unchanged.
    Statement probe(cat->db_, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (probe.step() != Statement::Step::Row) {
        const int code = cat->db_.errorCode() & 0xff;
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
            return failed(FailureKind::Damaged,
                          QStringLiteral("Файлът %1 не е каталог на библиотеката или е повреден.").arg(shown));
        return failed(FailureKind::Io, QStringLiteral("Каталогът %1 не може да бъде прочетен.").arg(shown));
    }
    probe = Statement();

    if (!cat->db_.plainSchema({kTable}))
        return failed(FailureKind::Damaged,
                      QStringLiteral("Файлът %1 не е каталог на библиотеката: съдържа изгледи, тригери или "
                                     "изчислявани полета.")
                          .arg(shown));
    const QStringList cols = cat->db_.columns(kTable);
    if (cols.isEmpty())
        return failed(FailureKind::Damaged, QStringLiteral("Във файла %1 няма таблица %2.").arg(shown, kTable));
    for (const QString& f : kFields) {
        if (!cols.contains(f, Qt::CaseInsensitive))
            return failed(FailureKind::Damaged,
                          QStringLiteral("В таблицата %1 на файла %2 липсва полето %3.").arg(kTable, shown, f));
    }

    cat->rs_ = std::make_unique<Recordset>(cat->db_, kTable);
    if (!cat->rs_->isValid())
        return failed(FailureKind::Io, QStringLiteral("Каталогът %1 не може да бъде прочетен.").arg(shown));

    return Opened{std::move(cat), created};
}

bool Catalogue::cleanUp() {
    Recordset& r = *rs_;
    Transaction t(db_);
    QString nameCol = kName;
    for (const QString& c : r.fieldNames()) {
        if (c.compare(kName, Qt::CaseInsensitive) == 0)
            nameCol = c;
    }
    // Only the empty text counts: a record without any title value stays.
    const bool deleted =
        db_.exec(QStringLiteral("DELETE FROM %1 WHERE %2 IS NOT NULL AND CAST(%2 AS TEXT) = ''")
                     .arg(kTable, Database::quoted(nameCol)));
    bool ok = deleted; // the cursor notices the deletions by itself
    if (ok && r.recordCount() == 0)
        ok = prazenZapis();
    ok = ok && t.commit();
    r.MoveFirst();
    return ok;
}

void Catalogue::pokazhi(RecordBoxes& boxes) const {
    boxes.name = rs_->field(kName);
    boxes.number = rs_->field(kNumber);
}

bool Catalogue::zapishi(const RecordBoxes& boxes) {
    Recordset& r = *rs_;
    if (!r.hasCurrent())
        return false;
    r.Edit();
    r.setField(kName, boxes.name);
    r.setField(kNumber, boxes.number);
    return r.Update();
}

bool Catalogue::prazenZapis() {
    Recordset& r = *rs_;
    r.AddNew();
    r.setField(kName, QString());
    r.setField(kNumber, QString());
    const bool ok = r.Update();
    r.MoveLast();
    return ok;
}

bool Catalogue::napred(RecordBoxes& boxes) {
    if (boxes.name.isEmpty() || boxes.number.isEmpty())
        return false;
    // Two single-statement changes, each atomic on its own; a walk's step usually writes nothing at all.
    // One write transaction: what the step saves and appends is measured against the catalogue as it is.
    Transaction t(db_);
    if (!zapishi(boxes))
        return false;
    Recordset& r = *rs_;
    r.MoveNext();
    bool ok = true;
    if (r.eof())
        ok = prazenZapis();
    ok = ok && t.commit();
    pokazhi(boxes);
    return ok;
}

Catalogue::SaveResult Catalogue::saveSettings(const QString& title, const QString& font, const QString& size,
                                              const QString& str, const QString& cvetList,
                                              const QString& cvetForma, RecordBoxes* boxes) {
    Recordset& r = *rs_;
    RecordBoxes own;
    RecordBoxes& b = boxes ? *boxes : own;
    Transaction t(db_);
    if (!t.isActive())
        return SaveResult::Failed;
    // Every step of the walk rewrites a record with its own values, which changes nothing, so the walk
    // starts where it would get to anyway: the first record with the title, or the one that stops it.
    r.MoveFirst();
    if (const int at = walkShortcut(title); at > 0)
        r.Move(at);
    pokazhi(b);
    // The shortcut leaves the walk on the record with the title or on the entry slot. Napred refuses to move
    // from the entry slot (its title and author are empty), so a title that no record carries ends the walk
    // there instead of looping for ever.
    while (!r.hasCurrent() || r.isNull(kName) || r.field(kName) != title) {
        if (!napred(b)) {
            // Keep what the walk itself did (an entry slot appended past the end).
            return t.commit() ? SaveResult::NoRecord : SaveResult::Failed;
        }
    }
    r.Edit();
    r.setField(kFont, font);
    r.setField(kSize, size);
    r.setField(kStr, str);
    r.setField(kCvetList, cvetList);
    r.setField(kCvetForma, cvetForma);
    if (!r.Update() || !noteRead(title))
        return SaveResult::Failed;
    faultPoint("settings-written");
    return t.commit() ? SaveResult::Saved : SaveResult::Failed;
}

bool Catalogue::noteRead(const QString& title) {
    if (!db_.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Name TEXT PRIMARY KEY, At INTEGER)")
                      .arg(schema::kLastReadTable)))
        return false;
    Statement st(
        db_,
        QStringLiteral("INSERT OR REPLACE INTO %1 (Name, At) VALUES (?1, ?2)").arg(schema::kLastReadTable));
    st.bind(1, title);
    st.bindInt64(2, QDateTime::currentMSecsSinceEpoch());
    return st.step() == Statement::Step::Done;
}

QHash<QString, qint64> Catalogue::lastRead() {
    QHash<QString, qint64> read;
    if (db_.columns(schema::kLastReadTable).isEmpty())
        return read;
    Statement st(db_, QStringLiteral("SELECT Name, At FROM %1").arg(schema::kLastReadTable));
    while (st.step() == Statement::Step::Row)
        read.insert(st.text(0), st.int64(1));
    return read;
}

int Catalogue::walkShortcut(const QString& title) {
    auto firstRow = [this](const QString& sql, const QString* bound) -> qint64 {
        Statement q(db_, sql);
        if (bound)
            q.bind(1, *bound);
        return q.step() == Statement::Step::Row && !q.isNull(0) ? q.int64(0) : -1;
    };
    const qint64 match =
        firstRow(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ?1 ORDER BY rowid LIMIT 1").arg(kTable, kName),
                 &title);
    // The walk ends at the entry slot; records without a title value or an author are passed, as the
    // listing walks pass them.
    const qint64 stop =
        firstRow(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = '' ORDER BY rowid LIMIT 1").arg(kTable, kName),
                 nullptr);
    qint64 target = -1;
    if (match >= 0 && (stop < 0 || match <= stop))
        target = match;
    else if (stop >= 0)
        target = stop;
    else
        target = firstRow(QStringLiteral("SELECT MAX(rowid) FROM %1").arg(kTable), nullptr);
    if (target < 0)
        return -1;
    Statement before(db_, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE rowid < ?1").arg(kTable));
    before.bindInt64(1, target);
    return before.step() == Statement::Step::Row ? int(before.int64(0)) : -1;
}

bool Catalogue::ensureEntrySlotAtEnd() {
    Statement last(db_,
                   QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY rowid DESC LIMIT 1").arg(kName, kNumber, kTable));
    const auto step = last.step();
    if (step == Statement::Step::Error)
        return false;
    if (step == Statement::Step::Row && !last.isNull(0) && !last.isNull(1) && last.text(0).isEmpty() &&
        last.text(1).isEmpty())
        return true;
    last = Statement();
    Recordset& r = *rs_;
    r.AddNew();
    r.setField(kName, QString());
    r.setField(kNumber, QString());
    return r.Update();
}

bool Catalogue::isEntrySlot() const {
    const Recordset& r = *rs_;
    return r.hasCurrent() && !r.isNull(kName) && !r.isNull(kNumber) && r.field(kName).isEmpty() &&
           r.field(kNumber).isEmpty();
}

} // namespace vel
