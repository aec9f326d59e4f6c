#include "core/clock/Alarm.h"

namespace vel {

bool Alarm::panelButtonClicked() {
    panelOpen_ = startOffered_ = alarmHandVisible_ = true;
    // The tooltip is what says whether the panel was open.
    if (panelToolTip_ == closeToolTip()) {
        panelOpen_ = startOffered_ = alarmHandVisible_ = false;
        panelToolTip_ = openToolTip();
        armed_ = false;
        armedShown_ = false;
    }
    if (panelOpen_)
        panelToolTip_ = closeToolTip();
    return true;
}

void Alarm::startClicked() {
    armed_ = true;
    startOffered_ = false;
    armedShown_ = true;
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
    ringing_ = armed_ && hourAngle == static_cast<double>(alarmAngle_);
    return ringing_;
}

Alarm::RingEffects Alarm::ringTick() {
    RingEffects fx;
    fx.showWindow = true;
    // Three ticks: hammer up (beep, time lit), hammer down, back at rest (beep, time dark).
    switch (hammer_) {
    case Hammer::Rest:
        fx.beep = true;
        timeLit_ = true;
        hammer_ = Hammer::Up;
        break;
    case Hammer::Up:
        hammer_ = Hammer::Down;
        break;
    case Hammer::Down:
        fx.beep = true;
        timeLit_ = false;
        hammer_ = Hammer::Rest;
        break;
    }
    return fx;
}

Alarm::State Alarm::state() const {
    if (!panelOpen_)
        return State::Closed;
    if (!armed_)
        return State::Open;
    return ringing_ ? State::Ringing : State::Armed;
}

QString Alarm::hourCaption() const {
    return QString::number(hour_);
}

QString Alarm::minutesCounter() const {
    return QString::number(minutes_);
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
