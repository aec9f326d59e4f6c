#pragma once
// The painted parts of the book window: frames that draw their shapes, the layout switch.

#include "ui/Controls.h"

#include <QFrame>
#include <QPainter>

namespace vel::book {

// A frame drawing its shapes under its child widgets.
class ShapeFrame : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent* e) override {
        QFrame::paintEvent(e);
        QPainter p(this);
        paintGraphicControls(this, p);
    }
};

inline const QString kBookLayoutTip = QStringLiteral(
    "Страниците са подредени като в книга. Щракнете за обикновено подреждане (без пренасяне и полета). "
    "Процесът отнема време.");
inline const QString kPlainLayoutTip = QStringLiteral(
    "Страниците са подредени обикновено. Щракнете за подреждане като в книга (двустранно подравнени редове, "
    "пренасяне, отстъп и полета). Процесът отнема време.");

// A round button like the ones painted in the window's picture, showing the layout of the pages on show:
// justified lines with an indent for the book, ragged ones for plain text.
class LayoutButton : public ClickLabel {
public:
    using ClickLabel::ClickLabel;
    void setBook(bool book) {
        book_ = book;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
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
        const qreal left = c.x() - 4.2 * unit, right = c.x() + 4.2 * unit;
        const qreal ragged[] = {0, 1.8, 0.6, 3.0};
        for (int i = 0; i < 4; ++i) {
            const qreal y = c.y() + (i - 1.5) * 2.4 * unit;
            const qreal from = book_ && i == 0 ? left + 1.6 * unit : left;
            const qreal to = book_ ? (i == 3 ? right - 2.6 * unit : right) : right - ragged[i] * unit;
            p.drawLine(QPointF(from, y), QPointF(to, y));
        }
    }

private:
    bool book_ = true;
};

} // namespace vel::book
