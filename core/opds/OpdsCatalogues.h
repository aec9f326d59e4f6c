#pragma once
// The catalogues a reader browses: the large Bulgarian online library's always first, then those the reader
// added, kept in opds.ini in the library folder so every program sharing the library offers the same.

#include <QList>
#include <QString>
#include <QUrl>

namespace vel {

struct OpdsCatalogue {
    QString name;
    QUrl url;
    bool operator==(const OpdsCatalogue&) const = default;
};

OpdsCatalogue defaultCatalogue();

QString cataloguesFilePath(const QString& libraryDir);
// The default first; unreadable or non-web entries of the file are skipped.
QList<OpdsCatalogue> loadCatalogues(const QString& libraryDir);
// Adds or renames the reader's catalogue of that address; false when it is no http(s) address or the file
// could not be written.
bool addCatalogue(const QString& libraryDir, const OpdsCatalogue& catalogue);

// The catalogue opened last, so the window starts where the reader left; the default when none.
QUrl lastCatalogue(const QString& libraryDir);
void rememberLastCatalogue(const QString& libraryDir, const QUrl& url);

} // namespace vel
