#pragma once
// --opds: a catalogue walked from a page (or from its search results) down to the books, one line a book.

#include "core/commands/StartOptions.h"
#include "core/opds/OpdsFeed.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QTextStream;

namespace vel {

// A walk never reads more pages than this: a catalogue may hold a whole library.
inline constexpr int kMaxWalkPages = 500;

struct OpdsBook {
    QString title;
    QString author;
    QUrl link; // the best format's file
};

struct OpdsWalkResult {
    QList<OpdsBook> books;
    QStringList errors; // a page that could not be read, one line each (Bulgarian)
    bool truncated = false;
};

// Fetches and reads one catalogue page, waiting in a local event loop.
OpdsParse fetchOpdsPage(QNetworkAccessManager& network, const QUrl& url);

// The search results' first page for the words, through the page's search link (an OpenSearch description
// is fetched first). Empty with *error set when the catalogue offers no search.
QUrl opdsSearchUrl(QNetworkAccessManager& network, const OpdsFeed& feed, const QString& words,
                   QString* error);

// Follows navigation entries and next pages depth first, in the order the pages give, within the start's
// host; every page is read once, and self, start, up and paging-back links are never taken. A book is
// listed once, with its best format; books offering no readable format are left out.
OpdsWalkResult walkOpds(QNetworkAccessManager& network, const QUrl& start, int maxPages = kMaxWalkPages);

// Returns 0 when every page was read, 1 when some were not, 2 for a command line it cannot use.
int runOpds(const StartOptions& options, QTextStream& out, QTextStream& err);

} // namespace vel
