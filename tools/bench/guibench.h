#ifndef GUIBENCH_H
#define GUIBENCH_H

#include "benchreport.h"

class DeviceBench;

// Runs the program's real window on the current display, selects the
// device in its selectors, starts each tab in turn for five seconds and
// reads the frame display once a second; then times the same kernel work
// without the window on bench, which must already be open on that device.
// Needs a QApplication.
GuiReport runGuiBench(int platformIndex, int deviceIndex, DeviceBench &bench);

#endif
