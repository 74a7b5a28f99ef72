#include "clfault.h"

#include <CL/cl_ext.h>
#include <CL/cl_gl.h>

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>

namespace ClFault {
void forgetSharedObject(cl_mem memobj); // clfault_glsharing.cpp
}

namespace {

struct Failure
{
    QString function;
    int remaining;   // calls until it fires; 0 = every call
    cl_int status;
};

struct FakePlatform
{
    const char *name;
};

struct FakeDevice
{
    const char *name;
    int platform;
};

FakePlatform fakePlatforms[2] = { { "Fake Platform A" }, { "Fake Platform B" } };
FakeDevice fakeDevices[4] = { { "Fake Device A1", 0 }, { "Fake Device A2", 0 },
                              { "Fake Device B1", 1 }, { "Fake Device B2", 1 } };

struct State
{
    ClFault::Driver driver = ClFault::Driver::Real;
    QList<Failure> failures;
    QHash<QString, int> counts;
    bool recording = false;
    QStringList recorded;
    QHash<cl_device_info, QByteArray> deviceOverrides;
    size_t workGroupLimit = 0;
    QHash<void *, const char *> live;
    QSet<void *> released;
    int staleUses = 0;
    QVector<cl_context_properties> contextProperties;
    bool emulateSharing = false;
    int sharingWithoutExtension = 0;
    QSet<void *> sharingContexts;   // created with GL properties while emulating
};

State &state()
{
    static State s;
    return s;
}

void *openCl()
{
    static void *library = dlopen("libOpenCL.so.1", RTLD_NOW | RTLD_LOCAL);
    return library;
}

template <typename Function>
Function real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(openCl(), name));
}

// The real entry point of the wrapper it is used in, looked up once.
#define REAL(function) static const auto real_##function = real<decltype(&::function)>(#function)

// Counts and records the call; true (with the status) when it must fail.
bool injected(const char *function, cl_int *status)
{
    State &s = state();
    const QString name = QString::fromLatin1(function);
    const int n = ++s.counts[name];
    if (s.recording)
        s.recorded << name + QLatin1Char('#') + QString::number(n);
    for (int i = 0; i < s.failures.size(); ++i) {
        Failure &f = s.failures[i];
        if (f.function != name)
            continue;
        if (f.remaining == 0) {
            *status = f.status;
            return true;
        }
        if (--f.remaining == 0) {
            *status = f.status;
            s.failures.removeAt(i);
            return true;
        }
    }
    return false;
}

void setError(cl_int *errcode, cl_int status)
{
    if (errcode)
        *errcode = status;
}

void created(void *handle, const char *kind)
{
    if (!handle)
        return;
    state().live.insert(handle, kind);
    state().released.remove(handle);
}

bool isStale(const void *handle)
{
    if (!handle || !state().released.contains(const_cast<void *>(handle)))
        return false;
    ++state().staleUses;
    return true;
}

// True when the release may go to the driver.
bool releasing(void *handle)
{
    if (isStale(handle))
        return false;
    if (state().live.remove(handle))
        state().released.insert(handle);
    return true;
}

int fakePlatformIndex(cl_platform_id platform)
{
    for (int i = 0; i < 2; ++i)
        if (platform == reinterpret_cast<cl_platform_id>(&fakePlatforms[i]))
            return i;
    return -1;
}

int fakeDeviceIndex(cl_device_id device)
{
    for (int i = 0; i < 4; ++i)
        if (device == reinterpret_cast<cl_device_id>(&fakeDevices[i]))
            return i;
    return -1;
}

cl_platform_id firstRealPlatform()
{
    REAL(clGetPlatformIDs);
    cl_platform_id platform = nullptr;
    real_clGetPlatformIDs(1, &platform, nullptr);
    return platform;
}

cl_device_id firstRealDevice()
{
    REAL(clGetDeviceIDs);
    cl_device_id device = nullptr;
    real_clGetDeviceIDs(firstRealPlatform(), CL_DEVICE_TYPE_ALL, 1, &device, nullptr);
    return device;
}

