#ifndef KERNELSOURCE_H
#define KERNELSOURCE_H

#include <QByteArray>

// Reads an embedded kernel source byte for byte (CR LF line ends reach the
// compiler unchanged). Returns false when the resource cannot be opened.
bool readKernelSource(const char *resourcePath, QByteArray &source);

#endif
