#include "core/commands/Navigate.h"

#include "core/nav/BookSearch.h"
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace vel {

namespace {
// Tabs and line breaks inside a field would split it.
QString oneField(const QString& text) {
    QString s = text;
    s.replace(u'\t', u' ');
    return s.simplified();
}

int failWith(QTextStream& err, const QString& error) {
    err << error << '\n';
    err.flush();
    return 1;
}
} // namespace

std::unique_ptr<WorkFile> openLibraryWork(const QString& libraryDir, const QString& title, QString* error) {
    const QString catalogue = catalogPath(libraryDir);
    if (!QFileInfo::exists(catalogue)) {
        *error = QStringLiteral("Няма каталог %1 / There is no catalogue %1").arg(shownPath(catalogue));
        return nullptr;
    }
    Result<Catalogue::Opened> opened = Catalogue::open(libraryDir, true);
    if (!opened) {
        *error = opened.message().simplified();
        return nullptr;
    }
    const std::optional<QString> path = workFilePath(libraryDir, title);
    std::unique_ptr<WorkFile> work;
    if (path && hasTitle(*opened->catalogue, title))
        work = WorkFile::open(*path);
    if (!work || work->pageCount() < 1) {
        *error = QStringLiteral(
                     "В библиотеката няма произведение „%1“. / The library holds no work titled \"%1\".")
                     .arg(title);
        return nullptr;
    }
    return work;
}

int runContents(const StartOptions& options, QTextStream& out, QTextStream& err) {
    if (options.mode != StartMode::Contents || !options.error.isEmpty())
        return 2;
    QString error;
    const auto work = openLibraryWork(options.libraryDir, options.workTitle, &error);
    if (!work)
        return failWith(err, error);
    for (const ContentsEntry& e : work->contents())
        out << e.level << '\t' << work->pageAt(e.position) << '\t' << oneField(e.heading) << '\n';
    out.flush();
    return 0;
}

int runSearch(const StartOptions& options, QTextStream& out, QTextStream& err) {
    if (options.mode != StartMode::Search || !options.error.isEmpty())
        return 2;
    QString error;
    const auto work = openLibraryWork(options.libraryDir, options.workTitle, &error);
    if (!work)
        return failWith(err, error);
    for (const SearchHit& hit : searchWork(
             work->pageCount(), [&](int n) { return work->page(n).text; }, options.files.join(u' ')))
        out << hit.page << '\t' << oneField(hit.context) << '\n';
    out.flush();
    return 0;
}

} // namespace vel
