#pragma once
// Reading the entries of a zip archive into memory through libarchive, with limits that keep a small
// archive from unpacking into gigabytes.

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace vel {

struct ZipEntry {
    QString name; // the path inside the archive, '/' separated
    QByteArray data;
};

struct ZipLimits {
    // All entries read, uncompressed: the text of the longest book with its markup several times over, and
    // small enough that reading it stays well inside the memory an import may take.
    qint64 absoluteBytes = qint64(64) * 1024 * 1024;
    qint64 ratio = 100;                          // uncompressed bytes per byte of the archive
    qint64 slackBytes = qint64(4) * 1024 * 1024; // allowed on top of the ratio, for tiny archives
};

enum class ZipFailure { None, NotAnArchive, Damaged, TooLarge };

struct ZipContents {
    QList<ZipEntry> entries; // in archive order; only those `wanted` accepted
    QStringList names;       // every regular file's name, read or not
    ZipFailure failure = ZipFailure::None;
    bool ok() const { return failure == ZipFailure::None; }
};

// Reads every regular file `wanted` accepts (all when it is empty). Nothing past the limits is ever held in
// memory: reading stops at the first byte over them.
ZipContents readZip(const QString& path, const std::function<bool(const QString& name)>& wanted = {},
                    const ZipLimits& limits = {});
ZipContents readZip(const QByteArray& bytes, const std::function<bool(const QString& name)>& wanted = {},
                    const ZipLimits& limits = {});

// The Bulgarian reason for a failure, without the file's name.
QString zipFailureText(ZipFailure failure);

} // namespace vel
