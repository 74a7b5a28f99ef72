#ifndef CLERRORNAME_H
#define CLERRORNAME_H

#include <CL/cl.h>

#include <cstddef>

// Writes the symbolic name of an OpenCL status into buffer (at most size
// bytes, NUL included) and returns buffer. A status without a name is
// written as "Unknown OpenCL error N".
char *clErrorName(cl_int status, char *buffer, size_t size);

#endif
