#include "unpack/Unpack.h"

#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/FileOps.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace vel::unpack {

namespace {

// Far more than any library of books; an archive claiming more is not ours.
constexpr qint64 kMaxUnpackedBytes = qint64(4) * 1024 * 1024 * 1024;

struct ReadCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteCloser {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

QString archiveError(archive* a) {
    const char* s = archive_error_string(a);
    return s ? QString::fromLocal8Bit(s) : QStringLiteral("неизвестна грешка");
}

QString entryName(archive_entry* e) {
    const char* utf8 = archive_entry_pathname_utf8(e);
    QString name = utf8 ? QString::fromUtf8(utf8) : QString::fromUtf8(archive_entry_pathname(e));
    while (name.startsWith(QStringLiteral("./")))
        name.remove(0, 2);
    return name;
}

bool isCatalogueName(const QString& name) {
    return name == QString::fromLatin1(kCatalogFileName);
}

// A name the library may hold: the catalogue, or a work file whose title names a file inside the folder.
bool isLibraryFileName(const QString& name) {
    const QString suffix = QString::fromLatin1(kWorkFileSuffix);
    if (isCatalogueName(name))
        return true;
    return name.endsWith(suffix) && isValidWorkTitle(name.chopped(suffix.size()));
}

// Reads every entry of the archive into `dir`. Returns an error, or an empty string.
QString readArchive(const QString& archivePath, const QString& dir, UnpackReport& report) {
    std::unique_ptr<archive, ReadCloser> a(archive_read_new());
    archive_read_support_filter_all(a.get());
    archive_read_support_format_all(a.get());
    if (archive_read_open_filename(a.get(), QFile::encodeName(archivePath).constData(), 64 * 1024) !=
        ARCHIVE_OK)
        return QStringLiteral("Архивът %1 не може да бъде отворен: %2")
            .arg(QDir::toNativeSeparators(archivePath), archiveError(a.get()));

    qint64 total = 0;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN)
            return QStringLiteral("Архивът %1 е повреден: %2")
                .arg(QDir::toNativeSeparators(archivePath), archiveError(a.get()));
        const QString name = entryName(entry);
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        if (archive_entry_filetype(entry) != AE_IFREG) {
            report.skipped << name + QStringLiteral(": не е обикновен файл");
            continue;
        }
        if (!isLibraryFileName(name)) {
            report.skipped << name + QStringLiteral(": не е файл на библиотека");
            continue;
        }
        QFile out(QDir(dir).filePath(name));
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            report.skipped << name + QStringLiteral(": среща се два пъти в архива");
            continue;
        }
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.data(), size_t(buffer.size()));
            if (n == 0)
                break;
            if (n < 0)
                return QStringLiteral("Архивът %1 е повреден: %2")
                    .arg(QDir::toNativeSeparators(archivePath), archiveError(a.get()));
            total += n;
            if (total > kMaxUnpackedBytes)
                return QStringLiteral("Архивът %1 е твърде голям.")
                    .arg(QDir::toNativeSeparators(archivePath));
            if (out.write(buffer.constData(), n) != n)
                return QStringLiteral("Папката на библиотеката не приема файла %1: %2")
                    .arg(name, out.errorString());
        }
        if (!out.flush())
            return QStringLiteral("Папката на библиотеката не приема файла %1: %2")
                .arg(name, out.errorString());
    }
    return QString();
}

} // namespace

QStringList archiveCandidates(const QString& unpackerDir) {
    const QDir dir(unpackerDir);
    const QString name = QString::fromLatin1(kArchiveName);
    return {dir.filePath(name), QDir::cleanPath(dir.filePath(QStringLiteral("../share/velmora/") + name))};
}

