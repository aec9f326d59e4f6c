#pragma once
// Where the clock's hands end for a time of day, and the aphorism index drawn on every clock tick.
// All coordinates are twips in the management window's client area.

namespace vel {

// End point of a hand as its line stores it (single precision).
struct HandEnd {
    float x2 = 0;
    float y2 = 0;
};

namespace clockface {

// Every hand starts at the centre of the dial painted on the window's background.
inline constexpr float kCentreX = 3405;
inline constexpr float kCentreY = 3625;

inline constexpr int kSecondLength = 850; // s
inline constexpr int kMinuteLength = 600; // s1
inline constexpr int kHourLength = 400;   // s2
inline constexpr int kAlarmLength = 900;  // s3

// Degrees clockwise from 12 o'clock.
double secondAngle(int second);
double minuteAngle(int minute); // jumps once a minute
// 0.5 degrees per minute on a 12-hour dial, kept in [0, 360).
double hourAngle(int hour, int minute);

// A hand of the given length at the given angle, from (x1, y1).
HandEnd handEnd(double angle, int length, float x1 = kCentreX, float y1 = kCentreY);

// Text4's index, 1 to 88, from a uniform r in [0, 1).
int aphorismIndex(float r);

} // namespace clockface
} // namespace vel
