#include "ui/ScaleToScreen.h"

#include "ui/Controls.h"
#include "ui/RichTextView.h"
#include "ui/Session.h"
#include "ui/Window.h"

#include <QComboBox>
#include <algorithm>
#include <cmath>

namespace vel {

namespace {


// The point size that shows kMinLegiblePixels on the widget's screen.
double legiblePoints(const QWidget* w) {
    return kMinLegiblePixels * 72.0 / std::max(1, w->logicalDpiY());
}

// A font smaller than legible stays as designed; the others shrink no further than legible.
double scaledPoints(double points, double factor, const QWidget* w) {
    const double floor = std::min(points, legiblePoints(w));
    return std::max(points * factor, floor);
}

void scaleFont(QWidget* w, float f) {
    QFont font = w->font();
    if (font.pointSizeF() <= 0)
        return; // a pixel-sized font is not scaled
    font.setPointSizeF(scaledPoints(font.pointSizeF(), f, w));
    w->setFont(font);
}

} // namespace


void ScaleToScreen(float x, float y, Window& window) {
    const float f = ScaleFactors{x, y}.font();
    const auto controls = window.controls(); // the count is taken once
    for (QObject* control : controls) {
        auto* w = qobject_cast<QWidget*>(control);
        if (!w)
            continue; // lines and timers have no rectangle and no font
        const ControlKind kind = controlKind(control);
        TwipsRect box = twipsBox(w);
        if (kind == ControlKind::ComboBox) {
            // A combo box's height follows its font.
            box.left *= x;
            box.top *= y;
            box.width *= x;
            box.height = twipsBox(w).height;
        } else {
            box = TwipsRect{box.left * x, box.top * y, box.width * x, box.height * y};
        }
        setTwipsBox(w, box);
        if (kind == ControlKind::RichText) {
            auto* view = static_cast<RichTextView*>(w);
            view->setFontSize(view->fontSize() * f); // the reader's own page font: not floored
        } else if (kindHasFont(kind)) {
            // Through the font object and again through the control's own size: the same size, twice.
            scaleFont(w, f);
            scaleFont(w, f);
        }
    }
}

} // namespace vel
