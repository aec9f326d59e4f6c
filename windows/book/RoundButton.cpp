#include "windows/book/RoundButton.h"

#include <QPainterPath>

namespace vel {

void RoundButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The picture's buttons: 11 px across the ring, 8.4 px the face, in a box 33 px high.
    const qreal unit = height() / 33.0;
    const QPointF c(width() / 2.0, 12.5 * unit);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawEllipse(c + QPointF(0, unit), 11.8 * unit, 11.8 * unit);
    QRadialGradient ring(c + QPointF(-2 * unit, -3 * unit), 15 * unit);
    ring.setColorAt(0, QColor(0xffffff));
    ring.setColorAt(0.55, QColor(0xc2c7cd));
    ring.setColorAt(0.85, QColor(0x7e848b));
    ring.setColorAt(1, QColor(0xd5d9dd));
    p.setPen(QPen(QColor(0x2a2e33), 0.8 * unit));
    p.setBrush(ring);
    p.drawEllipse(c, 11 * unit, 11 * unit);
    QRadialGradient face(c + QPointF(-1.7 * unit, -2.5 * unit), 12.6 * unit);
    face.setColorAt(0, QColor(0x7fa6cf));
    face.setColorAt(0.6, QColor(0x3f6f9f));
    face.setColorAt(1, QColor(0x24466b));
    p.setPen(QPen(QColor(0x1b2633), 0.8 * unit));
    p.setBrush(face);
    p.drawEllipse(c, 8.4 * unit, 8.4 * unit);
    p.setPen(QPen(QColor(0xf4f5f6), 1.1 * unit, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    paintSymbol(p, c, unit);
}

void SymbolButton::paintSymbol(QPainter& p, QPointF c, qreal unit) {
    switch (symbol_) {
    case Symbol::Contents:
        // Entries indented by level.
        for (int i = 0; i < 4; ++i) {
            const qreal y = c.y() + (i - 1.5) * 2.4 * unit;
            const qreal indent = (i == 1 || i == 2) ? 2.2 * unit : 0;
            p.drawLine(QPointF(c.x() - 4.2 * unit + indent, y), QPointF(c.x() + 4.2 * unit, y));
        }
        break;
    case Symbol::Search:
        p.drawEllipse(c + QPointF(-1.2 * unit, -1.2 * unit), 3 * unit, 3 * unit);
        p.drawLine(c + QPointF(1 * unit, 1 * unit), c + QPointF(4 * unit, 4 * unit));
        break;
    case Symbol::Marks: {
        QPainterPath ribbon;
        ribbon.moveTo(c + QPointF(-2.8 * unit, -4.5 * unit));
        ribbon.lineTo(c + QPointF(2.8 * unit, -4.5 * unit));
        ribbon.lineTo(c + QPointF(2.8 * unit, 4.5 * unit));
        ribbon.lineTo(c + QPointF(0, 2 * unit));
        ribbon.lineTo(c + QPointF(-2.8 * unit, 4.5 * unit));
        ribbon.closeSubpath();
        p.drawPath(ribbon);
        break;
    }
    }
}

} // namespace vel
