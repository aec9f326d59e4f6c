#pragma once
// The speech engine on espeak-ng's library and its voices.

#include "core/speech/SpeechEngine.h"
#include "core/speech/SpeechSettings.h"

namespace vel {

class EspeakEngine final : public SpeechEngine {
public:
    // Fails with a Bulgarian reason when the library or the voice cannot start.
    [[nodiscard]] static Result<std::unique_ptr<EspeakEngine>> create(const SpeechSettings& settings);

    int sampleRate() const override { return sampleRate_; }
    Result<Utterance> synthesize(const QString& text) override;

private:
    EspeakEngine(QString voice, int rate, int sampleRate);

    QString voice_;
    int rate_;
    int sampleRate_;
};

// Engines on espeak-ng.
SpeechEngineFactory defaultSpeechEngineFactory();

} // namespace vel
