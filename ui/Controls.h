#pragma once
// The control kinds the window designs use, beyond Qt's own widgets.

#include "ui/TwipsBox.h"

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QWidget>

namespace vel {

// What a designed control is; scaling and tests ask for it.
enum class ControlKind {
    Label,
    TextBox,
    Button,
    PictureButton,
    ComboBox,
    ListBox,
    Frame,
    PictureBox,
    Image,
    RichText,
    Line,
    Shape,
    Timer
};

void setControlKind(QObject* control, ControlKind kind);
ControlKind controlKind(const QObject* control);
// Whether the control shows text in a font of its own (labels, boxes, buttons, lists, frames, picture boxes).
bool kindHasFont(ControlKind kind);

// A button that shows a picture instead of a caption, the tool tip naming the action. Reports every mouse
// move over it, which hover highlighting needs.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    void setBackColor(const QColor& color);

Q_SIGNALS:
    void mouseMoved();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    QSize sizeHint() const override { return picture_.size(); }

private:
    QPixmap picture_;
    QColor back_;
};

// A picture stretched over the control's box (an image), or a picture box holding one at its natural size.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr, bool stretch = true);
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }

Q_SIGNALS:
    void clicked();
    void mouseMoved();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QPixmap picture_;
    bool stretch_;
};

// A label that also reports clicks and mouse moves (click areas, page numbers, captions).
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// Lines and shapes are drawn by the window that holds them, under its child widgets.
class GraphicControl : public QObject {
    Q_OBJECT
public:
    explicit GraphicControl(QWidget* host);
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);
    virtual void paint(class QPainter& p) const = 0;

protected:
    void changed();

private:
    bool visible_ = true;
};

class LineControl : public GraphicControl {
    Q_OBJECT
public:
    using GraphicControl::GraphicControl;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0; // twips
    void setPoints(double ax1, double ay1, double ax2, double ay2);
    void setBorderColor(const QColor& c);
    QColor borderColor() const { return color_; }
    void setBorderWidth(int w);
    int borderWidth() const { return width_; }
    void paint(QPainter& p) const override;

private:
    QColor color_ = Qt::black;
    int width_ = 1;
};

class ShapeControl : public GraphicControl {
    Q_OBJECT
public:
    enum class Form { Rectangle, Circle };
    ShapeControl(QWidget* host, Form form);
    TwipsRect box;
    QColor borderColor = Qt::black;
    int borderWidth = 1;
    bool filled = false;
    QColor fillColor = Qt::black;
    void paint(QPainter& p) const override;

private:
    Form form_;
};

// Paints a host widget's graphic controls; windows and frames call it from their paint event.
void paintGraphicControls(const QWidget* host, QPainter& p);

} // namespace vel
