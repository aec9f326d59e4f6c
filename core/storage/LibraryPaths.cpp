#include "core/storage/LibraryPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace vel {

namespace {
constexpr int kMaxFileNameBytes = 255; // NAME_MAX on the file systems we run on

QString joined(const QString& dir, const QString& name) {
    if (dir.isEmpty())
        return name;
    return dir.endsWith(u'/') ? QString(dir + name) : QString(dir + u'/' + name);
}
} // namespace

QString catalogPath(const QString& libraryDir) {
    return joined(libraryDir, QString::fromLatin1(kCatalogFileName));
}

bool isValidWorkTitle(const QString& title) {
    if (title.isEmpty() || title == u"." || title == u"..")
        return false;
    if (!title.isValidUtf16())
        return false;
    for (const QChar c : title) {
        if (c == u'/' || c == u'\\' || c.unicode() == 0 || c.category() == QChar::Other_Control)
            return false;
    }
    const QString fileName = title + QString::fromLatin1(kWorkFileSuffix);
    if (fileName.toUtf8().size() > kMaxFileNameBytes)
        return false;
    // The catalogue shares the suffix; a work titled after it would overwrite or delete the catalogue on
    // file systems that ignore case as well.
    return fileName.compare(QString::fromLatin1(kCatalogFileName), Qt::CaseInsensitive) != 0;
}

std::optional<QString> workFilePath(const QString& libraryDir, const QString& title) {
    if (!isValidWorkTitle(title))
        return std::nullopt;
    return joined(libraryDir, title + QString::fromLatin1(kWorkFileSuffix));
}

bool pathTaken(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace vel
