#pragma once
// The page geometry a text view lays its text out in.

#include "core/book/PageCut.h"

class QTextEdit;

namespace vel {

// The geometry `view` lays its text out in now. Also right for a view that has not been shown yet, as long
// as its scroll bars are off (the page views' case).
PageGeometry pageGeometryOf(const QTextEdit& view);

// Whether `view` shows all the text it holds: no line of it is cut off at the bottom.
bool showsWhole(const QTextEdit& view);

} // namespace vel
