#include "ui/TwipsBox.h"

#include <QVariant>

Q_DECLARE_METATYPE(vel::TwipsRect)

namespace vel {

namespace {
constexpr char kBoxProperty[] = "velTwipsBox";

// Top-level windows are placed by their frame; controls by their geometry.
QRect pixelRect(const QWidget* w) {
    return w->isWindow() ? QRect(w->pos(), w->size()) : w->geometry();
}
} // namespace

TwipsRect twipsBox(const QWidget* w) {
    const QRect px = pixelRect(w);
    const QVariant kept = w->property(kBoxProperty);
    if (kept.isValid()) {
        const auto box = kept.value<TwipsRect>();
        if (box.toPixels() == px)
            return box;
    }
    return TwipsRect{pxToTwips(px.x()), pxToTwips(px.y()), pxToTwips(px.width()), pxToTwips(px.height())};
}

void setTwipsBox(QWidget* w, const TwipsRect& box) {
    const QRect px = box.toPixels();
    if (w->isWindow()) {
        w->move(px.topLeft());
        w->resize(px.size());
    } else {
        w->setGeometry(px);
    }
    w->setProperty(kBoxProperty, QVariant::fromValue(box));
}

void setTwLeft(QWidget* w, double v) {
    TwipsRect b = twipsBox(w);
    b.left = v;
    setTwipsBox(w, b);
}
void setTwTop(QWidget* w, double v) {
    TwipsRect b = twipsBox(w);
    b.top = v;
    setTwipsBox(w, b);
}
void setTwWidth(QWidget* w, double v) {
    TwipsRect b = twipsBox(w);
    b.width = v;
    setTwipsBox(w, b);
}
void setTwHeight(QWidget* w, double v) {
    TwipsRect b = twipsBox(w);
    b.height = v;
    setTwipsBox(w, b);
}

} // namespace vel
