#pragma once
// The management window's alarm on its 12-hour dial: the panel, the time buttons, arming, the match on
// every clock tick and the ringing animation. The window owns the controls and mirrors what this class
// exposes after every call; the class owns no timer, sound or window.

#include "core/clock/ClockMath.h"

#include <QString>
#include <cstdint>

namespace vel {

class Alarm {
public:
    enum class State { Closed, Open, Armed, Ringing };
    // Picture4 always shows the hammer at rest; Picture2 or Picture3 is laid over it while ringing.
    enum class Hammer { Rest, Picture2, Picture3 };

    // What one ringing tick asks of the window besides mirroring the state.
    struct RingEffects {
        bool showWindow = false; // show the management window (modeless) and bring it up
        bool beep = false;
    };

    // Command333's tooltip while the panel is closed / open.
    static QString openToolTip() { return QStringLiteral("Настройка на алармата"); }
    static QString closeToolTip() { return QStringLiteral("Стоп"); }

    // Command333: opens the panel, or closes it and disarms. Returns whether to beep (always).
    bool panelButtonClicked();
    // Command5: arms; the panel stays open and the time buttons keep working.
    void startClicked();

    // Command222 / Command6 / Command111 / Command7. They also move s3 (and show it). After the minute
    // buttons the window moves Label6 to Text555.Left + Text555.Width.
    void hourUp();
    void hourDown();
    void minuteUp();
    void minuteDown();

    // End of every clock tick, with the clock's hour angle. Returns whether Timer1 should run; a running
    // Timer1 must be left running (not restarted) so the animation keeps its pace.
    bool clockTick(double hourAngle);
    // Timer1.
    RingEffects ringTick();

    State state() const;

    // Controls, as the window shows them.
    bool frameVisible() const { return frameVisible_; }               // Frame1
    bool startButtonVisible() const { return startVisible_; }         // Command5
    bool alarmHandVisible() const { return alarmHandVisible_; }       // s3
    bool armedLabelVisible() const { return armedLabelVisible_; }     // Label5
    const QString& panelToolTip() const { return panelToolTip_; }     // Command333's tooltip
    QString hourCaption() const;                                      // Text555: "1" to "12"
    const QString& minutesCaption() const { return minutesCaption_; } // Label6: ": 05"
    QString minutesCounter() const;                                   // Text666: "0" to "59"
    bool labelsOpaque() const { return labelsOpaque_; }               // back style of Text555 and Label6
    Hammer hammer() const;
    bool picture2Visible() const { return picture2Visible_; }
    bool picture3Visible() const { return picture3Visible_; }
    bool ringTimerEnabled() const { return ringTimerEnabled_; } // Timer1
    // s3's end point; the design end point until a time button is first pressed.
    HandEnd alarmHand() const { return alarmHand_; }

    // The alarm time as an hour-hand angle, in [0, 360).
    float alarmAngle() const { return alarmAngle_; }
    std::int16_t alarmArmed() const { return alarmArmed_; }
    std::int16_t blinkOn() const { return blinkOn_; }

private:
    void redrawAlarmHand();
    void updateMinutesCaption();

    float alarmAngle_ = 0;
    std::int16_t alarmArmed_ = 0;
    std::int16_t blinkOn_ = 0;

    int hour_ = 12;   // 1-12
    int minutes_ = 0; // 0-59
    QString minutesCaption_ = QStringLiteral(": 00");
    QString panelToolTip_ = openToolTip();

    bool frameVisible_ = false;
    bool startVisible_ = false;
    bool alarmHandVisible_ = false;
    bool armedLabelVisible_ = false;
    bool labelsOpaque_ = false;
    bool picture2Visible_ = false;
    bool picture3Visible_ = false;
    bool ringTimerEnabled_ = false;
    HandEnd alarmHand_{clockface::kCentreX, 2700};
};

} // namespace vel
