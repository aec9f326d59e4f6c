#pragma once
// Fits the controls of a window designed for 1024 x 768 pixels, and their fonts, to the real screen. The
// window's own rectangle is left as its caller set it (the screen): scaling it again would make it larger
// than the screen above the design size and put part of it off screen.

#include "core/book/ScreenModule.h"

namespace vel {

class Window;

void ScaleToScreen(float x, float y, Window& window);

// The smallest text a scaled font is taken down to, in pixels: below it text is no longer legible.
inline constexpr double kMinLegiblePixels = 9;

} // namespace vel
