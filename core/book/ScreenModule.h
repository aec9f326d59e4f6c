#pragma once
// The screen values the windows share when they fit themselves to the screen, and the factors against the
// 1024 x 768 design.

#include <QtGlobal>

namespace vel {

// Values shared by the windows that fit themselves to the screen.
struct ScreenModule {
    qint16 twipsPerPixelX = 15;
    qint16 twipsPerPixelY = 15;
    qint16 screenWidthPx = 1024;
    qint16 screenHeightPx = 768;
};

struct ScaleFactors {
    float x = 1, y = 1;
    // The mean of both, a little reduced; fonts of standard controls end up multiplied by its square.
    float font() const { return static_cast<float>(((x + y) / 2.0f) * 0.989f); }
};

// The screen's size in pixels and the factors against the 1024 x 768 design, kept in the module values.
ScaleFactors screenFactors(ScreenModule& module, int screenWidthTwips, int screenHeightTwips,
                           int twipsPerPixelX, int twipsPerPixelY);

} // namespace vel
