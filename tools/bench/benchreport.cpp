#include "benchreport.h"

#include <QJsonArray>

namespace {

QString text(const QJsonObject &object, const char *key)
{
    return object[key].toString();
}

double number(const QJsonObject &object, const char *key)
{
    return object[key].toDouble();
}

QString peaksLine(const QJsonObject &peak)
{
    if (peak.contains("error"))
        return QStringLiteral("not measured: %1").arg(text(peak, "error"));
    return QString::asprintf("%.1f GFLOP/s (multiply-add chains), %.1f GB/s (copy)", number(peak, "gflops"),
                             number(peak, "copyGBps"));
}

QString sideRow(const QJsonObject &figure, const char *name)
{
    const QJsonObject side = figure[name].toObject();
    const QString share = side.contains("share") ? QString::asprintf("%5.1f %%", 100.0 * number(side, "share"))
                                                 : QStringLiteral("  n/a  ");
    return QString::asprintf("%-7s %5d %10.3f  %8.4g %-10s %s %-4s", name, side["runs"].toInt(),
                             number(side, "medianMs"), number(side, "rate"), qPrintable(text(figure, "unit")),
                             qPrintable(share), text(figure, "peak") == "gflops" ? "FP32" : "copy");
}

QString figureRows(const QJsonObject &figure)
{
    const QString lead = QString::asprintf("%-12s %-13s ", qPrintable(text(figure, "kernel")), qPrintable(text(figure, "size")));
    if (figure.contains("error"))
        return lead + QStringLiteral("not measured: %1\n").arg(text(figure, "error"));
    return lead + sideRow(figure, "device")
           + QString::asprintf(" %6.2fx  %.3g %s", number(figure, "vsHost"), number(figure, "maxDifference"),
                               qPrintable(text(figure, "differenceUnit")))
           + (figure.contains("result") ? QStringLiteral(": %1, %2 allowed\n").arg(text(figure, "result")).arg(number(figure, "allowedDifference"))
                                        : QStringLiteral("\n"))
           + QString(lead.size(), QLatin1Char(' ')) + sideRow(figure, "host") + QLatin1Char('\n');
}

} // namespace

QString BenchReport::deviceTable(const QJsonObject &device)
{
    QString table = QStringLiteral("Device %1:%2  %3  (platform: %4)\n")
                        .arg(device["platform"].toInt())
                        .arg(device["device"].toInt())
                        .arg(text(device, "deviceName"), text(device, "platformName"));
    if (device.contains("error"))
        return table + QStringLiteral("  not measured: %1\n").arg(text(device, "error"));
    const QJsonObject peaks = device["peaks"].toObject();
    table += QStringLiteral("  measured peak of the device: %1\n  measured peak of the host (%2 threads): %3\n")
                 .arg(peaksLine(peaks["device"].toObject()))
                 .arg(device["hostThreads"].toInt())
                 .arg(peaksLine(peaks["host"].toObject()));
    table += QString::asprintf("\n%-12s %-13s %-7s %5s %10s  %-19s %-11s %7s  %s\n", "kernel", "size", "run by",
                               "runs", "median ms", "throughput", "of peak", "vs host", "max difference");
    QStringList works, builds;
    for (const QJsonValue &figure : device["figures"].toArray()) {
        table += figureRows(figure.toObject());
        works.append(text(figure.toObject(), "kernel") + QStringLiteral(" = ") + text(figure.toObject(), "work"));
        builds.append(QStringLiteral("in the %1 shape (\"%2\")")
                          .arg(text(figure.toObject(), "shape"), text(figure.toObject(), "buildOptions")));
    }
    works.removeDuplicates();
    builds.removeDuplicates();
    return table
           + QStringLiteral("\n  Each run: %1.\n  Built %2.\n")
                 .arg(works.join(QStringLiteral("; ")), builds.join(QStringLiteral("; ")))
           + QStringLiteral(
               "  \"of peak\" is each side's share of its own measured peak: floating-point operations for\n"
               "  nbody_sim (20 an interaction), bytes read plus written for the others. \"vs host\" is the\n"
               "  host's median time over the device's: above 1 the device is faster.\n");
}

QString BenchReport::guiTable(const QJsonObject &gui)
{
    QString table = QStringLiteral("Window on device %1\n").arg(text(gui, "deviceName"));
    const QJsonObject rest = gui["rest"].toObject();
    table += QString::asprintf("At rest, no view running: %.1f wake-ups/s, %.2f %% of a core\n",
                               number(rest, "wakeUpsPerSecond"), 100.0 * number(rest, "coreShare"));
    if (gui.contains("error"))
        return table + QStringLiteral("  not measured: %1\n").arg(text(gui, "error"));
    table += QString::asprintf("\n%-12s %-9s %8s %8s %8s  %-22s\n", "kernel", "view", "Start ms", "frames/s",
                               "ceiling", "frame display, a second");
    QString parts = QString::asprintf("\n%-12s %6s %9s %9s %6s %6s %10s %6s  (ms a frame, timed apart)\n", "kernel",
                                      "scene", "read-back", "transfers", "kernel", "upload", "final draw", "frame");
    for (const QJsonValue &value : gui["views"].toArray()) {
        const QJsonObject view = value.toObject();
        QStringList samples;
        for (const QJsonValue &sample : view["frameSamples"].toArray())
            samples << QString::number(sample.toInt());
        table += QString::asprintf("%-12s %-9s %8.0f %8.1f %8.1f  %s\n", qPrintable(text(view, "kernel")),
                                   qPrintable(text(view, "size")), number(view, "startMs"),
                                   number(view, "framesPerSecond"), number(view, "ceilingFramesPerSecond"),
                                   qPrintable(samples.join(QLatin1Char(' '))));
        if (view.contains("error"))
            table += QStringLiteral("    %1\n").arg(text(view, "error"));
        const QJsonObject ms = view["partsMs"].toObject();
        parts += QString::asprintf("%-12s %6.2f %9.2f %9.2f %6.2f %6.2f %10.2f %6.2f\n", qPrintable(text(view, "kernel")),
                                   number(ms, "scene"), number(ms, "readBack"), number(ms, "transfers"),
                                   number(ms, "kernel"), number(ms, "upload"), number(ms, "finalDraw"),
                                   number(ms, "frame"));
    }
    return table + parts + QStringLiteral(
               "\n  The ceiling is the frame rate less the kernel's and the transfers' share of each frame. The parts\n"
               "  are timed in frames of their own, each waiting for OpenCL and OpenGL to finish.\n");
}
