#pragma once
// Speaks one text at a time: synthesized piece by piece off the user-interface thread, played as soon as the
// first piece is ready, telling which word is being heard.

#include "core/speech/SpeechEngine.h"
#include "core/speech/SpeechSettings.h"
#include "core/speech/SpeechText.h"
#include "ui/AudioOutput.h"
#include "ui/Platform.h"

#include <QFuture>
#include <QObject>
#include <memory>

class QTimer;

namespace vel {

class Speaker : public QObject {
    Q_OBJECT
public:
    Speaker(QString libraryDir, SpeechEngineFactory makeEngine, std::unique_ptr<AudioOutput> output,
            QObject* parent = nullptr);
    ~Speaker() override;

    // The library's settings; a change is saved at once, and holds for this run even when it cannot be.
    const SpeechSettings& settings() const { return settings_; }
    [[nodiscard]] Result<> setSettings(const SpeechSettings& settings);

    // Speaks text for client instead of anything being spoken. False with a Bulgarian reason when no voice
    // or no sound device can start; nothing is spoken then.
    bool speak(const QString& text, QObject* client, QString* error);
    // Silence at once; finished() is not sent.
    void stop();
    bool isSpeaking() const { return speaking_; }
    // Whom the words and the end of the text are for: signals are for it alone.
    QObject* client() const { return client_; }

    AudioOutput& output() { return *output_; }

Q_SIGNALS:
    // The word now heard, in the text given to speak().
    void word(int start, int length);
    // The whole text has been heard.
    void finished();
    // client's text was cut short, by a stop or by another text.
    void released(QObject* client);

private:
    void synthesizeNext();
    void pieceReady(quint64 generation, std::size_t piece, const Result<Utterance>& spoken);
    void followPlayback();
    void drained();

    QString libraryDir_;
    SpeechEngineFactory makeEngine_;
    std::unique_ptr<AudioOutput> output_;
    SpeechSettings settings_;
    std::shared_ptr<SpeechEngine> engine_; // shared with a synthesis still running after a stop

    QFuture<Result<Utterance>> synthesis_; // the piece being synthesized, waited for before the speaker goes
    bool synthesizing_ = false;
    QTimer* follower_;
    QString text_;
    std::vector<TextPiece> pieces_;
    std::size_t nextPiece_ = 0;
    // Each text spoken gets its own number: a piece of an earlier one arriving late is dropped.
    quint64 generation_ = 0;
    std::vector<SpokenWord> words_; // in the text, samples from the stream's start
    std::size_t shownWord_ = 0;
    qint64 queued_ = 0;
    bool speaking_ = false;
    QObject* client_ = nullptr;
};

// Applies the settings; a reader whose choice cannot be kept for later runs is told so.
void applySpeechSettings(Speaker& speaker, Platform& platform, const SpeechSettings& settings);

// Offers the rates and voices at a screen point and keeps what the reader picks.
void offerSpeechChoices(Speaker& speaker, Platform& platform, QPoint globalPos);

} // namespace vel
