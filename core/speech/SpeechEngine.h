#pragma once
// Text to speech as plain data: 16-bit mono samples and where in them each word begins. The windows play
// the samples and follow the words; the audiobook command writes them to a file.

#include "core/Result.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vel {

struct SpokenWord {
    qint64 sample = 0; // the first sample of the word, from the start of its utterance
    int start = 0;     // the word in the text that was spoken, in UTF-16 units
    int length = 0;
};

struct Utterance {
    int sampleRate = 22050;
    std::vector<std::int16_t> samples;
    std::vector<SpokenWord> words; // in spoken order
    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0; }
};

// One voice at one rate. Not for use from two threads at once.
class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    virtual int sampleRate() const = 0;
    // Fails with a Bulgarian reason when the text cannot be spoken.
    [[nodiscard]] virtual Result<Utterance> synthesize(const QString& text) = 0;
};

struct SpeechSettings;

// Makes the engine for the library's speech settings; fails with a Bulgarian reason when no voice starts.
using SpeechEngineFactory =
    std::function<Result<std::unique_ptr<SpeechEngine>>(const SpeechSettings& settings)>;

} // namespace vel
