#include "ui/Window.h"

#include "core/storage/Colors.h"
#include "ui/Session.h"

#include <QCloseEvent>
#include <QPainter>

namespace vel {

Window::Window(Session& session, const QString& name)
    : QWidget(nullptr), session_(session), backColor_(static_cast<std::int32_t>(0x8000000F)) {
    setObjectName(name);
    setMouseTracking(true);
    setAutoFillBackground(false);
}

Window::~Window() = default;

void Window::show() {
    if (!shownOnce_) {
        shownOnce_ = true;
        switch (startState_) {
        case StartState::Maximized:
            QWidget::showMaximized();
            break;
        case StartState::Minimized:
            QWidget::showMinimized();
            return;
        case StartState::Normal:
            QWidget::show();
            break;
        }
    } else if (isMinimized()) {
        QWidget::showNormal();
    } else {
        QWidget::show();
    }
    // A window that is shown comes to the front, as the reader expects of the one just asked for.
    raise();
    activateWindow();
}

void Window::close() {
    session_.unload(this);
}

void Window::setBackColor(std::int32_t colorNumber) {
    backColor_ = colorNumber;
    update();
    Q_EMIT backColorChanged();
}

void Window::setBackgroundPicture(const QPixmap& picture) {
    background_ = picture;
    update();
}

void Window::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (!unloading_)
        Form_Resize();
}

void Window::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    // Minimizing and restoring change no size but are resizes all the same.
    if (e->type() == QEvent::WindowStateChange && !unloading_)
        Form_Resize();
}

void Window::closeEvent(QCloseEvent* e) {
    e->accept();
    session_.unload(this);
}

void Window::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), colorFromNumber(backColor_));
    if (!background_.isNull())
        p.drawPixmap(QRect(QPoint(0, 0), background_.size()), background_);
    paintGraphicControls(this, p);
}

void Window::mouseMoveEvent(QMouseEvent* e) {
    QWidget::mouseMoveEvent(e);
    Form_MouseMove();
}

} // namespace vel
