#include "core/storage/WorkFileBuilder.h"

#include "core/storage/CatalogueSchema.h"
#include "core/storage/FileOps.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"
#include "core/storage/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {

namespace {
// An empty work file with all its tables, made once: writing it out costs far less than creating the
// tables anew in each work, which counts when a folder of small books comes in.
const QByteArray& emptyWorkFile() {
    static const QByteArray bytes = [] {
        Database db;
        if (!db.open(QStringLiteral(":memory:"), Database::Mode::Create) ||
            !db.exec(QStringLiteral("CREATE TABLE Knigi1 (Stranica TEXT, TekstStranica TEXT);"
                                    "CREATE TABLE Svedenia (Ime TEXT PRIMARY KEY, Stoinost TEXT);") +
                     schema::kNavigationTablesSql))
            return QByteArray();
        sqlite3_int64 size = 0;
        unsigned char* data = sqlite3_serialize(db.handle(), "main", &size, 0);
        QByteArray image(reinterpret_cast<const char*>(data), qsizetype(data ? size : 0));
        sqlite3_free(data);
        return image;
    }();
    return bytes;
}
} // namespace

WorkFileBuilder::~WorkFileBuilder() {
    abandon();
}

Failure WorkFileBuilder::fail(FailureKind kind, const QString& message) {
    failure_ = vel::fail(kind, message);
    return failure_;
}

Result<> WorkFileBuilder::begin(const QString& libraryDir, const QString& name, Placement placement) {
    abandon();
    failure_ = Failure();
    pages_ = 0;
    navigationSet_ = false;
    coverSet_ = false;
    libraryDir_ = libraryDir;
    placement_ = placement;

    const auto path = workFilePath(libraryDir, name);
    if (!path) {
        finalPath_.clear();
        return fail(FailureKind::Invalid, QStringLiteral("„%1“ не е допустимо име на файл.").arg(name));
    }
    finalPath_ = *path;
    if (placement_ != Placement::Replace && pathTaken(finalPath_))
        return fail(FailureKind::Exists, QStringLiteral("Файлът %1 вече съществува.").arg(shownPath(finalPath_)));

    Result<fileops::LockedTemp> temp = fileops::createTempFile(libraryDir);
    if (!temp)
        return fail(temp.kind(), QStringLiteral("Файлът %1 не може да бъде създаден: %2.")
                                     .arg(shownPath(finalPath_), temp.message()));
    temp_ = std::move(*temp);

    // The temporary file is thrown away on any failure, so it needs no journal; it is flushed to the disk
    // once, before it takes the final name.
    const QByteArray& empty = emptyWorkFile();
    if (empty.isEmpty() || ::pwrite(temp_.handle(), empty.constData(), size_t(empty.size()), 0) != empty.size()) {
        const QString why = empty.isEmpty() ? QStringLiteral("SQLite") : fileops::errnoReason(errno);
        abandon();
        return fail(FailureKind::Io,
                    QStringLiteral("Файлът %1 не може да бъде създаден: %2.").arg(shownPath(finalPath_), why));
    }
    const bool ok = db_.open(temp_.path(), Database::Mode::ReadWrite) &&
                    db_.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
                                            "PRAGMA locking_mode = EXCLUSIVE; BEGIN;"));
    if (ok)
        insert_ = Statement(db_, QStringLiteral("INSERT INTO Knigi1 (rowid, Stranica, TekstStranica) "
                                                "VALUES (?1, ?2, ?3)"));
    if (!ok || !insert_.isValid()) {
        const QString why = db_.reason();
        abandon();
        return fail(
            FailureKind::Io,
            QStringLiteral("Файлът %1 не може да бъде създаден: %2.").arg(shownPath(finalPath_), why));
    }
    // The work's own name goes with it, so a file that lost its record can still be named.
    return setFact(QStringLiteral("title"), name);
}

