#include "ui/Controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace vel {

namespace {
constexpr char kKindProperty[] = "velControlKind";
}

void setControlKind(QObject* control, ControlKind kind) {
    control->setProperty(kKindProperty, static_cast<int>(kind));
}

ControlKind controlKind(const QObject* control) {
    return static_cast<ControlKind>(control->property(kKindProperty).toInt());
}

bool kindHasFont(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label:
    case ControlKind::TextBox:
    case ControlKind::Button:
    case ControlKind::PictureButton:
    case ControlKind::ComboBox:
    case ControlKind::ListBox:
    case ControlKind::Frame:
    case ControlKind::PictureBox:
        return true;
    default:
        return false;
    }
}

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void PictureButton::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void PictureButton::setBackColor(const QColor& color) {
    back_ = color;
    update();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (back_.isValid())
        p.fillRect(rect(), back_);
    if (!picture_.isNull()) {
        // The picture sits centred at its own size, as a graphical button shows it, scaled down if too big.
        QSize s = picture_.size();
        if (s.width() > width() || s.height() > height())
            s.scale(size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s);
        p.drawPixmap(target, picture_);
    }
    if (isDown()) {
        p.fillRect(rect(), QColor(0, 0, 0, 40));
    }
}

void PictureButton::mouseMoveEvent(QMouseEvent* e) {
    Q_EMIT mouseMoved();
    QAbstractButton::mouseMoveEvent(e);
    e->accept(); // a move over the control is not also a move over the window behind it
}

PictureBox::PictureBox(QWidget* parent, bool stretch) : QWidget(parent), stretch_(stretch) {
    setMouseTracking(true);
}

void PictureBox::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (stretch_)
        p.drawPixmap(rect(), picture_);
    else
        p.drawPixmap(0, 0, picture_);
}

void PictureBox::mouseMoveEvent(QMouseEvent* e) {
    Q_EMIT mouseMoved();
    QWidget::mouseMoveEvent(e);
    e->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Q_EMIT clicked();
    QWidget::mouseReleaseEvent(e);
}

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {
    setMouseTracking(true);
}

void ClickLabel::mouseMoveEvent(QMouseEvent* e) {
    Q_EMIT mouseMoved();
    QLabel::mouseMoveEvent(e);
    e->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(e);
}

GraphicControl::GraphicControl(QWidget* host) : QObject(host) {}

void GraphicControl::setVisible(bool visible) {
    visible_ = visible;
    changed();
}

void GraphicControl::changed() {
    if (auto* host = qobject_cast<QWidget*>(parent()))
        host->update();
}

void LineControl::setPoints(double ax1, double ay1, double ax2, double ay2) {
    x1 = ax1;
    y1 = ay1;
    x2 = ax2;
    y2 = ay2;
    changed();
}

void LineControl::setBorderColor(const QColor& c) {
    color_ = c;
    changed();
}

void LineControl::setBorderWidth(int w) {
    width_ = w;
    changed();
}

void LineControl::paint(QPainter& p) const {
    QPen pen(color_, width_);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(QPointF(x1 / kTwipsPerPixel, y1 / kTwipsPerPixel),
               QPointF(x2 / kTwipsPerPixel, y2 / kTwipsPerPixel));
}

ShapeControl::ShapeControl(QWidget* host, Form form) : GraphicControl(host), form_(form) {}

void ShapeControl::paint(QPainter& p) const {
    const QRectF r(box.left / kTwipsPerPixel, box.top / kTwipsPerPixel, box.width / kTwipsPerPixel,
                   box.height / kTwipsPerPixel);
    p.setPen(QPen(borderColor, borderWidth));
    p.setBrush(filled ? QBrush(fillColor) : Qt::NoBrush);
    if (form_ == Form::Circle) {
        const qreal d = std::min(r.width(), r.height());
        p.drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
    } else {
        p.drawRect(r);
    }
}

void paintGraphicControls(const QWidget* host, QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    for (const QObject* child : host->children()) {
        if (const auto* g = qobject_cast<const GraphicControl*>(child); g && g->isVisible())
            g->paint(p);
    }
}

} // namespace vel
