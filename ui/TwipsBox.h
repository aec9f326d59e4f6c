#pragma once
// Twips boxes of widgets.

#include "core/book/Twips.h"

#include <QWidget>

namespace vel {

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
