#pragma once
// The left page view's geometry of a book window that fills a screen, computed without any window: the same
// steps the book window takes when it loads (the font scaled to the screen) and lays out its pages (the
// font step, the page boxes, the page margins), for a window maximized on a screen of that many pixels,
// showing a work of the given layout.

#include "core/book/PageCut.h"

#include <QString>

namespace vel {

PageGeometry bookPageGeometry(int screenWidthPx, int screenHeightPx, const QString& fontName, double fontSize,
                              PageLayout pageLayout);

} // namespace vel
