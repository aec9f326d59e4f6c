#pragma once
// Window designs are measured in twips: 15 to a pixel at 96 dots per inch. The one conversion helper.

#include <QRect>
#include <cmath>

namespace vel {

inline constexpr int kTwipsPerPixel = 15;

inline int twipsToPx(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
inline double pxToTwips(int px) {
    return static_cast<double>(px) * kTwipsPerPixel;
}

struct TwipsRect {
    double left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipsRect&) const = default;
    QRect toPixels() const {
        return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
    }
};

} // namespace vel
