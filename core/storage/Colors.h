#pragma once
#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

namespace vel {

// Colour numbers are &H00BBGGRR (red in the low byte); a number with the top bit set names a system colour.
QColor colorFromNumber(std::int32_t number);
std::int32_t colorToNumber(const QColor& color);

// Colours travel as decimal text ("255" for pure red). Empty optional for text that is no whole number.
std::optional<std::int32_t> colorNumberFromText(const QString& text);
QString colorNumberToText(std::int32_t number);

} // namespace vel
