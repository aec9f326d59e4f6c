#pragma once
// --audiobook: a work's pages spoken into a .wav, .flac or .ogg file without any window.

#include "core/commands/StartOptions.h"
#include "core/speech/EspeakEngine.h"
#include "core/speech/SpeechSettings.h"

#include <functional>
#include <memory>

class QTextStream;

namespace vel {

// The audio file's kind by the name's ending (any case); nothing for other endings.
enum class AudioFileKind { Wav, Flac, Ogg };
std::optional<AudioFileKind> audioFileKind(const QString& path);

// Speaks the pages into a temporary file beside the target and renames it into place when complete, so a
// failure leaves no file and an earlier one untouched. Progress goes to out, failures to err
// (Bulgarian / English). Returns 0 when written, 1 when not, 2 for a command line it cannot use.
int runAudiobook(const StartOptions& options, QTextStream& out, QTextStream& err,
                 const SpeechEngineFactory& makeEngine = defaultSpeechEngineFactory());

} // namespace vel
