// korvane-bench: the kernels of the three views on every OpenCL device,
// beside a multi-threaded host reference doing the same work.

#include "benchoptions.h"
#include "benchreport.h"
#include "clinventory.h"
#include "display.h"
#include "devicebench.h"
#include "guibench.h"
#include "threadpool.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void describe(const ClInventory &inventory, int p, int d, unsigned hostThreads,
              DeviceReport &report)
{
    const ClPlatformEntry &platform = inventory.platforms[p];
    const ClDeviceEntry &device = platform.devices[d];
    report.platformIndex = p;
    report.deviceIndex = d;
    report.platformName = platform.name;
    report.deviceName = device.name;
    report.computeUnits = device.maxComputeUnits;
    report.clockMHz = device.maxClockFrequency;
    report.floatVectorWidth = device.preferredVectorWidthFloat;
    report.hostThreads = hostThreads;
}

// The views' sizes and larger ones.
void measureDevice(DeviceBench &bench, DeviceReport &report)
{
    report.figures.push_back(bench.sineWave(256, 256));
    report.figures.push_back(bench.sineWave(1024, 1024));
    for (int bodies : { 1024, 4096, 16384 })
        report.figures.push_back(bench.nbody(bodies));
    report.figures.push_back(bench.postprocess(730, 400));
    report.figures.push_back(bench.postprocess(1920, 1080));
}

bool guiMeasured(const GuiReport &report)
{
    if (!report.error.empty())
        return false;
    for (const GuiFigure &figure : report.figures) {
        if (!figure.error.empty())
            return false;
    }
    return true;
}

bool allMeasured(const DeviceReport &report)
{
    if (!report.error.empty())
        return false;
    for (const Figure &figure : report.figures) {
        if (!figure.error.empty())
            return false;
    }
    return true;
}

// The window's frame rates on one device, beside the kernels alone.
bool benchWindow(const DeviceReport &report, bool opened, DeviceBench &bench, bool json,
                 std::unique_ptr<GuiReport> &guiReport)
{
    guiReport.reset(new GuiReport);
    if (opened)
        *guiReport = runGuiBench(report.platformIndex, report.deviceIndex, bench);
    else
        guiReport->error = report.error;
    guiReport->platformIndex = report.platformIndex;
    guiReport->deviceIndex = report.deviceIndex;
    if (guiReport->deviceName.empty())
        guiReport->deviceName = report.deviceName;
    if (!json)
        std::fputs(formatGuiTable(*guiReport).c_str(), stdout);
    return guiMeasured(*guiReport);
}

// Every figure of one device, printed as soon as it is complete.
bool benchKernels(DeviceReport &report, bool opened, DeviceBench &bench, bool json,
                  std::vector<DeviceReport> &reports)
{
    if (opened)
        measureDevice(bench, report);
    if (!json) {
        std::fputs(formatDeviceTable(report).c_str(), stdout);
        std::fputs("\n", stdout);
        std::fflush(stdout);
    }
    reports.push_back(report);
    return allMeasured(report);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string program = "korvane-bench";
    BenchOptions options;
    std::string error;
    if (!parseBenchArguments(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(),
                     benchUsage(program).c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(benchUsage(program).c_str(), stdout);
        return 0;
    }
    // Without a display the toolkit would abort with a core dump.
    if (options.gui && !displayReachable()) {
        std::fprintf(stderr, "%s: --gui needs a display: %s\n", program.c_str(), displayMissingText());
        return 2;
    }
    std::unique_ptr<QApplication> app;
    if (options.gui)
        app.reset(new QApplication(argc, argv));

    ClInventory inventory;
    std::memset(&inventory, 0, sizeof inventory);
    const cl_int scanStatus = scanOpenClInventory(inventory);
    const int firstPlatform = scanStatus == CL_SUCCESS ? firstPlatformWithDevice(inventory) : -1;
    if (firstPlatform < 0) {
        const QString text = scanStatus == CL_SUCCESS ? QStringLiteral("no platform has an OpenCL device\n")
                                                      : scanFailureText(scanStatus);
        std::fprintf(stderr, "%s: %s", program.c_str(), text.toLocal8Bit().constData());
        releaseOpenClInventory(inventory);
        return 1;
    }
    // The window runs on one device: the first unless one is chosen.
    if (options.gui && options.allDevices()) {
        options.platformIndex = firstPlatform;
        options.deviceIndex = 0;
    }
    if (!options.allDevices()
        && !inventoryDevice(inventory, options.platformIndex, options.deviceIndex)) {
        std::fprintf(stderr, "%s: there is no device %d:%d\n", program.c_str(),
                     options.platformIndex, options.deviceIndex);
        releaseOpenClInventory(inventory);
        return 2;
    }

    ThreadPool pool;
    const MeasureSettings settings = options.quick ? MeasureSettings::quick() : MeasureSettings();
    std::vector<DeviceReport> reports;
    std::unique_ptr<GuiReport> guiReport;
    bool ok = true;
    for (cl_uint p = 0; p < inventory.numPlatforms; ++p) {
        for (cl_uint d = 0; d < inventory.platforms[p].numDevices; ++d) {
            if (!options.allDevices()
                && (int(p) != options.platformIndex || int(d) != options.deviceIndex))
                continue;
            DeviceReport report;
            describe(inventory, int(p), int(d), pool.threadCount(), report);
            DeviceBench bench(pool, settings, options.kernelDir);
            const bool opened = bench.open(inventory.platformIds[p],
                                           inventory.platforms[p].deviceIds[d], report);
            const bool measured = options.gui
                ? benchWindow(report, opened, bench, options.json, guiReport)
                : benchKernels(report, opened, bench, options.json, reports);
            ok = ok && measured;
        }
    }
    if (options.json)
        std::fputs(formatJson(reports, guiReport.get()).c_str(), stdout);

    releaseOpenClInventory(inventory);
    return ok ? 0 : 1;
}

