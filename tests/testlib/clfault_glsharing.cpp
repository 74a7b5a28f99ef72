// The OpenCL-OpenGL sharing calls of the fault layer. The machine's driver
// has no sharing and ends the process inside them, so they never reach it.
// Without emulation they fail and count as misuse. With emulation a shared
// object is an ordinary OpenCL buffer of the GL buffer's size: acquiring
// copies the GL data into it, releasing copies what OpenCL may have written
// back, so a program's sharing path runs end to end on this machine.
#include "clfault.h"

#include <CL/cl_gl.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <QByteArray>
#include <QHash>

#include <dlfcn.h>

namespace ClFault { // clfault.cpp
cl_int injected(const char *function);
bool isStale(const void *handle);
void created(void *handle, const char *kind);
void *realFunction(const char *name);
bool sharingWithoutExtension();   // true, and counted, while sharing is not emulated
bool isSharingContext(cl_context context);
void forgetSharedObject(cl_mem memobj);
}

namespace {

struct SharedBuffer
{
    GLuint glBuffer;
    cl_mem_flags flags;
    bool acquired;
};

QHash<cl_mem, SharedBuffer> &sharedBuffers()
{
    static QHash<cl_mem, SharedBuffer> buffers;
    return buffers;
}

// The GL functions come from the current context's library at run time, so
// that test programs without OpenGL still link the fault layer.
struct GlCalls
{
    void (*getIntegerv)(GLenum, GLint *) = nullptr;
    PFNGLISBUFFERPROC isBuffer = nullptr;
    PFNGLBINDBUFFERPROC bindBuffer = nullptr;
    PFNGLGETBUFFERPARAMETERIVPROC getBufferParameteriv = nullptr;
    PFNGLGETBUFFERSUBDATAPROC getBufferSubData = nullptr;
    PFNGLBUFFERSUBDATAPROC bufferSubData = nullptr;
    void *(*getCurrentContext)() = nullptr;

    bool usable() const
    {
        return getIntegerv && isBuffer && bindBuffer && getBufferParameteriv && getBufferSubData
               && bufferSubData && getCurrentContext && getCurrentContext();
    }
};

const GlCalls &gl()
{
    static const GlCalls calls = [] {
        GlCalls c;
        using Lookup = void (*(*)(const GLubyte *))();
        const auto lookup = reinterpret_cast<Lookup>(dlsym(RTLD_DEFAULT, "glXGetProcAddressARB"));
        c.getCurrentContext = reinterpret_cast<void *(*)()>(dlsym(RTLD_DEFAULT, "glXGetCurrentContext"));
        auto get = [lookup](auto &function, const char *name) {
            function = lookup ? reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                           lookup(reinterpret_cast<const GLubyte *>(name)))
                              : nullptr;
        };
        get(c.getIntegerv, "glGetIntegerv");
        get(c.isBuffer, "glIsBuffer");
        get(c.bindBuffer, "glBindBuffer");
        get(c.getBufferParameteriv, "glGetBufferParameteriv");
        get(c.getBufferSubData, "glGetBufferSubData");
        get(c.bufferSubData, "glBufferSubData");
        return c;
    }();
    return calls;
}

// Binds a GL buffer to GL_ARRAY_BUFFER for one piece of work and puts the
// program's own binding back afterwards.
class ArrayBufferBinding
{
public:
    explicit ArrayBufferBinding(GLuint buffer)
    {
        gl().getIntegerv(GL_ARRAY_BUFFER_BINDING, &previous);
        gl().bindBuffer(GL_ARRAY_BUFFER, buffer);
    }
    ~ArrayBufferBinding() { gl().bindBuffer(GL_ARRAY_BUFFER, GLuint(previous)); }
    ArrayBufferBinding(const ArrayBufferBinding &) = delete;
    ArrayBufferBinding &operator=(const ArrayBufferBinding &) = delete;

private:
    GLint previous = 0;
};

GLint glBufferSize(GLuint buffer)
{
    ArrayBufferBinding binding(buffer);
    GLint size = 0;
    gl().getBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    return size;
}

template <typename Function>
Function real(const char *name)
{
    return reinterpret_cast<Function>(ClFault::realFunction(name));
}

bool validFlags(cl_mem_flags flags)
{
    return flags == CL_MEM_READ_ONLY || flags == CL_MEM_WRITE_ONLY || flags == CL_MEM_READ_WRITE;
}

