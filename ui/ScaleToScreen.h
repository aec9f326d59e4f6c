#pragma once
// Fits a window designed for 1024 x 768 pixels, and its controls, to the real screen.

#include "core/book/ScreenModule.h"

namespace vel {

class Window;

void ScaleToScreen(float x, float y, Window& window, bool scaleWindowItself);

} // namespace vel
