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

void print(FILE *stream, const QString &text)
{
    fputs(text.toLocal8Bit().constData(), stream);
    fflush(stream);
}

// The report is the program's only output: the toolkit's own notes (such as
// a missing runtime folder) would only be noise to a script reading it.
void dropToolkitNotes(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        print(stderr, message + QLatin1Char('\n'));
}

// OpenGL is asked through a GUI application, which needs a display; without
// one the strings stay null and the report says why.
std::unique_ptr<GlStrings> askOpenGl(int argc, char *argv[])
{
    if (!displayReachable())
        return nullptr;
    qInstallMessageHandler(dropToolkitNotes);
    QApplication app(argc, argv);
    return std::unique_ptr<GlStrings>(new GlStrings(queryGlStrings()));
}

// Returns the exit status when the command line ends the program, else -1.
int readCommandLine(int argc, char *argv[], bool &json)
{
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(InfoReport::description());
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("json"), QStringLiteral("Prints the same content as one JSON object.") });
    const QString wrong = readArguments(parser, core.arguments());
    if (!wrong.isEmpty()) {
        print(stderr, QStringLiteral("korvane-info: %1\nUsage: korvane-info [--json]\n").arg(wrong));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, parser.helpText() + InfoReport::exitStatuses());
        return 0;
    }
    json = parser.isSet(QStringLiteral("json"));
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    bool json = false;
    const int ended = readCommandLine(argc, argv, json);
    if (ended >= 0)
        return ended;

    ClInventory inventory = {};
    const cl_int status = scanOpenClInventory(inventory);
    if (json) {
        const std::unique_ptr<GlStrings> gl = askOpenGl(argc, argv);
        print(stdout, QString::fromUtf8(QJsonDocument(InfoReport::json(inventory, status, gl.get())).toJson()));
    } else {
        print(stdout, InfoReport::openCl(inventory, status));
        const std::unique_ptr<GlStrings> gl = askOpenGl(argc, argv);
        print(stdout, gl ? InfoReport::openGl(*gl) : InfoReport::openGlWithoutDisplay());
    }
    releaseOpenClInventory(inventory);
    return status == CL_SUCCESS ? 0 : 1;
}
