#pragma once
// Speech without a voice or a sound card: an engine that gives every word 100 samples and an output that
// plays at once, or only as far as the test says.

#include "core/speech/SpeechEngine.h"
#include "ui/AudioOutput.h"
#include "ui/Session.h"

#include <QMutex>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace vel::test {

class FakeAudioOutput final : public AudioOutput {
public:
    bool autoPlay = true;
    qint64 queued = 0;
    qint64 played = 0;
    bool finished = false;

    bool start(int, QString*) override {
        stop();
        return true;
    }
    void append(const std::vector<std::int16_t>& samples) override { queued += qint64(samples.size()); }
    void finishStream() override {
        finished = true;
        if (autoPlay)
            QTimer::singleShot(0, this, [this] { playTo(queued); });
    }
    void stop() override {
        queued = played = 0;
        finished = false;
    }
    qint64 playedSamples() const override { return played; }

    // Heard up to sample n; the end of a finished stream drains it.
    void playTo(qint64 n) {
        played = std::min(n, queued);
        if (finished && played >= queued) {
            finished = false;
            Q_EMIT drained();
        }
    }
};

// Declared before the library whose session it is installed in: a piece may still be synthesized with it
// while the session goes.
struct FakeSpeech {
    QMutex lock;
    QStringList spoken; // every text synthesized, piece by piece
    QString voiceError; // set: no engine can be made
    bool autoPlay = true;
    QPointer<FakeAudioOutput> output;

    static constexpr int kSamplesPerWord = 100;

    class Engine final : public SpeechEngine {
    public:
        explicit Engine(FakeSpeech& owner) : owner_(owner) {}
        int sampleRate() const override { return 1000; }
        Result<Utterance> synthesize(const QString& text) override {
            {
                QMutexLocker guard(&owner_.lock);
                owner_.spoken << text;
            }
            Utterance u;
            u.sampleRate = 1000;
            for (int i = 0; i < text.size();) {
                if (!text[i].isLetterOrNumber()) {
                    ++i;
                    continue;
                }
                int end = i;
                while (end < text.size() && text[end].isLetterOrNumber())
                    ++end;
                u.words.push_back({qint64(u.samples.size()), i, end - i});
                u.samples.insert(u.samples.end(), kSamplesPerWord, std::int16_t(1000));
                i = end;
            }
            return u;
        }

    private:
        FakeSpeech& owner_;
    };

    void install(Session& session) {
        session.setSpeechParts(
            [this](const SpeechSettings&) -> Result<std::unique_ptr<SpeechEngine>> {
                if (!voiceError.isEmpty())
                    return fail(FailureKind::Unsupported, voiceError);
                return std::unique_ptr<SpeechEngine>(std::make_unique<Engine>(*this));
            },
            [this] {
                auto out = std::make_unique<FakeAudioOutput>();
                out->autoPlay = autoPlay;
                output = out.get();
                return out;
            });
    }
    QStringList texts() {
        QMutexLocker guard(&lock);
        return spoken;
    }
};

} // namespace vel::test
