// korvane-bench: the three views' kernel work on every OpenCL device,
// beside multi-threaded host references doing the same work, each side
// against its own measured peak.

#include "benchreport.h"
#include "clinventory.h"
#include "commandline.h"
#include "devicebench.h"
#include "display.h"
#include "guibench.h"
#include "hostreference.h"
#include "kernelsource.h"
#include "kernelshape.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <memory>

namespace {

struct Options
{
    bool json = false;
    bool gui = false;
    RunSettings settings;
    int platformIndex = -1;   // every device
    int deviceIndex = -1;
};

void describeOptions(QCommandLineParser &parser)
{
    addCommonOptions(parser);
    parser.setApplicationDescription(QStringLiteral(
        "Times the kernels sine_wave, nbody_sim and postprocess on every OpenCL device (or one)\n"
        "beside a multi-threaded host reference doing the same work, and both against their\n"
        "measured peaks. Exit status: 0 when every figure was taken and agrees with the host, 1\n"
        "when one failed or is a wrong result, 2 for a wrong argument, or --gui without a window\n"
        "system."));
    parser.addOptions({
        { "device", "Only device D of platform P, as korvane-info numbers them.", "P:D" },
        { "quick", "Three runs per figure instead of at least 0.5 s of runs." },
        { "json", "Prints the figures as one JSON object." },
        { "gui", "Runs the program's window: each tab's Start time and frames per second." },
        { "kernels", "Builds the .cl files of <dir> instead of the embedded ones.", "dir" },
        { "shape", "Builds the kernels in <shape> cpu or gpu, or in the one each device gets (auto, the default;"
                   " KORVANE_KERNEL_SHAPE=cpu|gpu forces one unless --shape is given).", "shape" },
    });
}

// Returns the exit status when the command line ends the program, else -1.
int readCommandLine(QCommandLineParser &parser, Options &options)
{
    QString error = readArguments(parser, QCoreApplication::arguments());
    const QString device = parser.value("device");
    if (error.isEmpty() && !(device.isEmpty() || parseDeviceIndexes(device, options.platformIndex, options.deviceIndex)))
        error = QStringLiteral("--device expects P:D, such as 0:0, not \"%1\"").arg(device);
    std::optional<KernelShape> shape;
    if (error.isEmpty() && parser.isSet("shape") && !parseKernelShape(parser.value("shape"), shape))
        error = QStringLiteral("--shape expects cpu, gpu or auto, not \"%1\"").arg(parser.value("shape"));
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("korvane-bench: %1\nUsage: korvane-bench [--device P:D] [--quick] [--json] [--gui]"
                                     " [--kernels DIR] [--shape cpu|gpu|auto]\n").arg(error));
        return 2;
    }
    if (parser.isSet("shape"))
        forceKernelShape(shape);
    options.json = parser.isSet("json");
    options.gui = parser.isSet("gui");
    if (parser.isSet("quick"))
        options.settings = { 1, 3, 0.0 };
    if (parser.isSet("kernels") && !QFileInfo(parser.value("kernels")).isDir()) {
        print(stderr, QStringLiteral("korvane-bench: --kernels names no folder: \"%1\"\n").arg(parser.value("kernels")));
        return 2;
    }
    if (parser.isSet("kernels"))
        useKernelFolder(parser.value("kernels"));
    return -1;
}

// The window needs a GUI application, which takes Qt's own options out of
// the arguments; the kernels need none. Null when the window system cannot
// be reached, which has been said.
std::unique_ptr<QCoreApplication> startApplication(int &argc, char *argv[], bool gui)
{
    if (!gui)
        return std::unique_ptr<QCoreApplication>(new QCoreApplication(argc, argv));
    const QString unreachable = windowSystemProblem(argc, argv);
    if (!unreachable.isEmpty()) {
        print(stderr, QStringLiteral("korvane-bench: --gui needs a display: %1\n").arg(unreachable));
        return nullptr;
    }
    return startGuiApplication(argc, argv, "korvane-bench");
}

