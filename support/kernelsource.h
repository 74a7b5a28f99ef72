#ifndef KERNELSOURCE_H
#define KERNELSOURCE_H

#include <QByteArray>
#include <QString>

// Reads a kernel source byte for byte (CR LF line ends reach the compiler
// unchanged), by its file name: the copy embedded in the program unless
// useKernelFolder() has put a folder in its place. Returns false when the
// file cannot be opened.
bool readKernelSource(const char *fileName, QByteArray &source);

// Reads the kernel sources from folder from now on, so that a kernel author
// can measure an edited kernel against the built-in one; a file the folder
// does not hold is still read from the embedded copies.
void useKernelFolder(const QString &folder);

#endif
