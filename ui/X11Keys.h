#pragma once
// Kept apart: the X headers define macros (None, Bool, …) that clash with ordinary C++ names.

struct _XDisplay;

namespace vel {

// Presses and releases Ctrl+F12 through the XTest extension; false when the server cannot take it.
bool sendCtrlF12(_XDisplay* display);

} // namespace vel
