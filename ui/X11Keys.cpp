#include "ui/X11Keys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace vel {

bool sendCtrlF12(_XDisplay* dpy) {
    int event = 0, error = 0, major = 0, minor = 0;
    if (!dpy || !XTestQueryExtension(dpy, &event, &error, &major, &minor))
        return false;
    const KeyCode ctrl = XKeysymToKeycode(dpy, XK_Control_L);
    const KeyCode f12 = XKeysymToKeycode(dpy, XK_F12);
    if (!ctrl || !f12)
        return false;
    XTestFakeKeyEvent(dpy, ctrl, True, CurrentTime);
    XTestFakeKeyEvent(dpy, f12, True, CurrentTime);
    XTestFakeKeyEvent(dpy, f12, False, CurrentTime);
    XTestFakeKeyEvent(dpy, ctrl, False, CurrentTime);
    XSync(dpy, False);
    return true;
}

} // namespace vel
