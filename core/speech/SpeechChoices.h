#pragma once
// The few rates and voices a reader picks from, beside the free values the settings file allows.

#include "core/speech/SpeechSettings.h"

#include <QString>
#include <vector>

namespace vel {

struct SpeechChoice {
    QString label;   // as the menu shows it
    int rate = 0;    // a rate choice when not 0
    QString voice{}; // a voice choice when not empty
    bool startsGroup = false;

    // Whether the settings are this choice: the menu marks it.
    bool isChosen(const SpeechSettings& s) const { return rate ? s.rate == rate : s.voice == voice; }
    // The settings with this choice made.
    SpeechSettings appliedTo(SpeechSettings s) const;
};

// Rates from slow to fast, then the voices.
const std::vector<SpeechChoice>& speechChoices();

} // namespace vel
