#include "ui/ScaleToScreen.h"

#include "ui/Controls.h"
#include "ui/RichTextView.h"
#include "ui/Session.h"
#include "ui/Window.h"

#include <QComboBox>
#include <cmath>

namespace vel {

namespace {


void scaleFont(QWidget* w, float f) {
    QFont font = w->font();
    font.setPointSizeF(font.pointSizeF() * f);
    w->setFont(font);
}

} // namespace


void ScaleToScreen(float x, float y, Window& window, bool scaleWindowItself) {
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
            view->setFontSize(view->fontSize() * f);
        } else if (kindHasFont(kind)) {
            // Through the font object and again through the control's own size: the same size, twice.
            scaleFont(w, f);
            scaleFont(w, f);
        }
    }
    if (scaleWindowItself) {
        const TwipsRect b = twipsBox(&window);
        setTwipsBox(&window, TwipsRect{b.left * x, b.top * y, b.width * x, b.height * y});
    }
}

} // namespace vel
