#include "core/storage/WorkFile.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <sqlite3.h>

namespace vel {

namespace {
QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

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
        return setError(QStringLiteral("Файлът %1 не съществува.").arg(shown(path)));
    if (!info.isFile())
        return setError(QStringLiteral("%1 не е файл.").arg(shown(path)));

    std::unique_ptr<WorkFile> wf(new WorkFile);
    if (!wf->db_.open(path, Database::Mode::ReadOnly))
        return setError(QStringLiteral("Файлът %1 не може да бъде отворен.").arg(shown(path)));

    const QStringList cols = wf->db_.columns(QStringLiteral("Knigi1"));
    if (!cols.isEmpty() && !wf->db_.plainSchema({QStringLiteral("Knigi1"), QStringLiteral("Svedenia")}))
        return setError(
            QStringLiteral("Файлът %1 не е произведение от библиотеката: съдържа изгледи, тригери "
                           "или изчислявани полета.")
                .arg(shown(path)));
    if (cols.isEmpty()) {
        if (wf->db_.errorCode() == SQLITE_NOTADB || (wf->db_.errorCode() & 0xff) == SQLITE_CORRUPT)
            return setError(QStringLiteral("Файлът %1 не е произведение от библиотеката или е повреден.")
                                .arg(shown(path)));
        if (wf->db_.errorCode() != 0 && wf->db_.errorCode() != SQLITE_DONE)
            return setError(QStringLiteral("Файлът %1 не може да бъде прочетен.").arg(shown(path)));
        return setError(QStringLiteral("Във файла %1 няма таблица Knigi1.").arg(shown(path)));
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
                            .arg(shown(path), labelCol.isEmpty() ? QStringLiteral("stranica")
                                                                 : QStringLiteral("TekstStranica")));

    wf->byRowid_ = Statement(wf->db_, QStringLiteral("SELECT %1, %2 FROM Knigi1 WHERE rowid = ?1")
                                          .arg(Database::quoted(labelCol), Database::quoted(textCol)));
    bool ok = wf->byRowid_.isValid();
    // Files written here carry their page count and rowids 1..count; then a page is found by its rowid.
    const qint64 declared = scalar(wf->db_, QStringLiteral("PRAGMA user_version"), &ok);
    const qint64 first = scalar(wf->db_, QStringLiteral("SELECT min(rowid) FROM Knigi1"), &ok);
    const qint64 last = scalar(wf->db_, QStringLiteral("SELECT max(rowid) FROM Knigi1"), &ok);
    if (!ok)
        return setError(QStringLiteral("Файлът %1 не може да бъде прочетен.").arg(shown(path)));
    if (declared > 0 && first == 1 && last == declared && declared <= INT_MAX) {
        wf->count_ = int(declared);
    } else {
        // Any other file: read the stored order once.
        Statement st(wf->db_, QStringLiteral("SELECT rowid FROM Knigi1 ORDER BY rowid"));
        Statement::Step s;
        while ((s = st.step()) == Statement::Step::Row)
            wf->rowids_.push_back(st.int64(0));
        if (s == Statement::Step::Error)
            return setError(QStringLiteral("Файлът %1 не може да бъде прочетен.").arg(shown(path)));
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
