#pragma once
// A thin RAII layer over one SQLite connection: open, prepared statements, nested transactions.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace vel {

class Database;

// One prepared statement; reset and rebound between uses.
class Statement {
public:
    Statement() = default;
    Statement(Database& db, const QString& sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool isValid() const { return stmt_ != nullptr; }

    // Parameters are numbered from 1, as SQLite numbers them.
    bool bind(int index, const QString& text);
    bool bindUtf8(int index, const QByteArray& utf8);
    bool bindInt64(int index, qint64 value);
    bool bindNull(int index);
    bool bindBlob(int index, const QByteArray& bytes);

    enum class Step { Row, Done, Error };
    Step step();
    void reset();

    // Columns are numbered from 0.
    bool isNull(int column) const;
    QString text(int column) const;
    // The length the column's text has as a QString, without making one.
    qint64 textLength(int column) const;
    qint64 int64(int column) const;
    QByteArray blob(int column) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    Database* db_ = nullptr;
};

class Database {
public:
    enum class Mode {
        ReadOnly,  // the file must exist
        ReadWrite, // the file must exist and be writable
        Create,    // created when missing
    };

    Database() = default;
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool open(const QString& path, Mode mode);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }
    const QString& path() const { return path_; }

    // Runs one or more statements that return no rows the caller needs.
    bool exec(const QString& sql);
    // Runs one statement, prepared once and kept for the connection's life (transaction control in loops).
    bool execCached(const QString& sql);
    // Rows changed by this connection since it opened; a cheap way for a cursor to notice its own writes.
    qint64 totalChanges() const;
    // Changes whenever another connection (or process) commits to the file: a cursor re-reads on it.
    qint64 dataVersion();

    // The last SQLite result code and an English description, for logs and for classifying failures.
    int errorCode() const { return errorCode_; }
    const QString& errorText() const { return errorText_; }
    void setError(int code);
    // The disk or the file system quota is full.
    bool isDiskFull() const;
    // A Bulgarian reason for the last failure, saying so plainly when the disk is full or the file busy.
    QString reason() const;

    qint64 lastInsertRowid() const;
    bool isReadOnly() const;

    // The table's column names as declared, in declaration order; empty when there is no such table.
    QStringList columns(const QString& table);

    // A file another program may have written holds nothing that runs or computes by itself: no view, no
    // trigger, and each of `tables` that is there an ordinary table without generated columns.
    bool plainSchema(const QStringList& tables);

    // Grows every time a transaction is rolled back, so that cursors holding cached rows know to reload.
    quint64 generation() const { return generation_; }

    static QString quoted(const QString& identifier);

private:
    friend class Transaction;
    friend class Statement;
    // Every statement starts with a fresh allowance of work (see the progress handler in open).
    void startStatement() { ticks_ = 0; }
    static int onProgress(void* self);
    void watchProgress();

    bool beginLevel();
    bool commitLevel();
    void rollbackLevel();

    sqlite3* db_ = nullptr;
    std::map<QString, sqlite3_stmt*> cached_;
    QString path_;
    int errorCode_ = 0;
    QString errorText_;
    quint64 generation_ = 0;
    int depth_ = 0;
    int ticks_ = 0;
};

// Scope guard: begins a transaction (a savepoint when one is already open), rolls back unless committed. The
// outermost level takes the write lock up front (BEGIN IMMEDIATE), waiting out other writers for a while,
// so what it reads cannot change before it commits.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool isActive() const { return active_; }
    bool commit();
    void rollback();

private:
    Database& db_;
    bool active_ = false;
};

} // namespace vel
