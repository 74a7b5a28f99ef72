// korvane-info: prints what the "Platforms" and "OpenGL" dialogs show.

#include "clinventory.h"
#include "commandline.h"
#include "display.h"
#include "glreport.h"
#include "inforeport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QJsonDocument>

#include <cstdio>
#include <memory>

namespace {

// The report is the program's only output: the toolkit's own notes (such as
// a missing runtime folder) would only be noise to a script reading it.
void dropToolkitNotes(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        print(stderr, message + QLatin1Char('\n'));
}

void describeOptions(QCommandLineParser &parser)
{
    addCommonOptions(parser);
    parser.setApplicationDescription(InfoReport::description());
    parser.addOption({ QStringLiteral("json"), QStringLiteral("Prints the same content as one JSON object: each row's "
                                                                "text, and the driver's value typed as clinfo --json types it.") });
}

// OpenGL is asked through a GUI application, which needs the window
// system; the OpenCL part needs no application of the kind.
std::unique_ptr<QCoreApplication> startApplication(int &argc, char *argv[], bool withWindowSystem)
{
    qInstallMessageHandler(dropToolkitNotes);
    if (withWindowSystem)
        return startGuiApplication(argc, argv, "korvane-info");
    return std::unique_ptr<QCoreApplication>(new QCoreApplication(argc, argv));
}

} // namespace

int main(int argc, char *argv[])
{
    QCommandLineParser parser;
    describeOptions(parser);
    const int answered = answerHelpOrVersion(argc, argv, "korvane-info", parser);
    if (answered >= 0)
        return answered;
    const QString unreachable = windowSystemProblem(argc, argv);
    const std::unique_ptr<QCoreApplication> app = startApplication(argc, argv, unreachable.isEmpty());
    const QString wrong = readArguments(parser, QCoreApplication::arguments());
    if (!wrong.isEmpty()) {
        print(stderr, QStringLiteral("korvane-info: %1\nUsage: korvane-info [--json]\n").arg(wrong));
        return 2;
    }

    ClInventory inventory = {};
    const cl_int status = scanOpenClInventory(inventory);
    if (parser.isSet(QStringLiteral("json"))) {
        const std::unique_ptr<GlStrings> gl(unreachable.isEmpty() ? new GlStrings(queryGlStrings()) : nullptr);
        print(stdout, QString::fromUtf8(QJsonDocument(InfoReport::json(inventory, status, gl.get())).toJson()));
    } else {
        print(stdout, InfoReport::openCl(inventory, status));
        print(stdout, unreachable.isEmpty() ? InfoReport::openGl(queryGlStrings()) : InfoReport::openGlWithoutDisplay(unreachable));
    }
    releaseOpenClInventory(inventory);
    return status == CL_SUCCESS ? 0 : 1;
}
