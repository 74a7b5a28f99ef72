#ifndef BENCHREPORT_H
#define BENCHREPORT_H

#include <QJsonObject>
#include <QString>

// The benchmark's figures as text tables; --json prints the same objects.
namespace BenchReport {

// {"platform", "device", "platformName", "deviceName", "hostThreads",
//  "peaks", "error", "figures": [...]}, as main() and DeviceBench make it.
QString deviceTable(const QJsonObject &device);

// {"deviceName", "error", "views": [...]}, as runGuiBench makes it.
QString guiTable(const QJsonObject &gui);

} // namespace BenchReport

#endif
