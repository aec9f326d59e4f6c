#pragma once
// File steps for writing a database beside its final name and putting it in place in one atomic step.

#include "core/Result.h"

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
    friend Result<LockedTemp> createLockedTemp(const QString&, const QString&, bool);
    QString path_;
    int fd_ = -1;
    bool folder_ = false;
};

// The failures of this file carry a reason to put into a sentence that names the file (errnoReason).

// Build files are ".velmora-build-<random>.tmp" (never the name of a work file, which ends in ".mdb");
// the unpacker's staging folders ".raz-<random>".
[[nodiscard]] Result<LockedTemp> createLockedTemp(const QString& dir, const QString& prefix, bool folder);
[[nodiscard]] inline Result<LockedTemp> createTempFile(const QString& dir) {
    return createLockedTemp(dir, QStringLiteral(".velmora-build-"), false);
}
[[nodiscard]] inline Result<LockedTemp> createStagingFolder(const QString& dir) {
    return createLockedTemp(dir, QStringLiteral(".raz-"), true);
}
// True while some process holds the lock of the temporary file or folder at path.
bool isLockedByWriter(const QString& path);

// Flushes a file's content to the disk.
[[nodiscard]] Result<> syncFile(const QString& path);
// Flushes several files of one folder to the disk. Many at once are flushed with their whole file system in
// one pass (one disk flush, not one per file), which reports a write error of any file on it; only then are
// they flushed one by one. Returns the index of the first file that could not be written (errno tells why),
// or -1 when all are on the disk.
qsizetype syncFiles(const QString& dir, const QStringList& paths);
// Flushes a folder's entries (after a rename) to the disk.
[[nodiscard]] Result<> syncDir(const QString& dir);

// The system calls a rename into place is made of, so that tests can play a file system that lacks some.
// Each returns 0 or -1 with errno set, as the system calls do.
struct RenameCalls {
    int (*renameNoReplace)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
    int (*rename)(const char* from, const char* to);
};
const RenameCalls& systemRenameCalls();

// Renames tmp to target only when target does not exist, atomically; Exists when it does. File systems
// without a no-replace rename get a hard link instead, and those without hard links (FAT) a check and a
// plain rename.
[[nodiscard]] Result<> publishNew(const QString& tmp, const QString& target,
                                  const RenameCalls& calls = systemRenameCalls());
// Renames tmp over target atomically; readers of the old file keep reading it.
[[nodiscard]] Result<> publishReplace(const QString& tmp, const QString& target);

// Removes the temporary file and any journal SQLite may have left beside it.
void removeTemp(const QString& tmp);

// Removes the temporary files and staging folders in dir whose writer is gone (nobody holds their lock).
// Returns how many were removed.
int removeLeftovers(const QString& dir);

// A plain-language reason for errno, in Bulgarian.
QString errnoReason(int err);
// The failure for errno: DiskFull, Exists or Io, with errnoReason as its message.
Failure errnoFailure(int err);

} // namespace vel::fileops
