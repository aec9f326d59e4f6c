#include "core/opds/OpdsWalk.h"

#include "core/commands/Import.h"
#include "core/net/Fetch.h"

#include <QNetworkAccessManager>
#include <QSet>
#include <QTextStream>

namespace vel {

namespace {

QString visitKey(const QUrl& url) {
    return url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments).toString(QUrl::FullyEncoded);
}

} // namespace

OpdsParse fetchOpdsPage(QNetworkAccessManager& network, const QUrl& url) {
    Fetch fetch(network, url, kFeedLimits);
    if (!fetch.waitForFinished())
        return OpdsParse{{}, fetch.error()};
    return parseOpdsFeed(fetch.data(), fetch.finalUrl());
}

QUrl opdsSearchUrl(QNetworkAccessManager& network, const OpdsFeed& feed, const QString& words,
                   QString* error) {
    QString searchTemplate = feed.searchTemplate;
    if (searchTemplate.isEmpty() && !feed.searchDescription.isEmpty()) {
        Fetch fetch(network, feed.searchDescription, kFeedLimits);
        if (!fetch.waitForFinished()) {
            *error = fetch.error();
            return {};
        }
        searchTemplate = openSearchTemplate(fetch.data(), fetch.finalUrl());
    }
    const QUrl url = searchTemplate.isEmpty() ? QUrl() : searchUrl(searchTemplate, words);
    if (!isWebUrl(url))
        *error = QStringLiteral("Каталогът не предлага търсене.");
    return isWebUrl(url) ? url : QUrl();
}

OpdsWalkResult walkOpds(QNetworkAccessManager& network, const QUrl& start, int maxPages) {
    OpdsWalkResult result;
    QList<QUrl> pending{start};
    QSet<QString> visited{visitKey(start)};
    QSet<QString> listed;
    int read = 0;
    while (!pending.isEmpty()) {
        if (read == maxPages) {
            result.truncated = true;
            break;
        }
        const QUrl url = pending.takeLast();
        ++read;
        const OpdsParse page = fetchOpdsPage(network, url);
        if (!page.ok()) {
            result.errors << oneLine(page.error);
            continue;
        }
        // Taken from the end: the next page after everything this one leads to, its entries in order.
        QList<QUrl> below;
        auto follow = [&](const QUrl& link) {
            if (link.host().compare(start.host(), Qt::CaseInsensitive) != 0 || !isWebUrl(link))
                return;
            const QString key = visitKey(link);
            if (visited.contains(key))
                return;
            visited.insert(key);
            below << link;
        };
        follow(page.feed.next);
        QList<QUrl> children;
        for (const OpdsEntry& entry : page.feed.entries) {
            if (entry.isBook()) {
                const std::optional<OpdsLink> best = bestAcquisition(entry);
                if (!best)
                    continue;
                const QString key = visitKey(best->href);
                if (listed.contains(key))
                    continue;
                listed.insert(key);
                result.books << OpdsBook{entry.title, entry.author(), best->href};
            } else {
                for (const OpdsLink& link : entry.feeds)
                    children << link.href;
            }
        }
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            follow(*it);
        pending << below;
    }
    return result;
}

int runOpds(const StartOptions& options, QTextStream& out, QTextStream& err) {
    if (options.mode != StartMode::Opds || !options.error.isEmpty())
        return 2;
    const QUrl start(options.opdsUrl, QUrl::StrictMode);
    if (!isWebUrl(start)) {
        err << QStringLiteral("Адресът не е на уеб страница (http или https): %1 / Not a web address: %1\n")
                   .arg(options.opdsUrl);
        return 2;
    }
    QNetworkAccessManager network;
    QUrl from = start;
    if (!options.searchWords.isEmpty()) {
        const OpdsParse first = fetchOpdsPage(network, start);
        if (!first.ok()) {
            err << oneLine(first.error) << '\n';
            return 1;
        }
        QString error;
        from = opdsSearchUrl(network, first.feed, options.searchWords, &error);
        if (from.isEmpty()) {
            err << oneLine(error) << '\n';
            return 1;
        }
    }
    const OpdsWalkResult walked = walkOpds(network, from);
    for (const OpdsBook& book : walked.books)
        out << oneLine(book.title) << '\t' << oneLine(book.author) << '\t'
            << book.link.toString(QUrl::FullyEncoded) << '\n';
    for (const QString& error : walked.errors)
        err << error << '\n';
    if (walked.truncated)
        err << QStringLiteral(
                   "Прочетени са първите %1 страници на каталога. / Only the first %1 pages of the "
                   "catalogue were read.\n")
                   .arg(kMaxWalkPages);
    out.flush();
    err.flush();
    return walked.errors.isEmpty() ? 0 : 1;
}

} // namespace vel
