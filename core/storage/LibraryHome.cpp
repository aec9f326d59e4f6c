#include "core/storage/LibraryHome.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vel {

QString userLibraryDir() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("velmora"));
}

QString defaultLibraryDir(const QString& executableDir) {
    const QDir dir(executableDir);
    const bool installed = QFileInfo(dir.filePath(QStringLiteral("../share/velmora"))).isDir();
    if (installed || !QFileInfo(executableDir).isWritable())
        return userLibraryDir();
    return dir.absolutePath();
}

QString findUnpacker(const QString& libraryDir, const QString& programDir) {
    for (const QString& dir : {libraryDir, programDir}) {
        if (dir.isEmpty())
            continue;
        const QString path = QDir(dir).filePath(QString::fromLatin1(kUnpackerName));
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

} // namespace vel
