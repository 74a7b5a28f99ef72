#ifndef DISPLAY_H
#define DISPLAY_H

#include <QApplication>
#include <QString>
#include <QStringList>

#include <memory>

// The window system, as Qt chooses it: the platform from -platform NAME,
// else QT_QPA_PLATFORM, else XDG_SESSION_TYPE, else X11 ("xcb"), and on
// X11 the display from -display NAME, else DISPLAY. Every function here
// reads them as Qt does, so that a program speaks only where Qt would fail.

// Why the window system cannot be reached, or nothing. Asked before any
// GUI application exists: only X11 is tried ahead (an X display is cheap to
// open); any other platform is Qt's to start, see startGuiApplication.
QString windowSystemProblem(int argc, char *argv[]);

// The arguments without the window-system options, which Qt reads wherever
// it runs: -platform and -display, with one dash or two, and their values.
QStringList withoutWindowSystemOptions(const QStringList &arguments);

// Builds the program's GUI application. Where Qt cannot start the platform
// it was asked for (no such platform, or its server is not running), the
// program ends with one line naming the platform and exit status 2, where
// Qt would abort.
std::unique_ptr<QApplication> startGuiApplication(int &argc, char *argv[], const char *program);

// False where Qt leaves an OpenGL widget's own window unexposed, so that
// the widget gets no paint events (Wayland): such a widget draws itself.
bool glWidgetsGetPaintEvents();

// What stands in place of OpenGL where the window system gave no context.
const char *noGlContextText();

#endif
