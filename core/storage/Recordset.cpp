#include "core/storage/Recordset.h"

#include <QDebug>
#include <algorithm>

namespace vel {

Recordset::Recordset(Database& db, const QString& table) : db_(db), table_(table) {
    columns_ = db_.columns(table);
    if (columns_.isEmpty()) {
        return;
    }
    for (int i = 0; i < columns_.size(); ++i) {
        index_.insert(columns_[i], i);
        index_.insert(columns_[i].toLower(), i);
    }
    QStringList quotedCols;
    for (const QString& c : std::as_const(columns_))
        quotedCols << Database::quoted(c);
    selectWindow_ =
        Statement(db_, QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ?1 ORDER BY rowid LIMIT ?2")
                           .arg(quotedCols.join(u','), Database::quoted(table_)));
    if (!selectWindow_.isValid()) {
        return;
    }
    valid_ = loadRowids();
    if (!valid_)
        return;
    generation_ = db_.generation();
    knownChanges_ = db_.totalChanges();
    dataVersion_ = db_.dataVersion();
    setPosition(0);
}

int Recordset::columnIndex(const QString& name) const {
    auto it = index_.constFind(name);
    if (it != index_.constEnd())
        return *it;
    it = index_.constFind(name.toLower());
    return it != index_.constEnd() ? *it : -1;
}

bool Recordset::loadRowids() {
    std::vector<qint64> rowids;
    rowids.reserve(rowids_.size());
    Statement st(db_, QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(Database::quoted(table_)));
    Statement::Step s;
    while ((s = st.step()) == Statement::Step::Row)
        rowids.push_back(st.int64(0));
    loaded_ = false;
    dropWindow();
    if (s == Statement::Step::Error) {
        return false; // keep the order read before
    }
    rowids_ = std::move(rowids);
    return true;
}

// A rolled-back transaction may have undone appends, deletes or edits this cursor already cached, and
// statements run on the connection by anyone else may have changed the table under it.
void Recordset::syncWithDatabase() const {
    if (generation_ != db_.generation() || knownChanges_ != db_.totalChanges() ||
        dataVersion_ != db_.dataVersion())
        const_cast<Recordset*>(this)->requery();
}

void Recordset::dropWindow() const {
    winRowids_.clear();
    winValues_.clear();
    winNulls_.clear();
}

void Recordset::noteOwnWrite() {
    knownChanges_ = db_.totalChanges();
}

void Recordset::requery() {
    const bool had = onRecord();
    const qint64 current = had ? rowids_[size_t(pos_)] : 0;
    const bool atEof = !had && !deleted_ && pos_ >= int(rowids_.size());
    loadRowids();
    generation_ = db_.generation();
    knownChanges_ = db_.totalChanges();
    dataVersion_ = db_.dataVersion();
    mode_ = Mode::None;
    if (had) {
        const auto it = std::lower_bound(rowids_.begin(), rowids_.end(), current);
        pos_ = int(it - rowids_.begin());
        deleted_ = it == rowids_.end() || *it != current;
    } else if (atEof) {
        pos_ = int(rowids_.size());
    } else {
        pos_ = std::clamp(pos_, -1, int(rowids_.size()));
    }
}

void Recordset::setPosition(int pos) {
    pos_ = std::clamp(pos, -1, int(rowids_.size()));
    deleted_ = false;
    loaded_ = false;
    mode_ = Mode::None;
}

void Recordset::MoveFirst() {
    syncWithDatabase();
    setPosition(rowids_.empty() ? -1 : 0);
}

void Recordset::MoveLast() {
    syncWithDatabase();
    setPosition(int(rowids_.size()) - 1);
}

void Recordset::MoveNext() {
    syncWithDatabase();
    // After a delete pos_ already names the successor.
    setPosition(deleted_ ? pos_ : pos_ + 1);
}

void Recordset::MovePrevious() {
    syncWithDatabase();
    setPosition(pos_ - 1);
}

void Recordset::Move(int n) {
    syncWithDatabase();
    if (deleted_ && n > 0)
        --n; // counted from the deleted record, whose successor now sits at pos_
    const qint64 target = qint64(pos_) + n;
    setPosition(int(std::clamp<qint64>(target, -1, qint64(rowids_.size()))));
}

bool Recordset::bof() const {
    syncWithDatabase();
    return rowids_.empty() || (!deleted_ && pos_ < 0);
}

bool Recordset::eof() const {
    syncWithDatabase();
    return rowids_.empty() || (!deleted_ && pos_ >= int(rowids_.size()));
}

int Recordset::recordCount() const {
    syncWithDatabase();
    return int(rowids_.size());
}

bool Recordset::hasCurrent() const {
    syncWithDatabase();
    return onRecord();
}

bool Recordset::onRecord() const {
    return !deleted_ && pos_ >= 0 && pos_ < int(rowids_.size());
}

void Recordset::loadCurrent() const {
    if (loaded_)
        return;
    loaded_ = true;
    const size_t n = size_t(columns_.size());
    values_.assign(n, QString());
    nulls_.assign(n, true);
    if (!onRecord())
        return;
    const qint64 rowid = rowids_[size_t(pos_)];
    auto hit = std::lower_bound(winRowids_.begin(), winRowids_.end(), rowid);
    if (hit == winRowids_.end() || *hit != rowid) {
        dropWindow();
        auto& st = const_cast<Statement&>(selectWindow_);
        st.bindInt64(1, rowid);
        st.bindInt64(2, kWindow);
        while (st.step() == Statement::Step::Row) {
            winRowids_.push_back(st.int64(0));
            for (size_t i = 0; i < n; ++i) {
                winNulls_.push_back(st.isNull(int(i) + 1));
                winValues_.push_back(st.text(int(i) + 1));
            }
        }
        st.reset();
        hit = std::lower_bound(winRowids_.begin(), winRowids_.end(), rowid);
        if (hit == winRowids_.end() || *hit != rowid)
            return; // the record is gone: read as NULL
    }
    const size_t at = size_t(hit - winRowids_.begin()) * n;
    std::copy_n(winValues_.begin() + at, n, values_.begin());
    std::copy_n(winNulls_.begin() + at, n, nulls_.begin());
}

QString Recordset::field(const QString& name) const {
    if (generation_ != db_.generation() || knownChanges_ != db_.totalChanges())
        syncWithDatabase();
    const int i = columnIndex(name);
    if (i < 0) {
        qWarning("Recordset: no field %s in %s", qPrintable(name), qPrintable(table_));
        return {};
    }
    loadCurrent();
    return values_[size_t(i)]; // empty for NULL
}

bool Recordset::isNull(const QString& name) const {
    if (generation_ != db_.generation() || knownChanges_ != db_.totalChanges())
        syncWithDatabase();
    const int i = columnIndex(name);
    if (i < 0)
        return true;
    loadCurrent();
    return nulls_[size_t(i)];
}

void Recordset::AddNew() {
    syncWithDatabase();
    mode_ = Mode::Add;
    editValues_.assign(size_t(columns_.size()), QString());
    editNulls_.assign(size_t(columns_.size()), true);
    editTouched_.assign(size_t(columns_.size()), false);
}

void Recordset::Edit() {
    syncWithDatabase();
    if (!onRecord()) {
        mode_ = Mode::None;
        return;
    }
    loadCurrent();
    mode_ = Mode::Edit;
    editValues_ = values_;
    editNulls_ = nulls_;
    editTouched_.assign(size_t(columns_.size()), false);
}

void Recordset::setField(const QString& name, const QString& value) {
    const int i = columnIndex(name);
    if (mode_ == Mode::None || i < 0) {
        qWarning("Recordset: setField(%s) outside AddNew/Edit or unknown field", qPrintable(name));
        return;
    }
    editValues_[size_t(i)] = value;
    editNulls_[size_t(i)] = false;
    editTouched_[size_t(i)] = true;
}

void Recordset::setFieldNull(const QString& name) {
    const int i = columnIndex(name);
    if (mode_ == Mode::None || i < 0)
        return;
    editValues_[size_t(i)].clear();
    editNulls_[size_t(i)] = true;
    editTouched_[size_t(i)] = true;
}

Statement& Recordset::statement(const QString& sql) {
    auto it = statements_.find(sql);
    if (it == statements_.end())
        it = statements_.emplace(sql, Statement(db_, sql)).first;
    return it->second;
}

bool Recordset::Update() {
    syncWithDatabase();
    const Mode mode = std::exchange(mode_, Mode::None);
    if (mode == Mode::None) {
        return false;
    }

    std::vector<int> cols;
    for (int i = 0; i < columns_.size(); ++i) {
        if (!editTouched_[size_t(i)])
            continue;
        // Rewriting a record with its own values changes nothing; skipping keeps long walks cheap.
        if (mode == Mode::Edit && editNulls_[size_t(i)] == nulls_[size_t(i)] &&
            editValues_[size_t(i)] == values_[size_t(i)])
            continue;
        cols.push_back(i);
    }

    if (mode == Mode::Edit) {
        if (cols.empty())
            return true;
        if (!onRecord()) {
            return false;
        }
        QStringList sets;
        for (size_t k = 0; k < cols.size(); ++k)
            sets << QStringLiteral("%1 = ?%2").arg(Database::quoted(columns_[cols[k]])).arg(k + 1);
        Statement& st = statement(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
                                      .arg(Database::quoted(table_), sets.join(u", "))
                                      .arg(cols.size() + 1));
        if (!st.isValid())
            return false;
        for (size_t k = 0; k < cols.size(); ++k) {
            if (editNulls_[size_t(cols[k])])
                st.bindNull(int(k) + 1);
            else
                st.bind(int(k) + 1, editValues_[size_t(cols[k])]);
        }
        st.bindInt64(int(cols.size()) + 1, rowids_[size_t(pos_)]);
        const bool ok = st.step() == Statement::Step::Done;
        st.reset();
        if (!ok)
            return false;
        noteOwnWrite();
        values_ = editValues_;
        nulls_ = editNulls_;
        const auto hit = std::lower_bound(winRowids_.begin(), winRowids_.end(), rowids_[size_t(pos_)]);
        if (hit != winRowids_.end() && *hit == rowids_[size_t(pos_)]) {
            const size_t at = size_t(hit - winRowids_.begin()) * values_.size();
            std::copy(values_.begin(), values_.end(), winValues_.begin() + at);
            std::copy(nulls_.begin(), nulls_.end(), winNulls_.begin() + at);
        }
        return true;
    }

    QString sql;
    if (cols.empty()) {
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(Database::quoted(table_));
    } else {
        QStringList names, params;
        for (size_t k = 0; k < cols.size(); ++k) {
            names << Database::quoted(columns_[cols[k]]);
            params << QStringLiteral("?%1").arg(k + 1);
        }
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(Database::quoted(table_), names.join(u','), params.join(u','));
    }
    Statement& st = statement(sql);
    if (!st.isValid())
        return false;
    for (size_t k = 0; k < cols.size(); ++k) {
        if (editNulls_[size_t(cols[k])])
            st.bindNull(int(k) + 1);
        else
            st.bind(int(k) + 1, editValues_[size_t(cols[k])]);
    }
    const bool ok = st.step() == Statement::Step::Done;
    st.reset();
    if (!ok)
        return false;
    noteOwnWrite();
    dropWindow(); // a reused rowid must not be read from the window

    // The new rowid is normally past every other one; keep the cursor on the record it was on.
    const qint64 rowid = db_.lastInsertRowid();
    const bool atEof = !deleted_ && pos_ >= int(rowids_.size());
    const auto it = std::lower_bound(rowids_.begin(), rowids_.end(), rowid);
    const int at = int(it - rowids_.begin());
    rowids_.insert(it, rowid);
    if (atEof || at <= pos_)
        ++pos_;
    return true;
}

bool Recordset::Delete() {
    syncWithDatabase();
    mode_ = Mode::None;
    if (!onRecord()) {
        return false;
    }
    Statement& st =
        statement(QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(Database::quoted(table_)));
    st.bindInt64(1, rowids_[size_t(pos_)]);
    const bool ok = st.step() == Statement::Step::Done;
    st.reset();
    if (!ok)
        return false;
    noteOwnWrite();
    dropWindow();
    rowids_.erase(rowids_.begin() + pos_);
    deleted_ = true;
    loaded_ = false;
    return true;
}

} // namespace vel
