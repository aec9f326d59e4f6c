#pragma once
#include <QFont>
#include <QString>

namespace vel {

// Makes the design's font names (Tahoma, MS Sans Serif, Arial) available: the metric-compatible faces Debian
// ships are registered and substituted. Font names stored in the catalogue stay as the user chose them.
void installDesignFonts();

// A font by its stored name and size in points (with fraction).
QFont displayFont(const QString& name, double pointSize, bool bold = false);

} // namespace vel