cl_platform_id realPlatform(cl_platform_id platform)
{
    return fakePlatformIndex(platform) >= 0 ? firstRealPlatform() : platform;
}

cl_device_id realDevice(cl_device_id device)
{
    return fakeDeviceIndex(device) >= 0 ? firstRealDevice() : device;
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
    if (value) {
        if (valueSize < size)
            return CL_INVALID_VALUE;
        memcpy(value, data, size);
    }
    return CL_SUCCESS;
}

cl_int answerText(const char *text, size_t valueSize, void *value, size_t *returned)
{
    return answer(text, strlen(text) + 1, valueSize, value, returned);
}

bool exceedsWorkGroupLimit(cl_uint dimensions, const size_t *localSize)
{
    const size_t limit = state().workGroupLimit;
    if (limit == 0)
        return false;
    size_t items = 1;
    for (cl_uint i = 0; i < dimensions; ++i)
        items *= localSize ? localSize[i] : 1;
    // Without a local size the driver picks one within the limit.
    return localSize && items > limit;
}

bool anyStale(cl_uint count, const cl_event *events)
{
    for (cl_uint i = 0; events && i < count; ++i)
        if (isStale(events[i]))
            return true;
    return false;
}

void recordEvent(cl_event *event, cl_int status)
{
    if (event && status == CL_SUCCESS)
        created(*event, "event");
}

} // namespace

namespace ClFault {

void reset()
{
    State &s = state();
    s.driver = Driver::Real;
    s.failures.clear();
    s.counts.clear();
    s.recording = false;
    s.recorded.clear();
    s.deviceOverrides.clear();
    s.workGroupLimit = 0;
    s.emulateSharing = false;
}

void setDriver(Driver driver)
{
    state().driver = driver;
}

void failCall(const char *function, int nth, cl_int status)
{
    state().failures << Failure{ QString::fromLatin1(function), qMax(nth, 1), status };
}

void failAlways(const char *function, cl_int status)
{
    state().failures << Failure{ QString::fromLatin1(function), 0, status };
}

void overrideDeviceInfo(cl_device_info param, const void *value, size_t size)
{
    state().deviceOverrides.insert(param, QByteArray(static_cast<const char *>(value), int(size)));
}

void overrideDeviceText(cl_device_info param, const QByteArray &text)
{
    overrideDeviceInfo(param, text.constData(), size_t(text.size()) + 1);
}

void limitWorkGroupSize(size_t limit)
{
    state().workGroupLimit = limit;
}

int callCount(const char *function)
{
    return state().counts.value(QString::fromLatin1(function));
}

void startRecording()
{
    state().counts.clear();
    state().recorded.clear();
    state().recording = true;
}

QStringList recordedCalls()
{
    return state().recorded;
}

cl_int plausibleFailure(const QString &function)
{
    static const QHash<QString, cl_int> statuses = {
        { "clGetPlatformIDs", CL_OUT_OF_HOST_MEMORY },
        { "clGetPlatformInfo", CL_INVALID_VALUE },
        { "clGetDeviceIDs", CL_OUT_OF_RESOURCES },
        { "clGetDeviceInfo", CL_INVALID_VALUE },
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
        { "clEnqueueMapBuffer", CL_MAP_FAILURE },
        { "clEnqueueUnmapMemObject", CL_OUT_OF_RESOURCES },
        { "clFinish", CL_OUT_OF_RESOURCES },
        { "clFlush", CL_OUT_OF_RESOURCES },
        { "clWaitForEvents", CL_EXEC_STATUS_ERROR_FOR_EVENTS_IN_WAIT_LIST },
        { "clGetProgramBuildInfo", CL_INVALID_VALUE },
        { "clGetKernelWorkGroupInfo", CL_INVALID_VALUE },
        { "clGetEventProfilingInfo", CL_PROFILING_INFO_NOT_AVAILABLE },
        { "clCreateFromGLBuffer", CL_INVALID_GL_OBJECT },
        { "clEnqueueAcquireGLObjects", CL_INVALID_GL_OBJECT },
        { "clEnqueueReleaseGLObjects", CL_OUT_OF_RESOURCES },
        // A failed release cannot be acted on; it is not injected.
        { "clReleaseEvent", CL_SUCCESS },
    };
    return statuses.value(function, CL_SUCCESS);
}

int liveObjects()
{
    return state().live.size();
}

int liveObjects(const char *kind)
{
    const auto &live = state().live;
    return int(std::count_if(live.cbegin(), live.cend(),
                             [kind](const char *k) { return strcmp(k, kind) == 0; }));
}

int staleHandleUses()
{
    return state().staleUses;
}

QVector<cl_context_properties> lastContextProperties()
{
    return state().contextProperties;
}

void emulateGlSharing(bool on)
{
    state().emulateSharing = on;
}

int sharingCallsWithoutExtension()
{
    return state().sharingWithoutExtension;
}

void countSharingWithoutExtension()
{
    ++state().sharingWithoutExtension;
}

bool sharingEmulated()
{
    return state().emulateSharing;
}

// For the emulated sharing calls of clfault_glsharing.cpp, which count,
// fail, check and create like the functions here.
bool injectedCall(const char *function, cl_int *status)
{
    return injected(function, status);
}

bool staleHandle(const void *handle)
{
    return isStale(handle);
}

void createdObject(void *handle, const char *kind)
{
    created(handle, kind);
}

void *realFunction(const char *name)
{
    return dlsym(openCl(), name);
}

bool isSharingContext(cl_context context)
{
    return state().sharingContexts.contains(context);
}

} // namespace ClFault