Result<> WorkFileBuilder::appendPage(const QString& text) {
    if (!isActive())
        return fail(FailureKind::Invalid, QStringLiteral("Няма започнат запис на произведение."));
    if (pages_ >= kMaxPages)
        return fail(FailureKind::TooLarge,
                    QStringLiteral("Произведението е твърде дълго: повече от %1 страници.").arg(kMaxPages));
    const int number = pages_ + 1;
    insert_.bindInt64(1, number);
    insert_.bind(2, QString::number(number));
    insert_.bind(3, text);
    const bool ok = insert_.step() == Statement::Step::Done;
    insert_.reset();
    if (!ok)
        return fail(FailureKind::Io, QStringLiteral("Страница %1 не може да бъде записана във файла %2: %3.")
                                     .arg(number)
                                     .arg(shownPath(finalPath_), db_.reason()));
    pages_ = number;
    return {};
}

Result<> WorkFileBuilder::setFact(const QString& name, const QString& value) {
    if (!isActive())
        return fail(FailureKind::Invalid, QStringLiteral("Няма започнат запис на произведение."));
    Statement st(db_, QStringLiteral("INSERT OR REPLACE INTO Svedenia (Ime, Stoinost) VALUES (?1, ?2)"));
    st.bind(1, name);
    st.bind(2, value);
    if (st.step() != Statement::Step::Done)
        return fail(FailureKind::Io,
                    QStringLiteral("Файлът %1 не може да бъде записан.").arg(shownPath(finalPath_)));
    return {};
}

Result<> WorkFileBuilder::setCover(const QByteArray& image) {
    if (!isActive())
        return fail(FailureKind::Invalid, QStringLiteral("Няма започнат запис на произведение."));
    if (!db_.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Image BLOB); DELETE FROM %1;")
                      .arg(schema::kCoverTable)))
        return fail(FailureKind::Io,
                    QStringLiteral("Файлът %1 не може да бъде записан.").arg(shownPath(finalPath_)));
    Statement st(db_, QStringLiteral("INSERT INTO %1 (Image) VALUES (?1)").arg(schema::kCoverTable));
    st.bindBlob(1, image);
    if (st.step() != Statement::Step::Done)
        return fail(FailureKind::Io,
                    QStringLiteral("Файлът %1 не може да бъде записан.").arg(shownPath(finalPath_)));
    coverSet_ = true;
    return {};
}

Result<> WorkFileBuilder::writeNavigation(const std::vector<ContentsEntry>& contents,
                                      const std::vector<NoteAnchor>& notes) {
    bool ok = db_.exec(QStringLiteral("DELETE FROM Contents; DELETE FROM Notes;"));
    Statement entry(db_,
                    QStringLiteral("INSERT INTO Contents (Level, Heading, Position) VALUES (?1, ?2, ?3)"));
    for (const ContentsEntry& e : contents) {
        entry.bindInt64(1, e.level);
        entry.bind(2, e.heading);
        entry.bindInt64(3, e.position);
        ok = ok && entry.step() == Statement::Step::Done;
        entry.reset();
    }
    Statement note(db_, QStringLiteral("INSERT INTO Notes (Position, Length, Body) VALUES (?1, ?2, ?3)"));
    for (const NoteAnchor& n : notes) {
        note.bindInt64(1, n.position);
        note.bindInt64(2, n.length);
        note.bind(3, n.text);
        ok = ok && note.step() == Statement::Step::Done;
        note.reset();
    }
    if (!ok)
        return fail(FailureKind::Io,
                    QStringLiteral("Файлът %1 не може да бъде записан: %2.").arg(shownPath(finalPath_), db_.reason()));
    return {};
}

Result<> WorkFileBuilder::setNavigation(const BookNavigation& navigation) {
    if (!isActive())
        return fail(FailureKind::Invalid, QStringLiteral("Няма започнат запис на произведение."));
    navigationSet_ = true;
    return writeNavigation(navigation.contents, navigation.notes);
}

