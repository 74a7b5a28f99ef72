// The OpenCL-OpenGL sharing calls of the fault layer. The machine's driver
// has no sharing and ends the process inside them, so they never reach it.
// Without emulation they fail and count as misuse. With emulation they
// check the protocol a sharing driver enforces: a shared object is an
// ordinary OpenCL buffer of the GL buffer's size, made in a context that
// names a GL context, acquired before use and released after. No pixels
// travel between the two.
#include "clfault.h"

#include <CL/cl_gl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <QHash>

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

QHash<cl_mem, bool> &acquired()
{
    static QHash<cl_mem, bool> objects;
    return objects;
}

GLint glBufferSize(GLuint buffer)
{
    const auto proc = [](const char *name) { return glXGetProcAddressARB(reinterpret_cast<const GLubyte *>(name)); };
    const auto bind = reinterpret_cast<PFNGLBINDBUFFERPROC>(proc("glBindBuffer"));
    const auto parameter = reinterpret_cast<PFNGLGETBUFFERPARAMETERIVPROC>(proc("glGetBufferParameteriv"));
    if (!glXGetCurrentContext() || !bind || !parameter)
        return 0;
    GLint previous = 0;
    GLint size = 0;
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
    cl_int status = ClFault::injected(function);
    if (status != CL_SUCCESS)
        return status;
    if (ClFault::sharingWithoutExtension())
        return CL_INVALID_OPERATION;
    if (!queue || ClFault::isStale(queue))
        return CL_INVALID_COMMAND_QUEUE;
    for (cl_uint i = 0; i < count; ++i) {
        if (!acquired().contains(objects[i]) || ClFault::isStale(objects[i]))
            return CL_INVALID_GL_OBJECT;
        if (acquired().value(objects[i]) == acquire)
            return CL_INVALID_OPERATION;
        acquired()[objects[i]] = acquire;
    }
    return CL_SUCCESS;
}

// The devices that can share the current GL context: the machine's first,
// as a driver of the same kind as the GL driver would answer.
cl_int CL_API_CALL glContextInfo(const cl_context_properties *, cl_gl_context_info param, size_t size,
                                 void *value, size_t *returned)
{
    const cl_int status = ClFault::injected("clGetGLContextInfoKHR");
    if (status != CL_SUCCESS)
        return status;
    cl_platform_id platform = nullptr;
    cl_device_id device = nullptr;
    reinterpret_cast<decltype(&clGetPlatformIDs)>(ClFault::realFunction("clGetPlatformIDs"))(1, &platform, nullptr);
    reinterpret_cast<decltype(&clGetDeviceIDs)>(ClFault::realFunction("clGetDeviceIDs"))(
        platform, CL_DEVICE_TYPE_ALL, 1, &device, nullptr);
    if (param != CL_DEVICES_FOR_GL_CONTEXT_KHR || (value && size < sizeof device))
        return CL_INVALID_VALUE;
    if (returned)
        *returned = sizeof device;
    if (value)
        *static_cast<cl_device_id *>(value) = device;
    return CL_SUCCESS;
}

} // namespace

void ClFault::forgetSharedObject(cl_mem memobj)
{
    acquired().remove(memobj);
}

extern "C" {

CL_API_ENTRY void *CL_API_CALL clGetExtensionFunctionAddressForPlatform(cl_platform_id, const char *func_name)
{
    if (ClFault::injected(__func__) != CL_SUCCESS || qstrcmp(func_name, "clGetGLContextInfoKHR") != 0)
        return nullptr;
    return ClFault::sharingWithoutExtension() ? nullptr : reinterpret_cast<void *>(&glContextInfo);
}

CL_API_ENTRY cl_mem CL_API_CALL clCreateFromGLBuffer(cl_context context, cl_mem_flags flags, cl_GLuint bufobj,
                                                     cl_int *errcode_ret)
{
    cl_int status = ClFault::injected(__func__);
    if (status == CL_SUCCESS && ClFault::sharingWithoutExtension())
        status = CL_INVALID_OPERATION;
    if (status == CL_SUCCESS && (ClFault::isStale(context) || !ClFault::isSharingContext(context)))
        status = CL_INVALID_CONTEXT;
    const GLint size = status == CL_SUCCESS ? glBufferSize(bufobj) : 0;
    if (status == CL_SUCCESS && size <= 0)
        status = CL_INVALID_GL_OBJECT;
    if (status != CL_SUCCESS) {
        if (errcode_ret)
            *errcode_ret = status;
        return nullptr;
    }
    const auto create = reinterpret_cast<decltype(&clCreateBuffer)>(ClFault::realFunction("clCreateBuffer"));
    cl_mem buffer = create(context, flags, size_t(size), nullptr, errcode_ret);
    ClFault::created(buffer, "mem");
    if (buffer)
        acquired().insert(buffer, false);
    return buffer;
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

} // extern "C"
