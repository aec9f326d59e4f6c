#pragma once
// Reading an OPDS catalogue page (an Atom feed): navigation entries that lead to other pages, book entries
// with their downloads, the page's paging and search links, and the OpenSearch description a search link
// may lead to. Links are absolute, resolved against the page's own address.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace vel {

struct OpdsLink {
    QUrl href;
    QString rel;
    QString type;
    QString title;
};

struct OpdsEntry {
    QString id;
    QString title;
    QStringList authors;
    QString summary;
    QString series;
    QString seriesNumber;
    QUrl cover;
    QUrl thumbnail;
    QList<OpdsLink> acquisitions; // the book's files
    QList<OpdsLink> feeds;        // other catalogue pages the entry leads to

    bool isBook() const { return !acquisitions.isEmpty(); }
    QString author() const { return authors.join(QStringLiteral(", ")); }
};

struct OpdsFeed {
    QString title;
    QList<OpdsEntry> entries;
    QUrl next;
    QUrl previous;
    QUrl start;
    QUrl up;
    // A search: either a template with "{searchTerms}" or an OpenSearch description to fetch first.
    QString searchTemplate;
    QUrl searchDescription;
};

struct OpdsParse {
    OpdsFeed feed;
    QString error; // Bulgarian; empty on success
    bool ok() const { return error.isEmpty(); }
};

// A page that is not an Atom feed (HTML, JSON, broken XML) is an error, never an empty catalogue.
OpdsParse parseOpdsFeed(const QByteArray& bytes, const QUrl& base);

// The Atom search template of an OpenSearch description, absolute; empty when it offers none.
QString openSearchTemplate(const QByteArray& bytes, const QUrl& base);

// The template with the words filled in (percent-encoded); the optional parameters dropped.
QUrl searchUrl(const QString& searchTemplate, const QString& words);

// The file worth importing: FB2 or zipped FB2, then EPUB, then plain text (zipped or not). Nothing when the
// entry offers none of these (a PDF, a shop's buy link).
std::optional<OpdsLink> bestAcquisition(const OpdsEntry& entry);

// A feed link whose rel says it leads back or sideways (self, start, up, paging, the feed's own
// alternates): following it while walking the catalogue down would only go round.
bool isBackwardRel(const QString& rel);

} // namespace vel
