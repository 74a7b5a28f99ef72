// korvane-bench: the three views' kernel work on every OpenCL device,
// beside multi-threaded host references doing the same work, each side
// against its own measured peak.

#include "benchreport.h"
#include "clinventory.h"
#include "devicebench.h"
#include "display.h"
#include "guibench.h"
#include "hostreference.h"
#include "kernelsource.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <memory>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Times the kernels sine_wave, nbody_sim and postprocess on every OpenCL device (or one)\n"
        "beside a multi-threaded host reference doing the same work, and both against their\n"
        "measured peaks. Exit status: 0 when every figure was taken, 1 when one failed, 2 for a\n"
        "wrong argument or --gui without a display."));
    parser.addHelpOption();
    parser.addOptions({
        { QStringLiteral("device"), QStringLiteral("Only device D of platform P, as korvane-info numbers them."),
          QStringLiteral("P:D") },
        { QStringLiteral("quick"), QStringLiteral("Three runs per figure instead of at least 0.5 s of runs.") },
        { QStringLiteral("json"), QStringLiteral("Prints the figures as one JSON object.") },
        { QStringLiteral("gui"), QStringLiteral("Runs the program's window: each tab's Start time and frames per second.") },
        { QStringLiteral("kernels"), QStringLiteral("Builds the .cl files of <dir> instead of the embedded ones."),
          QStringLiteral("dir") },
    });
}

bool everyFigureTaken(const QJsonObject &report, const char *list)
{
    bool taken = !report.contains(QStringLiteral("error"));
    for (const QJsonValue &figure : report[QLatin1String(list)].toArray())
        taken = taken && !figure.toObject().contains(QStringLiteral("error"));
    return taken;
}

QJsonObject describeDevice(const ClInventory &inventory, int p, int d)
{
    return { { QStringLiteral("platform"), p },
             { QStringLiteral("device"), d },
             { QStringLiteral("platformName"), QString::fromLatin1(inventory.platforms[p].name) },
             { QStringLiteral("deviceName"), QString::fromLatin1(inventory.platforms[p].devices[d].name) },
             { QStringLiteral("hostThreads"), HostReference::threadCount() } };
}

// The peaks are measured before the figures and after them.
QJsonObject benchKernels(DeviceBench &bench, QJsonObject report)
{
    bench.peaks();
    const QJsonObject figures[] = {
        bench.sineWave(256, 256), bench.sineWave(1024, 1024),
        bench.nbody(1024), bench.nbody(4096), bench.nbody(16384),
        bench.postprocess(730, 400), bench.postprocess(1920, 1080),
    };
    const QJsonObject peaks = bench.peaks();
    QJsonArray list;
    for (const QJsonObject &figure : figures)
        list.append(figure.contains(QStringLiteral("error")) ? figure : DeviceBench::withShares(figure, peaks));
    report[QStringLiteral("peaks")] = peaks;
    report[QStringLiteral("figures")] = list;
    return report;
}

} // namespace

int main(int argc, char *argv[])
{
    // Read before any application exists: --gui needs a display, which
    // must be checked first, since the toolkit ends the process without one.
    QCommandLineParser parser;
    describeOptions(parser);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool parsed = parser.parse(arguments);
    const bool gui = parsed && parser.isSet(QStringLiteral("gui")) && !parser.isSet(QStringLiteral("help"));
    if (gui && !displayReachable()) {
        print(stderr, QStringLiteral("korvane-bench: --gui needs a display: %1\n").arg(QLatin1String(displayMissingText())));
        return 2;
    }
    std::unique_ptr<QCoreApplication> app(gui ? new QApplication(argc, argv) : new QCoreApplication(argc, argv));

    int platformIndex = -1;   // every device
    int deviceIndex = -1;
    const QString device = parser.value(QStringLiteral("device"));
    if (!parsed || !(device.isEmpty() || parseDeviceIndexes(device, platformIndex, deviceIndex))) {
        const QString error = parsed ? QStringLiteral("--device expects P:D, such as 0:0, not \"%1\"").arg(device)
                                     : parser.errorText();
        print(stderr, QStringLiteral("korvane-bench: %1\nUsage: korvane-bench [--device P:D] [--quick] [--json] [--gui]"
                                     " [--kernels DIR]\n").arg(error));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, parser.helpText());
        return 0;
    }
    const bool json = parser.isSet(QStringLiteral("json"));
    const RunSettings settings = parser.isSet(QStringLiteral("quick")) ? RunSettings::quick() : RunSettings();
    if (parser.isSet(QStringLiteral("kernels")))
        useKernelFolder(parser.value(QStringLiteral("kernels")));

    ClInventory inventory = {};
    const cl_int scanned = scanOpenClInventory(inventory);
    const int firstPlatform = scanned == CL_SUCCESS ? firstPlatformWithDevice(inventory) : -1;
    if (firstPlatform < 0) {
        print(stderr, QStringLiteral("korvane-bench: %1").arg(scanned == CL_SUCCESS ? QStringLiteral("no platform has an OpenCL device\n")
                                                                                   : scanFailureText(scanned)));
        releaseOpenClInventory(inventory);
        return 1;
    }
    // The window runs on one device: the first unless one is chosen.
    if (gui && platformIndex < 0) {
        platformIndex = firstPlatform;
        deviceIndex = 0;
    }
    if (platformIndex >= 0 && !inventoryDevice(inventory, platformIndex, deviceIndex)) {
        print(stderr, QStringLiteral("korvane-bench: there is no device %1:%2\n").arg(platformIndex).arg(deviceIndex));
        releaseOpenClInventory(inventory);
        return 2;
    }

    QJsonArray devices;
    QJsonObject window;
    bool ok = true;
    for (int p = 0; p < int(inventory.numPlatforms); ++p) {
        for (int d = 0; d < int(inventory.platforms[p].numDevices); ++d) {
            if (platformIndex >= 0 && (p != platformIndex || d != deviceIndex))
                continue;
            QJsonObject report = describeDevice(inventory, p, d);
            DeviceBench bench(settings);
            QString error;
            if (gui)
                window = runGuiBench(p, d);
            else if (!bench.open(inventory.platformIds[p], inventory.platforms[p].deviceIds[d], error))
                report[QStringLiteral("error")] = error;
            else
                report = benchKernels(bench, report);
            if (!json)
                print(stdout, gui ? BenchReport::guiTable(window) : BenchReport::deviceTable(report) + QLatin1Char('\n'));
            ok = ok && everyFigureTaken(gui ? window : report, gui ? "views" : "figures");
            devices.append(report);
        }
    }
    if (json) {
        QJsonObject root{ { QStringLiteral("devices"), devices } };
        if (gui)
            root[QStringLiteral("gui")] = window;
        print(stdout, QString::fromUtf8(QJsonDocument(root).toJson()));
    }
    releaseOpenClInventory(inventory);
    return ok ? 0 : 1;
}
