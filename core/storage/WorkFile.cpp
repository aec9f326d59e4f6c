#include "core/storage/WorkFile.h"

#include "core/storage/CatalogueSchema.h"
#include "core/storage/RawNames.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <sqlite3.h>

namespace vel {

namespace {
qint64 scalar(Database& db, const QString& sql, bool* ok) {
    Statement st(db, sql);
    if (st.step() != Statement::Step::Row) {
        *ok = false;
        return 0;
    }
    return st.int64(0);
}
} // namespace

std::unique_ptr<WorkFile> WorkFile::open(const QString& path, QString* error) {
    auto setError = [&](const QString& message) {
        if (error)
            *error = message;
        return nullptr;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return setError(QStringLiteral("Файлът %1 не съществува.").arg(shownPath(path)));
    if (!info.isFile())
        return setError(QStringLiteral("%1 не е файл.").arg(shownPath(path)));

    std::unique_ptr<WorkFile> wf(new WorkFile);
    if (!wf->db_.open(path, Database::Mode::ReadOnly))
        return setError(QStringLiteral("Файлът %1 не може да бъде отворен.").arg(shownPath(path)));

    const QStringList cols = wf->db_.columns(QStringLiteral("Knigi1"));
    if (!cols.isEmpty() && !wf->db_.plainSchema({QStringLiteral("Knigi1"), QStringLiteral("Svedenia")}))
        return setError(
            QStringLiteral("Файлът %1 не е произведение от библиотеката: съдържа изгледи, тригери "
                           "или изчислявани полета.")
                .arg(shownPath(path)));
    if (cols.isEmpty()) {
        if (wf->db_.errorCode() == SQLITE_NOTADB || (wf->db_.errorCode() & 0xff) == SQLITE_CORRUPT)
            return setError(QStringLiteral("Файлът %1 не е произведение от библиотеката или е повреден.")
                                .arg(shownPath(path)));
        if (wf->db_.errorCode() != 0 && wf->db_.errorCode() != SQLITE_DONE)
            return setError(QStringLiteral("Файлът %1 не може да бъде прочетен.").arg(shownPath(path)));
        return setError(QStringLiteral("Във файла %1 няма таблица Knigi1.").arg(shownPath(path)));
    }
    QString labelCol, textCol;
    for (const QString& c : cols) {
        if (c.compare(u"stranica", Qt::CaseInsensitive) == 0)
            labelCol = c;
        else if (c.compare(u"TekstStranica", Qt::CaseInsensitive) == 0)
            textCol = c;
    }
    if (labelCol.isEmpty() || textCol.isEmpty())
        return setError(QStringLiteral("В таблицата Knigi1 на файла %1 липсва поле %2.")
                            .arg(shownPath(path), labelCol.isEmpty() ? QStringLiteral("stranica")
                                                                     : QStringLiteral("TekstStranica")));

    wf->textColumn_ = textCol;
    wf->byRowid_ = Statement(wf->db_, QStringLiteral("SELECT %1, %2 FROM Knigi1 WHERE rowid = ?1")
                                          .arg(Database::quoted(labelCol), Database::quoted(textCol)));
    bool ok = wf->byRowid_.isValid();
    // Files written here carry their page count and rowids 1..count; then a page is found by its rowid.
    const qint64 declared = scalar(wf->db_, QStringLiteral("PRAGMA user_version"), &ok);
    const qint64 first = scalar(wf->db_, QStringLiteral("SELECT min(rowid) FROM Knigi1"), &ok);
    const qint64 last = scalar(wf->db_, QStringLiteral("SELECT max(rowid) FROM Knigi1"), &ok);
    if (!ok)
        return setError(QStringLiteral("Файлът %1 не може да бъде прочетен.").arg(shownPath(path)));
    if (declared > 0 && first == 1 && last == declared && declared <= INT_MAX) {
        wf->count_ = int(declared);
    } else {
        // Any other file: read the stored order once.
        Statement st(wf->db_, QStringLiteral("SELECT rowid FROM Knigi1 ORDER BY rowid"));
        Statement::Step s;
        while ((s = st.step()) == Statement::Step::Row)
            wf->rowids_.push_back(st.int64(0));
        if (s == Statement::Step::Error)
            return setError(QStringLiteral("Файлът %1 не може да бъде прочетен.").arg(shownPath(path)));
        wf->count_ = int(std::min<size_t>(wf->rowids_.size(), INT_MAX));
    }
    if (!wf->db_.columns(QStringLiteral("Svedenia")).isEmpty()) {
        Statement st(wf->db_, QStringLiteral("SELECT Ime, Stoinost FROM Svedenia"));
        while (st.step() == Statement::Step::Row)
            wf->facts_[st.text(0)] = st.text(1);
    }
    return wf;
}

QString WorkFile::fact(const QString& name) const {
    const auto it = facts_.find(name);
    return it == facts_.end() ? QString() : it->second;
}

QByteArray WorkFile::cover() {
    if (db_.columns(schema::kCoverTable).isEmpty())
        return {};
    Statement st(db_, QStringLiteral("SELECT Image FROM %1 LIMIT 1").arg(schema::kCoverTable));
    return st.step() == Statement::Step::Row ? st.blob(0) : QByteArray();
}

std::vector<ContentsEntry> WorkFile::contents() {
    std::vector<ContentsEntry> out;
    Statement st(db_,
                 QStringLiteral("SELECT Level, Heading, Position FROM Contents ORDER BY Position, rowid"));
    while (st.isValid() && st.step() == Statement::Step::Row)
        out.push_back({int(std::clamp<qint64>(st.int64(0), 1, 9)), st.text(1), int(st.int64(2))});
    return out;
}

std::vector<NoteAnchor> WorkFile::notes() {
    std::vector<NoteAnchor> out;
    Statement st(db_, QStringLiteral("SELECT Position, Length, Body FROM Notes ORDER BY Position"));
    while (st.isValid() && st.step() == Statement::Step::Row)
        out.push_back({int(st.int64(0)), int(st.int64(1)), st.text(2)});
    return out;
}

std::vector<BookMark> WorkFile::marks() {
    std::vector<BookMark> out;
    Statement st(db_,
                 QStringLiteral("SELECT rowid, Position, Made, Words FROM Marks ORDER BY Position, rowid"));
    while (st.isValid() && st.step() == Statement::Step::Row)
        out.push_back(
            {st.int64(0), int(st.int64(1)), QDateTime::fromString(st.text(2), Qt::ISODate), st.text(3)});
    return out;
}

const std::vector<qint64>& WorkFile::pageStarts() {
    if (!pageStarts_.empty())
        return pageStarts_;
    pageStarts_.reserve(size_t(count_) + 1);
    qint64 at = 0;
    if (rowids_.empty()) {
        Statement st(db_, QStringLiteral("SELECT %1 FROM Knigi1 WHERE rowid BETWEEN 1 AND ?1 ORDER BY rowid")
                              .arg(Database::quoted(textColumn_)));
        st.bindInt64(1, count_);
        while (st.isValid() && st.step() == Statement::Step::Row) {
            pageStarts_.push_back(at);
            at += st.textLength(0);
        }
    } else {
        Statement st(
            db_, QStringLiteral("SELECT %1 FROM Knigi1 ORDER BY rowid").arg(Database::quoted(textColumn_)));
        while (st.isValid() && st.step() == Statement::Step::Row && pageStarts_.size() < size_t(count_)) {
            pageStarts_.push_back(at);
            at += st.textLength(0);
        }
    }
    // A page that could not be read still has its place.
    while (pageStarts_.size() < size_t(count_))
        pageStarts_.push_back(at);
    pageStarts_.push_back(at);
    return pageStarts_;
}

int WorkFile::pageAt(qint64 position) {
    const std::vector<qint64>& starts = pageStarts();
    if (count_ == 0)
        return 0;
    // The last page whose start is at or before the position.
    const auto it = std::upper_bound(starts.begin(), starts.end() - 1, position);
    return std::clamp(int(it - starts.begin()), 1, count_);
}

namespace {
Failure marksRefused(Database& db, const QString& path) {
    return fail(
        db.isDiskFull() ? FailureKind::DiskFull : FailureKind::Io,
        QStringLiteral("Във файла %1 не може да бъде записано: %2.").arg(shownPath(path), db.reason()));
}
} // namespace

Result<> WorkFile::addMark(const QString& path, BookMark& mark) {
    Database db;
    if (!db.open(path, Database::Mode::ReadWrite) || !db.exec(vel::schema::kNavigationTablesSql))
        return marksRefused(db, path);
    Statement st(db, QStringLiteral("INSERT INTO Marks (Position, Made, Words) VALUES (?1, ?2, ?3)"));
    st.bindInt64(1, mark.position);
    st.bind(2, mark.made.toString(Qt::ISODate));
    st.bind(3, mark.words);
    if (st.step() != Statement::Step::Done)
        return marksRefused(db, path);
    mark.id = db.lastInsertRowid();
    return {};
}

Result<> WorkFile::removeMark(const QString& path, qint64 id) {
    Database db;
    if (!db.open(path, Database::Mode::ReadWrite) || !db.exec(vel::schema::kNavigationTablesSql))
        return marksRefused(db, path);
    Statement st(db, QStringLiteral("DELETE FROM Marks WHERE rowid = ?1"));
    st.bindInt64(1, id);
    if (st.step() != Statement::Step::Done)
        return marksRefused(db, path);
    return {};
}

WorkFile::Page WorkFile::page(int n) {
    Page p;
    if (n < 1 || n > count_) {
        p.ok = false;
        return p;
    }
    const qint64 rowid = rowids_.empty() ? qint64(n) : rowids_[size_t(n - 1)];
    byRowid_.bindInt64(1, rowid);
    if (byRowid_.step() == Statement::Step::Row) {
        p.label = byRowid_.text(0);
        p.text = byRowid_.text(1);
    } else {
        p.ok = false;
    }
    byRowid_.reset();
    return p;
}

} // namespace vel
