#include "benchreport.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

double Figure::ratio() const
{
    if (device.median <= 0.0 || host.median <= 0.0)
        return 0.0;
    return host.median / device.median;
}

double DeviceReport::estimatedPeakGflops() const
{
    return double(computeUnits) * double(clockMHz) * double(floatVectorWidth) * 2.0 / 1000.0;
}

namespace {

std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char *pattern, ...)
{
    char buffer[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return buffer;
}

std::string ratesText(const Figure &figure, bool device)
{
    std::string text;
    for (const Rate &rate : figure.rates) {
        if (!text.empty())
            text += "  ";
        text += format("%.4g %s", device ? rate.device : rate.host, rate.unit.c_str());
    }
    return text;
}

std::string statsRow(const char *side, const RunStats &stats)
{
    return format("%-7s %6d %10.3f %9.3f %9.3f", side, stats.runs, stats.median * 1e3,
                  stats.min * 1e3, stats.max * 1e3);
}

std::string figureRows(const Figure &figure)
{
    std::string text;
    const std::string lead = format("%-12s %-13s ", figure.kernel.c_str(), figure.size.c_str());
    if (!figure.error.empty())
        return lead + "not measured: " + figure.error + "\n";
    text += lead + statsRow("device", figure.device)
            + format("  %-38s %6.2fx  %.3g %s\n", ratesText(figure, true).c_str(),
                     figure.ratio(), figure.maxDifference, figure.differenceUnit.c_str());
    text += std::string(lead.size(), ' ') + statsRow("host", figure.host)
            + format("  %s\n", ratesText(figure, false).c_str());
    return text;
}

std::string number(double value)
{
    if (!std::isfinite(value))
        return "null";
    return format("%.6g", value);
}

std::string statsJson(const RunStats &stats)
{
    return "{\"runs\": " + std::to_string(stats.runs) + ", \"medianMs\": " + number(stats.median * 1e3)
           + ", \"minMs\": " + number(stats.min * 1e3) + ", \"maxMs\": " + number(stats.max * 1e3)
           + "}";
}

std::string figureJson(const Figure &figure)
{
    std::string text = "{\"kernel\": " + jsonString(figure.kernel) + ", \"size\": "
                       + jsonString(figure.size) + ", \"work\": " + jsonString(figure.work);
    if (!figure.error.empty())
        return text + ", \"error\": " + jsonString(figure.error) + "}";
    text += ", \"device\": " + statsJson(figure.device) + ", \"host\": " + statsJson(figure.host)
            + ", \"rates\": [";
    for (std::size_t i = 0; i < figure.rates.size(); ++i) {
        const Rate &rate = figure.rates[i];
        text += (i ? ", " : "") + std::string("{\"unit\": ") + jsonString(rate.unit)
                + ", \"device\": " + number(rate.device) + ", \"host\": " + number(rate.host) + "}";
    }
    text += "], \"ratio\": " + number(figure.ratio()) + ", \"maxDifference\": "
            + number(figure.maxDifference) + ", \"differenceUnit\": "
            + jsonString(figure.differenceUnit) + "}";
    return text;
}

std::string deviceJson(const DeviceReport &report)
{
    std::string text = "{\"platform\": " + std::to_string(report.platformIndex)
                       + ", \"device\": " + std::to_string(report.deviceIndex)
                       + ", \"platformName\": " + jsonString(report.platformName)
                       + ", \"deviceName\": " + jsonString(report.deviceName)
                       + ", \"computeUnits\": " + std::to_string(report.computeUnits)
                       + ", \"clockMHz\": " + std::to_string(report.clockMHz)
                       + ", \"preferredFloatVectorWidth\": "
                       + std::to_string(report.floatVectorWidth)
                       + ", \"estimatedPeakGflops\": " + number(report.estimatedPeakGflops())
                       + ", \"hostThreads\": " + std::to_string(report.hostThreads);
    if (!report.error.empty())
        text += ", \"error\": " + jsonString(report.error);
    text += ", \"figures\": [";
    for (std::size_t i = 0; i < report.figures.size(); ++i)
        text += (i ? ",\n    " : "\n    ") + figureJson(report.figures[i]);
    return text + "]}";
}

std::string guiJson(const GuiReport &report)
{
    std::string text = "{\"platform\": " + std::to_string(report.platformIndex)
                       + ", \"device\": " + std::to_string(report.deviceIndex)
                       + ", \"deviceName\": " + jsonString(report.deviceName);
    if (!report.error.empty())
        text += ", \"error\": " + jsonString(report.error);
    text += ", \"views\": [";
    for (std::size_t i = 0; i < report.figures.size(); ++i) {
        const GuiFigure &figure = report.figures[i];
        text += (i ? ",\n    " : "\n    ") + std::string("{\"tab\": ") + jsonString(figure.tab)
                + ", \"kernel\": " + jsonString(figure.kernel) + ", \"size\": "
                + jsonString(figure.size) + ", \"startMs\": " + number(figure.startMs)
                + ", \"frameSamples\": [";
        for (std::size_t j = 0; j < figure.frameSamples.size(); ++j)
            text += (j ? ", " : "") + std::to_string(figure.frameSamples[j]);
        text += "], \"framesPerSecond\": " + number(figure.framesPerSecond)
                + ", \"kernelRunsPerSecond\": " + number(figure.kernelRunsPerSecond);
        if (!figure.error.empty())
            text += ", \"error\": " + jsonString(figure.error);
        text += "}";
    }
    return text + "]}";
}

} // namespace

