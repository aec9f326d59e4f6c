#include "core/text/PanelLoad.h"

#include "core/text/formats/BookFormats.h"

#include <QFileInfo>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

namespace vel {

TextImportResult readPanelText(const QString& path, TextSource source) {
    // A zipped text goes through the book reader whichever command chose it.
    if (source == TextSource::Document || bookFormatByName(path) == BookFormat::Zip)
        return readBook(path);
    return loadTextFile(path);
}

bool readsInBackground(const QString& path, TextSource source, qint64 plainTextThreshold) {
    if (source == TextSource::Document)
        return true;
    return QFileInfo(path).size() >= plainTextThreshold;
}

void runInBackground(QObject* context, std::function<TextImportResult()> job,
                     std::function<void(TextImportResult)> done) {
    // The worker and the window meet only in this shared state: the worker may outlive the window.
    struct Shared {
        std::atomic<bool> finished{false};
        TextImportResult result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, job = std::move(job)] {
        shared->result = job();
        shared->finished.store(true, std::memory_order_release);
    }).detach();

    // Polled from the context's own thread, so `done` never runs after the context is gone.
    auto* poll = new QTimer(context);
    poll->setInterval(15);
    QObject::connect(poll, &QTimer::timeout, context, [shared, poll, done = std::move(done)] {
        if (!shared->finished.load(std::memory_order_acquire))
            return;
        poll->stop();
        poll->deleteLater();
        done(std::move(shared->result));
    });
    poll->start();
}

} // namespace vel
