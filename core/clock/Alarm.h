#pragma once
// The alarm on the clock's 12-hour dial: its setting panel, the hour and minute steps, arming, the match on
// every clock tick and the ringing bell. A window mirrors what this class exposes after every call; the class
// owns no timer, sound or window.

#include "core/clock/ClockMath.h"

#include <QString>
#include <cstdint>

namespace vel {

class Alarm {
public:
    enum class State { Closed, Open, Armed, Ringing };
    // The bell's hammer: at rest, or up and down while ringing.
    enum class Hammer { Rest, Up, Down };

    // What one ringing tick asks of the window besides mirroring the state.
    struct RingEffects {
        bool showWindow = false; // show the management window (modeless) and bring it up
        bool beep = false;
    };

    // The panel button's tooltip while the panel is closed / open.
    static QString openToolTip() { return QStringLiteral("Настройка на алармата"); }
    static QString closeToolTip() { return QStringLiteral("Стоп"); }

    // The panel button: opens the panel, or closes it and disarms. Returns whether to beep (always).
    bool panelButtonClicked();
    // Arms; the panel stays open and the time can still be stepped.
    void startClicked();

    // Step the alarm time; each also moves the alarm hand (and shows it).
    void hourUp();
    void hourDown();
    void minuteUp();
    void minuteDown();

    // End of every clock tick, with the clock's hour angle. Returns whether the ringing timer should run;
    // a running one must be left running (not restarted) so the bell keeps its pace.
    bool clockTick(double hourAngle);
    // One tick of the ringing timer.
    RingEffects ringTick();

    State state() const;

    // What the dial shows.
    bool panelOpen() const { return panelOpen_; }
    bool startOffered() const { return startOffered_; } // the arming button, until armed
    bool alarmHandVisible() const { return alarmHandVisible_; }
    bool armedShown() const { return armedShown_; } // the "armed" sign
    const QString& panelToolTip() const { return panelToolTip_; }
    QString hourCaption() const;                                      // "1" to "12"
    const QString& minutesCaption() const { return minutesCaption_; } // ": 05"
    QString minutesCounter() const;                                   // "0" to "59"
    bool timeLit() const { return timeLit_; } // the alarm time drawn on an opaque ground while the bell rings
    Hammer hammer() const { return hammer_; }
    bool ringing() const { return ringing_; }
    // The alarm hand's end point; the design end point until the time is first stepped.
    HandEnd alarmHand() const { return alarmHand_; }

    // The alarm time as an hour-hand angle, in [0, 360).
    float alarmAngle() const { return alarmAngle_; }

private:
    void redrawAlarmHand();
    void updateMinutesCaption();

    float alarmAngle_ = 0;
    bool armed_ = false;

    int hour_ = 12;   // 1-12
    int minutes_ = 0; // 0-59
    QString minutesCaption_ = QStringLiteral(": 00");
    QString panelToolTip_ = openToolTip();

    bool panelOpen_ = false;
    bool startOffered_ = false;
    bool alarmHandVisible_ = false;
    bool armedShown_ = false;
    bool timeLit_ = false;
    Hammer hammer_ = Hammer::Rest;
    bool ringing_ = false;
    HandEnd alarmHand_{clockface::kCentreX, 2700};
};

} // namespace vel