std::string jsonString(const std::string &text)
{
    std::string quoted = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (c < 0x20)
                quoted += format("\\u%04x", c);
            else if (c < 0x80)
                quoted += char(c);
            else
                quoted += format("\\u%04x", c); // driver text is Latin-1
        }
    }
    return quoted + "\"";
}

std::string formatDeviceTable(const DeviceReport &report)
{
    std::string text = format("Device %d:%d  %s  (platform: %s)\n", report.platformIndex,
                              report.deviceIndex, report.deviceName.c_str(),
                              report.platformName.c_str());
    text += format("  %u compute units at %u MHz, preferred float vector width %u\n",
                   report.computeUnits, report.clockMHz, report.floatVectorWidth);
    text += format("  estimated single-precision peak: %.1f GFLOP/s (an estimate: compute units"
                   " x clock x preferred float vector width x 2)\n",
                   report.estimatedPeakGflops());
    text += format("  host reference: %u threads\n", report.hostThreads);
    if (!report.error.empty())
        return text + "  not measured: " + report.error + "\n";

    text += format("\n%-12s %-13s %-7s %6s %10s %9s %9s  %-38s %7s  %s\n", "kernel", "size",
                   "run by", "runs", "median ms", "min ms", "max ms", "throughput", "vs host",
                   "max difference");
    for (const Figure &figure : report.figures)
        text += figureRows(figure);

    text += "\n  Each run: ";
    std::string last;
    for (const Figure &figure : report.figures) {
        if (figure.kernel == last)
            continue;
        text += (last.empty() ? "" : "; ") + figure.kernel + " = " + figure.work;
        last = figure.kernel;
    }
    text += ".\n  \"vs host\" is the host reference's median time over the device's:"
            " above 1 the device is faster.\n";
    return text;
}

std::string formatGuiTable(const GuiReport &report)
{
    std::string text = format("Window on device %d:%d  %s\n", report.platformIndex,
                              report.deviceIndex, report.deviceName.c_str());
    if (!report.error.empty())
        return text + "  not measured: " + report.error + "\n";
    text += format("\n%-34s %-12s %-13s %8s %13s %17s  %s\n", "tab", "kernel", "size", "Start ms",
                   "view frames/s", "kernel-only runs/s", "frame display, once a second");
    for (const GuiFigure &figure : report.figures) {
        std::string samples;
        for (int sample : figure.frameSamples)
            samples += (samples.empty() ? "" : " ") + std::to_string(sample);
        text += format("%-34s %-12s %-13s %8.0f %13.1f %17.1f  %s\n", figure.tab.c_str(),
                       figure.kernel.c_str(), figure.size.c_str(), figure.startMs,
                       figure.framesPerSecond, figure.kernelRunsPerSecond, samples.c_str());
        if (!figure.error.empty())
            text += "    " + figure.error + "\n";
    }
    text += "\n  A Start releases the view, builds its program, sets it up and draws its first"
            " frame. The view's rate includes its whole frame: timer, transfers and drawing;"
            " the kernel-only rate is one over the median time of the same kernel work"
            " without the window.\n";
    return text;
}

std::string formatJson(const std::vector<DeviceReport> &devices, const GuiReport *gui)
{
    std::string text = "{\"devices\": [";
    for (std::size_t i = 0; i < devices.size(); ++i)
        text += (i ? ",\n  " : "\n  ") + deviceJson(devices[i]);
    text += "]";
    if (gui)
        text += ",\n\"gui\": " + guiJson(*gui);
    return text + "}\n";
}
