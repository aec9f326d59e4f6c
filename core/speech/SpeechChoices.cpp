#include "core/speech/SpeechChoices.h"

namespace vel {

SpeechSettings SpeechChoice::appliedTo(SpeechSettings s) const {
    if (rate)
        s.rate = rate;
    else
        s.voice = voice;
    return s;
}

const std::vector<SpeechChoice>& speechChoices() {
    static const std::vector<SpeechChoice> choices = {
        {QStringLiteral("Бавно"), 130},
        {QStringLiteral("Обикновено"), SpeechSettings::kDefaultRate},
        {QStringLiteral("Бързо"), 230},
        {QStringLiteral("Много бързо"), 300},
        {QStringLiteral("Мъжки глас"), 0, QStringLiteral("bg"), true},
        {QStringLiteral("Женски глас"), 0, QStringLiteral("bg+f3")},
    };
    return choices;
}

} // namespace vel