Result<> WorkFileBuilder::carryOver() {
    const auto old = WorkFile::open(finalPath_);
    if (!old)
        return {}; // nothing to keep
    if (!navigationSet_) {
        if (Result<> written = writeNavigation(old->contents(), old->notes()); !written)
            return written;
    }
    // What the book said of itself belongs to the work, not to its pages.
    Statement fact(db_, QStringLiteral("INSERT OR IGNORE INTO Svedenia (Ime, Stoinost) VALUES (?1, ?2)"));
    for (const QString& name : {schema::kFactAuthor, schema::kFactSeries, schema::kFactSeriesNumber}) {
        if (old->fact(name).isEmpty())
            continue;
        fact.bind(1, name);
        fact.bind(2, old->fact(name));
        const bool kept = fact.step() == Statement::Step::Done;
        fact.reset();
        if (!kept)
            return fail(FailureKind::Io, QStringLiteral("Файлът %1 не може да бъде записан: %2.")
                                         .arg(shownPath(finalPath_), db_.reason()));
    }
    if (const QByteArray cover = coverSet_ ? QByteArray() : old->cover(); !cover.isEmpty()) {
        if (Result<> kept = setCover(cover); !kept)
            return kept;
    }
    Statement mark(db_, QStringLiteral("INSERT INTO Marks (Position, Made, Words) VALUES (?1, ?2, ?3)"));
    bool ok = true;
    for (const BookMark& m : old->marks()) {
        mark.bindInt64(1, m.position);
        mark.bind(2, m.made.toString(Qt::ISODate));
        mark.bind(3, m.words);
        ok = ok && mark.step() == Statement::Step::Done;
        mark.reset();
    }
    if (!ok)
        return fail(FailureKind::Io,
                    QStringLiteral("Файлът %1 не може да бъде записан: %2.").arg(shownPath(finalPath_), db_.reason()));
    return {};
}

Result<> WorkFileBuilder::commit() {
    if (!isActive())
        return fail(FailureKind::Invalid, QStringLiteral("Няма започнат запис на произведение."));
    if (placement_ == Placement::Replace) {
        if (Result<> kept = carryOver(); !kept) {
            abandon();
            return kept;
        }
    }
    // The page count lets readers find a page by its rowid without counting.
    const bool written = db_.exec(QStringLiteral("PRAGMA user_version = %1; COMMIT;").arg(pages_));
    const Failure dbFailure =
        vel::fail(db_.isDiskFull() ? FailureKind::DiskFull : FailureKind::Io, db_.reason());
    insert_ = Statement();
    db_.close();
    // A staged file is flushed by addWorks, together with the others that go in with it.
    Result<> flushed = written ? Result<>() : Result<>(dbFailure);
    if (flushed && placement_ != Placement::Staged)
        flushed = fileops::syncFile(temp_.path());
    if (!flushed) {
        abandon();
        return fail(flushed.kind(), QStringLiteral("Файлът %1 не може да бъде записан: %2.")
                                        .arg(shownPath(finalPath_), flushed.message()));
    }
    if (placement_ == Placement::Staged)
        return {};
    const Result<> placed = placement_ == Placement::Replace ? fileops::publishReplace(temp_.path(), finalPath_)
                                                             : fileops::publishNew(temp_.path(), finalPath_);
    if (!placed) {
        abandon();
        if (placed.kind() == FailureKind::Exists)
            return fail(FailureKind::Exists,
                        QStringLiteral("Файлът %1 вече съществува.").arg(shownPath(finalPath_)));
        return fail(placed.kind(), QStringLiteral("Файлът %1 не може да бъде записан: %2.")
                                       .arg(shownPath(finalPath_), placed.message()));
    }
    temp_.unlock();
    // The work is in place; a folder that cannot be flushed only makes it less sure to survive a crash.
    (void)fileops::syncDir(libraryDir_);
    return {};
}

void WorkFileBuilder::abandon() {
    insert_ = Statement();
    db_.close();
    // A staged file already renamed into place by addWork is no longer there to remove.
    if (temp_.isValid() && QFileInfo::exists(temp_.path()))
        temp_.remove();
    temp_.unlock();
}

} // namespace vel
