#include "core/opds/OpdsBrowser.h"

#include "core/AsyncTask.h"
#include "core/net/BookDownload.h"
#include "core/net/Fetch.h"
#include "core/storage/Catalogue.h"

namespace vel {

namespace {

constexpr FetchLimits kCoverLimits{qint64(4) * 1024 * 1024, 30'000};

// A fetch reports its end from inside itself: it goes once that report is over.
template <class T> void dispose(std::unique_ptr<T>& owned) {
    if (owned) {
        owned->disconnect();
        owned.release()->deleteLater();
    }
}

} // namespace

OpdsBrowser::OpdsBrowser(QString libraryDir, QObject* parent)
    : QObject(parent), libraryDir_(std::move(libraryDir)) {}

OpdsBrowser::~OpdsBrowser() {
    // The import reads the download's file: it ends before the file goes.
    importing_.waitForFinished();
}

void OpdsBrowser::start(const QUrl& url) {
    history_.clear();
    url_.clear();
    load(url, false);
}

void OpdsBrowser::open(const QUrl& url) {
    load(url, true);
}

void OpdsBrowser::back() {
    if (history_.isEmpty())
        return;
    const QUrl previous = history_.takeLast();
    load(previous, false);
}

void OpdsBrowser::nextPage() {
    if (!feed_.next.isEmpty())
        load(feed_.next, true);
}

void OpdsBrowser::previousPage() {
    if (!feed_.previous.isEmpty())
        load(feed_.previous, true);
}

void OpdsBrowser::search(const QString& words) {
    if (words.simplified().isEmpty())
        return;
    if (!feed_.searchTemplate.isEmpty()) {
        open(searchUrl(feed_.searchTemplate, words));
        return;
    }
    if (feed_.searchDescription.isEmpty())
        return;
    dispose(page_);
    page_ = std::make_unique<Fetch>(network_, feed_.searchDescription, kFeedLimits);
    connect(page_.get(), &Fetch::finished, this, [this, words] { searchDescriptionFetched(words); });
}

void OpdsBrowser::cancel() {
    if (page_)
        page_->cancel();
    if (download_ && download_->fetch())
        download_->fetch()->cancel();
}

void OpdsBrowser::load(const QUrl& url, bool remember) {
    dispose(page_);
    pageUrl_ = url;
    remember_ = remember;
    page_ = std::make_unique<Fetch>(network_, url, kFeedLimits);
    connect(page_.get(), &Fetch::finished, this, &OpdsBrowser::pageFetched);
}

void OpdsBrowser::pageFetched() {
    const Fetch& fetch = *page_;
    OpdsParse parsed;
    if (!fetch.ok())
        parsed.error = fetch.error();
    else
        parsed = parseOpdsFeed(fetch.data(), fetch.finalUrl());
    const QUrl finalUrl = fetch.finalUrl();
    dispose(page_);
    if (!parsed.ok()) {
        Q_EMIT failed(parsed.error);
        return;
    }
    if (remember_ && !url_.isEmpty())
        history_ << url_;
    url_ = finalUrl;
    feed_ = std::move(parsed.feed);
    covers_.clear();
    Q_EMIT pageLoaded();
}

void OpdsBrowser::searchDescriptionFetched(const QString& words) {
    const QString found = page_->ok() ? openSearchTemplate(page_->data(), page_->finalUrl()) : QString();
    const QString error = page_->error();
    dispose(page_);
    if (found.isEmpty()) {
        Q_EMIT failed(error.isEmpty() ? QStringLiteral("Каталогът не предлага търсене.") : error);
        return;
    }
    feed_.searchTemplate = found;
    open(searchUrl(found, words));
}

void OpdsBrowser::fetchCover(int entry) {
    if (entry < 0 || entry >= feed_.entries.size() || !isWebUrl(feed_.entries[entry].thumbnail))
        return;
    auto fetch = std::make_unique<Fetch>(network_, feed_.entries[entry].thumbnail, kCoverLimits);
    Fetch* f = fetch.get();
    connect(f, &Fetch::finished, this, [this, f, entry] {
        QImage cover;
        if (f->ok() && cover.loadFromData(f->data()))
            Q_EMIT coverReady(entry, cover);
    });
    covers_.push_back(std::move(fetch));
}

void OpdsBrowser::add(int entry, const QSize& screen) {
    if (entry < 0 || entry >= feed_.entries.size() || download_)
        return;
    const OpdsEntry& e = feed_.entries[entry];
    const std::optional<OpdsLink> best = bestAcquisition(e);
    if (!best) {
        Q_EMIT failed(QStringLiteral("Книгата не се предлага във формат, който програмата чете "
                                     "(FB2, EPUB или текст)."));
        return;
    }
    request_ = ImportRequest{{}, e.title, e.author(), screen};
    download_ = std::make_unique<BookDownload>(network_, best->href, libraryDir_);
    if (Fetch* fetch = download_->fetch())
        connect(fetch, &Fetch::progress, this, &OpdsBrowser::downloadProgress);
    connect(download_.get(), &BookDownload::finished, this, [this] {
        if (!download_->ok()) {
            const bool cancelled = download_->fetch() && download_->fetch()->wasCancelled();
            const QString error = download_->error();
            dispose(download_);
            if (!cancelled)
                Q_EMIT failed(error);
            return;
        }
        ImportRequest request = request_;
        request.file = download_->path();
        request.sourceName = download_->sourceName();
        Q_EMIT importStarted();
        // Cut in the background on a connection of its own; the download's file stays until it is done.
        importing_ = runInBackground(
            this,
            [library = libraryDir_, request] {
                Result<Catalogue::Opened> opened = Catalogue::open(library);
                if (!opened) {
                    ImportResult r;
                    r.title = request.title;
                    r.author = request.author;
                    r.reason = r.error = opened.message();
                    return r;
                }
                return importWork(*opened->catalogue, library, request);
            },
            [this](const ImportResult& result) {
                download_.reset();
                Q_EMIT added(result);
            });
    });
}

} // namespace vel
