#pragma once
// Samples to the default sound device through Qt Multimedia, fed as the device asks for them.

#include "ui/AudioOutput.h"

#include <QByteArray>
#include <memory>

class QAudioSink;
class QIODevice;
class QTimer;

namespace vel {

class QtAudioOutput final : public AudioOutput {
    Q_OBJECT
public:
    explicit QtAudioOutput(QObject* parent = nullptr);
    ~QtAudioOutput() override;

    bool start(int sampleRate, QString* error) override;
    void append(const std::vector<std::int16_t>& samples) override;
    void finishStream() override;
    void stop() override;
    qint64 playedSamples() const override;

private:
    void feed();

    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_ = nullptr; // the sink's, valid while it plays
    QTimer* feeder_;
    QByteArray pending_;
    qint64 queuedBytes_ = 0;
    int sampleRate_ = 0;
    bool finished_ = false;
};

} // namespace vel
