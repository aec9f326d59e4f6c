#include "core/text/formats/Zip.h"

#include <QFile>
#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>

namespace vel {

namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveCloser>;

QString entryName(archive_entry* entry) {
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char* raw = archive_entry_pathname(entry))
        return QString::fromUtf8(raw);
    return {};
}

ZipContents readOpened(archive* a, qint64 archiveSize, const std::function<bool(const QString&)>& wanted,
                       const ZipLimits& limits) {
    ZipContents out;
    const qint64 budget =
        std::min(limits.absoluteBytes, std::max<qint64>(0, archiveSize) * limits.ratio + limits.slackBytes);
    qint64 used = 0;
    archive_entry* entry = nullptr;
    bool first = true;
    for (;;) {
        const int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN) {
            out.failure = first ? ZipFailure::NotAnArchive : ZipFailure::Damaged;
            return out;
        }
        first = false;
        if (archive_entry_filetype(entry) != AE_IFREG)
            continue;
        const QString name = entryName(entry);
        out.names << name;
        if (wanted && !wanted(name))
            continue;
        // The size an entry declares may lie; only the bytes really produced count.
        ZipEntry item{name, {}};
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > budget - used) {
            out.failure = ZipFailure::TooLarge;
            return out;
        }
        char chunk[64 * 1024];
        for (;;) {
            const la_ssize_t n = archive_read_data(a, chunk, sizeof chunk);
            if (n == 0)
                break;
            if (n < 0) {
                out.failure = ZipFailure::Damaged;
                return out;
            }
            used += n;
            if (used > budget) {
                out.failure = ZipFailure::TooLarge;
                return out;
            }
            item.data.append(chunk, n);
        }
        out.entries << std::move(item);
    }
    if (first)
        out.failure = ZipFailure::NotAnArchive;
    return out;
}

ArchivePtr newZipReader() {
    ArchivePtr a(archive_read_new());
    archive_read_support_format_zip(a.get());
    return a;
}

} // namespace

ZipContents readZip(const QString& path, const std::function<bool(const QString&)>& wanted,
                    const ZipLimits& limits) {
    ArchivePtr a = newZipReader();
    const QByteArray local = QFile::encodeName(path);
    if (archive_read_open_filename(a.get(), local.constData(), 64 * 1024) != ARCHIVE_OK)
        return {{}, {}, QFile::exists(path) ? ZipFailure::NotAnArchive : ZipFailure::Damaged};
    return readOpened(a.get(), QFile(path).size(), wanted, limits);
}

ZipContents readZip(const QByteArray& bytes, const std::function<bool(const QString&)>& wanted,
                    const ZipLimits& limits) {
    ArchivePtr a = newZipReader();
    if (archive_read_open_memory(a.get(), bytes.constData(), size_t(bytes.size())) != ARCHIVE_OK)
        return {{}, {}, ZipFailure::NotAnArchive};
    return readOpened(a.get(), bytes.size(), wanted, limits);
}

QString zipFailureText(ZipFailure failure) {
    switch (failure) {
    case ZipFailure::None:
        return {};
    case ZipFailure::NotAnArchive:
        return QStringLiteral("Файлът не е ZIP архив или е повреден");
    case ZipFailure::Damaged:
        return QStringLiteral("Архивът е повреден и не може да бъде прочетен");
    case ZipFailure::TooLarge:
        return QStringLiteral("Архивът се разархивира до прекалено голям обем (възможна „ZIP бомба“) и не "
                              "беше отворен");
    }
    return {};
}

} // namespace vel