using ClFault::Driver;

extern "C" {

CL_API_ENTRY cl_int CL_API_CALL clGetPlatformIDs(cl_uint num_entries, cl_platform_id *platforms,
                                                 cl_uint *num_platforms)
{
    REAL(clGetPlatformIDs);
    cl_int status;
    if (injected("clGetPlatformIDs", &status))
        return status;
    switch (state().driver) {
    case Driver::NoPlatform:
        if (num_platforms)
            *num_platforms = 0;
        return CL_PLATFORM_NOT_FOUND_KHR;
    case Driver::TwoPlatformsTwoDevices:
        if (num_platforms)
            *num_platforms = 2;
        for (cl_uint i = 0; platforms && i < std::min<cl_uint>(num_entries, 2); ++i)
            platforms[i] = reinterpret_cast<cl_platform_id>(&fakePlatforms[i]);
        return CL_SUCCESS;
    default:
        return real_clGetPlatformIDs(num_entries, platforms, num_platforms);
    }
}

CL_API_ENTRY cl_int CL_API_CALL clGetPlatformInfo(cl_platform_id platform, cl_platform_info param_name,
                                                  size_t param_value_size, void *param_value,
                                                  size_t *param_value_size_ret)
{
    REAL(clGetPlatformInfo);
    cl_int status;
    if (injected("clGetPlatformInfo", &status))
        return status;
    const int fake = fakePlatformIndex(platform);
    if (fake >= 0 && param_name == CL_PLATFORM_NAME)
        return answerText(fakePlatforms[fake].name, param_value_size, param_value, param_value_size_ret);
    return real_clGetPlatformInfo(realPlatform(platform), param_name, param_value_size, param_value,
                                  param_value_size_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clGetDeviceIDs(cl_platform_id platform, cl_device_type device_type,
                                               cl_uint num_entries, cl_device_id *devices,
                                               cl_uint *num_devices)
{
    REAL(clGetDeviceIDs);
    cl_int status;
    if (injected("clGetDeviceIDs", &status))
        return status;
    if (state().driver == Driver::PlatformWithoutDevice) {
        if (num_devices)
            *num_devices = 0;
        return CL_DEVICE_NOT_FOUND;
    }
    const int fake = fakePlatformIndex(platform);
    if (fake >= 0) {
        if (num_devices)
            *num_devices = 2;
        for (cl_uint i = 0; devices && i < std::min<cl_uint>(num_entries, 2); ++i)
            devices[i] = reinterpret_cast<cl_device_id>(&fakeDevices[2 * fake + int(i)]);
        return CL_SUCCESS;
    }
    return real_clGetDeviceIDs(platform, device_type, num_entries, devices, num_devices);
}

CL_API_ENTRY cl_int CL_API_CALL clGetDeviceInfo(cl_device_id device, cl_device_info param_name,
                                                size_t param_value_size, void *param_value,
                                                size_t *param_value_size_ret)
{
    REAL(clGetDeviceInfo);
    cl_int status;
    if (injected("clGetDeviceInfo", &status))
        return status;
    const State &s = state();
    if (s.deviceOverrides.contains(param_name)) {
        const QByteArray &bytes = s.deviceOverrides[param_name];
        return answer(bytes.constData(), size_t(bytes.size()), param_value_size, param_value,
                      param_value_size_ret);
    }
    if (s.workGroupLimit && param_name == CL_DEVICE_MAX_WORK_GROUP_SIZE)
        return answer(&s.workGroupLimit, sizeof(size_t), param_value_size, param_value, param_value_size_ret);
    const int fake = fakeDeviceIndex(device);
    if (fake >= 0 && param_name == CL_DEVICE_NAME)
        return answerText(fakeDevices[fake].name, param_value_size, param_value, param_value_size_ret);
    if (fake >= 0 && param_name == CL_DEVICE_PLATFORM) {
        const cl_platform_id platform = reinterpret_cast<cl_platform_id>(&fakePlatforms[fakeDevices[fake].platform]);
        return answer(&platform, sizeof platform, param_value_size, param_value, param_value_size_ret);
    }
    if (s.emulateSharing && param_name == CL_DEVICE_EXTENSIONS) {
        size_t size = 0;
        status = real_clGetDeviceInfo(realDevice(device), param_name, 0, nullptr, &size);
        if (status != CL_SUCCESS)
            return status;
        QByteArray text(int(size), '\0');
        real_clGetDeviceInfo(realDevice(device), param_name, size, text.data(), nullptr);
        text = text.left(int(qstrlen(text.constData()))).trimmed() + " cl_khr_gl_sharing";
        return answerText(text.constData(), param_value_size, param_value, param_value_size_ret);
    }
    return real_clGetDeviceInfo(realDevice(device), param_name, param_value_size, param_value,
                                param_value_size_ret);
}

CL_API_ENTRY cl_context CL_API_CALL clCreateContext(const cl_context_properties *properties,
                                                    cl_uint num_devices, const cl_device_id *devices,
                                                    void(CL_CALLBACK *pfn_notify)(const char *, const void *,
                                                                                  size_t, void *),
                                                    void *user_data, cl_int *errcode_ret)
{
    REAL(clCreateContext);
    State &s = state();
    s.contextProperties.clear();
    QVector<cl_context_properties> forwarded;
    bool namesGlContext = false;
    for (const cl_context_properties *p = properties; p && *p; p += 2) {
        s.contextProperties << p[0] << p[1];
        namesGlContext = namesGlContext || (p[0] == CL_GL_CONTEXT_KHR && p[1]);
        const bool sharing = p[0] == CL_GL_CONTEXT_KHR || p[0] == CL_GLX_DISPLAY_KHR
                             || p[0] == CL_WGL_HDC_KHR;
        if (sharing && s.emulateSharing)
            continue;
        forwarded << p[0]
                  << (p[0] == CL_CONTEXT_PLATFORM
                          ? cl_context_properties(realPlatform(reinterpret_cast<cl_platform_id>(p[1])))
                          : p[1]);
    }
    if (properties) {
        s.contextProperties << 0;
        forwarded << 0;
    }
    cl_int status;
    if (injected("clCreateContext", &status)) {
        setError(errcode_ret, status);
        return nullptr;
    }
    const QVector<cl_device_id> realList = realDevices(num_devices, devices);
    cl_context context = real_clCreateContext(properties ? forwarded.constData() : nullptr, num_devices,
                                              devices ? realList.constData() : nullptr, pfn_notify,
                                              user_data, errcode_ret);
    created(context, "context");
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
    REAL(clCreateCommandQueue);
    cl_int status;
    if (injected("clCreateCommandQueue", &status) || (isStale(context) && (status = CL_INVALID_CONTEXT))) {
        setError(errcode_ret, status);
        return nullptr;
    }
    cl_command_queue queue = real_clCreateCommandQueue(context, realDevice(device), properties, errcode_ret);
    created(queue, "queue");
    return queue;
}

CL_API_ENTRY cl_program CL_API_CALL clCreateProgramWithSource(cl_context context, cl_uint count,
                                                              const char **strings, const size_t *lengths,
                                                              cl_int *errcode_ret)
{
    REAL(clCreateProgramWithSource);
    cl_int status;
    if (injected("clCreateProgramWithSource", &status) || (isStale(context) && (status = CL_INVALID_CONTEXT))) {
        setError(errcode_ret, status);
        return nullptr;
    }
    cl_program program = real_clCreateProgramWithSource(context, count, strings, lengths, errcode_ret);
    created(program, "program");
    return program;
}

CL_API_ENTRY cl_int CL_API_CALL clBuildProgram(cl_program program, cl_uint num_devices,
                                               const cl_device_id *device_list, const char *options,
                                               void(CL_CALLBACK *pfn_notify)(cl_program, void *),
                                               void *user_data)
{
    REAL(clBuildProgram);
    cl_int status;
    if (injected("clBuildProgram", &status))
        return status;
    if (isStale(program))
        return CL_INVALID_PROGRAM;
    const QVector<cl_device_id> realList = realDevices(num_devices, device_list);
    return real_clBuildProgram(program, num_devices, device_list ? realList.constData() : nullptr, options,
                               pfn_notify, user_data);
}

CL_API_ENTRY cl_int CL_API_CALL clGetProgramBuildInfo(cl_program program, cl_device_id device,
                                                      cl_program_build_info param_name,
                                                      size_t param_value_size, void *param_value,
                                                      size_t *param_value_size_ret)
{
    REAL(clGetProgramBuildInfo);
    cl_int status;
    if (injected("clGetProgramBuildInfo", &status))
        return status;
    if (isStale(program))
        return CL_INVALID_PROGRAM;
    return real_clGetProgramBuildInfo(program, realDevice(device), param_name, param_value_size, param_value,
                                      param_value_size_ret);
}

CL_API_ENTRY cl_kernel CL_API_CALL clCreateKernel(cl_program program, const char *kernel_name,
                                                  cl_int *errcode_ret)
{
    REAL(clCreateKernel);
    cl_int status;
    if (injected("clCreateKernel", &status) || (isStale(program) && (status = CL_INVALID_PROGRAM))) {
        setError(errcode_ret, status);
        return nullptr;
    }
    cl_kernel kernel = real_clCreateKernel(program, kernel_name, errcode_ret);
    created(kernel, "kernel");
    return kernel;
}

CL_API_ENTRY cl_int CL_API_CALL clGetKernelWorkGroupInfo(cl_kernel kernel, cl_device_id device,
                                                         cl_kernel_work_group_info param_name,
                                                         size_t param_value_size, void *param_value,
                                                         size_t *param_value_size_ret)
{
    REAL(clGetKernelWorkGroupInfo);
    cl_int status;
    if (injected("clGetKernelWorkGroupInfo", &status))
        return status;
    if (isStale(kernel))
        return CL_INVALID_KERNEL;
    return real_clGetKernelWorkGroupInfo(kernel, realDevice(device), param_name, param_value_size,
                                         param_value, param_value_size_ret);
}

CL_API_ENTRY cl_mem CL_API_CALL clCreateBuffer(cl_context context, cl_mem_flags flags, size_t size,
                                               void *host_ptr, cl_int *errcode_ret)
{
    REAL(clCreateBuffer);
    cl_int status;
    if (injected("clCreateBuffer", &status) || (isStale(context) && (status = CL_INVALID_CONTEXT))) {
        setError(errcode_ret, status);
        return nullptr;
    }
    cl_mem buffer = real_clCreateBuffer(context, flags, size, host_ptr, errcode_ret);
    created(buffer, "mem");
    return buffer;
}

CL_API_ENTRY cl_int CL_API_CALL clSetKernelArg(cl_kernel kernel, cl_uint arg_index, size_t arg_size,
                                               const void *arg_value)
{
    REAL(clSetKernelArg);
    cl_int status;
    if (injected("clSetKernelArg", &status))
        return status;
    if (isStale(kernel))
        return CL_INVALID_KERNEL;
    if (arg_value && arg_size == sizeof(cl_mem) && isStale(*static_cast<void *const *>(arg_value)))
        return CL_INVALID_MEM_OBJECT;
    return real_clSetKernelArg(kernel, arg_index, arg_size, arg_value);
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueNDRangeKernel(cl_command_queue queue, cl_kernel kernel,
                                                       cl_uint work_dim, const size_t *global_work_offset,
                                                       const size_t *global_work_size,
                                                       const size_t *local_work_size,
                                                       cl_uint num_events, const cl_event *wait_list,
                                                       cl_event *event)
{
    REAL(clEnqueueNDRangeKernel);
    cl_int status;
    if (injected("clEnqueueNDRangeKernel", &status))
        return status;
    if (isStale(queue))
        return CL_INVALID_COMMAND_QUEUE;
    if (isStale(kernel))
        return CL_INVALID_KERNEL;
    if (anyStale(num_events, wait_list))
        return CL_INVALID_EVENT_WAIT_LIST;
    if (exceedsWorkGroupLimit(work_dim, local_work_size))
        return CL_INVALID_WORK_GROUP_SIZE;
    status = real_clEnqueueNDRangeKernel(queue, kernel, work_dim, global_work_offset, global_work_size,
                                         local_work_size, num_events, wait_list, event);
    recordEvent(event, status);
    return status;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueReadBuffer(cl_command_queue queue, cl_mem buffer, cl_bool blocking,
                                                    size_t offset, size_t size, void *ptr, cl_uint num_events,
                                                    const cl_event *wait_list, cl_event *event)
{
    REAL(clEnqueueReadBuffer);
    cl_int status;
    if (injected("clEnqueueReadBuffer", &status))
        return status;
    if (isStale(queue))
        return CL_INVALID_COMMAND_QUEUE;
    if (isStale(buffer))
        return CL_INVALID_MEM_OBJECT;
    if (anyStale(num_events, wait_list))
        return CL_INVALID_EVENT_WAIT_LIST;
    status = real_clEnqueueReadBuffer(queue, buffer, blocking, offset, size, ptr, num_events, wait_list, event);
    recordEvent(event, status);
    return status;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueWriteBuffer(cl_command_queue queue, cl_mem buffer, cl_bool blocking,
                                                     size_t offset, size_t size, const void *ptr,
                                                     cl_uint num_events, const cl_event *wait_list,
                                                     cl_event *event)
{
    REAL(clEnqueueWriteBuffer);
    cl_int status;
    if (injected("clEnqueueWriteBuffer", &status))
        return status;
    if (isStale(queue))
        return CL_INVALID_COMMAND_QUEUE;
    if (isStale(buffer))
        return CL_INVALID_MEM_OBJECT;
    if (anyStale(num_events, wait_list))
        return CL_INVALID_EVENT_WAIT_LIST;
    status = real_clEnqueueWriteBuffer(queue, buffer, blocking, offset, size, ptr, num_events, wait_list, event);
    recordEvent(event, status);
    return status;
}

CL_API_ENTRY void *CL_API_CALL clEnqueueMapBuffer(cl_command_queue queue, cl_mem buffer, cl_bool blocking,
                                                  cl_map_flags flags, size_t offset, size_t size,
                                                  cl_uint num_events, const cl_event *wait_list,
                                                  cl_event *event, cl_int *errcode_ret)
{
    REAL(clEnqueueMapBuffer);
    cl_int status;
    if (injected("clEnqueueMapBuffer", &status)
        || (isStale(queue) && (status = CL_INVALID_COMMAND_QUEUE))
        || (isStale(buffer) && (status = CL_INVALID_MEM_OBJECT))) {
        setError(errcode_ret, status);
        return nullptr;
    }
    cl_int own = CL_SUCCESS;
    void *mapped = real_clEnqueueMapBuffer(queue, buffer, blocking, flags, offset, size, num_events, wait_list,
                                           event, &own);
    setError(errcode_ret, own);
    recordEvent(event, own);
    return mapped;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueUnmapMemObject(cl_command_queue queue, cl_mem memobj, void *mapped_ptr,
                                                        cl_uint num_events, const cl_event *wait_list,
                                                        cl_event *event)
{
    REAL(clEnqueueUnmapMemObject);
    cl_int status;
    if (injected("clEnqueueUnmapMemObject", &status))
        return status;
    if (isStale(queue))
        return CL_INVALID_COMMAND_QUEUE;
    if (isStale(memobj))
        return CL_INVALID_MEM_OBJECT;
    status = real_clEnqueueUnmapMemObject(queue, memobj, mapped_ptr, num_events, wait_list, event);
    recordEvent(event, status);
    return status;
}

CL_API_ENTRY cl_int CL_API_CALL clFinish(cl_command_queue queue)
{
    REAL(clFinish);
    cl_int status;
    if (injected("clFinish", &status))
        return status;
    if (isStale(queue))
        return CL_INVALID_COMMAND_QUEUE;
    return real_clFinish(queue);
}

CL_API_ENTRY cl_int CL_API_CALL clFlush(cl_command_queue queue)
{
    REAL(clFlush);
    cl_int status;
    if (injected("clFlush", &status))
        return status;
    if (isStale(queue))
        return CL_INVALID_COMMAND_QUEUE;
    return real_clFlush(queue);
}

CL_API_ENTRY cl_int CL_API_CALL clWaitForEvents(cl_uint num_events, const cl_event *event_list)
{
    REAL(clWaitForEvents);
    cl_int status;
    if (injected("clWaitForEvents", &status))
        return status;
    if (anyStale(num_events, event_list))
        return CL_INVALID_EVENT;
    return real_clWaitForEvents(num_events, event_list);
}

CL_API_ENTRY cl_int CL_API_CALL clGetEventProfilingInfo(cl_event event, cl_profiling_info param_name,
                                                        size_t param_value_size, void *param_value,
                                                        size_t *param_value_size_ret)
{
    REAL(clGetEventProfilingInfo);
    cl_int status;
    if (injected("clGetEventProfilingInfo", &status))
        return status;
    if (isStale(event))
        return CL_INVALID_EVENT;
    return real_clGetEventProfilingInfo(event, param_name, param_value_size, param_value, param_value_size_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseEvent(cl_event event)
{
    REAL(clReleaseEvent);
    cl_int status;
    if (injected("clReleaseEvent", &status))
        return status;
    return releasing(event) ? real_clReleaseEvent(event) : CL_INVALID_EVENT;
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseKernel(cl_kernel kernel)
{
    REAL(clReleaseKernel);
    cl_int status;
    if (injected("clReleaseKernel", &status))
        return status;
    return releasing(kernel) ? real_clReleaseKernel(kernel) : CL_INVALID_KERNEL;
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseProgram(cl_program program)
{
    REAL(clReleaseProgram);
    cl_int status;
    if (injected("clReleaseProgram", &status))
        return status;
    return releasing(program) ? real_clReleaseProgram(program) : CL_INVALID_PROGRAM;
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseMemObject(cl_mem memobj)
{
    REAL(clReleaseMemObject);
    cl_int status;
    if (injected("clReleaseMemObject", &status))
        return status;
    if (!releasing(memobj))
        return CL_INVALID_MEM_OBJECT;
    ClFault::forgetSharedObject(memobj);
    return real_clReleaseMemObject(memobj);
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseCommandQueue(cl_command_queue queue)
{
    REAL(clReleaseCommandQueue);
    cl_int status;
    if (injected("clReleaseCommandQueue", &status))
        return status;
    return releasing(queue) ? real_clReleaseCommandQueue(queue) : CL_INVALID_COMMAND_QUEUE;
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseContext(cl_context context)
{
    REAL(clReleaseContext);
    cl_int status;
    if (injected("clReleaseContext", &status))
        return status;
    return releasing(context) ? real_clReleaseContext(context) : CL_INVALID_CONTEXT;
}

} // extern "C"
