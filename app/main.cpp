#include "commandline.h"
#include "display.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

void describeOptions(QCommandLineParser &parser)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    parser.setApplicationDescription(QStringLiteral(
        "Shows OpenCL computing and OpenGL drawing working together: a sine-wave mesh,\n"
        "a glow filter over rendered spheres and a 1024-body gravity simulation."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        { QStringLiteral("tab"),
          QStringLiteral("Opens the tab <name>: %1.").arg(MainWindow::demoNames().join(QStringLiteral(", "))),
          QStringLiteral("name") },
        { QStringLiteral("device"), QStringLiteral("Selects device D of platform P, as korvane-info numbers them."),
          QStringLiteral("P:D") },
        { QStringLiteral("start"), QStringLiteral("Starts the tab's view at once.") },
    });
}

void printTo(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// --help and --version answer without a display, before the GUI exists.
// Returns the exit status when one of them was asked for, else -1.
int answerHelpOrVersion(int argc, char *argv[])
{
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    describeOptions(parser);
    parser.parse(core.arguments());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        printTo(stdout, parser.helpText());
    else if (parser.isSet(QStringLiteral("version")))
        printTo(stdout, QStringLiteral("korvane %1\n").arg(QCoreApplication::applicationVersion()));
    else
        return -1;
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const int answered = answerHelpOrVersion(argc, argv);
    if (answered >= 0)
        return answered;
    if (!displayReachable()) {
        std::fprintf(stderr, "korvane: %s\n", displayMissingText());
        return 2;
    }

    // The toolkit takes its own options (-platform, -style, ...) out of the
    // arguments first; what is left must be ours.
    QApplication app(argc, argv);
    QCommandLineParser parser;
    describeOptions(parser);
    const QString wrong = readArguments(parser, QApplication::arguments());
    if (!wrong.isEmpty()) {
        printTo(stderr, QStringLiteral("korvane: %1\nUsage: korvane [--tab NAME] [--device P:D] [--start]\n").arg(wrong));
        return 2;
    }
    MainWindow window;
    window.show();
    window.resize(768, 512);
    const QString refused = window.launch(parser.value(QStringLiteral("tab")), parser.value(QStringLiteral("device")),
                                          parser.isSet(QStringLiteral("start")));
    if (!refused.isEmpty()) {
        printTo(stderr, QStringLiteral("korvane: %1\n").arg(refused));
        return 2;
    }
    return app.exec();
}
