#ifndef DISPLAY_H
#define DISPLAY_H

// True when the window system can be reached. Asked before any GUI
// application exists, because one that cannot reach its display ends the
// process.
bool displayReachable();

// What a program prints when displayReachable() is false.
const char *displayMissingText();

#endif
