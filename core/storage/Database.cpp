#include "core/storage/Database.h"

#include <QFile>
#include <sqlite3.h>
#include <utility>

namespace vel {

namespace {
// The progress handler is called after this many virtual-machine steps of a statement ...
constexpr int kProgressStep = 1000;
// ... and stops the statement after this many calls: seconds of work, where every statement of this program
// takes milliseconds. A file from elsewhere cannot keep a reader busy for ever.
constexpr int kMaxProgressTicks = 50'000;
// No page, title or setting comes near this; a computed value from a foreign file may not grow past it.
constexpr int kMaxValueBytes = 64 * 1024 * 1024;
} // namespace

// ---- Statement ----

Statement::Statement(Database& db, const QString& sql) : db_(&db) {
    if (!db.isOpen())
        return;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v3(db.handle(), utf8.constData(), int(utf8.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        db.setError(rc);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), db_(std::exchange(other.db_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

bool Statement::bind(int index, const QString& text) {
    if (text.isNull()) // a null QString still means the empty text here, never SQL NULL
        return bindUtf8(index, QByteArray(""));
    return bindUtf8(index, text.toUtf8());
}

bool Statement::bindUtf8(int index, const QByteArray& utf8) {
    return stmt_ &&
           sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

bool Statement::bindBlob(int index, const QByteArray& bytes) {
    return stmt_ && sqlite3_bind_blob(stmt_, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT) ==
                        SQLITE_OK;
}

QByteArray Statement::blob(int column) const {
    if (!stmt_)
        return {};
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return data ? QByteArray(data, sqlite3_column_bytes(stmt_, column)) : QByteArray();
}

bool Statement::bindInt64(int index, qint64 value) {
    return stmt_ && sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}

bool Statement::bindNull(int index) {
    return stmt_ && sqlite3_bind_null(stmt_, index) == SQLITE_OK;
}

Statement::Step Statement::step() {
    if (!stmt_)
        return Step::Error;
    if (db_)
        db_->startStatement();
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    if (db_)
        db_->setError(rc);
    return Step::Error;
}

void Statement::reset() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

bool Statement::isNull(int column) const {
    return !stmt_ || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

QString Statement::text(int column) const {
    if (!stmt_)
        return {};
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int bytes = sqlite3_column_bytes(stmt_, column);
    return data ? QString::fromUtf8(data, bytes) : QString();
}

qint64 Statement::textLength(int column) const {
    if (!stmt_)
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(sqlite3_column_text(stmt_, column));
    const auto* const end = p + sqlite3_column_bytes(stmt_, column);
    if (!p)
        return 0;
    // One unit per character, two for those beyond the 16-bit plane (four bytes in UTF-8).
    qint64 units = 0;
    for (; p < end; ++p)
        units += ((*p & 0xC0) != 0x80) + (*p >= 0xF0);
    return units;
}

qint64 Statement::int64(int column) const {
    return stmt_ ? sqlite3_column_int64(stmt_, column) : 0;
}

// ---- Database ----

Database::~Database() {
    close();
}

Database::Database(Database&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), cached_(std::exchange(other.cached_, {})),
      path_(std::move(other.path_)), errorCode_(other.errorCode_), errorText_(std::move(other.errorText_)),
      generation_(other.generation_), depth_(std::exchange(other.depth_, 0)) {
    watchProgress();
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        cached_ = std::exchange(other.cached_, {});
        path_ = std::move(other.path_);
        errorCode_ = other.errorCode_;
        errorText_ = std::move(other.errorText_);
        generation_ = other.generation_;
        depth_ = std::exchange(other.depth_, 0);
        watchProgress();
    }
    return *this;
}

int Database::onProgress(void* self) {
    return ++static_cast<Database*>(self)->ticks_ > kMaxProgressTicks ? 1 : 0;
}

void Database::watchProgress() {
    if (db_)
        sqlite3_progress_handler(db_, kProgressStep, &Database::onProgress, this);
}

bool Database::open(const QString& path, Mode mode) {
    close();
    // Each connection is used by one thread at a time, so SQLite's own per-call locking is not needed.
    int flags = SQLITE_OPEN_READONLY;
    if (mode == Mode::ReadWrite)
        flags = SQLITE_OPEN_READWRITE;
    else if (mode == Mode::Create)
        flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const QByteArray name = QFile::encodeName(path);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        errorCode_ = rc;
        errorText_ = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db);
        return false;
    }
    db_ = db;
    path_ = path;
    errorCode_ = 0;
    errorText_.clear();
    sqlite3_extended_result_codes(db_, 1);
    // Any file may come from elsewhere: nothing in it runs by itself, and no statement runs without end.
    // (Defensive mode also forbids turning the journal off, which the writers here do on their own files.)
    if (mode == Mode::ReadOnly)
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    watchProgress();
    // Other writers (another window's program, an import beside the GUI) hold the lock for moments only.
    sqlite3_busy_timeout(db_, 10000);
    // A write-protected file opens read-only without complaint; whoever asked to write must hear of it.
    if (mode != Mode::ReadOnly && isReadOnly()) {
        close();
        errorCode_ = SQLITE_READONLY;
        errorText_ = QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY));
        return false;
    }
    return true;
}

void Database::close() {
    for (auto& [sql, stmt] : cached_)
        sqlite3_finalize(stmt);
    cached_.clear();
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    depth_ = 0;
}

void Database::setError(int code) {
    errorCode_ = code;
    errorText_ = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(code));
}

bool Database::exec(const QString& sql) {
    if (!db_)
        return false;
    startStatement();
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        setError(rc);
        return false;
    }
    return true;
}

