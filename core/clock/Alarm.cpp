#include "core/clock/Alarm.h"

namespace vel {

bool Alarm::panelButtonClicked() {
    frameVisible_ = startVisible_ = alarmHandVisible_ = true;
    // The tooltip is what says whether the panel was open.
    if (panelToolTip_ == closeToolTip()) {
        frameVisible_ = startVisible_ = alarmHandVisible_ = false;
        panelToolTip_ = openToolTip();
        alarmArmed_ = 0;
        armedLabelVisible_ = false;
    }
    if (frameVisible_)
        panelToolTip_ = closeToolTip();
    return true;
}

void Alarm::startClicked() {
    alarmArmed_ = 1;
    startVisible_ = false;
    armedLabelVisible_ = true;
}

// Each button moves the hand before the angle is brought back into [0, 360), so the hand is drawn once
// from the unwrapped angle; the difference is a fraction of a pixel.

void Alarm::hourUp() {
    alarmAngle_ += 30;
    redrawAlarmHand();
    if (++hour_ == 13)
        hour_ = 1;
    if (alarmAngle_ >= 360)
        alarmAngle_ -= 360;
}

void Alarm::hourDown() {
    alarmAngle_ -= 30;
    redrawAlarmHand();
    if (--hour_ == 0)
        hour_ = 12;
    if (alarmAngle_ < 0)
        alarmAngle_ += 360;
}

void Alarm::minuteUp() {
    alarmAngle_ += 0.5f;
    redrawAlarmHand();
    if (++minutes_ > 59) {
        minutes_ = 0;
        if (++hour_ == 13)
            hour_ = 1;
    }
    if (alarmAngle_ >= 360)
        alarmAngle_ -= 360;
    updateMinutesCaption();
}

void Alarm::minuteDown() {
    alarmAngle_ -= 0.5f;
    redrawAlarmHand();
    if (--minutes_ < 0) {
        minutes_ += 60;
        if (--hour_ == 0)
            hour_ = 12;
    }
    if (alarmAngle_ < 0)
        alarmAngle_ = 359.5f;
    updateMinutesCaption();
}

bool Alarm::clockTick(double hourAngle) {
    // Both angles are whole multiples of 0.5, so exact equality holds for the whole alarm minute.
    ringTimerEnabled_ = alarmArmed_ == 1 && hourAngle == static_cast<double>(alarmAngle_);
    return ringTimerEnabled_;
}

Alarm::RingEffects Alarm::ringTick() {
    RingEffects fx;
    fx.showWindow = true;
    // Three ticks: strike (beep, labels lit), hammer back, release (beep, labels dark).
    if (blinkOn_ == 0) {
        fx.beep = true;
        labelsOpaque_ = true;
        blinkOn_ = 1;
        picture2Visible_ = true;
    } else if (picture2Visible_) {
        picture2Visible_ = false;
        picture3Visible_ = true;
    } else {
        fx.beep = true;
        labelsOpaque_ = false;
        blinkOn_ = 0;
        picture2Visible_ = false;
        picture3Visible_ = false;
    }
    return fx;
}

Alarm::State Alarm::state() const {
    if (!frameVisible_)
        return State::Closed;
    if (alarmArmed_ != 1)
        return State::Open;
    return ringTimerEnabled_ ? State::Ringing : State::Armed;
}

QString Alarm::hourCaption() const {
    return QString::number(hour_);
}

QString Alarm::minutesCounter() const {
    return QString::number(minutes_);
}

Alarm::Hammer Alarm::hammer() const {
    if (picture3Visible_)
        return Hammer::Picture3;
    if (picture2Visible_)
        return Hammer::Picture2;
    return Hammer::Rest;
}

void Alarm::redrawAlarmHand() {
    alarmHandVisible_ = true;
    alarmHand_ = clockface::handEnd(alarmAngle_, clockface::kAlarmLength);
}

void Alarm::updateMinutesCaption() {
    const QString m = minutesCounter();
    minutesCaption_ = (m.size() == 1 ? QStringLiteral(": 0") : QStringLiteral(": ")) + m;
}

} // namespace vel
