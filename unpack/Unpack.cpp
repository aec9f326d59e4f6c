#include "unpack/Unpack.h"

#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/CatalogueSchema.h"
#include "core/storage/FileOps.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"
#include "core/storage/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace vel::unpack {

namespace {

// A library of books packs to about a third of its size; an archive that would unpack to far more than
// that is not ours (or is built to fill the disk).
constexpr qint64 kExpansion = 64;
constexpr qint64 kMinCap = qint64(64) * 1024 * 1024;

qint64 unpackCap(const QString& archivePath) {
    return std::max(kMinCap, QFileInfo(archivePath).size() * kExpansion);
}

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
            .arg(shownPath(archivePath), archiveError(a.get()));

    const qint64 cap = unpackCap(archivePath);
    qint64 total = 0;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN)
            return QStringLiteral("Архивът %1 е повреден: %2")
                .arg(shownPath(archivePath), archiveError(a.get()));
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
        // The size the entry declares bounds what is written for it; one beyond the cap is not read at all.
        const qint64 declared = archive_entry_size_is_set(entry) ? qint64(archive_entry_size(entry)) : -1;
        if (declared < 0 || declared > cap - total) {
            report.skipped << name + QStringLiteral(": твърде голям за примерна библиотека");
            continue;
        }
        QFile out(QDir(dir).filePath(name));
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            report.skipped << name + QStringLiteral(": среща се два пъти в архива");
            continue;
        }
        qint64 written = 0;
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.data(), size_t(buffer.size()));
            if (n == 0)
                break;
            if (n < 0)
                return QStringLiteral("Архивът %1 е повреден: %2")
                    .arg(shownPath(archivePath), archiveError(a.get()));
            written += n;
            total += n;
            if (written > declared)
                return QStringLiteral("Архивът %1 е повреден: %2 е по-голям от заявения си размер.")
                    .arg(shownPath(archivePath), name);
            if (out.write(buffer.constData(), n) != n)
                return QStringLiteral("Папката на библиотеката не приема файла %1: %2")
                    .arg(name, out.error() == QFileDevice::ResourceError
                                   ? QStringLiteral("няма свободно място на диска")
                                   : out.errorString());
        }
        if (!out.flush())
            return QStringLiteral("Папката на библиотеката не приема файла %1: %2")
                .arg(name, out.errorString());
        if (written != declared)
            return QStringLiteral("Архивът %1 е повреден: %2 е непълен.").arg(shownPath(archivePath), name);
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
                           .arg(shownPath(libraryDir));
        return report;
    }
    // The library's own catalogue first: a damaged one is left alone, and nothing is unpacked beside it.
    Result<Catalogue::Opened> library = Catalogue::open(libraryDir);
    if (!library) {
        report.error = library.message();
        return report;
    }

    Catalogue& cat = *library->catalogue;
    // Whatever an interrupted unpack or build left here is put right first.
    for (const Failure& note : reconcileLibrary(cat, libraryDir).messages())
        report.skipped << note.message;

    // The staging folder is locked while this run lives and removed on every path out of it; after a kill,
    // the next open of the library removes it.
    Result<fileops::LockedTemp> made = fileops::createStagingFolder(libraryDir);
    if (!made) {
        report.error = QStringLiteral("В папката на библиотеката %1 не може да се пише: %2.")
                           .arg(shownPath(libraryDir), made.message());
        return report;
    }
    fileops::LockedTemp staging = std::move(*made);
    const auto cleanUp = qScopeGuard([&staging] { staging.remove(); });
    report.error = readArchive(archivePath, staging.path(), report);
    if (!report.error.isEmpty())
        return report;

    const QDir staged(staging.path());
    if (!QFileInfo(staged.filePath(QString::fromLatin1(kCatalogFileName))).isFile()) {
        report.error = QStringLiteral("В архива %1 няма каталог.").arg(shownPath(archivePath));
        return report;
    }
    std::vector<CatalogueRecord> records;
    {
        Result<Catalogue::Opened> packed = Catalogue::open(staging.path(), true);
        if (!packed) {
            report.error = packed.message();
            return report;
        }
        records = titledRecords(*packed->catalogue);
    }

    // A record goes in only with its own work file, under a title the entry form would accept, once.
    QSet<QString> known;
    {
        Statement st(cat.database(), QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL")
                                         .arg(schema::kName, schema::kTable));
        while (st.step() == Statement::Step::Row)
            known.insert(st.text(0));
    }
    const QString suffix = QString::fromLatin1(kWorkFileSuffix);
    QSet<QString> claimed;
    std::vector<std::pair<CatalogueRecord, QString>> works;
    for (CatalogueRecord& record : records) {
        const QString name = record.name + suffix;
        if (known.contains(record.name)) {
            report.kept << record.name;
            continue;
        }
        if (!isValidWorkTitle(record.name) || record.number.isEmpty()) {
            report.skipped << record.name + QStringLiteral(": недопустимо заглавие или липсващ автор");
            continue;
        }
        if (claimed.contains(record.name)) {
            report.skipped << record.name + QStringLiteral(": среща се два пъти в каталога на архива");
            continue;
        }
        const QString from = staged.filePath(name);
        const QFileInfo info(from);
        const auto work = info.isFile() && !info.isSymLink() ? WorkFile::open(from) : nullptr;
        if (!work) {
            report.skipped << record.name + QStringLiteral(": няма свой файл на произведение в архива");
            continue;
        }
        if (work->fact(schema::kFactTitle) != record.name ||
            work->fact(schema::kFactAuthor) != record.number) {
            if (const Result<> stored = storeWorkFacts(from, record); !stored) {
                report.error = stored.kind() == FailureKind::DiskFull
                                   ? QStringLiteral("Няма свободно място на диска.")
                                   : QStringLiteral("Файлът %1 не може да бъде записан.").arg(name);
                return report;
            }
        }
        claimed.insert(record.name);
        works.emplace_back(std::move(record), from);
    }
    const QStringList orphans = staged.entryList({QStringLiteral("*") + suffix}, QDir::Files, QDir::Name);
    for (const QString& name : orphans) {
        if (!isCatalogueName(name) && !claimed.contains(name.chopped(suffix.size())) &&
            !known.contains(name.chopped(suffix.size())))
            report.skipped << name + QStringLiteral(": няма запис в каталога на архива");
    }

    QStringList taken;
    const Result<> merged = addWorks(cat, libraryDir, works, &report.added, &taken);
    for (const QString& title : std::as_const(taken))
        report.skipped << title + suffix + QStringLiteral(": вече съществува и остава непроменен");
    for (const QString& title : std::as_const(report.added))
        report.placed << title + suffix;
    if (!merged.ok())
        report.error = merged.message();
    return report;
}

bool packLibrary(const QString& libraryDir, const QString& archivePath, QString* error) {
    const QDir dir(libraryDir);
    const QString catalogue = QString::fromLatin1(kCatalogFileName);
    if (!QFileInfo(dir.filePath(catalogue)).isFile()) {
        *error = QStringLiteral("В %1 няма каталог.").arg(shownPath(libraryDir));
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
