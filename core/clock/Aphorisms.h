#pragma once
// The table of aphorisms shown under the management window, and the choice of one by the index text that
// the clock keeps in the management window's Text4.

#include <QString>
#include <QStringList>

#include <optional>

namespace vel {

inline constexpr int kAphorismCount = 88;
// Indexes above the texts, up to this one, are table slots that stay empty.
inline constexpr int kAphorismSlots = 100;
// Shown when Text4 holds no index yet (before the clock's first tick it still shows "Text4").
inline constexpr int kAphorismFallbackIndex = 1;

// The 88 texts in slot order, exactly as delivered (a trailing space belongs to its text).
const QStringList& aphorisms();

// Slot 1 to 100: the text, or an empty string for the empty slots 89 to 100 and anything else.
QString aphorism(int index1to88);

// The slot Text4's text names: a whole number from 1 to 100, surrounding blanks allowed.
std::optional<int> aphorismIndexFromText(const QString& text4);

// The text ShowAphorism puts into the aphorism box for Text4's text. Text that names no slot falls back to
// the first aphorism, so the box is never left with nothing to say before the clock has ticked.
QString aphorismForIndexText(const QString& text4);

} // namespace vel
