#include "display.h"

#include "gldriverpin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#ifndef Q_OS_WIN
#include <X11/Xlib.h>
#endif

namespace {

// A setting and what it was taken from, for the messages.
struct Choice
{
    QByteArray value;
    QString from;
};

// Qt reads each as "-NAME VALUE" or "--NAME VALUE"; the last one counts.
const char *const windowSystemOptions[] = { "platform", "display" };

bool isOption(const QString &argument, const char *name)
{
    const int dashes = argument.startsWith(QLatin1String("--")) ? 2 : argument.startsWith(QLatin1Char('-')) ? 1 : 0;
    return dashes > 0 && argument.mid(dashes) == QLatin1String(name);
}

bool isWindowSystemOption(const QString &argument)
{
    return std::any_of(std::begin(windowSystemOptions), std::end(windowSystemOptions),
                       [&argument](const char *name) { return isOption(argument, name); });
}

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

Choice optionOr(const QStringList &arguments, const char *option, Choice otherwise)
{
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (isOption(arguments[i], option))
            otherwise = { arguments[++i].toLocal8Bit(), QStringLiteral("-%1").arg(QLatin1String(option)) };
    }
    return otherwise;
}

// Qt tries the platforms of a list "name[:options];..." in turn; without
// a word from the user it starts X11, or Wayland first in a Wayland session.
Choice chosenPlatforms(const QStringList &arguments)
{
    Choice platforms{ "xcb", QString() };
    if (qgetenv("XDG_SESSION_TYPE") == "wayland")
        platforms = { "wayland;xcb", QStringLiteral("XDG_SESSION_TYPE") };
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        platforms = { qgetenv("QT_QPA_PLATFORM"), QStringLiteral("QT_QPA_PLATFORM") };
    return optionOr(arguments, "platform", platforms);
}

bool startsWithX11(const QByteArray &platforms)
{
    return platforms.split(';').first().split(':').first().trimmed().toLower() == "xcb";
}

QString xDisplayProblem(const QStringList &arguments)
{
#ifdef Q_OS_WIN
    Q_UNUSED(arguments);
    return QString();
#else
    const Choice display = optionOr(arguments, "display", { qgetenv("DISPLAY"), QStringLiteral("DISPLAY") });
    Display *opened = XOpenDisplay(display.value.isEmpty() ? nullptr : display.value.constData());
    if (opened) {
        XCloseDisplay(opened);
        return QString();
    }
    const QString what = display.value.isEmpty()
                             ? QStringLiteral("cannot open an X display (DISPLAY is not set)")
                             : QStringLiteral("cannot open the X display \"%1\" named by %2")
                                   .arg(QString::fromLocal8Bit(display.value), display.from);
    return what + QStringLiteral(": set DISPLAY or -display to a running X server (an Xvfb server will do),"
                                 " or choose another platform with -platform or QT_QPA_PLATFORM");
#endif
}

struct Start
{
    const char *program = "";
    QString platforms;
    QtMessageHandler passOn = nullptr;
};
Start starting;

// While a GUI application is being built, a fatal message is Qt giving up
// on every platform it was asked for; it would abort the process next.
// Qt's own warnings before it (why the platform failed) pass through.
void endFailedStart(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        starting.passOn(type, context, message);
        return;
    }
    QString available = message.section(QStringLiteral("Available platform plugins are:"), 1).trimmed();
    if (available.endsWith(QLatin1Char('.')))
        available.chop(1);
    const QString line = QStringLiteral("%1: Qt cannot start the platform %2: no such platform, or its server is not running%3\n")
                             .arg(QLatin1String(starting.program), starting.platforms,
                                  available.isEmpty() ? QString() : QStringLiteral(" (Qt's platforms here: %1)").arg(available));
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    std::_Exit(2);
}

} // namespace

QString windowSystemProblem(int argc, char *argv[])
{
    const QStringList arguments = argumentsOf(argc, argv);
    return startsWithX11(chosenPlatforms(arguments).value) ? xDisplayProblem(arguments) : QString();
}

QStringList withoutWindowSystemOptions(const QStringList &arguments)
{
    QStringList rest = arguments.mid(0, 1);
    for (int i = 1; i < arguments.size(); ++i) {
        if (isWindowSystemOption(arguments[i]))
            ++i;
        else
            rest << arguments[i];
    }
    return rest;
}

// Checking the platform ahead would mean knowing every platform plugin and
// how it reaches its server, and a trial application in a child process
// would double the start-up; Qt's own attempt is the check, and only its
// last word, the abort, is replaced.
std::unique_ptr<QApplication> startGuiApplication(int &argc, char *argv[], const char *program)
{
    const Choice platforms = chosenPlatforms(argumentsOf(argc, argv));
    starting.program = program;
    starting.platforms = QStringLiteral("\"%1\" (%2)").arg(QString::fromLocal8Bit(platforms.value),
                                                         platforms.from.isEmpty() ? QStringLiteral("Qt's default")
                                                                                  : QStringLiteral("from ") + platforms.from);
    starting.passOn = qInstallMessageHandler(endFailedStart);
    std::unique_ptr<QApplication> app(new QApplication(argc, argv));
    qInstallMessageHandler(starting.passOn);
    // Post routines run as the application ends, before Qt closes the
    // display connection and the OpenGL driver with it.
    qAddPostRoutine(keepGlDriverLoaded);
    return app;
}

// Qt's Wayland plugin exposes a child window's surface once frames have
// been shown on it, and a widget is painted only once exposed.
bool glWidgetsGetPaintEvents()
{
    // Asked at every frame; the platform does not change while the program runs.
    static const bool paintEvents = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return paintEvents;
}

const char *noGlContextText()
{
    return "the OpenGL context could not be made";
}
