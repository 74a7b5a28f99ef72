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

namespace ClFault {
void countSharingWithoutExtension();
bool sharingEmulated();
bool injectedCall(const char *function, cl_int *status);
bool staleHandle(const void *handle);
void createdObject(void *handle, const char *kind);
void *realFunction(const char *name);
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
        if (!lookup)
            return c;
        auto get = [lookup](const char *name) {
            return lookup(reinterpret_cast<const GLubyte *>(name));
        };
        c.getIntegerv = reinterpret_cast<void (*)(GLenum, GLint *)>(get("glGetIntegerv"));
        c.isBuffer = reinterpret_cast<PFNGLISBUFFERPROC>(get("glIsBuffer"));
        c.bindBuffer = reinterpret_cast<PFNGLBINDBUFFERPROC>(get("glBindBuffer"));
        c.getBufferParameteriv = reinterpret_cast<PFNGLGETBUFFERPARAMETERIVPROC>(get("glGetBufferParameteriv"));
        c.getBufferSubData = reinterpret_cast<PFNGLGETBUFFERSUBDATAPROC>(get("glGetBufferSubData"));
        c.bufferSubData = reinterpret_cast<PFNGLBUFFERSUBDATAPROC>(get("glBufferSubData"));
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
    if (ClFault::staleHandle(queue))
        return CL_INVALID_COMMAND_QUEUE;
    if ((count == 0) != (objects == nullptr))
        return CL_INVALID_VALUE;
    if ((numEvents == 0) != (waitList == nullptr))
        return CL_INVALID_EVENT_WAIT_LIST;
    for (cl_uint i = 0; i < numEvents; ++i)
        if (ClFault::staleHandle(waitList[i]))
            return CL_INVALID_EVENT_WAIT_LIST;
    for (cl_uint i = 0; i < count; ++i) {
        if (!objects[i] || ClFault::staleHandle(objects[i]))
            return CL_INVALID_MEM_OBJECT;
        if (!sharedBuffers().contains(objects[i]))
            return CL_INVALID_GL_OBJECT;
    }
    return gl().usable() ? CL_SUCCESS : CL_INVALID_OPERATION;
}

// Waits for the wait list and hands out a completed marker as the event.
cl_int finishCommand(cl_command_queue queue, cl_uint numEvents, const cl_event *waitList, cl_event *event)
{
    if (numEvents) {
        const cl_int s = real<decltype(&clWaitForEvents)>("clWaitForEvents")(numEvents, waitList);
        if (s != CL_SUCCESS)
            return s;
    }
    if (!event)
        return CL_SUCCESS;
    const cl_int s = real<decltype(&clEnqueueMarkerWithWaitList)>("clEnqueueMarkerWithWaitList")(
        queue, 0, nullptr, event);
    if (s == CL_SUCCESS)
        ClFault::createdObject(*event, "event");
    return s;
}

} // namespace

// A released handle may come back from the driver for an ordinary buffer.
void ClFault::forgetSharedObject(cl_mem memobj)
{
    sharedBuffers().remove(memobj);
}

