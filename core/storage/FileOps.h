#pragma once
// File steps for writing a database beside its final name and putting it in place in one atomic step.

#include <QString>

namespace vel::fileops {

// Creates a new empty file with a unique name ending in ".tmp" in dir (never the name of a work file,
// which ends in ".mdb"). Returns its path, or an empty string with errno-based reason in *error.
QString createTempFile(const QString& dir, QString* error);

// Flushes a file's content to the disk.
bool syncFile(const QString& path);
// Flushes a folder's entries (after a rename) to the disk.
void syncDir(const QString& dir);

enum class PublishResult { Ok, Exists, Failed };
// Renames tmp to target only when target does not exist, atomically.
PublishResult publishNew(const QString& tmp, const QString& target, QString* error);
// Renames tmp over target atomically; readers of the old file keep reading it.
PublishResult publishReplace(const QString& tmp, const QString& target, QString* error);

// Removes the temporary file and any journal SQLite may have left beside it.
void removeTemp(const QString& tmp);

// Removes what builds interrupted by a crash left in dir: temporary files untouched for an hour. A build in
// progress writes its file all the time, so it is never taken for one.
int removeStaleTemps(const QString& dir);

// A plain-language reason for errno, in Bulgarian.
QString errnoReason(int err);

} // namespace vel::fileops