// Checks a sharing command's arguments as a driver with the extension does.
cl_int checkSharedObjects(cl_command_queue queue, cl_uint count, const cl_mem *objects, cl_uint numEvents,
                          const cl_event *waitList)
{
    if (ClFault::isStale(queue))
        return CL_INVALID_COMMAND_QUEUE;
    if ((count == 0) != (objects == nullptr))
        return CL_INVALID_VALUE;
    if ((numEvents == 0) != (waitList == nullptr))
        return CL_INVALID_EVENT_WAIT_LIST;
    for (cl_uint i = 0; i < numEvents; ++i)
        if (ClFault::isStale(waitList[i]))
            return CL_INVALID_EVENT_WAIT_LIST;
    for (cl_uint i = 0; i < count; ++i) {
        if (!objects[i] || ClFault::isStale(objects[i]))
            return CL_INVALID_MEM_OBJECT;
        if (!sharedBuffers().contains(objects[i]))
            return CL_INVALID_GL_OBJECT;
    }
    return gl().usable() ? CL_SUCCESS : CL_INVALID_OPERATION;
}

// Both sharing commands: counted and failed like every call, refused
// without the extension, checked, then copy runs on every object; the
// wait list is waited for and a completed marker handed out as the event.
template <typename Copy>
cl_int sharingCommand(const char *function, cl_command_queue queue, cl_uint count, const cl_mem *objects,
                      cl_uint numEvents, const cl_event *waitList, cl_event *event, Copy copy)
{
    cl_int status = ClFault::injected(function);
    if (status != CL_SUCCESS)
        return status;
    if (ClFault::sharingWithoutExtension())
        return CL_INVALID_OPERATION;
    status = checkSharedObjects(queue, count, objects, numEvents, waitList);
    for (cl_uint i = 0; status == CL_SUCCESS && i < count; ++i)
        status = copy(objects[i], sharedBuffers()[objects[i]]);
    if (status == CL_SUCCESS && numEvents)
        status = real<decltype(&clWaitForEvents)>("clWaitForEvents")(numEvents, waitList);
    if (status != CL_SUCCESS || !event)
        return status;
    status = real<decltype(&clEnqueueMarkerWithWaitList)>("clEnqueueMarkerWithWaitList")(queue, 0, nullptr, event);
    if (status == CL_SUCCESS)
        ClFault::created(*event, "event");
    return status;
}

// The devices that can share the current GL context: the real first
// device, as a driver of the same kind as the GL driver would answer.
cl_int CL_API_CALL glContextInfo(const cl_context_properties *, cl_gl_context_info param, size_t size,
                                 void *value, size_t *returned)
{
    const cl_int status = ClFault::injected("clGetGLContextInfoKHR");
    if (status != CL_SUCCESS)
        return status;
    if (param != CL_DEVICES_FOR_GL_CONTEXT_KHR && param != CL_CURRENT_DEVICE_FOR_GL_CONTEXT_KHR)
        return CL_INVALID_VALUE;
    cl_platform_id platform = nullptr;
    cl_device_id device = nullptr;
    real<decltype(&clGetPlatformIDs)>("clGetPlatformIDs")(1, &platform, nullptr);
    real<decltype(&clGetDeviceIDs)>("clGetDeviceIDs")(platform, CL_DEVICE_TYPE_ALL, 1, &device, nullptr);
    if (returned)
        *returned = sizeof device;
    if (value && size < sizeof device)
        return CL_INVALID_VALUE;
    if (value)
        *static_cast<cl_device_id *>(value) = device;
    return CL_SUCCESS;
}

} // namespace

// A released handle may come back from the driver for an ordinary buffer.
void ClFault::forgetSharedObject(cl_mem memobj)
{
    sharedBuffers().remove(memobj);
}

