#pragma once
// A test-only window into the running program for the desktop suite: when VELMORA_PROBE names a local socket,
// it answers one-line requests (which windows are shown and where, what a control holds, click, choose,
// answer the dialog in front, take a screenshot) with one line of JSON. Off unless that variable is set.

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace vel {

class Probe : public QObject {
    Q_OBJECT
public:
    // Listens on the socket VELMORA_PROBE names; nothing when it is not set or the socket cannot be made.
    static std::unique_ptr<Probe> fromEnvironment();
    ~Probe() override;

    // The answer to one request line; actions that may open a modal dialog run after the answer is sent.
    QByteArray answer(const QString& request);

private:
    explicit Probe(std::unique_ptr<QLocalServer> server);
    void serve(QLocalSocket* socket);

    std::unique_ptr<QLocalServer> server_;
};

} // namespace vel
