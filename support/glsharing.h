#ifndef GLSHARING_H
#define GLSHARING_H

#include <CL/cl.h>

#include <QVector>

// OpenCL context properties that share the OpenGL context current on the
// calling thread, for the window system in use, followed by
// CL_CONTEXT_PLATFORM = platform and the terminating 0.
QVector<cl_context_properties> glSharingProperties(cl_platform_id platform);

// True when the platform's driver names device among those that can share
// the current OpenGL context. A context of another driver (hybrid graphics,
// a second card, a processor device beside a graphics driver) lists none,
// and a context the properties cannot name (EGL, as on Wayland) shares
// nothing.
bool currentGlContextSharesWith(cl_platform_id platform, cl_device_id device);

#endif
