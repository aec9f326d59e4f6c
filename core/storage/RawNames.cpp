#include "core/storage/RawNames.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vel {

bool isUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder(bytes);
    return !decoder.hasError();
}

QString readableName(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

QString shownPath(const QString& path) {
    static const QString kFds = QStringLiteral("/proc/self/fd/");
    if (!path.startsWith(kFds))
        return QDir::toNativeSeparators(path);
    const qsizetype end = path.indexOf(u'/', kFds.size());
    const QByteArray link = QFile::encodeName(path.left(end < 0 ? path.size() : end));
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(link.constData(), target.data(), size_t(target.size()));
    if (n <= 0)
        return path;
    target.truncate(n);
    return QDir::toNativeSeparators(readableName(target) + (end < 0 ? QString() : path.mid(end)));
}

RawPath::RawPath(QByteArray bytes, bool createFolder) : bytes_(std::move(bytes)) {
    if (isUtf8(bytes_)) {
        path_ = QString::fromUtf8(bytes_);
        return;
    }
    if (createFolder)
        ::mkdir(bytes_.constData(), 0777);
    fd_ = ::open(bytes_.constData(), O_PATH | O_CLOEXEC);
    if (fd_ >= 0)
        path_ = QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

RawPath::~RawPath() {
    if (fd_ >= 0)
        ::close(fd_);
}

RawPath::RawPath(RawPath&& other) noexcept
    : bytes_(std::move(other.bytes_)), path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

namespace {

bool endsWithAny(const QString& name, const QStringList& suffixes) {
    return std::any_of(suffixes.begin(), suffixes.end(),
                       [&](const QString& s) { return name.endsWith(s, Qt::CaseInsensitive); });
}

void walk(const QByteArray& folder, const QStringList& suffixes, QList<QByteArray>& found, int depth) {
    // Deeper than any shelf of books; a loop of bind mounts ends here.
    constexpr int kMaxDepth = 64;
    DIR* dir = depth < kMaxDepth ? ::opendir(folder.constData()) : nullptr;
    if (!dir)
        return;
    QList<QByteArray> names;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const QByteArray& a, const QByteArray& b) {
        return QString::compare(readableName(a), readableName(b), Qt::CaseInsensitive) < 0;
    });
    for (const QByteArray& name : std::as_const(names)) {
        const QByteArray path = QByteArray(folder.endsWith('/') ? folder : folder + '/') + name;
        // Links to files are followed, links to folders not: no walk goes round in a circle.
        struct stat st;
        if (::lstat(path.constData(), &st) != 0)
            continue;
        const bool link = S_ISLNK(st.st_mode);
        if (link && ::stat(path.constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode) && !link)
            walk(path, suffixes, found, depth + 1);
        else if (S_ISREG(st.st_mode) && endsWithAny(readableName(name), suffixes))
            found << path;
    }
}

} // namespace

QList<QByteArray> filesUnder(const QByteArray& folder, const QStringList& suffixes) {
    QList<QByteArray> found;
    walk(folder, suffixes, found, 0);
    return found;
}

} // namespace vel
