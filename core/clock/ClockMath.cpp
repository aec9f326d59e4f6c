#include "core/clock/ClockMath.h"

#include <cmath>

namespace vel::clockface {

namespace {
// A rounded half-turn, not pi: the hands have always been drawn with it (about 0.1 degree off at 6 o'clock).
constexpr double kHalfTurn = 3.14;
constexpr float kAphorismCount = 88;
} // namespace

double secondAngle(int second) {
    return second * 6.0;
}

double minuteAngle(int minute) {
    return minute * 6.0;
}

double hourAngle(int hour, int minute) {
    // minute * 0.5 rather than (minute / 60) * 30: the latter is 15.499999999999998 at 00:31, which
    // never equals an alarm set to 12:31.
    double angle = hour * 30.0 + minute * 0.5;
    if (angle >= 360)
        angle -= 360;
    return angle;
}

HandEnd handEnd(double angle, int length, float x1, float y1) {
    const double phi = ((angle - 180) / 180) * (-kHalfTurn);
    HandEnd end;
    end.x2 = static_cast<float>(x1 + length * std::sin(phi));
    end.y2 = static_cast<float>(y1 + length * std::cos(phi));
    return end;
}

int aphorismIndex(float r) {
    // Single precision on purpose: r just below 1 still gives 88.
    const float k = std::floor(r * kAphorismCount + 1.0f);
    // A generator outside [0, 1) (or NaN) must not index past the table.
    if (!(k >= 1))
        return 1;
    if (k > kAphorismCount)
        return static_cast<int>(kAphorismCount);
    return static_cast<int>(k);
}

} // namespace vel::clockface
