#pragma once
// A book fetched into a locked temporary file of the library folder: a download killed halfway leaves only a
// leftover that the next open of the library removes, and the file is gone when the download object goes.

#include "core/net/Fetch.h"
#include "core/storage/FileOps.h"

#include <QFile>
#include <QObject>
#include <memory>

namespace vel {

class BookDownload : public QObject {
    Q_OBJECT
public:
    BookDownload(QNetworkAccessManager& network, const QUrl& url, const QString& libraryDir,
                 QObject* parent = nullptr);
    ~BookDownload() override;

    // Progress, cancel and the end; null when the temporary file could not be made (see error()).
    Fetch* fetch() const { return fetch_.get(); }
    bool ok() const { return fetch_ && fetch_->ok(); }
    QString error() const { return fetch_ ? fetch_->error() : error_; }
    // The downloaded file (only whole after a successful fetch) and the name it had on the server.
    QString path() const { return temp_.path(); }
    QString sourceName() const;
    bool waitForFinished();

Q_SIGNALS:
    void finished();

private:
    fileops::LockedTemp temp_;
    QFile file_;
    std::unique_ptr<Fetch> fetch_;
    QString error_;
};

} // namespace vel
