#pragma once
// File steps for writing a database beside its final name and putting it in place in one atomic step.

#include <QString>
#include <QStringList>

namespace vel::fileops {

// A temporary file or folder, held under an advisory lock for as long as its writer lives, so that any
// later open can tell a leftover of a killed writer from work in progress.
class LockedTemp {
public:
    LockedTemp() = default;
    ~LockedTemp() { unlock(); }
    LockedTemp(LockedTemp&& other) noexcept;
    LockedTemp& operator=(LockedTemp&& other) noexcept;
    LockedTemp(const LockedTemp&) = delete;
    LockedTemp& operator=(const LockedTemp&) = delete;

    bool isValid() const { return !path_.isEmpty(); }
    const QString& path() const { return path_; }
    // The descriptor that holds the lock, open for reading and writing (a file's); -1 when none.
    int handle() const { return fd_; }
    // Gives up the lock; the file or folder stays (or has been renamed away by then).
    void unlock();
    // Removes the file (and any journal beside it) or the folder with its contents, then unlocks.
    void remove();

private:
    friend LockedTemp createLockedTemp(const QString&, const QString&, bool, QString*);
    QString path_;
    int fd_ = -1;
    bool folder_ = false;
};

// Build files are ".velmora-build-<random>.tmp" (never the name of a work file, which ends in ".mdb");
// the unpacker's staging folders ".raz-<random>". Empty with an errno-based reason in *error on failure.
LockedTemp createLockedTemp(const QString& dir, const QString& prefix, bool folder, QString* error);
inline LockedTemp createTempFile(const QString& dir, QString* error) {
    return createLockedTemp(dir, QStringLiteral(".velmora-build-"), false, error);
}
inline LockedTemp createStagingFolder(const QString& dir, QString* error) {
    return createLockedTemp(dir, QStringLiteral(".raz-"), true, error);
}
// True while some process holds the lock of the temporary file or folder at path.
bool isLockedByWriter(const QString& path);

// Flushes a file's content to the disk.
bool syncFile(const QString& path);
// Flushes several files of one folder to the disk. Many at once are flushed with their whole file system in
// one pass (one disk flush, not one per file), which reports a write error of any file on it; only then are
// they flushed one by one. Returns the index of the first file that could not be written (errno tells why),
// or -1 when all are on the disk.
qsizetype syncFiles(const QString& dir, const QStringList& paths);
// Flushes a folder's entries (after a rename) to the disk.
void syncDir(const QString& dir);

enum class PublishResult { Ok, Exists, Failed };
// Renames tmp to target only when target does not exist, atomically.
PublishResult publishNew(const QString& tmp, const QString& target, QString* error);
// Renames tmp over target atomically; readers of the old file keep reading it.
PublishResult publishReplace(const QString& tmp, const QString& target, QString* error);

// Removes the temporary file and any journal SQLite may have left beside it.
void removeTemp(const QString& tmp);

// Removes the temporary files and staging folders in dir whose writer is gone (nobody holds their lock).
// Returns how many were removed.
int removeLeftovers(const QString& dir);

// A plain-language reason for errno, in Bulgarian.
QString errnoReason(int err);

} // namespace vel::fileops
