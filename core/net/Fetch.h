#pragma once
// One HTTP(S) GET through Qt Network, into memory or into a file, with progress and cancel. A fetch succeeds
// only when the server said 2xx and every announced byte arrived within the size bound: a caller never sees
// a partial body as a whole one.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QFileDevice;
class QNetworkAccessManager;
class QNetworkReply;

namespace vel {

// An http or https address with a host: the only kind the program fetches.
bool isWebUrl(const QUrl& url);

struct FetchLimits {
    qint64 maxBytes = qint64(8) * 1024 * 1024;
    int stallMs = 30'000; // no byte for this long ends the fetch
};

// Catalogue pages are small; books may be large archives, but never larger than any reader takes.
inline constexpr FetchLimits kFeedLimits{qint64(8) * 1024 * 1024, 30'000};
inline constexpr FetchLimits kBookLimits{qint64(200) * 1024 * 1024, 60'000};

class Fetch : public QObject {
    Q_OBJECT
public:
    // Starts at once. With a file, the body is written to it (open for writing); otherwise kept in data().
    Fetch(QNetworkAccessManager& network, const QUrl& url, const FetchLimits& limits,
          QFileDevice* file = nullptr, QObject* parent = nullptr);
    ~Fetch() override;

    void cancel();
    bool isFinished() const { return finished_; }
    bool ok() const { return finished_ && error_.isEmpty(); }
    bool wasCancelled() const { return cancelled_; }
    // Bulgarian; empty on success.
    const QString& error() const { return error_; }
    const QByteArray& data() const { return data_; }
    // Where the body came from after redirects: relative links resolve against it.
    const QUrl& finalUrl() const { return finalUrl_; }
    // The name the server gives the file (Content-Disposition), else the last part of the URL's path.
    QString fileName() const;
    qint64 received() const { return received_; }

    // Runs a local event loop until the fetch ends; for the command line.
    bool waitForFinished();

Q_SIGNALS:
    void progress(qint64 received, qint64 total); // total -1 when unknown
    void finished();

private:
    void onReadyRead();
    void onFinished();
    void fail(const QString& error);
    void finish();

    FetchLimits limits_;
    QFileDevice* file_;
    QPointer<QNetworkReply> reply_;
    QByteArray data_;
    QUrl url_;
    QUrl finalUrl_;
    QString error_;
    QString disposition_;
    qint64 received_ = 0;
    qint64 expected_ = -1;
    bool finished_ = false;
    bool cancelled_ = false;
};

} // namespace vel
