#ifndef GLSHARING_H
#define GLSHARING_H

#include <CL/cl.h>

#include <QVector>

// OpenCL context properties that share the OpenGL context current on the
// calling thread, for the window system in use, followed by
// CL_CONTEXT_PLATFORM = platform and the terminating 0.
QVector<cl_context_properties> glSharingProperties(cl_platform_id platform);

#endif
