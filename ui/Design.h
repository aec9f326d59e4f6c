#pragma once
// Small helpers the window designs use to give controls their look.

#include "ui/TwipsBox.h"

#include <QPixmap>
#include <QString>
#include <QTimer>
#include <cstdint>

class QWidget;

namespace vel {

class Window;

// The design's default control font.
inline constexpr char kDefaultFontName[] = "MS Sans Serif";
inline constexpr double kDefaultFontSize = 8.25;

void setDesignFont(QWidget* w, const QString& name, double points, bool bold = false);
void setBackColor(QWidget* w, std::int32_t colorNumber);
void setForeColor(QWidget* w, std::int32_t colorNumber);
// A transparent control lets the window's background show through.
void setTransparent(QWidget* w);

// A timer with its design name, interval and state (enabled = running).
QTimer* makeTimer(Window& window, const QString& name, int intervalMs, bool enabled);

// A picture of the assets by name (":/pictures/<name>.svg" or ".png"), rendered at the given pixel size.
// Until a picture is drawn a plain plate of that size with the band colour stands in.
QPixmap designPicture(const QString& name, QSize size, std::int32_t bandColor = 0xC08040);

} // namespace vel
