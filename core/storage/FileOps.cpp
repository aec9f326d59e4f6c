#include "core/storage/FileOps.h"

#include <QDateTime>
#include <QDir>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel::fileops {

namespace {
QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}
} // namespace

QString errnoReason(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
        return QStringLiteral("няма права за достъп");
    case ENOENT:
        return QStringLiteral("папката не съществува");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("няма свободно място на диска");
    case EROFS:
        return QStringLiteral("дискът е само за четене");
    case EEXIST:
        return QStringLiteral("файл с това име вече съществува");
    case ENAMETOOLONG:
        return QStringLiteral("името е твърде дълго");
    default:
        return QStringLiteral("системна грешка %1").arg(err);
    }
}

int removeStaleTemps(const QString& dir) {
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-3600);
    int removed = 0;
    const QFileInfoList temps = QDir(dir).entryInfoList({QStringLiteral(".velmora-build-*.tmp")},
                                                        QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& fi : temps) {
        if (fi.lastModified().toUTC() < cutoff) {
            removeTemp(fi.absoluteFilePath());
            ++removed;
        }
    }
    return removed;
}

QString createTempFile(const QString& dir, QString* error) {
    const QString base = dir.endsWith(u'/') || dir.isEmpty() ? dir : QString(dir + u'/');
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path =
            base + QStringLiteral(".velmora-build-%1.tmp")
                       .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        // 0666 under the umask, like any other file the program creates.
        const int fd = ::open(native(path).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            if (error)
                *error = errnoReason(errno);
            return {};
        }
    }
    if (error)
        *error = errnoReason(EEXIST);
    return {};
}

bool syncFile(const QString& path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void syncDir(const QString& dir) {
    const int fd = ::open(native(dir.isEmpty() ? QStringLiteral(".") : dir).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

PublishResult publishNew(const QString& tmp, const QString& target, QString* error) {
    const QByteArray from = native(tmp);
    const QByteArray to = native(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return PublishResult::Ok;
    int err = errno;
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP) {
        // The file system cannot rename without replacing: a hard link fails just as atomically on a clash.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return PublishResult::Ok;
        }
        err = errno;
        if (err == EPERM || err == ENOTSUP || err == EOPNOTSUPP) {
            // No hard links either (FAT-like file systems): check, then rename, leaving only a tiny window.
            struct stat st;
            if (::lstat(to.constData(), &st) == 0) {
                err = EEXIST;
            } else if (::rename(from.constData(), to.constData()) == 0) {
                return PublishResult::Ok;
            } else {
                err = errno;
            }
        }
    }
    if (error)
        *error = errnoReason(err);
    return err == EEXIST ? PublishResult::Exists : PublishResult::Failed;
}

PublishResult publishReplace(const QString& tmp, const QString& target, QString* error) {
    if (::rename(native(tmp).constData(), native(target).constData()) == 0)
        return PublishResult::Ok;
    if (error)
        *error = errnoReason(errno);
    return PublishResult::Failed;
}

void removeTemp(const QString& tmp) {
    if (tmp.isEmpty())
        return;
    ::unlink(native(tmp).constData());
    ::unlink(native(tmp + QStringLiteral("-journal")).constData());
}

} // namespace vel::fileops
