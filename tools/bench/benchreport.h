#ifndef BENCHREPORT_H
#define BENCHREPORT_H

#include "benchstats.h"

#include <string>
#include <vector>

// A throughput figure beside the main one, e.g. GB/s next to points/s.
struct Rate
{
    std::string unit;
    double device = 0.0;
    double host = 0.0;
};

// One kernel at one size: the device's runs and the host reference's runs.
struct Figure
{
    std::string kernel;
    std::string size;           // e.g. "256x256" or "4096 bodies"
    std::string work;           // what a run does, e.g. "kernel + blocking read"
    RunStats device;
    RunStats host;
    std::vector<Rate> rates;    // per second, from the medians
    double maxDifference = 0.0; // largest difference between the two outputs
    std::string differenceUnit;
    std::string error;          // not empty: the figure could not be taken

    // Host median over device median: above 1 the device is faster.
    double ratio() const;
};

struct DeviceReport
{
    int platformIndex = 0;
    int deviceIndex = 0;
    std::string platformName;
    std::string deviceName;
    unsigned computeUnits = 0;
    unsigned clockMHz = 0;
    unsigned floatVectorWidth = 0;
    unsigned hostThreads = 0;
    std::string error;          // not empty: the device could not be set up
    std::vector<Figure> figures;

    // Compute units x clock x preferred float vector width x 2, in GFLOP/s.
    double estimatedPeakGflops() const;
};

// What a view reached in the running window beside the kernel alone.
struct GuiFigure
{
    std::string tab;
    std::string kernel;
    std::string size;
    double startMs = 0.0;           // median time of a click on Start
    std::vector<int> frameSamples;  // the frame display, once a second
    double framesPerSecond = 0.0;   // median of the samples
    double kernelRunsPerSecond = 0.0;
    std::string error;
};

struct GuiReport
{
    int platformIndex = 0;
    int deviceIndex = 0;
    std::string deviceName;
    std::vector<GuiFigure> figures;
    std::string error;
};

std::string formatDeviceTable(const DeviceReport &report);
std::string formatGuiTable(const GuiReport &report);

// The same figures for scripts: {"devices": [...], "gui": {...}}; gui is
// left out when null.
std::string formatJson(const std::vector<DeviceReport> &devices, const GuiReport *gui);

// JSON string literal with the required escapes.
std::string jsonString(const std::string &text);

#endif
