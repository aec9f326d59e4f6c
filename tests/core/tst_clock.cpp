#include "core/clock/Alarm.h"
#include "core/clock/ClockMath.h"

#include <QTime>

#include <QTest>
#include <cmath>

using namespace vel;
using State = Alarm::State;

namespace {

// Sets the alarm from its 12: 00 start with the time buttons, as a user would, and arms it.
Alarm armedAt(int hour, int minute) {
    Alarm a;
    for (int i = 0; i < hour % 12; ++i)
        a.hourUp();
    for (int i = 0; i < minute; ++i)
        a.minuteUp();
    a.panelButtonClicked();
    a.startClicked();
    return a;
}

QString shown(const Alarm& a) {
    return a.hourCaption() + a.minutesCaption();
}

bool tickAt(Alarm& a, QTime t) {
    return a.clockTick(clockface::hourAngle(t.hour(), t.minute()));
}

} // namespace

class TstClock : public QObject {
    Q_OBJECT

private slots:
    void handEnds();
    void timeButtonsWrap();
    void panelArmRingAndDisarm();
    void matchesBothHalvesOfTheDay();
};

void TstClock::handEnds() {
    // Ends worked out by hand; "up" sits a hair right of centre because the half-turn is 3.14.
    const struct {
        QTime time;
        float sx, sy, mx, my, hx, hy;
    } rows[] = {
        {QTime(0, 0, 0), 3406.354f, 2775.001f, 3405.956f, 3025.001f, 3405.637f, 3225.000f},
        {QTime(12, 30, 0), 3406.354f, 2775.001f, 3405.000f, 4225.000f, 3509.092f, 3238.781f},
        {QTime(23, 59, 59), 3314.849f, 2779.794f, 3341.364f, 3028.384f, 3400.874f, 3225.021f},
        {QTime(3, 0, 15), 4255.000f, 3625.677f, 3405.956f, 3025.001f, 3805.000f, 3625.319f},
    };
    for (const auto& r : rows) {
        using namespace clockface;
        const HandEnd s = handEnd(secondAngle(r.time.second()), kSecondLength);
        const HandEnd m = handEnd(minuteAngle(r.time.minute()), kMinuteLength);
        const HandEnd h = handEnd(hourAngle(r.time.hour(), r.time.minute()), kHourLength);
        const float got[] = {s.x2, s.y2, m.x2, m.y2, h.x2, h.y2};
        const float want[] = {r.sx, r.sy, r.mx, r.my, r.hx, r.hy};
        for (int i = 0; i < 6; ++i)
            QVERIFY2(std::abs(got[i] - want[i]) < 0.002f,
                     qPrintable(r.time.toString() + " #" + QString::number(i)));
    }
    QCOMPARE(clockface::hourAngle(23, 59), 359.5);
    // A faulty random source must still give an index inside the 88 texts.
    QCOMPARE(clockface::aphorismIndex(std::nextafter(1.0f, 0.0f)), 88);
    QCOMPARE(clockface::aphorismIndex(1.0f), 88);
    QCOMPARE(clockface::aphorismIndex(std::nanf("")), 1);
}

void TstClock::timeButtonsWrap() {
    Alarm a;
    for (int i = 0; i < 12; ++i)
        a.hourUp();
    QCOMPARE(shown(a), QStringLiteral("12: 00"));
    QCOMPARE(a.alarmAngle(), 0.0f);

    const struct {
        int hour, minute;
        void (Alarm::*press)();
        const char* after;
        float angle;
    } steps[] = {
        {12, 59, &Alarm::minuteUp, "1: 00", 30},       {11, 59, &Alarm::minuteUp, "12: 00", 0},
        {12, 0, &Alarm::minuteDown, "11: 59", 359.5f}, {1, 15, &Alarm::hourDown, "12: 15", 7.5f},
        {7, 4, &Alarm::minuteUp, "7: 05", 212.5f},
    };
    for (const auto& s : steps) {
        Alarm b = armedAt(s.hour, s.minute);
        (b.*s.press)();
        QCOMPARE(shown(b), QString::fromUtf8(s.after));
        QCOMPARE(b.alarmAngle(), s.angle);
    }
}

void TstClock::panelArmRingAndDisarm() {
    Alarm a;
    QCOMPARE(a.state(), State::Closed);
    QVERIFY(!tickAt(a, QTime(0, 0))); // 12: 00 but not armed
    QVERIFY(a.panelButtonClicked());
    QCOMPARE(a.state(), State::Open);
    QCOMPARE(a.panelToolTip(), QStringLiteral("Стоп"));
    QVERIFY(a.startOffered() && !a.armedShown());
    a.startClicked();
    QCOMPARE(a.state(), State::Armed);
    QVERIFY(!a.startOffered() && a.armedShown());

    QVERIFY(tickAt(a, QTime(12, 0, 0)));
    QCOMPARE(a.state(), State::Ringing);
    // Two rounds of the three-tick cycle: strike with a beep, hammer back, release with a beep.
    const Alarm::Hammer hammers[] = {Alarm::Hammer::Up, Alarm::Hammer::Down, Alarm::Hammer::Rest};
    for (int i = 0; i < 6; ++i) {
        const auto fx = a.ringTick();
        QVERIFY(fx.showWindow);
        QCOMPARE(fx.beep, i % 3 != 1);
        QCOMPARE(a.hammer(), hammers[i % 3]);
        QCOMPARE(a.timeLit(), i % 3 != 2);
    }
    QVERIFY(!tickAt(a, QTime(12, 1, 0)));
    QCOMPARE(a.state(), State::Armed);

    // Closing the panel while ringing disarms; Timer1 runs until the next clock tick stops it.
    QVERIFY(tickAt(a, QTime(0, 0, 30)));
    a.ringTick();
    a.panelButtonClicked();
    QCOMPARE(a.state(), State::Closed);
    QCOMPARE(a.panelToolTip(), QStringLiteral("Настройка на алармата"));
    QVERIFY(a.ringing() && !a.armedShown() && !a.alarmHandVisible());
    QVERIFY(!tickAt(a, QTime(0, 0, 31)));
    QCOMPARE(shown(a), QStringLiteral("12: 00")); // the time is kept
}

void TstClock::matchesBothHalvesOfTheDay() {
    const struct {
        int hour, minute;
        QList<QTime> rings, silent;
    } cases[] = {
        {7,
         30,
         {QTime(7, 30, 0), QTime(7, 30, 59), QTime(19, 30, 0), QTime(19, 30, 59)},
         {QTime(7, 29, 59), QTime(7, 31), QTime(19, 31), QTime(8, 30)}},
        // 12:31 must ring after midnight too, not only at noon.
        {12, 31, {QTime(0, 31), QTime(12, 31)}, {QTime(0, 30), QTime(12, 32)}},
    };
    for (const auto& c : cases) {
        Alarm a = armedAt(c.hour, c.minute);
        for (const QTime& t : c.rings)
            QVERIFY2(tickAt(a, t), qPrintable(t.toString()));
        for (const QTime& t : c.silent)
            QVERIFY2(!tickAt(a, t), qPrintable(t.toString()));
    }
}

QTEST_GUILESS_MAIN(TstClock)
#include "tst_clock.moc"
