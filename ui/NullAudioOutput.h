#pragma once
// An output that hears everything at once and keeps nothing: speech runs, and turns its pages, on a machine
// without a sound card (the desktop suite sets VELMORA_AUDIO=null).

#include "ui/AudioOutput.h"

#include <QTimer>

namespace vel {

class NullAudioOutput final : public AudioOutput {
public:
    using AudioOutput::AudioOutput;

    bool start(int, QString*) override {
        stop();
        return true;
    }
    void append(const std::vector<std::int16_t>& samples) override { played_ += qint64(samples.size()); }
    void finishStream() override {
        // Drained on the next turn of the event loop, as a real output reports from its own.
        QTimer::singleShot(0, this, [this, stream = stream_] {
            if (stream == stream_)
                Q_EMIT drained();
        });
    }
    void stop() override {
        played_ = 0;
        ++stream_;
    }
    qint64 playedSamples() const override { return played_; }

private:
    qint64 played_ = 0;
    int stream_ = 0;
};

} // namespace vel
