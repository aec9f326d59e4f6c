#include "ui/PageView.h"

#include "ui/RichTextView.h"

#include <QAbstractTextDocumentLayout>
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
        if (const auto* page = qobject_cast<const RichTextView*>(&view)) {
            const QMargins m = page->pageMargins();
            size -= QSize(m.left() + m.right(), m.top() + m.bottom());
        }
        if (view.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
            size.rwidth() -= view.verticalScrollBar()->sizeHint().width();
        if (view.horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
            size.rheight() -= view.horizontalScrollBar()->sizeHint().height();
    }
    if (const auto* page = qobject_cast<const RichTextView*>(&view))
        g.typesetting = page->typesetting();
    g.viewportWidth = size.width();
    g.viewportHeight = size.height();
    return g;
}

bool showsWhole(const QTextEdit& view) {
    const qreal height = view.document()->documentLayout()->documentSize().height();
    return view.verticalScrollBar()->maximum() == 0 && height <= view.viewport()->height() + 0.5;
}

} // namespace vel
