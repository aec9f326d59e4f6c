#pragma once
// Files of a library folder as the tests look at them.

#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/WorkFile.h"

#include <QFile>
#include <QStringList>
#include <QtTest>

namespace vel::test {

inline QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The pages of a work's file; none when it is missing.
inline QStringList pagesOf(const QString& dir, const QString& title) {
    QStringList pages;
    const auto path = workFilePath(dir, title);
    auto work = path ? WorkFile::open(*path) : nullptr;
    for (int n = 1; work && n <= work->pageCount(); ++n)
        pages << work->page(n).text;
    return pages;
}

inline std::vector<CatalogueRecord> recordsOf(const QString& dir) {
    auto opened = Catalogue::open(dir);
    return opened ? titledRecords(*opened->catalogue) : std::vector<CatalogueRecord>{};
}

inline QStringList titlesOf(const QString& dir) {
    QStringList titles;
    for (const CatalogueRecord& r : recordsOf(dir))
        titles << r.name;
    return titles;
}

} // namespace vel::test
