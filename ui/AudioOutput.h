#pragma once
// Where spoken samples are heard: a sound device, or in tests a stand-in that only counts.

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

namespace vel {

class AudioOutput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // A new stream of 16-bit mono samples; whatever played before is dropped. False with a Bulgarian
    // reason when nothing can be heard.
    virtual bool start(int sampleRate, QString* error) = 0;
    // Queued behind what is already there.
    virtual void append(const std::vector<std::int16_t>& samples) = 0;
    // Nothing more comes: drained() follows once everything has been heard.
    virtual void finishStream() = 0;
    virtual void stop() = 0;
    // Samples heard since start().
    virtual qint64 playedSamples() const = 0;

Q_SIGNALS:
    void drained();
};

} // namespace vel
