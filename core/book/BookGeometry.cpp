#include "core/book/BookGeometry.h"

#include "core/book/Fonts.h"
#include "core/book/ScreenModule.h"
#include "core/book/Spread.h"
#include "core/book/Twips.h"

#include <QTextDocument>

namespace vel {

PageGeometry bookPageGeometry(int screenWidthPx, int screenHeightPx, const QString& fontName, double fontSize,
                              PageLayout pageLayout) {
    const int widthTwips = screenWidthPx * kTwipsPerPixel;
    const int heightTwips = screenHeightPx * kTwipsPerPixel;

    // Load: the page font is scaled with the window's other fonts, in the same precision.
    ScreenModule module;
    const ScaleFactors factors =
        screenFactors(module, widthTwips, heightTwips, kTwipsPerPixel, kTwipsPerPixel);
    const double scaled = fontSize * factors.font();

    // Layout: the font step, then the page boxes of a window covering the screen. The labels' widths only
    // place the page numbers.
    const double points = steppedFontSize(scaled, Spread::fontStep(factors.x, factors.y));
    const BookLayout layout = bookLayout(widthTwips, heightTwips, 0, 0);
    // A page view has no frame and no scroll bars: its viewport is the box less the page margins.
    const QSize box = layout.r1.toPixels().size();
    const QMargins m = pageMargins(pageLayout, box, PageSide::Left);
    const QSize viewport = box - QSize(m.left() + m.right(), m.top() + m.bottom());

    PageGeometry g;
    g.font = displayFont(fontName, points);
    g.typesetting = Typesetting::of(pageLayout, g.font);
    g.viewportWidth = viewport.width();
    g.viewportHeight = viewport.height();
    g.documentMargin = QTextDocument().documentMargin();
    return g;
}

} // namespace vel
