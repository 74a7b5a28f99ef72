// The fault layer: every OpenCL function the program calls, counted, failed
// on request, checked for released handles and otherwise forwarded to the
// machine's driver.
//
// The sharing calls never reach the driver, which has no sharing and ends
// the process inside them. Without emulation they fail and count as misuse.
// With emulation they check the protocol a sharing driver enforces: a shared
// object is an ordinary buffer of the GL buffer's size, made in a context
// that names a GL context, acquired before use and released after. No
// pixels travel between the two.
#include "clfault.h"

#include <CL/cl_ext.h>
#include <CL/cl_gl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <numeric>
#include <initializer_list>
#include <utility>

namespace {

struct Failure
{
    QString function;
    int remaining;   // calls until it fires
    cl_int status;
};

// Fake handles are the addresses of these names; device i belongs to
// platform i / 2, and the third platform has none.
const char *const fakePlatforms[3] = { "Fake Platform A", "Fake Platform B", "Fake Empty Platform" };
const char *const fakeDevices[4] = { "Fake Device A1", "Fake Device A2", "Fake Device B1", "Fake Device B2" };

template <typename Handle>
Handle fakeHandle(const char *const &name)
{
    return reinterpret_cast<Handle>(const_cast<const char **>(&name));
}

template <int count>
int fakeIndex(const void *handle, const char *const (&names)[count])
{
    for (int i = 0; i < count; ++i)
        if (handle == &names[i])
            return i;
    return -1;
}

// What tests asked for and the calls counted since: reset() clears it all.
struct Requests
{
    ClFault::Driver driver = ClFault::Driver::Real;
    QList<Failure> failures;
    QHash<QString, int> counts;
    bool recording = false;
    QStringList recorded;
    QHash<cl_device_info, QByteArray> deviceOverrides;
    size_t workGroupLimit = 0;
    cl_ulong localMemoryLimit = 0;
    QByteArray programSource;
    bool emulateSharing = false;
    int glDeviceListPadding = 0;
};

// Besides, what the program did with its objects, which outlives a reset.
struct State : Requests
{
    QHash<cl_kernel, QHash<cl_uint, size_t>> localArgs;   // the local-memory arguments' sizes
    QSet<void *> live;
    QSet<void *> released;
    int staleUses = 0;
    QVector<cl_context_properties> contextProperties;
    int sharingWithoutExtension = 0;
    QSet<void *> sharingContexts;    // created with GL properties while emulating
    QHash<cl_mem, bool> sharedObjects;   // whether acquired
};

State &state()
{
    static State s;
    return s;
}

void *realFunction(const char *name)
{
    static void *library = dlopen("libOpenCL.so.1", RTLD_NOW | RTLD_LOCAL);
    return dlsym(library, name);
}

// The real entry point, looked up once where it is used.
#define FORWARD(function) \
    ([] { static const auto f = reinterpret_cast<decltype(&::function)>(realFunction(#function)); return f; }())

// Counts and records the call; the status it must fail with, or CL_SUCCESS.
cl_int injected(const char *function)
{
    State &s = state();
    const QString name = QString::fromLatin1(function);
    const int n = ++s.counts[name];
    if (s.recording)
        s.recorded << name + QLatin1Char('#') + QString::number(n);
    for (int i = 0; i < s.failures.size(); ++i) {
        if (s.failures[i].function == name && --s.failures[i].remaining == 0)
            return s.failures.takeAt(i).status;
    }
    return CL_SUCCESS;
}

bool isStale(const void *handle)
{
    if (!handle || !state().released.contains(const_cast<void *>(handle)))
        return false;
    ++state().staleUses;
    return true;
}

// A handle a call passes and the status it fails with once released.
struct Handle
{
    const void *handle;
    cl_int invalid;
};

// An injected failure, or that of the first released handle the call
// passes; CL_SUCCESS when the call may go to the driver.
cl_int gate(const char *function, std::initializer_list<Handle> handles = {})
{
    const cl_int status = injected(function);
    if (status != CL_SUCCESS)
        return status;
    for (const Handle &h : handles)
        if (isStale(h.handle))
            return h.invalid;
    return CL_SUCCESS;
}

template <typename Object>
Object created(Object object)
{
    if (object) {
        state().live.insert(object);
        state().released.remove(object);
    }
    return object;
}

// A creating call: null with the gate's status, or a new live object.
template <typename Create>
auto creating(cl_int gated, cl_int *errcode, Create create) -> decltype(create())
{
    if (gated == CL_SUCCESS)
        return created(create());
    if (errcode)
        *errcode = gated;
    return nullptr;
}

// A release: a released handle is answered with invalid, never forwarded;
// what the layer kept about the object goes with it.
template <typename Release>
cl_int releasing(const char *function, void *handle, cl_int invalid, Release release)
{
    if (const cl_int gated = gate(function, { { handle, invalid } }))
        return gated;
    if (state().live.remove(handle))
        state().released.insert(handle);
    state().sharedObjects.remove(static_cast<cl_mem>(handle));
    state().localArgs.remove(static_cast<cl_kernel>(handle));
    return release();
}

// An enqueue that may hand out an event: the event is a live object.
cl_int withEvent(cl_int status, cl_event *event)
{
    if (status == CL_SUCCESS && event)
        created(*event);
    return status;
}

// True, and counted, while sharing is not emulated.
bool sharingWithoutExtension()
{
    if (state().emulateSharing)
        return false;
    ++state().sharingWithoutExtension;
    return true;
}

cl_platform_id firstRealPlatform()
{
    cl_platform_id platform = nullptr;
    FORWARD(clGetPlatformIDs)(1, &platform, nullptr);
    return platform;
}

cl_device_id realDevice(cl_device_id device)
{
    if (device && fakeIndex(device, fakeDevices) < 0)
        return device;
    cl_device_id first = nullptr;
    FORWARD(clGetDeviceIDs)(firstRealPlatform(), CL_DEVICE_TYPE_ALL, 1, &first, nullptr);
    return first;
}

cl_platform_id realPlatform(cl_platform_id platform)
{
    return fakeIndex(platform, fakePlatforms) >= 0 ? firstRealPlatform() : platform;
}

QVector<cl_device_id> realDevices(cl_uint count, const cl_device_id *devices)
{
    QVector<cl_device_id> result;
    for (cl_uint i = 0; devices && i < count; ++i)
        result << realDevice(devices[i]);
    return result;
}

// Answers an info query from bytes, as a driver does.
cl_int answer(const void *data, size_t size, size_t valueSize, void *value, size_t *returned)
{
    if (returned)
        *returned = size;
    if (value && valueSize < size)
        return CL_INVALID_VALUE;
    if (value)
        memcpy(value, data, size);
    return CL_SUCCESS;
}

// Answers a list of count fake handles starting at first, as clGet*IDs do.
template <typename Id>
cl_int answerFakes(const char *const *first, cl_uint count, cl_uint entries, Id *ids, cl_uint *found)
{
    if (found)
        *found = count;
    for (cl_uint i = 0; ids && i < qMin(entries, count); ++i)
        ids[i] = fakeHandle<Id>(first[i]);
    return count ? CL_SUCCESS : CL_DEVICE_NOT_FOUND;
}

// The empty platform, then the machine's own, as a loader lists a driver
// for hardware the machine lacks beside a working one.
cl_int emptyPlatformFirst(cl_uint entries, cl_platform_id *platforms, cl_uint *found)
{
    cl_uint machines = 0;
    const cl_int status = FORWARD(clGetPlatformIDs)(0, nullptr, &machines);
    if (found)
        *found = machines + 1;
    if (status != CL_SUCCESS || !platforms || entries == 0)
        return status;
    platforms[0] = fakeHandle<cl_platform_id>(fakePlatforms[2]);
    return entries > 1 ? FORWARD(clGetPlatformIDs)(entries - 1, platforms + 1, nullptr) : CL_SUCCESS;
}

bool exceedsWorkGroupLimit(cl_uint dimensions, const size_t *localSize)
{
    // Without a local size the driver picks one within the limit.
    size_t items = 1;
    for (cl_uint i = 0; localSize && i < dimensions; ++i)
        items *= localSize[i];
    return state().workGroupLimit && localSize && items > state().workGroupLimit;
}

bool exceedsLocalMemory(cl_kernel kernel)
{
    const QList<size_t> sizes = state().localArgs.value(kernel).values();
    return state().localMemoryLimit && std::accumulate(sizes.begin(), sizes.end(), size_t(0)) > state().localMemoryLimit;
}

GLint glBufferSize(GLuint buffer)
{
    const auto proc = [](const char *name) { return glXGetProcAddressARB(reinterpret_cast<const GLubyte *>(name)); };
    const auto bind = reinterpret_cast<PFNGLBINDBUFFERPROC>(proc("glBindBuffer"));
    const auto parameter = reinterpret_cast<PFNGLGETBUFFERPARAMETERIVPROC>(proc("glGetBufferParameteriv"));
    GLint previous = 0, size = 0;
    if (!glXGetCurrentContext())
        return 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previous);
    bind(GL_ARRAY_BUFFER, buffer);
    parameter(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    bind(GL_ARRAY_BUFFER, GLuint(previous));
    return size;
}

// Acquiring needs released objects and releasing acquired ones, as a driver
// with the extension demands.
cl_int sharingCommand(const char *function, cl_command_queue queue, cl_uint count, const cl_mem *objects,
                      bool acquire)
{
    if (const cl_int gated = gate(function, { { queue, CL_INVALID_COMMAND_QUEUE } }))
        return gated;
    if (sharingWithoutExtension())
        return CL_INVALID_OPERATION;
    for (cl_uint i = 0; i < count; ++i) {
        QHash<cl_mem, bool> &shared = state().sharedObjects;
        if (!shared.contains(objects[i]) || isStale(objects[i]))
            return CL_INVALID_GL_OBJECT;
        if (std::exchange(shared[objects[i]], acquire) == acquire)
            return CL_INVALID_OPERATION;
    }
    return CL_SUCCESS;
}

// The devices that can share the current GL context: the machine's first,
// as a driver of the same kind as the GL driver would answer.
cl_int CL_API_CALL glContextInfo(const cl_context_properties *, cl_gl_context_info param, size_t size,
                                 void *value, size_t *returned)
{
    if (const cl_int gated = gate("clGetGLContextInfoKHR"))
        return gated;
    const cl_device_id device = realDevice(nullptr);
    if (param != CL_DEVICES_FOR_GL_CONTEXT_KHR)
        return CL_INVALID_VALUE;
    QByteArray list(reinterpret_cast<const char *>(&device), sizeof device);
    list.append(QByteArray(state().glDeviceListPadding, '\0'));
    return answer(list.constData(), size_t(list.size()), size, value, returned);
}

} // namespace

namespace ClFault {

void reset()
{
    static_cast<Requests &>(state()) = Requests();
}

void setDriver(Driver driver) { state().driver = driver; }
void failCall(const char *function, int nth, cl_int status)
{
    state().failures << Failure{ QString::fromLatin1(function), qMax(nth, 1), status };
}
void overrideDeviceInfo(cl_device_info param, const void *value, size_t size)
{
    state().deviceOverrides.insert(param, QByteArray(static_cast<const char *>(value), int(size)));
}
void overrideDeviceText(cl_device_info param, const QByteArray &text)
{
    overrideDeviceInfo(param, text.constData(), size_t(text.size()) + 1);
}
void limitWorkGroupSize(size_t limit) { state().workGroupLimit = limit; }
void limitLocalMemory(cl_ulong bytes) { state().localMemoryLimit = bytes; }
void replaceNextProgramSource(const QByteArray &source) { state().programSource = source; }
int callCount(const char *function) { return state().counts.value(QString::fromLatin1(function)); }
void startRecording()
{
    state().counts.clear();
    state().recorded.clear();
    state().recording = true;
}
QStringList recordedCalls() { return state().recorded; }
int liveObjects() { return state().live.size(); }
int staleHandleUses() { return state().staleUses; }
QVector<cl_context_properties> lastContextProperties() { return state().contextProperties; }
int sharingCallsWithoutExtension() { return state().sharingWithoutExtension; }

// A sharing device is one whose extension list says so.
void emulateGlSharing(bool on)
{
    state().emulateSharing = on;
    if (on)
        overrideDeviceText(CL_DEVICE_EXTENSIONS, "cl_khr_icd cl_khr_gl_sharing");
    else
        state().deviceOverrides.remove(CL_DEVICE_EXTENSIONS);
}

void padGlDeviceList(int bytes) { state().glDeviceListPadding = bytes; }

cl_int plausibleFailure(const QString &function)
{
    static const QHash<QString, cl_int> statuses = {
        { "clGetPlatformIDs", CL_OUT_OF_HOST_MEMORY },
        { "clGetPlatformInfo", CL_INVALID_VALUE },
        { "clGetDeviceIDs", CL_OUT_OF_RESOURCES },
        { "clGetDeviceInfo", CL_INVALID_VALUE },
        { "clGetKernelWorkGroupInfo", CL_OUT_OF_RESOURCES },
        { "clCreateContext", CL_DEVICE_NOT_AVAILABLE },
        { "clCreateCommandQueue", CL_OUT_OF_HOST_MEMORY },
        { "clCreateProgramWithSource", CL_OUT_OF_HOST_MEMORY },
        { "clBuildProgram", CL_BUILD_PROGRAM_FAILURE },
        { "clCreateKernel", CL_INVALID_KERNEL_NAME },
        { "clCreateBuffer", CL_MEM_OBJECT_ALLOCATION_FAILURE },
        { "clSetKernelArg", CL_INVALID_ARG_SIZE },
        { "clEnqueueNDRangeKernel", CL_OUT_OF_RESOURCES },
        { "clEnqueueReadBuffer", CL_OUT_OF_RESOURCES },
        { "clEnqueueWriteBuffer", CL_OUT_OF_RESOURCES },
        { "clFinish", CL_OUT_OF_RESOURCES },
        { "clWaitForEvents", CL_EXEC_STATUS_ERROR_FOR_EVENTS_IN_WAIT_LIST },
        { "clGetProgramBuildInfo", CL_INVALID_VALUE },
        { "clCreateFromGLBuffer", CL_INVALID_GL_OBJECT },
        { "clEnqueueAcquireGLObjects", CL_INVALID_GL_OBJECT },
        { "clEnqueueReleaseGLObjects", CL_OUT_OF_RESOURCES },
    };
    // A failed release cannot be acted on: releases are never failed.
    return statuses.value(function, CL_SUCCESS);
}

} // namespace ClFault

using ClFault::Driver;

extern "C" {

CL_API_ENTRY cl_int CL_API_CALL clGetPlatformIDs(cl_uint num_entries, cl_platform_id *platforms,
                                                 cl_uint *num_platforms)
{
    if (const cl_int gated = gate(__func__))
        return gated;
    switch (state().driver) {
    case Driver::NoPlatform:
        answerFakes(fakePlatforms, 0, num_entries, platforms, num_platforms);
        return CL_PLATFORM_NOT_FOUND_KHR;
    case Driver::TwoPlatformsTwoDevices:
        return answerFakes(fakePlatforms, 2, num_entries, platforms, num_platforms);
    case Driver::PlatformWithoutDevice:
        return emptyPlatformFirst(num_entries, platforms, num_platforms);
    default:
        return FORWARD(clGetPlatformIDs)(num_entries, platforms, num_platforms);
    }
}

CL_API_ENTRY cl_int CL_API_CALL clGetPlatformInfo(cl_platform_id platform, cl_platform_info param_name,
                                                  size_t param_value_size, void *param_value,
                                                  size_t *param_value_size_ret)
{
    if (const cl_int gated = gate(__func__))
        return gated;
    const int fake = fakeIndex(platform, fakePlatforms);
    if (fake >= 0 && param_name == CL_PLATFORM_NAME)
        return answer(fakePlatforms[fake], strlen(fakePlatforms[fake]) + 1, param_value_size, param_value,
                      param_value_size_ret);
    return FORWARD(clGetPlatformInfo)(realPlatform(platform), param_name, param_value_size, param_value,
                                      param_value_size_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clGetDeviceIDs(cl_platform_id platform, cl_device_type device_type,
                                               cl_uint num_entries, cl_device_id *devices, cl_uint *num_devices)
{
    if (const cl_int gated = gate(__func__))
        return gated;
    const int fake = fakeIndex(platform, fakePlatforms);
    if (fake >= 0)
        return answerFakes(fakeDevices + 2 * fake, fake < 2 ? 2 : 0, num_entries, devices, num_devices);
    return FORWARD(clGetDeviceIDs)(platform, device_type, num_entries, devices, num_devices);
}

CL_API_ENTRY cl_int CL_API_CALL clGetDeviceInfo(cl_device_id device, cl_device_info param_name,
                                                size_t param_value_size, void *param_value,
                                                size_t *param_value_size_ret)
{
    if (const cl_int gated = gate(__func__))
        return gated;
    const State &s = state();
    auto reply = [&](const void *data, size_t size) {
        return answer(data, size, param_value_size, param_value, param_value_size_ret);
    };
    const int fake = fakeIndex(device, fakeDevices);
    const cl_platform_id fakePlatform = fake >= 0 ? fakeHandle<cl_platform_id>(fakePlatforms[fake / 2]) : nullptr;
    if (s.deviceOverrides.contains(param_name))
        return reply(s.deviceOverrides[param_name].constData(), size_t(s.deviceOverrides[param_name].size()));
    if (s.localMemoryLimit && param_name == CL_DEVICE_LOCAL_MEM_SIZE)
        return reply(&s.localMemoryLimit, sizeof(cl_ulong));
    if (fake >= 0 && param_name == CL_DEVICE_NAME)
        return reply(fakeDevices[fake], strlen(fakeDevices[fake]) + 1);
    if (fake >= 0 && param_name == CL_DEVICE_PLATFORM)
        return reply(&fakePlatform, sizeof fakePlatform);
    return FORWARD(clGetDeviceInfo)(realDevice(device), param_name, param_value_size, param_value,
                                    param_value_size_ret);
}

CL_API_ENTRY void *CL_API_CALL clGetExtensionFunctionAddressForPlatform(cl_platform_id, const char *func_name)
{
    if (gate(__func__) != CL_SUCCESS || qstrcmp(func_name, "clGetGLContextInfoKHR") != 0)
        return nullptr;
    return sharingWithoutExtension() ? nullptr : reinterpret_cast<void *>(&glContextInfo);
}

CL_API_ENTRY cl_context CL_API_CALL clCreateContext(const cl_context_properties *properties,
                                                    cl_uint num_devices, const cl_device_id *devices,
                                                    void(CL_CALLBACK *pfn_notify)(const char *, const void *,
                                                                                  size_t, void *),
                                                    void *user_data, cl_int *errcode_ret)
{
    // The driver sees the real platform and, while sharing is emulated,
    // none of the GL properties it does not know.
    State &s = state();
    s.contextProperties.clear();
    QVector<cl_context_properties> forwarded;
    bool namesGlContext = false;
    for (const cl_context_properties *p = properties; p && *p; p += 2) {
        s.contextProperties << p[0] << p[1];
        const bool gl = p[0] == CL_GL_CONTEXT_KHR || p[0] == CL_GLX_DISPLAY_KHR || p[0] == CL_WGL_HDC_KHR;
        namesGlContext = namesGlContext || (p[0] == CL_GL_CONTEXT_KHR && p[1]);
        const auto platform = reinterpret_cast<cl_platform_id>(p[1]);
        if (!gl || !s.emulateSharing)
            forwarded << p[0] << (p[0] == CL_CONTEXT_PLATFORM ? cl_context_properties(realPlatform(platform)) : p[1]);
    }
    s.contextProperties << 0;
    forwarded << 0;
    const QVector<cl_device_id> realList = realDevices(num_devices, devices);
    const cl_context context = creating(gate(__func__), errcode_ret, [&] {
        return FORWARD(clCreateContext)(properties ? forwarded.constData() : nullptr, num_devices,
                                        devices ? realList.constData() : nullptr, pfn_notify, user_data,
                                        errcode_ret);
    });
    if (s.emulateSharing && namesGlContext)
        s.sharingContexts.insert(context);
    else
        s.sharingContexts.remove(context);
    return context;
}

CL_API_ENTRY cl_command_queue CL_API_CALL clCreateCommandQueue(cl_context context, cl_device_id device,
                                                               cl_command_queue_properties properties,
                                                               cl_int *errcode_ret)
{
    return creating(gate(__func__, { { context, CL_INVALID_CONTEXT } }), errcode_ret, [&] {
        return FORWARD(clCreateCommandQueue)(context, realDevice(device), properties, errcode_ret);
    });
}

CL_API_ENTRY cl_program CL_API_CALL clCreateProgramWithSource(cl_context context, cl_uint count,
                                                              const char **strings, const size_t *lengths,
                                                              cl_int *errcode_ret)
{
    const QByteArray replacement = std::exchange(state().programSource, QByteArray());
    const char *text = replacement.constData();
    return creating(gate(__func__, { { context, CL_INVALID_CONTEXT } }), errcode_ret, [&] {
        return replacement.isEmpty()
                   ? FORWARD(clCreateProgramWithSource)(context, count, strings, lengths, errcode_ret)
                   : FORWARD(clCreateProgramWithSource)(context, 1, &text, nullptr, errcode_ret);
    });
}

CL_API_ENTRY cl_int CL_API_CALL clBuildProgram(cl_program program, cl_uint num_devices,
                                               const cl_device_id *device_list, const char *options,
                                               void(CL_CALLBACK *pfn_notify)(cl_program, void *),
                                               void *user_data)
{
    if (const cl_int gated = gate(__func__, { { program, CL_INVALID_PROGRAM } }))
        return gated;
    const QVector<cl_device_id> realList = realDevices(num_devices, device_list);
    return FORWARD(clBuildProgram)(program, num_devices, device_list ? realList.constData() : nullptr, options,
                                   pfn_notify, user_data);
}

CL_API_ENTRY cl_int CL_API_CALL clGetProgramBuildInfo(cl_program program, cl_device_id device,
                                                      cl_program_build_info param_name, size_t param_value_size,
                                                      void *param_value, size_t *param_value_size_ret)
{
    if (const cl_int gated = gate(__func__, { { program, CL_INVALID_PROGRAM } }))
        return gated;
    return FORWARD(clGetProgramBuildInfo)(program, realDevice(device), param_name, param_value_size, param_value,
                                          param_value_size_ret);
}

CL_API_ENTRY cl_kernel CL_API_CALL clCreateKernel(cl_program program, const char *kernel_name,
                                                  cl_int *errcode_ret)
{
    return creating(gate(__func__, { { program, CL_INVALID_PROGRAM } }), errcode_ret,
                    [&] { return FORWARD(clCreateKernel)(program, kernel_name, errcode_ret); });
}

CL_API_ENTRY cl_mem CL_API_CALL clCreateBuffer(cl_context context, cl_mem_flags flags, size_t size,
                                               void *host_ptr, cl_int *errcode_ret)
{
    return creating(gate(__func__, { { context, CL_INVALID_CONTEXT } }), errcode_ret,
                    [&] { return FORWARD(clCreateBuffer)(context, flags, size, host_ptr, errcode_ret); });
}

CL_API_ENTRY cl_mem CL_API_CALL clCreateFromGLBuffer(cl_context context, cl_mem_flags flags, cl_GLuint bufobj,
                                                     cl_int *errcode_ret)
{
    cl_int status = gate(__func__, { { context, CL_INVALID_CONTEXT } });
    if (status == CL_SUCCESS && sharingWithoutExtension())
        status = CL_INVALID_OPERATION;
    if (status == CL_SUCCESS && !state().sharingContexts.contains(context))
        status = CL_INVALID_CONTEXT;
    const GLint size = status == CL_SUCCESS ? glBufferSize(bufobj) : 0;
    if (status == CL_SUCCESS && size <= 0)
        status = CL_INVALID_GL_OBJECT;
    const cl_mem buffer = creating(status, errcode_ret, [&] {
        return FORWARD(clCreateBuffer)(context, flags, size_t(size), nullptr, errcode_ret);
    });
    if (buffer)
        state().sharedObjects.insert(buffer, false);
    return buffer;
}

CL_API_ENTRY cl_int CL_API_CALL clSetKernelArg(cl_kernel kernel, cl_uint arg_index, size_t arg_size,
                                               const void *arg_value)
{
    const void *memobj = arg_value && arg_size == sizeof(cl_mem) ? *static_cast<void *const *>(arg_value) : nullptr;
    if (const cl_int gated = gate(__func__, { { kernel, CL_INVALID_KERNEL }, { memobj, CL_INVALID_MEM_OBJECT } }))
        return gated;
    if (arg_value)
        state().localArgs[kernel].remove(arg_index);
    else
        state().localArgs[kernel][arg_index] = arg_size;
    return FORWARD(clSetKernelArg)(kernel, arg_index, arg_size, arg_value);
}

CL_API_ENTRY cl_int CL_API_CALL clGetKernelWorkGroupInfo(cl_kernel kernel, cl_device_id device,
                                                         cl_kernel_work_group_info param_name,
                                                         size_t param_value_size, void *param_value,
                                                         size_t *param_value_size_ret)
{
    if (const cl_int gated = gate(__func__, { { kernel, CL_INVALID_KERNEL } }))
        return gated;
    if (state().workGroupLimit && param_name == CL_KERNEL_WORK_GROUP_SIZE) {
        // Never above what the real device runs, which may be small too.
        size_t limit = 0;
        const cl_int s = FORWARD(clGetKernelWorkGroupInfo)(kernel, realDevice(device), param_name, sizeof limit,
                                                           &limit, nullptr);
        limit = std::min(limit, state().workGroupLimit);
        return s != CL_SUCCESS ? s : answer(&limit, sizeof limit, param_value_size, param_value, param_value_size_ret);
    }
    return FORWARD(clGetKernelWorkGroupInfo)(kernel, realDevice(device), param_name, param_value_size, param_value,
                                             param_value_size_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueNDRangeKernel(cl_command_queue queue, cl_kernel kernel,
                                                       cl_uint work_dim, const size_t *global_work_offset,
                                                       const size_t *global_work_size,
                                                       const size_t *local_work_size, cl_uint num_events,
                                                       const cl_event *wait_list, cl_event *event)
{
    if (const cl_int gated = gate(__func__, { { queue, CL_INVALID_COMMAND_QUEUE }, { kernel, CL_INVALID_KERNEL } }))
        return gated;
    if (exceedsWorkGroupLimit(work_dim, local_work_size))
        return CL_INVALID_WORK_GROUP_SIZE;
    if (exceedsLocalMemory(kernel))
        return CL_OUT_OF_RESOURCES;
    return withEvent(FORWARD(clEnqueueNDRangeKernel)(queue, kernel, work_dim, global_work_offset, global_work_size,
                                                     local_work_size, num_events, wait_list, event),
                     event);
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueReadBuffer(cl_command_queue queue, cl_mem buffer, cl_bool blocking,
                                                    size_t offset, size_t size, void *ptr, cl_uint num_events,
                                                    const cl_event *wait_list, cl_event *event)
{
    if (const cl_int gated = gate(__func__, { { queue, CL_INVALID_COMMAND_QUEUE }, { buffer, CL_INVALID_MEM_OBJECT } }))
        return gated;
    return withEvent(FORWARD(clEnqueueReadBuffer)(queue, buffer, blocking, offset, size, ptr, num_events, wait_list,
                                                  event),
                     event);
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueWriteBuffer(cl_command_queue queue, cl_mem buffer, cl_bool blocking,
                                                     size_t offset, size_t size, const void *ptr,
                                                     cl_uint num_events, const cl_event *wait_list,
                                                     cl_event *event)
{
    if (const cl_int gated = gate(__func__, { { queue, CL_INVALID_COMMAND_QUEUE }, { buffer, CL_INVALID_MEM_OBJECT } }))
        return gated;
    return withEvent(FORWARD(clEnqueueWriteBuffer)(queue, buffer, blocking, offset, size, ptr, num_events,
                                                   wait_list, event),
                     event);
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueAcquireGLObjects(cl_command_queue queue, cl_uint num_objects,
                                                          const cl_mem *mem_objects, cl_uint, const cl_event *,
                                                          cl_event *)
{
    return sharingCommand(__func__, queue, num_objects, mem_objects, true);
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueReleaseGLObjects(cl_command_queue queue, cl_uint num_objects,
                                                          const cl_mem *mem_objects, cl_uint, const cl_event *,
                                                          cl_event *)
{
    return sharingCommand(__func__, queue, num_objects, mem_objects, false);
}

CL_API_ENTRY cl_int CL_API_CALL clFinish(cl_command_queue queue)
{
    if (const cl_int gated = gate(__func__, { { queue, CL_INVALID_COMMAND_QUEUE } }))
        return gated;
    return FORWARD(clFinish)(queue);
}

CL_API_ENTRY cl_int CL_API_CALL clWaitForEvents(cl_uint num_events, const cl_event *event_list)
{
    if (const cl_int gated = gate(__func__, { { num_events ? event_list[0] : nullptr, CL_INVALID_EVENT } }))
        return gated;
    return FORWARD(clWaitForEvents)(num_events, event_list);
}

// Each release: a released handle is answered with invalid, never forwarded.
#define RELEASE(function, Handle, invalid) \
    CL_API_ENTRY cl_int CL_API_CALL function(Handle handle) \
    { \
        return releasing(#function, handle, invalid, [&] { return FORWARD(function)(handle); }); \
    }

RELEASE(clReleaseEvent, cl_event, CL_INVALID_EVENT)
RELEASE(clReleaseKernel, cl_kernel, CL_INVALID_KERNEL)
RELEASE(clReleaseProgram, cl_program, CL_INVALID_PROGRAM)
RELEASE(clReleaseMemObject, cl_mem, CL_INVALID_MEM_OBJECT)
RELEASE(clReleaseCommandQueue, cl_command_queue, CL_INVALID_COMMAND_QUEUE)
RELEASE(clReleaseContext, cl_context, CL_INVALID_CONTEXT)

} // extern "C"
