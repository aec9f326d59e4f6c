#include "ui/QtAudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>

namespace vel {

QtAudioOutput::QtAudioOutput(QObject* parent) : AudioOutput(parent), feeder_(new QTimer(this)) {
    feeder_->setInterval(20);
    connect(feeder_, &QTimer::timeout, this, &QtAudioOutput::feed);
}

QtAudioOutput::~QtAudioOutput() {
    stop();
}

bool QtAudioOutput::start(int sampleRate, QString* error) {
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (device.isNull() || !device.isFormatSupported(format)) {
        if (error)
            *error = device.isNull() ? QStringLiteral("Няма звуково устройство.")
                                     : QStringLiteral("Звуковото устройство не възпроизвежда речта.");
        return false;
    }
    sink_ = std::make_unique<QAudioSink>(device, format);
    // About a third of a second ahead: a stop is heard at once, a busy moment does not break the voice.
    sink_->setBufferSize(sampleRate * 2 / 3);
    device_ = sink_->start();
    if (!device_ || sink_->error() != QAudio::NoError) {
        sink_.reset();
        device_ = nullptr;
        if (error)
            *error = QStringLiteral("Звуковото устройство не може да бъде отворено.");
        return false;
    }
    sampleRate_ = sampleRate;
    feeder_->start();
    return true;
}

void QtAudioOutput::append(const std::vector<std::int16_t>& samples) {
    pending_.append(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size() * 2));
    queuedBytes_ += qint64(samples.size() * 2);
    feed();
}

void QtAudioOutput::finishStream() {
    finished_ = true;
    feed();
}

void QtAudioOutput::stop() {
    feeder_->stop();
    if (sink_)
        sink_->stop();
    sink_.reset();
    device_ = nullptr;
    pending_.clear();
    queuedBytes_ = 0;
    finished_ = false;
}

qint64 QtAudioOutput::playedSamples() const {
    if (!sink_ || sampleRate_ <= 0)
        return 0;
    return sink_->processedUSecs() * sampleRate_ / 1000000;
}

void QtAudioOutput::feed() {
    if (!sink_ || !device_)
        return;
    const qint64 room = sink_->bytesFree();
    if (room > 0 && !pending_.isEmpty()) {
        const qint64 n = device_->write(pending_.constData(), std::min<qint64>(room, pending_.size()) & ~1);
        if (n > 0)
            pending_.remove(0, n);
    }
    // Heard to the end: the device ran dry with nothing more to come. Should it never report so, the time
    // of the whole stream and its buffer decides.
    if (finished_ && pending_.isEmpty() &&
        (sink_->state() == QAudio::IdleState || playedSamples() * 2 >= queuedBytes_ + sampleRate_)) {
        feeder_->stop();
        finished_ = false;
        Q_EMIT drained();
    }
}

} // namespace vel
