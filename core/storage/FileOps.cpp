#include "core/storage/FileOps.h"

#include <QDateTime>
#include <QDir>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

Failure errnoFailure(int err) {
    const FailureKind kind = err == ENOSPC || err == EDQUOT ? FailureKind::DiskFull
                             : err == EEXIST                ? FailureKind::Exists
                                                            : FailureKind::Io;
    return fail(kind, errnoReason(err), QString::fromLocal8Bit(std::strerror(err)));
}

LockedTemp::LockedTemp(LockedTemp&& other) noexcept
    : path_(std::exchange(other.path_, QString())), fd_(std::exchange(other.fd_, -1)),
      folder_(other.folder_) {}

LockedTemp& LockedTemp::operator=(LockedTemp&& other) noexcept {
    if (this != &other) {
        unlock();
        path_ = std::exchange(other.path_, QString());
        fd_ = std::exchange(other.fd_, -1);
        folder_ = other.folder_;
    }
    return *this;
}

void LockedTemp::unlock() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    path_.clear();
}

void LockedTemp::remove() {
    if (path_.isEmpty())
        return;
    // Removed while still locked, so no other open takes it for a leftover of its own meanwhile.
    if (folder_)
        QDir(path_).removeRecursively();
    else
        removeTemp(path_);
    unlock();
}

Result<LockedTemp> createLockedTemp(const QString& dir, const QString& prefix, bool folder) {
    const QString base = dir.endsWith(u'/') || dir.isEmpty() ? dir : QString(dir + u'/');
    int err = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path =
            base + prefix +
            QStringLiteral("%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')) +
            (folder ? QString() : QStringLiteral(".tmp"));
        const QByteArray name = native(path);
        int fd = -1;
        if (folder) {
            if (::mkdir(name.constData(), 0777) != 0) {
                err = errno;
                if (err == EEXIST)
                    continue;
                break;
            }
            fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        } else {
            // 0666 under the umask, like any other file the program creates.
            fd = ::open(name.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
        }
        if (fd < 0) {
            err = errno;
            if (err == EEXIST)
                continue;
            break;
        }
        // Another open may have found the new name unlocked and removed it before the lock was taken.
        struct stat st;
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        LockedTemp t;
        t.path_ = path;
        t.fd_ = fd;
        t.folder_ = folder;
        return t;
    }
    return errnoFailure(err);
}

namespace {
// Opens path without following a link and takes its lock without waiting; -1 when someone holds it.
int lockIfFree(const QString& path, bool folder) {
    const int fd = ::open(native(path).constData(),
                          (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

bool isLockedByWriter(const QString& path) {
    struct stat st;
    if (::lstat(native(path).constData(), &st) != 0 || !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)))
        return false;
    const int fd = lockIfFree(path, S_ISDIR(st.st_mode));
    if (fd < 0)
        return true;
    ::close(fd);
    return false;
}

int removeLeftovers(const QString& dir) {
    int removed = 0;
    const QDir folder(dir);
    const QStringList names =
        folder.entryList({QStringLiteral(".velmora-build-*.tmp"),
                          QStringLiteral(".velmora-build-*.tmp-journal"), QStringLiteral(".raz-*")},
                         QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString path = folder.filePath(name);
        struct stat st;
        if (::lstat(native(path).constData(), &st) != 0)
            continue;
        if (S_ISLNK(st.st_mode)) {
            // A link under a temporary name is nobody's work; removing it never touches its target.
            removed += ::unlink(native(path).constData()) == 0;
            continue;
        }
        if (name.endsWith(QStringLiteral("-journal"))) {
            // Goes with its temporary file, and only once that is gone.
            if (!QFileInfo::exists(path.chopped(8)))
                removed += ::unlink(native(path).constData()) == 0;
            continue;
        }
        const bool isFolder = S_ISDIR(st.st_mode);
        const int fd = lockIfFree(path, isFolder);
        if (fd < 0)
            continue;
        struct stat locked;
        // Only what was locked is removed: the name may have been taken by a new writer meanwhile.
        if (::fstat(fd, &locked) == 0 && ::lstat(native(path).constData(), &st) == 0 &&
            locked.st_ino == st.st_ino && locked.st_dev == st.st_dev) {
            const bool ok =
                isFolder ? QDir(path).removeRecursively() : ::unlink(native(path).constData()) == 0;
            if (ok && !isFolder)
                ::unlink(native(path + QStringLiteral("-journal")).constData());
            removed += ok;
        }
        ::close(fd);
    }
    return removed;
}

Result<> syncFile(const QString& path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errnoFailure(errno);
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (err != 0)
        return errnoFailure(err);
    return {};
}

qsizetype syncFiles(const QString& dir, const QStringList& paths) {
    // Below this a pass over the whole file system may cost more than it saves.
    constexpr qsizetype kFilesForOnePass = 4;
    if (paths.size() >= kFilesForOnePass) {
        const int fd = ::open(native(dir.isEmpty() ? QStringLiteral(".") : dir).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            const bool ok = ::syncfs(fd) == 0;
            ::close(fd);
            for (qsizetype i = 0; ok && i < paths.size(); ++i)
                if (::access(native(paths[i]).constData(), F_OK) != 0)
                    return i;
            if (ok)
                return -1;
        }
    }
    // One by one: also to find which file a failed pass could not write (it may have been another's).
    for (qsizetype i = 0; i < paths.size(); ++i)
        if (!syncFile(paths[i]))
            return i;
    return -1;
}

Result<> syncDir(const QString& dir) {
    const int fd = ::open(native(dir.isEmpty() ? QStringLiteral(".") : dir).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errnoFailure(errno);
    // Some file systems cannot flush a folder at all (EINVAL): their renames are as durable as they get.
    const int err = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    if (err != 0)
        return errnoFailure(err);
    return {};
}

const RenameCalls& systemRenameCalls() {
    static constexpr RenameCalls calls{
        [](const char* from, const char* to) {
            return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
        },
        [](const char* from, const char* to) { return ::link(from, to); },
        [](const char* from, const char* to) { return ::rename(from, to); },
    };
    return calls;
}

Result<> publishNew(const QString& tmp, const QString& target, const RenameCalls& calls) {
    const QByteArray from = native(tmp);
    const QByteArray to = native(target);
    if (calls.renameNoReplace(from.constData(), to.constData()) == 0)
        return {};
    int err = errno;
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP) {
        // The file system cannot rename without replacing: a hard link fails just as atomically on a clash.
        if (calls.link(from.constData(), to.constData()) == 0) {
            // The temporary name goes too; left behind it would be taken for a leftover and removed later.
            ::unlink(from.constData());
            return {};
        }
        err = errno;
        if (err == EPERM || err == ENOTSUP || err == EOPNOTSUPP) {
            // No hard links either (FAT-like file systems): check, then rename, leaving only a tiny window.
            struct stat st;
            if (::lstat(to.constData(), &st) == 0) {
                err = EEXIST;
            } else if (calls.rename(from.constData(), to.constData()) == 0) {
                return {};
            } else {
                err = errno;
            }
        }
    }
    return errnoFailure(err);
}

Result<> publishReplace(const QString& tmp, const QString& target) {
    if (::rename(native(tmp).constData(), native(target).constData()) != 0)
        return errnoFailure(errno);
    return {};
}

void removeTemp(const QString& tmp) {
    if (tmp.isEmpty())
        return;
    ::unlink(native(tmp).constData());
    ::unlink(native(tmp + QStringLiteral("-journal")).constData());
}

} // namespace vel::fileops
