// Turning the pages: clicks, keys and the wheel, the page box and the fast-flip list.

#include "windows/KNIGA.h"

#include "ui/Design.h"
#include "ui/Session.h"
#include "windows/book/BookTexts.h"

#include <QKeyEvent>
#include <QWheelEvent>

namespace vel {

using namespace book;

void KNIGA::Prelistvane() {
    stopReading();
    bool ok = false;
    const int n = Combo1->currentText().trimmed().toInt(&ok);
    if (ok && spread_.showAt(n))
        applyView();
}

void KNIGA::Combo1_Click() {
    Prelistvane();
}

void KNIGA::naprede() {
    stopReading();
    if (building_ || Timer4->isActive())
        return;
    if (spread_.forward())
        applyView();
}

void KNIGA::nazade() {
    stopReading();
    if (building_ || Timer4->isActive())
        return;
    if (spread_.back())
        applyView();
}

void KNIGA::R1_Click() {
    nazade();
    combo11->hide();
}

void KNIGA::R2_Click() {
    naprede();
    combo11->hide();
}

void KNIGA::Image1_Click() {
    combo11->hide();
}

void KNIGA::Label9_Click() {
    if (!combo11->isHidden()) {
        combo11->hide();
        return;
    }
    vel::setBackColor(combo11, R1->backColor());
    setTwHeight(combo11, twHeight(R1) - 450);
    combo11->show();
    combo11->raise();
    if (QListWidgetItem* item = combo11->currentItem())
        combo11->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void KNIGA::combo11_Click() {
    stopReading();
    const int row = combo11->currentRow();
    if (row < 0 || row >= Combo1->count())
        return;
    Combo1->setCurrentIndex(row);
    Combo1->setEditText(Combo1->itemText(row));
    Combo1_Click();
    combo11->hide();
    Timer3->start();
}

void KNIGA::Timer3_Timer() {
    Timer3->stop();
    spread_.tidyUp();
    applyView();
}

void KNIGA::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_F5:
        toggleReading();
        return;
    case Qt::Key_Right:
    case Qt::Key_PageDown:
    case Qt::Key_Space:
        R2_Click();
        return;
    case Qt::Key_Left:
    case Qt::Key_PageUp:
        R1_Click();
        return;
    default:
        Window::keyPressEvent(e);
    }
}

void KNIGA::turnByWheel(int angleDelta) {
    // One turn per notch; a touchpad's small steps add up to one.
    wheelAccum_ += angleDelta;
    while (wheelAccum_ >= 120) {
        wheelAccum_ -= 120;
        R1_Click();
    }
    while (wheelAccum_ <= -120) {
        wheelAccum_ += 120;
        R2_Click();
    }
}

void KNIGA::wheelEvent(QWheelEvent* e) {
    turnByWheel(e->angleDelta().y());
    e->accept();
}

bool KNIGA::eventFilter(QObject* watched, QEvent* e) {
    // The page views never scroll: the wheel turns the book instead.
    if (e->type() == QEvent::Wheel && (watched == R1->viewport() || watched == R2->viewport())) {
        turnByWheel(static_cast<QWheelEvent*>(e)->angleDelta().y());
        return true;
    }
    return Window::eventFilter(watched, e);
}

} // namespace vel
