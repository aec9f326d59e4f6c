#include "core/commands/Navigate.h"

#include "core/commands/Console.h"
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

} // namespace

Result<std::unique_ptr<WorkFile>> openLibraryWork(const QString& libraryDir, const QString& title) {
    if (!QFileInfo::exists(catalogPath(libraryDir)))
        return noCatalogue(libraryDir);
    Result<Catalogue::Opened> opened = Catalogue::open(libraryDir, true);
    if (!opened)
        return opened.failure();
    const std::optional<QString> path = workFilePath(libraryDir, title);
    std::unique_ptr<WorkFile> work;
    if (path && hasTitle(*opened->catalogue, title))
        work = WorkFile::open(*path);
    if (!work || work->pageCount() < 1)
        return fail(FailureKind::NotFound,
                    QStringLiteral("В библиотеката няма произведение „%1“.").arg(title),
                    QStringLiteral("The library holds no work titled \"%1\".").arg(title));
    return work;
}

int runContents(const StartOptions& options, QTextStream& out, QTextStream& err) {
    if (options.mode != StartMode::Contents || !options.error.isEmpty())
        return 2;
    const Result<std::unique_ptr<WorkFile>> opened = openLibraryWork(options.libraryDir, options.workTitle);
    if (!opened) {
        printFailure(err, opened.failure());
        return 1;
    }
    WorkFile* work = opened->get();
    for (const ContentsEntry& e : work->contents())
        out << e.level << '\t' << work->pageAt(e.position) << '\t' << oneField(e.heading) << '\n';
    out.flush();
    return 0;
}

int runSearch(const StartOptions& options, QTextStream& out, QTextStream& err) {
    if (options.mode != StartMode::Search || !options.error.isEmpty())
        return 2;
    const Result<std::unique_ptr<WorkFile>> opened = openLibraryWork(options.libraryDir, options.workTitle);
    if (!opened) {
        printFailure(err, opened.failure());
        return 1;
    }
    WorkFile* work = opened->get();
    for (const SearchHit& hit : searchWork(
             work->pageCount(), [&](int n) { return work->page(n).text; }, options.files.join(u' ')))
        out << hit.page << '\t' << oneField(hit.context) << '\n';
    out.flush();
    return 0;
}

} // namespace vel