bool Database::execCached(const QString& sql) {
    if (!db_)
        return false;
    auto it = cached_.find(sql);
    if (it == cached_.end()) {
        const QByteArray utf8 = sql.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare_v3(db_, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT,
                                          &stmt, nullptr);
        if (rc != SQLITE_OK) {
            setError(rc);
            sqlite3_finalize(stmt);
            return false;
        }
        it = cached_.emplace(sql, stmt).first;
    }
    startStatement();
    const int rc = sqlite3_step(it->second);
    sqlite3_reset(it->second);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        setError(rc);
        return false;
    }
    return true;
}

qint64 Database::totalChanges() const {
    return db_ ? sqlite3_total_changes64(db_) : 0;
}

qint64 Database::dataVersion() {
    if (!db_)
        return 0;
    auto it = cached_.find(QStringLiteral("PRAGMA data_version"));
    if (it == cached_.end()) {
        if (!execCached(QStringLiteral("PRAGMA data_version")))
            return -1;
        it = cached_.find(QStringLiteral("PRAGMA data_version"));
    }
    qint64 v = -1;
    if (sqlite3_step(it->second) == SQLITE_ROW)
        v = sqlite3_column_int64(it->second, 0);
    sqlite3_reset(it->second);
    return v;
}

bool Database::isDiskFull() const {
    return (errorCode_ & 0xff) == SQLITE_FULL;
}

QString Database::reason() const {
    switch (errorCode_ & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("няма свободно място на диска");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("файлът е зает от друга програма");
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return QStringLiteral("файлът е защитен срещу запис");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("файлът е повреден");
    case SQLITE_IOERR:
        return QStringLiteral("грешка при запис на диска");
    default:
        return QStringLiteral("грешка %1 (%2)").arg(errorCode_).arg(errorText_);
    }
}

qint64 Database::lastInsertRowid() const {
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

bool Database::isReadOnly() const {
    return !db_ || sqlite3_db_readonly(db_, "main") == 1;
}

QString Database::quoted(const QString& identifier) {
    QString escaped = identifier;
    escaped.replace(u'"', QLatin1String("\"\""));
    return u'"' + escaped + u'"';
}

QStringList Database::columns(const QString& table) {
    QStringList names;
    Statement st(*this, QStringLiteral("SELECT name FROM pragma_table_info(?1)"));
    st.bind(1, table);
    while (st.step() == Statement::Step::Row)
        names << st.text(0);
    return names;
}

bool Database::plainSchema(const QStringList& tables) {
    Statement st(*this, QStringLiteral("SELECT type, name FROM sqlite_master"));
    Statement::Step step;
    while ((step = st.step()) == Statement::Step::Row) {
        const QString type = st.text(0);
        if (type == u"view" || type == u"trigger")
            return false;
        if (type != u"table" && tables.contains(st.text(1), Qt::CaseInsensitive))
            return false;
    }
    if (step == Statement::Step::Error)
        return false;
    Statement hidden(*this, QStringLiteral("SELECT count(*) FROM pragma_table_xinfo(?1) WHERE hidden != 0"));
    for (const QString& table : tables) {
        hidden.bind(1, table);
        if (hidden.step() != Statement::Step::Row || hidden.int64(0) != 0)
            return false;
        hidden.reset();
    }
    return true;
}

bool Database::beginLevel() {
    const bool ok = depth_ == 0 ? execCached(QStringLiteral("BEGIN IMMEDIATE"))
                                : execCached(QStringLiteral("SAVEPOINT vel_%1").arg(depth_));
    if (ok)
        ++depth_;
    return ok;
}

bool Database::commitLevel() {
    if (depth_ == 0)
        return false;
    if (depth_ == 1) {
        if (execCached(QStringLiteral("COMMIT"))) {
            depth_ = 0;
            return true;
        }
        rollbackLevel();
        return false;
    }
    if (execCached(QStringLiteral("RELEASE vel_%1").arg(depth_ - 1))) {
        --depth_;
        return true;
    }
    rollbackLevel();
    return false;
}

void Database::rollbackLevel() {
    if (depth_ == 0)
        return;
    --depth_;
    ++generation_;
    if (!db_ || sqlite3_get_autocommit(db_))
        return; // SQLite already rolled back on its own after an I/O or memory error
    const int saved = errorCode_;
    const QString savedText = errorText_;
    if (depth_ == 0) {
        execCached(QStringLiteral("ROLLBACK"));
    } else {
        execCached(QStringLiteral("ROLLBACK TO vel_%1").arg(depth_));
        execCached(QStringLiteral("RELEASE vel_%1").arg(depth_));
    }
    errorCode_ = saved; // keep the reason the caller rolled back for
    errorText_ = savedText;
}

// ---- Transaction ----

Transaction::Transaction(Database& db) : db_(db) {
    active_ = db_.beginLevel();
}

Transaction::~Transaction() {
    rollback();
}

bool Transaction::commit() {
    if (!active_)
        return false;
    active_ = false;
    return db_.commitLevel();
}

void Transaction::rollback() {
    if (active_) {
        active_ = false;
        db_.rollbackLevel();
    }
}

} // namespace vel