extern "C" {

CL_API_ENTRY void *CL_API_CALL clGetExtensionFunctionAddressForPlatform(cl_platform_id platform,
                                                                        const char *func_name)
{
    if (ClFault::injected(__func__) != CL_SUCCESS)
        return nullptr;
    if (qstrcmp(func_name, "clGetGLContextInfoKHR") == 0)
        return ClFault::sharingWithoutExtension() ? nullptr : reinterpret_cast<void *>(&glContextInfo);
    return real<decltype(&clGetExtensionFunctionAddressForPlatform)>("clGetExtensionFunctionAddressForPlatform")(
        platform, func_name);
}

CL_API_ENTRY cl_mem CL_API_CALL clCreateFromGLBuffer(cl_context context, cl_mem_flags flags, cl_GLuint bufobj,
                                                     cl_int *errcode_ret)
{
    auto fail = [errcode_ret](cl_int status) -> cl_mem {
        if (errcode_ret)
            *errcode_ret = status;
        return nullptr;
    };
    const cl_int status = ClFault::injected(__func__);
    if (status != CL_SUCCESS)
        return fail(status);
    if (ClFault::sharingWithoutExtension())
        return fail(CL_INVALID_OPERATION);
    if (!context || ClFault::isStale(context) || !ClFault::isSharingContext(context))
        return fail(CL_INVALID_CONTEXT);
    if (!validFlags(flags))
        return fail(CL_INVALID_VALUE);
    const GLint size = gl().usable() && gl().isBuffer(bufobj) ? glBufferSize(bufobj) : 0;
    if (size <= 0)
        return fail(CL_INVALID_GL_OBJECT);
    cl_mem buffer = real<decltype(&clCreateBuffer)>("clCreateBuffer")(context, flags, size_t(size), nullptr,
                                                                     errcode_ret);
    if (buffer) {
        ClFault::created(buffer, "mem");
        sharedBuffers().insert(buffer, SharedBuffer{ bufobj, flags, false });
    }
    return buffer;
}

// Acquiring copies the GL buffer's data into the OpenCL buffer.
CL_API_ENTRY cl_int CL_API_CALL clEnqueueAcquireGLObjects(cl_command_queue queue, cl_uint num_objects,
                                                          const cl_mem *mem_objects, cl_uint num_events,
                                                          const cl_event *wait_list, cl_event *event)
{
    const auto write = real<decltype(&clEnqueueWriteBuffer)>("clEnqueueWriteBuffer");
    return sharingCommand(__func__, queue, num_objects, mem_objects, num_events, wait_list, event,
                          [&](cl_mem memobj, SharedBuffer &shared) {
                              const GLint size = glBufferSize(shared.glBuffer);
                              if (size <= 0)
                                  return CL_INVALID_GL_OBJECT;
                              QByteArray data(size, Qt::Uninitialized);
                              {
                                  ArrayBufferBinding binding(shared.glBuffer);
                                  gl().getBufferSubData(GL_ARRAY_BUFFER, 0, size, data.data());
                              }
                              const cl_int s = write(queue, memobj, CL_TRUE, 0, size_t(size), data.constData(), 0,
                                                     nullptr, nullptr);
                              if (s == CL_SUCCESS)
                                  shared.acquired = true;
                              return s;
                          });
}

// Releasing copies back what OpenCL may have written.
CL_API_ENTRY cl_int CL_API_CALL clEnqueueReleaseGLObjects(cl_command_queue queue, cl_uint num_objects,
                                                          const cl_mem *mem_objects, cl_uint num_events,
                                                          const cl_event *wait_list, cl_event *event)
{
    const auto read = real<decltype(&clEnqueueReadBuffer)>("clEnqueueReadBuffer");
    return sharingCommand(__func__, queue, num_objects, mem_objects, num_events, wait_list, event,
                          [&](cl_mem memobj, SharedBuffer &shared) {
                              const bool written = shared.acquired && shared.flags != CL_MEM_READ_ONLY;
                              shared.acquired = false;
                              const GLint size = written ? glBufferSize(shared.glBuffer) : 0;
                              if (!written || size <= 0)
                                  return written ? CL_INVALID_GL_OBJECT : CL_SUCCESS;
                              QByteArray data(size, Qt::Uninitialized);
                              // Blocking, so the data is complete once the kernels before it ran.
                              const cl_int s = read(queue, memobj, CL_TRUE, 0, size_t(size), data.data(), 0,
                                                    nullptr, nullptr);
                              if (s == CL_SUCCESS) {
                                  ArrayBufferBinding binding(shared.glBuffer);
                                  gl().bufferSubData(GL_ARRAY_BUFFER, 0, size, data.constData());
                              }
                              return s;
                          });
}

} // extern "C"
