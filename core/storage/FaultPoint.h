#pragma once
// Named steps of the library's write protocols at which a test can kill the process, to prove that an
// interruption at any of them leaves a library the next open puts right. Inert unless VELMORA_FAULT names
// the step.

namespace vel {

// Kills the process (as kill -9 would) when the environment variable VELMORA_FAULT equals step.
void faultPoint(const char* step);

} // namespace vel
