#pragma once
// Fits a window designed for 1024 x 768 pixels, and its controls, to the real screen.

namespace vel {

class Window;
struct ScreenModule;

struct ScaleFactors {
    float x = 1, y = 1;
    // The mean of both, a little reduced; fonts of standard controls end up multiplied by its square.
    float font() const { return static_cast<float>(((x + y) / 2.0f) * 0.989f); }
};

// The screen's size in pixels and the factors against the 1024 x 768 design, kept in the module values.
ScaleFactors screenFactors(ScreenModule& module, int screenWidthTwips, int screenHeightTwips,
                           int twipsPerPixelX, int twipsPerPixelY);

void ScaleToScreen(float x, float y, Window& window, bool scaleWindowItself);

} // namespace vel