QString findArchive(const QString& unpackerDir) {
    for (const QString& path : archiveCandidates(unpackerDir)) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

UnpackReport unpackLibrary(const QString& archivePath, const QString& libraryDir) {
    UnpackReport report;
    if (!QDir().mkpath(libraryDir)) {
        report.error = QStringLiteral("Папката на библиотеката %1 не може да бъде създадена.")
                           .arg(QDir::toNativeSeparators(libraryDir));
        return report;
    }
    // The library's own catalogue first: a damaged one is left alone, and nothing is unpacked beside it.
    Catalogue::OpenResult library = Catalogue::open(libraryDir);
    if (!library) {
        report.error = library.error;
        return report;
    }

    QTemporaryDir staging(QDir(libraryDir).filePath(QStringLiteral(".raz-XXXXXX")));
    if (!staging.isValid()) {
        report.error = QStringLiteral("В папката на библиотеката %1 не може да се пише.")
                           .arg(QDir::toNativeSeparators(libraryDir));
        return report;
    }
    report.error = readArchive(archivePath, staging.path(), report);
    if (!report.error.isEmpty())
        return report;

    const QDir staged(staging.path());
    if (!QFileInfo(staged.filePath(QString::fromLatin1(kCatalogFileName))).isFile()) {
        report.error = QStringLiteral("В архива %1 няма каталог.").arg(QDir::toNativeSeparators(archivePath));
        return report;
    }
    Catalogue::OpenResult packed = Catalogue::open(staging.path());
    if (!packed) {
        report.error = packed.error;
        return report;
    }
    const std::vector<CatalogueRecord> records = titledRecords(*packed.catalogue);
    packed.catalogue.reset();

    // The work files, each put in place whole and never over a file that is there.
    const QString suffix = QString::fromLatin1(kWorkFileSuffix);
    QStringList names = staged.entryList({QStringLiteral("*") + suffix}, QDir::Files, QDir::Name);
    names.removeAll(QString::fromLatin1(kCatalogFileName));
    for (const QString& name : names) {
        const QString from = staged.filePath(name);
        if (!WorkFile::open(from)) {
            report.skipped << name + QStringLiteral(": не е файл на произведение");
            continue;
        }
        QString reason;
        switch (fileops::publishNew(from, QDir(libraryDir).filePath(name), &reason)) {
        case fileops::PublishResult::Ok:
            report.placed << name;
            break;
        case fileops::PublishResult::Exists:
            report.skipped << name + QStringLiteral(": вече съществува и остава непроменен");
            break;
        case fileops::PublishResult::Failed:
            report.skipped << name + QStringLiteral(": ") + reason;
            break;
        }
    }
    fileops::syncDir(libraryDir);

    // The records, in the archive's order, after the library's own.
    Catalogue& cat = *library.catalogue;
    for (const CatalogueRecord& record : records) {
        if (hasTitle(cat, record.name)) {
            report.kept << record.name;
        } else if (addWork(cat, record)) {
            report.added << record.name;
        } else {
            report.error = QStringLiteral("Каталогът %1 не може да бъде променен.")
                               .arg(QDir::toNativeSeparators(cat.path()));
            return report;
        }
    }
    return report;
}

bool packLibrary(const QString& libraryDir, const QString& archivePath, QString* error) {
    const QDir dir(libraryDir);
    const QString catalogue = QString::fromLatin1(kCatalogFileName);
    if (!QFileInfo(dir.filePath(catalogue)).isFile()) {
        *error = QStringLiteral("В %1 няма каталог.").arg(QDir::toNativeSeparators(libraryDir));
        return false;
    }
    QStringList names =
        dir.entryList({QStringLiteral("*") + QString::fromLatin1(kWorkFileSuffix)}, QDir::Files, QDir::Name);
    names.removeAll(catalogue);
    names.prepend(catalogue);

    // Written beside the archive and renamed over it when complete.
    const QString part = archivePath + QStringLiteral(".part");
    std::unique_ptr<archive, WriteCloser> a(archive_write_new());
    archive_write_add_filter_gzip(a.get());
    archive_write_set_format_pax_restricted(a.get());
    if (archive_write_open_filename(a.get(), QFile::encodeName(part).constData()) != ARCHIVE_OK) {
        *error = archiveError(a.get());
        return false;
    }
    auto fail = [&](const QString& why) {
        *error = why;
        a.reset();
        QFile::remove(part);
        return false;
    };
    for (const QString& name : names) {
        QFile in(dir.filePath(name));
        if (!in.open(QIODevice::ReadOnly))
            return fail(in.fileName() + QStringLiteral(": ") + in.errorString());
        const QByteArray data = in.readAll();
        std::unique_ptr<archive_entry, EntryFree> e(archive_entry_new());
        archive_entry_set_pathname_utf8(e.get(), name.toUtf8().constData());
        archive_entry_set_filetype(e.get(), AE_IFREG);
        archive_entry_set_perm(e.get(), 0644);
        archive_entry_set_size(e.get(), data.size());
        archive_entry_set_mtime(e.get(), QFileInfo(in).lastModified().toSecsSinceEpoch(), 0);
        if (archive_write_header(a.get(), e.get()) != ARCHIVE_OK ||
            archive_write_data(a.get(), data.constData(), size_t(data.size())) != data.size())
            return fail(name + QStringLiteral(": ") + archiveError(a.get()));
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK)
        return fail(archiveError(a.get()));
    a.reset();
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(archivePath).constData()) != 0)
        return fail(fileops::errnoReason(errno));
    return true;
}

} // namespace vel::unpack
