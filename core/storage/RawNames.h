#pragma once
// File and folder names as the file system gives them: bytes, which need not be UTF-8. Qt turns such bytes
// into U+FFFD and can then no longer reach the file; these helpers reach it by its bytes.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vel {

bool isUtf8(const QByteArray& bytes);

// A name's bytes as a reader can read them: UTF-8 as it is, other bytes as U+FFFD.
QString readableName(const QByteArray& bytes);

// A path as messages name it: one reached through /proc/self/fd shows where it leads.
QString shownPath(const QString& path);

// A path held by its bytes. One that is not UTF-8 is opened once (without reading anything) and reached
// through /proc/self/fd for as long as this lives, so every file operation that takes a QString can use it.
class RawPath {
public:
    // `createFolder`: a folder that is missing is made first (a library folder named on the command line).
    explicit RawPath(QByteArray bytes, bool createFolder = false);
    ~RawPath();
    RawPath(RawPath&& other) noexcept;
    RawPath& operator=(RawPath&&) = delete;
    RawPath(const RawPath&) = delete;
    RawPath& operator=(const RawPath&) = delete;

    // The path to hand to QFile, QFileInfo, SQLite, ...; empty when a name that is not UTF-8 does not exist.
    const QString& path() const { return path_; }
    QString shown() const { return readableName(bytes_); }

private:
    QByteArray bytes_;
    QString path_;
    int fd_ = -1;
};

// The files under a folder (by its path's bytes), recursively and in name order, whose names end in one of
// `suffixes` (any case); each as the bytes of its path.
QList<QByteArray> filesUnder(const QByteArray& folder, const QStringList& suffixes);

} // namespace vel