bool everyFigureTaken(const QJsonObject &report, const char *list)
{
    bool taken = !report.contains("error") && !report["peaks"]["device"].toObject().contains("error");
    for (const QJsonValue &figure : report[list].toArray())
        taken = taken && !figure.toObject().contains("error") && !figure.toObject().contains("result");
    return taken;
}

// The peaks are measured before the figures and after them.
QJsonObject benchDevice(const ClInventory &inventory, int p, int d, const RunSettings &settings)
{
    QJsonObject report{ { "platform", p },
                        { "device", d },
                        { "platformName", QString::fromLatin1(inventory.platforms[p].name) },
                        { "deviceName", QString::fromLatin1(inventory.platforms[p].devices[d].name) },
                        { "hostThreads", HostReference::threadCount() } };
    DeviceBench bench(settings);
    const QString error = bench.open(inventory.platformIds[p], inventory.platforms[p].deviceIds[d]);
    if (!error.isEmpty()) {
        report["error"] = error;
        return report;
    }
    bench.peaks();
    const QJsonObject figures[] = {
        bench.sineWave(256, 256), bench.sineWave(1024, 1024),
        bench.nbody(1024), bench.nbody(4096), bench.nbody(16384),
        bench.postprocess(730, 400), bench.postprocess(1920, 1080),
    };
    const QJsonObject peaks = bench.peaks();
    QJsonArray list;
    for (const QJsonObject &figure : figures)
        list.append(figure.contains("error") ? figure : DeviceBench::withShares(figure, peaks));
    report["peaks"] = peaks;
    report["figures"] = list;
    return report;
}

int benchmark(const ClInventory &inventory, cl_int scanned, Options options)
{
    const int firstPlatform = scanned == CL_SUCCESS ? firstPlatformWithDevice(inventory) : -1;
    if (firstPlatform < 0) {
        print(stderr, QStringLiteral("korvane-bench: %1").arg(scanned == CL_SUCCESS ? QStringLiteral("no platform has an OpenCL device\n")
                                                                                   : scanFailureText(scanned)));
        return 1;
    }
    // The window runs on one device: the first unless one is chosen.
    if (options.gui && options.platformIndex < 0) {
        options.platformIndex = firstPlatform;
        options.deviceIndex = 0;
    }
    if (options.platformIndex >= 0 && !inventoryDevice(inventory, options.platformIndex, options.deviceIndex)) {
        print(stderr, QStringLiteral("korvane-bench: there is no device %1:%2\n").arg(options.platformIndex).arg(options.deviceIndex));
        return 2;
    }
    if (options.gui) {
        const QJsonObject window = runGuiBench(options.platformIndex, options.deviceIndex);
        print(stdout, options.json ? QString::fromUtf8(QJsonDocument(QJsonObject{ { "gui", window } }).toJson())
                                   : BenchReport::guiTable(window));
        return everyFigureTaken(window, "views") ? 0 : 1;
    }
    QJsonArray devices;
    bool ok = true;
    for (int p = 0; p < int(inventory.numPlatforms); ++p) {
        for (int d = 0; d < int(inventory.platforms[p].numDevices); ++d) {
            if (options.platformIndex >= 0 && (p != options.platformIndex || d != options.deviceIndex))
                continue;
            const QJsonObject report = benchDevice(inventory, p, d, options.settings);
            if (!options.json)
                print(stdout, BenchReport::deviceTable(report) + QLatin1Char('\n'));
            ok = ok && everyFigureTaken(report, "figures");
            devices.append(report);
        }
    }
    if (options.json)
        print(stdout, QString::fromUtf8(QJsonDocument(QJsonObject{ { "devices", devices } }).toJson()));
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCommandLineParser parser;
    describeOptions(parser);
    const int answered = answerHelpOrVersion(argc, argv, "korvane-bench", parser);
    if (answered >= 0)
        return answered;
    const std::unique_ptr<QCoreApplication> app = startApplication(argc, argv, parser.isSet("gui"));
    if (!app)
        return 2;
    Options options;
    const int ended = readCommandLine(parser, options);
    if (ended >= 0)
        return ended;
    ClInventory inventory = {};
    const cl_int scanned = scanOpenClInventory(inventory);
    const int status = benchmark(inventory, scanned, options);
    releaseOpenClInventory(inventory);
    return status;
}
