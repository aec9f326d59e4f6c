#pragma once
// How the program speaks: the voice, the rate and whether the text panel reads its selection. Kept beside
// the catalogue in the library folder, so every program sharing the library speaks alike.

#include "core/Result.h"

#include <QString>

namespace vel {

struct SpeechSettings {
    static constexpr int kMinRate = 80;
    static constexpr int kMaxRate = 450;
    static constexpr int kDefaultRate = 175;

    QString voice = QStringLiteral("bg"); // an espeak-ng voice name, "+variant" allowed
    int rate = kDefaultRate;              // words a minute
    bool panelReading = false;            // the text panel speaks what is selected

    // The settings file of a library folder.
    static QString filePath(const QString& libraryDir);
    // Missing or unreadable values fall back to the defaults; rates are kept within range.
    static SpeechSettings load(const QString& libraryDir);
    [[nodiscard]] Result<> save(const QString& libraryDir) const;

    bool operator==(const SpeechSettings&) const = default;
};

} // namespace vel
