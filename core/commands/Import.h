#pragma once
// Adding works from the command line, without any window: the same road a text takes through the main
// window's file command, the entry form and the book window's page build, with the values they store.

#include "core/commands/StartOptions.h"
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueSchema.h"
#include "core/storage/WorkFileBuilder.h"
#include "core/text/PanelLoad.h"

#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QTextStream;
class QUrl;

namespace vel {

// What a new work's record starts with: the text panel's font after loading such a file, the panel's and
// the main window's colours as a fresh start has them (see CatalogueSchema.h).
struct NewWorkStyle {
    QString font;
    double size = 14;
    std::int32_t cvetList = 0;
    std::int32_t cvetForma = 0;
};
NewWorkStyle newWorkStyle(TextSource source);
// The record a new work starts with: its first page, and the style's font, size and colours.
CatalogueRecord newWorkRecord(const QString& title, const QString& author, const NewWorkStyle& style);

// Documents by their ".doc" ending (any case); everything else is read as plain text.
TextSource sourceForFile(const QString& path);

// "Author - Title.txt" -> {author, title}, split at the first " - ", both trimmed and not empty.
std::optional<std::pair<QString, QString>> authorAndTitleFromFileName(const QString& path);

struct ImportRequest {
    QString file;
    QString title;  // empty: from the file's name
    QString author; // likewise
    QSize screen{1024, 768};
    PageLayout layout = PageLayout::Book;
    QString entry{}; // a book inside the zip `file`; empty for the file itself
    QString name{};  // the file as shown and as its name names the work; empty: `file`
    // The name the book had where it came from (a download's); its format and names are read from it, and
    // the file's own first bytes decide over it.
    QString sourceName{};
};

struct ImportResult {
    QString title;
    QString author;
    int pages = 0;
    QString error;   // Bulgarian / English; empty on success
    QString reason;  // the error in Bulgarian alone, for the windows
    QString warning; // the same, for what was added all the same (damaged characters)
    bool ok() const { return error.isEmpty(); }
};

// A work cut and written into a staged work file (finished, locked under its temporary name), with the record
// it is to get; or, when result is not ok, nothing at all.
struct PreparedWork {
    ImportResult result;
    CatalogueRecord record;
    std::unique_ptr<WorkFileBuilder> builder;
};

// The steps of importWork that need no catalogue, so that many can run at once: load, name, cut, write.
// titleTaken (may be empty) refuses a title before any work is done. Reentrant.
PreparedWork prepareWork(const QString& libraryDir, const ImportRequest& request,
                         const std::function<bool(const QString&)>& titleTaken);

// "The library already holds a work titled ...", Bulgarian and English.
QString alreadyThere(const QString& title);
QString alreadyThereEn(const QString& title);

// Loads, joins, cuts and stores one work: first its work file, put in place whole, then its catalogue
// record. A failure at any step leaves the library as it was.
ImportResult importWork(Catalogue& cat, const QString& libraryDir, const ImportRequest& request);

// A book fetched from the web into the library folder and imported as a file is; the download is removed
// afterwards whatever happened. Waits in a local event loop.
ImportResult importFromUrl(Catalogue& cat, const QString& libraryDir, const QUrl& url,
                           const ImportRequest& request);

// Whether a command-line argument is a web address rather than a file.
bool isWebAddress(const QString& argument);

// --import: every file or web address in turn; a report per file (added works on out, failures on err).
// Returns 0 when all were added, 1 when some were not, 2 for a command line it cannot use.
int runImport(const StartOptions& options, QTextStream& out, QTextStream& err);

// --list: one line per work in stored order: title, author, pages ("-" without a readable work file) and
// bookmark, separated by tabs. Returns 0, or 1 when there is no readable catalogue.
int runList(const StartOptions& options, QTextStream& out, QTextStream& err);

} // namespace vel
