#ifndef GUIBENCH_H
#define GUIBENCH_H

#include <QJsonObject>

class DeviceBench;

// Opens the program's window on one device, starts each tab and lets it
// run, and measures the same kernel work alone beside it.
QJsonObject runGuiBench(int platformIndex, int deviceIndex, DeviceBench &bench);

#endif
