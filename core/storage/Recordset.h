#pragma once
// A cursor over one table in stored (rowid) order, with the classic move / add-new / edit / update / delete
// operations, so the library's walks read like their descriptions.

#include "core/storage/Database.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace vel {

class Recordset {
public:
    // Opens the table; the cursor starts on the first record. Check isValid().
    Recordset(Database& db, const QString& table);
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool isValid() const { return valid_; }
    const QString& table() const { return table_; }
    const QStringList& fieldNames() const { return columns_; }

    // Moving discards an unfinished AddNew or Edit. Moves past either end stop at BOF or EOF.
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(int n); // relative to the current record; past the ends lands on BOF / EOF

    bool bof() const;
    bool eof() const;
    int recordCount() const;
    // False at BOF, at EOF and on a record just deleted.
    bool hasCurrent() const;
    // 0-based position of the current record in stored order; -1 without a current record.
    int position() const { return hasCurrent() ? pos_ : -1; } // NOLINT
    // The current record's rowid, which names it for the whole life of the record; -1 without one.
    qint64 rowid() const { return hasCurrent() ? rowids_[size_t(pos_)] : -1; }

    // Field names are case-insensitive. NULL reads as the empty text; isNull tells the two apart.
    // Without a current record every field reads as NULL.
    QString field(const QString& name) const;
    bool isNull(const QString& name) const;

    // AddNew ... Update appends a record; the cursor stays where it was (callers MoveLast to reach it).
    void AddNew();
    // Edit ... Update overwrites the current record. Unchanged values are not written at all.
    void Edit();
    void setField(const QString& name, const QString& value);
    void setFieldNull(const QString& name);
    bool Update();

    // Removes the current record; there is no current record until the cursor is moved.
    bool Delete();

    // Re-reads the stored order, keeping the cursor on its record when it is still there.
    void requery();

private:
    enum class Mode { None, Add, Edit };

    int columnIndex(const QString& name) const;
    bool onRecord() const;
    // Re-reads when this connection or another one changed the table since it was read. Moves and writes
    // call it; field reads within a record do not.
    void syncWithDatabase() const;
    bool loadRowids();
    void loadCurrent() const;
    void setPosition(int pos);
    Statement& statement(const QString& sql);

    Database& db_;
    QString table_;
    bool valid_ = false;
    QStringList columns_;
    QHash<QString, int> index_; // exact and lower-case spellings of each column name

    std::vector<qint64> rowids_; // stored order
    int pos_ = -1;               // -1 = BOF, rowids_.size() = EOF
    bool deleted_ = false;       // the record at pos_ was deleted; pos_ now names its successor
    mutable quint64 generation_ = 0;
    mutable qint64 knownChanges_ = 0; // the connection's change count after this cursor's own last write
    mutable qint64 dataVersion_ = 0;  // the file's version as last read; other writers change it

    mutable bool loaded_ = false;
    mutable std::vector<QString> values_;
    mutable std::vector<bool> nulls_;

    Mode mode_ = Mode::None;
    std::vector<QString> editValues_;
    std::vector<bool> editNulls_;
    std::vector<bool> editTouched_;

    // Rows read ahead in one statement: a forward walk costs one query per window, not one per record.
    static constexpr int kWindow = 256;
    mutable std::vector<qint64> winRowids_;
    mutable std::vector<QString> winValues_; // row-major, columns_.size() per row
    mutable std::vector<bool> winNulls_;
    void dropWindow() const;
    void noteOwnWrite();

    std::map<QString, Statement> statements_;
    Statement selectWindow_;
};

} // namespace vel
