#include "core/commands/BatchImport.h"

#include "core/storage/CatalogueRecords.h"
#include "core/storage/FaultPoint.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"
#include "core/text/formats/BookFormats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <chrono>
#include <deque>
#include <future>

namespace vel {

namespace {

// Works that enter the catalogue through one transaction at most, and how long a finished one waits for
// others to go in with it.
constexpr size_t kChunk = 64;
constexpr qint64 kChunkWaitMs = 250;

ImportResult refused(ImportResult r, const QString& reason, const QString& reasonEn) {
    r.reason = reason;
    r.error = reason + QStringLiteral(" / ") + reasonEn;
    return r;
}

} // namespace

const QString kNoBooksInFolder = QStringLiteral("В папката няма книги за добавяне.");

QString ImportItem::shown() const {
    const QString path = shownPath(readableName(file));
    return entry.isEmpty() ? path : path + u'/' + entry;
}

ImportItems importItems(const QStringList& given) {
    QStringList suffixes = bookFilePatterns();
    for (QString& s : suffixes)
        s.remove(0, 1); // "*.txt" -> ".txt"
    ImportItems result;
    QList<QByteArray> files;
    for (const QString& entry : given) {
        const QByteArray bytes = QFile::encodeName(entry);
        if (isWebAddress(entry) || !QFileInfo(entry).isDir()) {
            files << bytes;
            continue;
        }
        const QList<QByteArray> found = filesUnder(bytes, suffixes);
        if (found.isEmpty())
            result.emptyFolders << entry;
        files << found;
    }
    for (const QByteArray& file : std::as_const(files)) {
        const RawPath held(file);
        const QStringList books = isWebAddress(held.shown()) ? QStringList() : zippedBooks(held.path());
        if (books.size() < 2) {
            result.items << ImportItem{file};
            continue;
        }
        for (const QString& book : books)
            result.items << ImportItem{file, book};
    }
    return result;
}

std::vector<BatchItem> importBatch(Catalogue& cat, const QString& libraryDir, const QList<ImportItem>& files,
                                   const BatchOptions& options, const BatchReport& report,
                                   const std::atomic<bool>* cancel) {
    const int total = int(files.size());
    std::vector<BatchItem> items(files.size());
    for (int i = 0; i < total; ++i) {
        items[size_t(i)].file = files[i].shown();
        items[size_t(i)].cancelled = true;
    }
    const auto cancelled = [cancel] { return cancel && cancel->load(); };

    // Titles in the catalogue when the batch starts, shared read-only by the workers so that a work already
    // there costs no cut; `known` also grows with the batch's own.
    QSet<QString> known;
    for (const CatalogueRecord& rec : titledRecords(cat))
        known.insert(rec.name);
    const QSet<QString> before = known;

    const int jobs = options.jobs > 0 ? options.jobs : std::max(1, QThread::idealThreadCount());
    QThreadPool pool;
    pool.setMaxThreadCount(jobs);
    // A few works ahead per worker keep them busy; each waiting work holds a locked file, so not many.
    const size_t ahead = size_t(jobs) * 4;
    std::deque<std::pair<int, std::future<PreparedWork>>> running;
    int next = 0;
    const auto submit = [&] {
        while (next < total && running.size() < ahead && !cancelled()) {
            auto task = std::make_shared<std::packaged_task<PreparedWork()>>(
                [item = files[next], &options, &libraryDir, &before, cancelled] {
                    if (cancelled())
                        return PreparedWork{};
                    // A name that is not UTF-8 is reached through its descriptor while the work is read.
                    const RawPath held(item.file);
                    const ImportRequest request{
                        held.path().isEmpty() ? held.shown() : QFileInfo(held.path()).absoluteFilePath(),
                        options.title,
                        options.author,
                        options.screen,
                        options.layout,
                        item.entry,
                        shownPath(held.shown())};
                    return prepareWork(libraryDir, request,
                                       [&before](const QString& title) { return before.contains(title); });
                });
            running.emplace_back(next++, task->get_future());
            pool.start([task] { (*task)(); });
        }
    };

    int done = 0;
    const auto settle = [&](int i, const ImportResult& result) {
        BatchItem& item = items[size_t(i)];
        item.result = result;
        item.cancelled = false;
        ++done;
        if (report)
            report(item, done, total);
    };
    std::vector<std::pair<int, PreparedWork>> chunk;
    const auto commit = [&] {
        if (chunk.empty())
            return;
        faultPoint("add-built");
        std::vector<std::pair<CatalogueRecord, QString>> works;
        for (const auto& [i, w] : chunk)
            works.emplace_back(w.record, w.builder->stagedPath());
        QStringList added, taken;
        const Result<> written = addWorks(cat, libraryDir, works, &added, &taken);
        for (auto& [i, w] : chunk) {
            ImportResult r = w.result;
            w.builder->abandon();
            if (taken.contains(w.record.name)) {
                const QString path = shownPath(workFilePath(libraryDir, r.title).value_or(r.title));
                r = refused(r, QStringLiteral("Файлът %1 вече съществува.").arg(path),
                            QStringLiteral("The work file %1 exists already.").arg(path));
            } else if (!added.contains(w.record.name)) {
                r = refused(r, written.message(), written.failure().english);
            }
            settle(i, r);
        }
        chunk.clear();
    };

    // Finished works wait a moment to enter the catalogue together, one flush and one transaction for many,
    // while the reports still come several times a second.
    QElapsedTimer waiting;
    submit();
    while (!running.empty()) {
        if (!chunk.empty()) {
            const auto left = std::chrono::milliseconds(std::max<qint64>(0, kChunkWaitMs - waiting.elapsed()));
            if (running.front().second.wait_for(left) == std::future_status::timeout)
                commit();
        }
        auto [i, future] = std::move(running.front());
        running.pop_front();
        PreparedWork w = future.get();
        submit();
        if (cancelled() || (w.result.ok() && !w.builder)) {
            // Left to its destructor: the staged file goes, the catalogue never saw it.
            continue;
        }
        if (!w.result.ok() || known.contains(w.result.title)) {
            // Reports keep the files' order.
            commit();
            settle(i, w.result.ok()
                          ? refused(w.result, alreadyThere(w.result.title), alreadyThereEn(w.result.title))
                          : w.result);
            continue;
        }
        known.insert(w.result.title);
        if (chunk.empty())
            waiting.start();
        chunk.emplace_back(i, std::move(w));
        if (chunk.size() >= kChunk)
            commit();
    }
    commit();
    return items;
}

} // namespace vel
