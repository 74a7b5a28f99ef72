#ifndef GUIBENCH_H
#define GUIBENCH_H

#include <QJsonObject>

// Opens the program's window on one device and, tab by tab, times Start,
// counts the frames of a running view and times the parts of its frame.
QJsonObject runGuiBench(int platformIndex, int deviceIndex);

#endif
