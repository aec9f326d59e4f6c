#pragma once
// Library folders for tests: a catalogue with works (and their files) as the entry form would add them, or
// exactly the given records; and readers of what a catalogue holds.

#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/Database.h"
#include "core/storage/WorkFileBuilder.h"

#include <QList>
#include <QStringList>
#include <QtTest>

namespace vel::test {

struct LibraryWork {
    QString title;
    QStringList pages; // a work file is written when there are pages
    QString str = QStringLiteral("1");
    QString author = QStringLiteral("Автор");
    QString cvetList = QStringLiteral("16777215");
};

// A catalogue holding the works in order, ending with its entry slot; a work file for each work with pages.
inline void writeLibrary(const QString& dir, const QList<LibraryWork>& works) {
    auto opened = Catalogue::open(dir);
    QVERIFY2(opened, qPrintable(opened.message()));
    for (const LibraryWork& w : works) {
        QVERIFY(insertRecord(*opened->catalogue,
                             {w.title, w.author, QStringLiteral("Tahoma"), QStringLiteral("14"), w.str,
                              w.cvetList, QStringLiteral("12632256")}) >= 0);
        if (w.pages.isEmpty())
            continue;
        WorkFileBuilder b;
        QVERIFY(b.begin(dir, w.title));
        for (const QString& p : w.pages)
            QVERIFY(b.appendPage(p));
        QVERIFY2(b.commit(), qPrintable(b.failure().message));
    }
}

// Name, Number and optionally Font, Size, STR, CvetList, CvetForma; a null QString is stored as NULL.
using Row = QStringList;

inline void writeCatalogue(const QString& dir, const QList<Row>& rows) {
    auto opened = Catalogue::open(dir);
    QVERIFY2(opened, qPrintable(opened.message()));
    Database& db = opened->catalogue->database();
    QVERIFY(db.exec(QStringLiteral("DELETE FROM Phones")));
    Statement insert(db,
                     QStringLiteral("INSERT INTO Phones (Name, Number, Font, Size, STR, CvetList, CvetForma) "
                                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"));
    for (const Row& row : rows) {
        for (int i = 0; i < 7; ++i) {
            const QString v = i < row.size() ? row[i] : QStringLiteral("f%1").arg(i);
            v.isNull() ? insert.bindNull(i + 1) : insert.bind(i + 1, v);
        }
        QCOMPARE(insert.step(), Statement::Step::Done);
        insert.reset();
    }
}

// Every record in stored order, all seven fields.
inline QList<Row> readCatalogue(Database& db) {
    QList<Row> rows;
    Statement st(db, QStringLiteral("SELECT Name, Number, Font, Size, STR, CvetList, CvetForma FROM Phones "
                                    "ORDER BY rowid"));
    while (st.step() == Statement::Step::Row) {
        Row r;
        for (int i = 0; i < 7; ++i)
            r << (st.isNull(i) ? QString() : st.text(i));
        rows << r;
    }
    return rows;
}

inline QStringList titlesIn(Database& db) {
    QStringList t;
    for (const Row& r : readCatalogue(db))
        t << r[0];
    return t;
}

} // namespace vel::test
