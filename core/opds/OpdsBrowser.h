#pragma once
// Browsing one online catalogue page by page, as the catalogue window shows it: pages fetched in the
// background, a way back, paging, search, covers, and adding a book (download, then import with the entry's
// title and author). One page or download at a time; a new request cancels the one under way.

#include "core/commands/Import.h"
#include "core/opds/OpdsFeed.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSize>
#include <memory>

namespace vel {

class BookDownload;
class Fetch;

class OpdsBrowser : public QObject {
    Q_OBJECT
public:
    explicit OpdsBrowser(QString libraryDir, QObject* parent = nullptr);
    ~OpdsBrowser() override;

    // Opens a page; the page on show goes into the way back.
    void open(const QUrl& url);
    // Opens the catalogue's first page afresh, forgetting the way back.
    void start(const QUrl& url);
    void back();
    void nextPage();
    void previousPage();
    void search(const QString& words);
    // Stops the page load or download under way.
    void cancel();

    const OpdsFeed& feed() const { return feed_; }
    const QUrl& url() const { return url_; }
    bool isBusy() const { return page_ || download_; }
    bool canGoBack() const { return !history_.isEmpty(); }
    bool canSearch() const { return !feed_.searchTemplate.isEmpty() || !feed_.searchDescription.isEmpty(); }

    // The entry's cover, fetched once; coverReady follows.
    void fetchCover(int entry);
    // Downloads the entry's best format and imports it with its title and author, pages cut for `screen`.
    void add(int entry, const QSize& screen);

Q_SIGNALS:
    void pageLoaded();
    void failed(const QString& message);
    void coverReady(int entry, const QImage& cover);
    void downloadProgress(qint64 received, qint64 total);
    void importStarted(); // the download is whole; the book is being cut and added, past cancelling
    void added(const vel::ImportResult& result);

private:
    void load(const QUrl& url, bool remember);
    void pageFetched();
    void searchDescriptionFetched(const QString& words);

    QString libraryDir_;
    QNetworkAccessManager network_;
    OpdsFeed feed_;
    QUrl url_;
    QList<QUrl> history_;
    std::unique_ptr<Fetch> page_;
    QUrl pageUrl_;
    bool remember_ = false;
    std::unique_ptr<BookDownload> download_;
    ImportRequest request_;
    QFuture<ImportResult> importing_;
    std::vector<std::unique_ptr<Fetch>> covers_;
};

} // namespace vel
