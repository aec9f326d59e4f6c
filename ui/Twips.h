#pragma once
// Window designs are measured in twips: 15 to a pixel at 96 dots per inch. The one conversion helper.

#include <QRect>
#include <QWidget>
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

// A widget's box in twips. The exact twips last set are kept with the widget, so values that are no whole
// number of pixels read back as they were set while the pixel geometry still agrees with them.
TwipsRect twipsBox(const QWidget* w);
void setTwipsBox(QWidget* w, const TwipsRect& box);

inline double twLeft(const QWidget* w) {
    return twipsBox(w).left;
}
inline double twTop(const QWidget* w) {
    return twipsBox(w).top;
}
inline double twWidth(const QWidget* w) {
    return twipsBox(w).width;
}
inline double twHeight(const QWidget* w) {
    return twipsBox(w).height;
}
void setTwLeft(QWidget* w, double v);
void setTwTop(QWidget* w, double v);
void setTwWidth(QWidget* w, double v);
void setTwHeight(QWidget* w, double v);

} // namespace vel
