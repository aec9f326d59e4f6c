#include "core/net/BookDownload.h"

namespace vel {

BookDownload::BookDownload(QNetworkAccessManager& network, const QUrl& url, const QString& libraryDir,
                           QObject* parent)
    : QObject(parent) {
    Result<fileops::LockedTemp> made = fileops::createTempFile(libraryDir);
    if (!made) {
        error_ = QStringLiteral("Във папката на библиотеката не може да бъде записван файл: ") + made.message();
        QMetaObject::invokeMethod(this, &BookDownload::finished, Qt::QueuedConnection);
        return;
    }
    temp_ = std::move(*made);
    file_.setFileName(temp_.path());
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = QStringLiteral("Във папката на библиотеката не може да бъде записван файл: ") +
                 file_.errorString();
        QMetaObject::invokeMethod(this, &BookDownload::finished, Qt::QueuedConnection);
        return;
    }
    fetch_ = std::make_unique<Fetch>(network, url, kBookLimits, &file_);
    connect(fetch_.get(), &Fetch::finished, this, [this] {
        file_.close();
        Q_EMIT finished();
    });
}

BookDownload::~BookDownload() {
    fetch_.reset();
    file_.close();
    if (temp_.isValid())
        temp_.remove();
}

QString BookDownload::sourceName() const {
    return fetch_ ? fetch_->fileName() : QString();
}

bool BookDownload::waitForFinished() {
    if (fetch_)
        fetch_->waitForFinished();
    return ok();
}

} // namespace vel
