#include "clinventory.h"
#include "commandline.h"
#include "display.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

void describeOptions(QCommandLineParser &parser)
{
    addCommonOptions(parser);
    parser.setApplicationDescription(QStringLiteral(
        "Shows OpenCL computing and OpenGL drawing working together: a sine-wave mesh,\n"
        "a glow filter over rendered spheres and a 1024-body gravity simulation.\n"
        "Qt's own options (-platform, -display, -style, ...) work as in any Qt program;\n"
        "--help-all lists them."));
    parser.addOptions({
        { QStringLiteral("tab"),
          QStringLiteral("Opens the tab <name>: %1.").arg(MainWindow::demoNames().join(QStringLiteral(", "))),
          QStringLiteral("name") },
        { QStringLiteral("device"), QStringLiteral("Selects device D of platform P, as korvane-info numbers them."),
          QStringLiteral("P:D") },
        { QStringLiteral("start"), QStringLiteral("Starts the tab's view at once.") },
    });
}

// Every refusal comes before the window, whose views make OpenGL contexts
// and so load the OpenGL driver: a wrong argument costs an OpenCL scan at
// most.
QString refusal(const QString &tab, const QString &device)
{
    ClInventory inventory = {};
    // A failed scan leaves no device to find.
    if (!device.isEmpty() && scanOpenClInventory(inventory) != CL_SUCCESS)
        releaseOpenClInventory(inventory);
    const QString refused = MainWindow::refusal(tab, device, inventory);
    releaseOpenClInventory(inventory);
    return refused;
}

} // namespace

int main(int argc, char *argv[])
{
    QCommandLineParser parser;
    describeOptions(parser);
    const int answered = answerHelpOrVersion(argc, argv, "korvane", parser);
    if (answered >= 0)
        return answered;
    const QString unreachable = windowSystemProblem(argc, argv);
    if (!unreachable.isEmpty()) {
        print(stderr, QStringLiteral("korvane: %1\n").arg(unreachable));
        return 2;
    }

    const std::unique_ptr<QApplication> app = startGuiApplication(argc, argv, "korvane");
    const QString wrong = readArguments(parser, QApplication::arguments());
    if (!wrong.isEmpty()) {
        print(stderr, QStringLiteral("korvane: %1\nUsage: korvane [--tab NAME] [--device P:D] [--start]\n").arg(wrong));
        return 2;
    }
    const QString tab = parser.value(QStringLiteral("tab"));
    const QString device = parser.value(QStringLiteral("device"));
    const QString refused = refusal(tab, device);
    if (!refused.isEmpty()) {
        print(stderr, QStringLiteral("korvane: %1\n").arg(refused));
        return 2;
    }
    MainWindow window;
    window.choose(tab, device);
    window.show();
    window.resize(768, 512);
    if (parser.isSet(QStringLiteral("start")))
        window.startCurrentTab();
    return app->exec();
}
