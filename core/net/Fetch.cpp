#include "core/net/Fetch.h"

#include <QEventLoop>
#include <QFileDevice>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace vel {

namespace {

QString shown(const QUrl& url) {
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

// filename*=UTF-8''... first, then filename="..."; only the last path element is kept.
QString dispositionName(const QByteArray& header) {
    static const QRegularExpression extended(QStringLiteral("filename\\*\\s*=\\s*UTF-8''([^;\\s]+)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression plain(QStringLiteral("filename\\s*=\\s*\"?([^\";]+)\"?"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromUtf8(header);
    QString name;
    if (const auto m = extended.match(text); m.hasMatch())
        name = QUrl::fromPercentEncoding(m.captured(1).toUtf8());
    else if (const auto p = plain.match(text); p.hasMatch())
        name = p.captured(1).trimmed();
    name.replace(u'\\', u'/');
    return name.section(u'/', -1);
}

} // namespace

bool isWebUrl(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

Fetch::Fetch(QNetworkAccessManager& network, const QUrl& url, const FetchLimits& limits, QFileDevice* file,
             QObject* parent)
    : QObject(parent), limits_(limits), file_(file), url_(url), finalUrl_(url) {
    if (!isWebUrl(url)) {
        error_ = QStringLiteral("Адресът не е на уеб страница (http или https):\r\n") + shown(url);
        // Reported from the event loop, so a caller connects first.
        QMetaObject::invokeMethod(this, &Fetch::finish, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setTransferTimeout(limits.stallMs);
    // Unpacked by nobody on the way, so the body's length is the one the server announces.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Velmora/0.1"));
    reply_ = network.get(request);
    reply_->setParent(this);
    connect(reply_, &QNetworkReply::readyRead, this, &Fetch::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &Fetch::onFinished);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        bool known = false;
        const qint64 length = reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        expected_ = known ? length : -1;
        if (expected_ > limits_.maxBytes)
            fail(QStringLiteral("Файлът е твърде голям (повече от %1 MB):\r\n%2")
                     .arg(limits_.maxBytes / (1024 * 1024))
                     .arg(shown(url_)));
    });
    connect(reply_, &QNetworkReply::downloadProgress, this,
            [this](qint64 got, qint64 total) { Q_EMIT progress(got, total > 0 ? total : -1); });
}

Fetch::~Fetch() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void Fetch::cancel() {
    if (finished_ || !reply_)
        return;
    cancelled_ = true;
    fail(QStringLiteral("Изтеглянето е прекъснато."));
}

QString Fetch::fileName() const {
    if (!disposition_.isEmpty())
        return disposition_;
    return QFileInfo(finalUrl_.path()).fileName();
}

bool Fetch::waitForFinished() {
    if (!finished_) {
        QEventLoop loop;
        connect(this, &Fetch::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return ok();
}

void Fetch::onReadyRead() {
    if (!error_.isEmpty() || !reply_)
        return;
    const QByteArray chunk = reply_->readAll();
    if (received_ + chunk.size() > limits_.maxBytes) {
        fail(QStringLiteral("Файлът е твърде голям (повече от %1 MB):\r\n%2")
                 .arg(limits_.maxBytes / (1024 * 1024))
                 .arg(shown(url_)));
        return;
    }
    received_ += chunk.size();
    if (!file_) {
        data_ += chunk;
    } else if (file_->write(chunk) != chunk.size()) {
        fail(QStringLiteral("Изтегленото не може да бъде записано: ") + file_->errorString());
    }
}

void Fetch::onFinished() {
    if (!reply_)
        return;
    if (error_.isEmpty()) {
        onReadyRead();
        finalUrl_ = reply_->url();
        disposition_ = dispositionName(reply_->rawHeader("Content-Disposition"));
        const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QNetworkReply::NetworkError netError = reply_->error();
        if (!error_.isEmpty()) {
            // Too large or not writable: already said.
        } else if (status != 0 && (status < 200 || status > 299)) {
            error_ = QStringLiteral("Сървърът отказа (%1 %2):\r\n%3")
                         .arg(status)
                         .arg(reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(),
                              shown(url_));
        } else if (expected_ >= 0 && received_ != expected_ &&
                   netError != QNetworkReply::OperationCanceledError) {
            // Also when the server closed the connection early: the reader is told what is missing.
            error_ = QStringLiteral("Изтеглянето е непълно (%1 от %2 байта):\r\n%3")
                         .arg(received_)
                         .arg(expected_)
                         .arg(shown(url_));
        } else if (netError == QNetworkReply::OperationCanceledError) {
            error_ = QStringLiteral("Сървърът не отговаря:\r\n") + shown(url_);
        } else if (netError != QNetworkReply::NoError) {
            error_ = QStringLiteral("Връзката не успя (%1):\r\n%2").arg(reply_->errorString(), shown(url_));
        } else if (file_ && !file_->flush()) {
            error_ = QStringLiteral("Изтегленото не може да бъде записано: ") + file_->errorString();
        }
    }
    finish();
}

void Fetch::fail(const QString& error) {
    if (error_.isEmpty())
        error_ = error;
    // Aborting emits finished, which ends the fetch with this error.
    if (reply_ && reply_->isRunning())
        reply_->abort();
}

void Fetch::finish() {
    if (finished_)
        return;
    finished_ = true;
    if (!error_.isEmpty())
        data_.clear();
    if (reply_) {
        reply_->disconnect(this);
        reply_->deleteLater();
    }
    Q_EMIT finished();
}

} // namespace vel
