#ifndef CLFAULT_H
#define CLFAULT_H

#include <CL/cl.h>

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstddef>

// Test-only stand-in for the OpenCL loader. Every OpenCL function the
// program calls is defined here and forwarded to the real driver (PoCL)
// unless a test asked for something else.
namespace ClFault {

enum class Driver {
    Real,                    // the machine's platforms and devices
    NoPlatform,              // clGetPlatformIDs reports no platform
    PlatformWithoutDevice,   // "Fake Empty Platform", whose clGetDeviceIDs finds nothing,
                             // listed before the machine's platforms
    TwoPlatformsTwoDevices,  // "Fake Platform A"/"B", each with "Fake Device A1", "A2" / "B1", "B2",
                             // all backed by the real first device
};

// Back to the real driver with no faults and no overrides; clears the call
// counts and the recording. Live-object counts are kept.
void reset();

void setDriver(Driver driver);

// The nth call (1 = the next one) of the named function from now on fails
// with status and is not forwarded; creating functions return null.
void failCall(const char *function, int nth, cl_int status);

// clGetDeviceInfo answers param with these bytes, for every device.
void overrideDeviceInfo(cl_device_info param, const void *value, size_t size);
void overrideDeviceText(cl_device_info param, const QByteArray &text); // NUL added
// Reports limit as every kernel's CL_KERNEL_WORK_GROUP_SIZE (or the real one, if lower), below the
// device's own limit, as for kernels that need many registers, and fails
// any enqueue whose work-group is larger with CL_INVALID_WORK_GROUP_SIZE.
void limitWorkGroupSize(size_t limit);
// Reports bytes as CL_DEVICE_LOCAL_MEM_SIZE and fails any enqueue whose
// kernel's local-memory arguments add up to more with CL_OUT_OF_RESOURCES.
void limitLocalMemory(cl_ulong bytes);

// The next clCreateProgramWithSource builds this text instead of the
// program's own, so that a real compiler failure with a real log happens.
void replaceNextProgramSource(const QByteArray &source);

// The properties of the last clCreateContext call, as the program passed
// them (terminating 0 included).
QVector<cl_context_properties> lastContextProperties();

// Pretend every device offers cl_khr_gl_sharing and can share the current
// GL context (see clfault.cpp). Without it, a sharing call fails
// with CL_INVALID_OPERATION and counts as one made without the extension.
void emulateGlSharing(bool on);
int sharingCallsWithoutExtension();
// The emulated CL_DEVICES_FOR_GL_CONTEXT_KHR answer reports, and writes,
// this many bytes more than its device handles, as a careless driver might.
void padGlDeviceList(int bytes);

// Counts every call since the last reset() or startRecording().
int callCount(const char *function);
void startRecording();
// "function#n" for every call since startRecording(), in order, n counting
// that function's calls from 1.
QStringList recordedCalls();
// A status the named function can really return, for fault injection.
cl_int plausibleFailure(const QString &function);

// Objects the program created and has not released (contexts, queues,
// programs, kernels, memory objects, events).
int liveObjects();
// Calls that passed a handle the program had already released. Such calls
// are answered with an error instead of reaching the driver.
int staleHandleUses();

} // namespace ClFault

#endif
