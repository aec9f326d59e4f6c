#include "ui/Platform.h"

namespace vel {

float UnseededRandom::next() {
    state_ = (state_ * 1140671485u + 12820163u) & 0xFFFFFFu;
    return static_cast<float>(state_) / 16777216.0f;
}

} // namespace vel
