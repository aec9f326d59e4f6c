#pragma once
// A tiny HTTP server on 127.0.0.1 for the network tests: fixed replies by path (and query), every request
// recorded. A reply may announce more bytes than it sends, as a download cut off halfway.

#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <memory>

namespace vel::test {

struct Reply {
    int status = 200;
    QByteArray body;
    QByteArray type = "application/atom+xml;profile=opds-catalog";
    qint64 announced = -1; // Content-Length; the body's own size unless set
};

class LoopbackServer : public QObject {
public:
    LoopbackServer() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                    *buffer += socket->readAll();
                    if (buffer->contains("\r\n\r\n"))
                        answer(socket, *buffer);
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        server_.listen(QHostAddress::LocalHost);
    }

    // "/path" or "/path?query"; a request with a query falls back to its path alone.
    void route(const QString& pathAndQuery, const Reply& reply) { routes_[pathAndQuery] = reply; }
    QUrl url(const QString& pathAndQuery) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(pathAndQuery));
    }
    const QStringList& requests() const { return requests_; }

private:
    void answer(QTcpSocket* socket, const QByteArray& request) {
        const QString target = QString::fromLatin1(request.split(' ').value(1));
        requests_ << target;
        const auto found = routes_.contains(target) ? routes_.constFind(target)
                                                    : routes_.constFind(target.section(u'?', 0, 0));
        const Reply reply = found == routes_.cend() ? Reply{404, "no such page", "text/plain"} : *found;
        const qint64 length = reply.announced >= 0 ? reply.announced : reply.body.size();
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\nContent-Type: " + reply.type +
                      "\r\nContent-Length: " + QByteArray::number(length) + "\r\nConnection: close\r\n\r\n" +
                      reply.body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QString, Reply> routes_;
    QStringList requests_;
};

} // namespace vel::test
