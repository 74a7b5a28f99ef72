#include "display.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <X11/Xlib.h>
#endif

bool displayReachable()
{
#ifdef Q_OS_WIN
    return true;
#else
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
#endif
}

const char *displayMissingText()
{
    return "cannot open the X display named by DISPLAY: set DISPLAY to a running X server "
           "(an Xvfb server will do)";
}
