#include "core/book/ScreenModule.h"

#include <cmath>

namespace vel {

namespace {

qint16 roundHalfEven(double v) {
    return static_cast<qint16>(std::nearbyint(v));
}

} // namespace

ScaleFactors screenFactors(ScreenModule& module, int screenWidthTwips, int screenHeightTwips,
                           int twipsPerPixelX, int twipsPerPixelY) {
    module.twipsPerPixelX = static_cast<qint16>(twipsPerPixelX);
    module.twipsPerPixelY = static_cast<qint16>(twipsPerPixelY);
    module.screenHeightPx = roundHalfEven(static_cast<double>(screenHeightTwips) / module.twipsPerPixelY);
    module.screenWidthPx = roundHalfEven(static_cast<double>(screenWidthTwips) / module.twipsPerPixelX);
    return ScaleFactors{static_cast<float>(module.screenWidthPx) / 1024.0f,
                        static_cast<float>(module.screenHeightPx) / 768.0f};
}

} // namespace vel
