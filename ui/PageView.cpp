#include "ui/PageView.h"

#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>

namespace vel {

PageGeometry pageGeometryOf(const QTextEdit& view) {
    view.ensurePolished();
    PageGeometry g;
    g.font = view.document()->defaultFont();
    g.documentMargin = view.document()->documentMargin();
    QSize size = view.viewport()->size();
    if (view.testAttribute(Qt::WA_PendingResizeEvent) || !view.isVisible()) {
        // Not laid out yet: the viewport is what the frame leaves of the widget.
        size = view.contentsRect().size();
        if (view.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
            size.rwidth() -= view.verticalScrollBar()->sizeHint().width();
        if (view.horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
            size.rheight() -= view.horizontalScrollBar()->sizeHint().height();
    }
    g.viewportWidth = size.width();
    g.viewportHeight = size.height();
    return g;
}

} // namespace vel