extern "C" {

CL_API_ENTRY cl_mem CL_API_CALL clCreateFromGLBuffer(cl_context context, cl_mem_flags flags, cl_GLuint bufobj,
                                                     cl_int *errcode_ret)
{
    auto fail = [errcode_ret](cl_int status) -> cl_mem {
        if (errcode_ret)
            *errcode_ret = status;
        return nullptr;
    };
    cl_int status;
    if (ClFault::injectedCall("clCreateFromGLBuffer", &status))
        return fail(status);
    if (!ClFault::sharingEmulated()) {
        ClFault::countSharingWithoutExtension();
        return fail(CL_INVALID_OPERATION);
    }
    if (!context || ClFault::staleHandle(context) || !ClFault::isSharingContext(context))
        return fail(CL_INVALID_CONTEXT);
    if (!validFlags(flags))
        return fail(CL_INVALID_VALUE);
    if (!gl().usable() || !gl().isBuffer(bufobj))
        return fail(CL_INVALID_GL_OBJECT);
    const GLint size = glBufferSize(bufobj);
    if (size <= 0)
        return fail(CL_INVALID_GL_OBJECT);

    cl_mem buffer = real<decltype(&clCreateBuffer)>("clCreateBuffer")(context, flags, size_t(size), nullptr,
                                                                     errcode_ret);
    if (buffer) {
        ClFault::createdObject(buffer, "mem");
        sharedBuffers().insert(buffer, SharedBuffer{ bufobj, flags, false });
    }
    return buffer;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueAcquireGLObjects(cl_command_queue queue, cl_uint num_objects,
                                                          const cl_mem *mem_objects, cl_uint num_events,
                                                          const cl_event *wait_list, cl_event *event)
{
    cl_int status;
    if (ClFault::injectedCall("clEnqueueAcquireGLObjects", &status))
        return status;
    if (!ClFault::sharingEmulated()) {
        ClFault::countSharingWithoutExtension();
        return CL_INVALID_OPERATION;
    }
    status = checkSharedObjects(queue, num_objects, mem_objects, num_events, wait_list);
    if (status != CL_SUCCESS)
        return status;
    const auto write = real<decltype(&clEnqueueWriteBuffer)>("clEnqueueWriteBuffer");
    for (cl_uint i = 0; i < num_objects; ++i) {
        SharedBuffer &shared = sharedBuffers()[mem_objects[i]];
        const GLint size = glBufferSize(shared.glBuffer);
        if (size <= 0)
            return CL_INVALID_GL_OBJECT;
        QByteArray data(size, Qt::Uninitialized);
        {
            ArrayBufferBinding binding(shared.glBuffer);
            gl().getBufferSubData(GL_ARRAY_BUFFER, 0, size, data.data());
        }
        status = write(queue, mem_objects[i], CL_TRUE, 0, size_t(size), data.constData(), 0, nullptr, nullptr);
        if (status != CL_SUCCESS)
            return status;
        shared.acquired = true;
    }
    return finishCommand(queue, num_events, wait_list, event);
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueReleaseGLObjects(cl_command_queue queue, cl_uint num_objects,
                                                          const cl_mem *mem_objects, cl_uint num_events,
                                                          const cl_event *wait_list, cl_event *event)
{
    cl_int status;
    if (ClFault::injectedCall("clEnqueueReleaseGLObjects", &status))
        return status;
    if (!ClFault::sharingEmulated()) {
        ClFault::countSharingWithoutExtension();
        return CL_INVALID_OPERATION;
    }
    status = checkSharedObjects(queue, num_objects, mem_objects, num_events, wait_list);
    if (status != CL_SUCCESS)
        return status;
    const auto read = real<decltype(&clEnqueueReadBuffer)>("clEnqueueReadBuffer");
    for (cl_uint i = 0; i < num_objects; ++i) {
        SharedBuffer &shared = sharedBuffers()[mem_objects[i]];
        const bool written = shared.acquired && shared.flags != CL_MEM_READ_ONLY;
        shared.acquired = false;
        if (!written)
            continue;
        const GLint size = glBufferSize(shared.glBuffer);
        if (size <= 0)
            return CL_INVALID_GL_OBJECT;
        QByteArray data(size, Qt::Uninitialized);
        // Blocking, so the data is complete once the kernels before it ran.
        status = read(queue, mem_objects[i], CL_TRUE, 0, size_t(size), data.data(), 0, nullptr, nullptr);
        if (status != CL_SUCCESS)
            return status;
        ArrayBufferBinding binding(shared.glBuffer);
        gl().bufferSubData(GL_ARRAY_BUFFER, 0, size, data.constData());
    }
    return finishCommand(queue, num_events, wait_list, event);
}

} // extern "C"
