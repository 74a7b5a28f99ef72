// The OpenCL-OpenGL sharing calls of the fault layer. The machine's driver
// has no sharing and ends the process inside them, so they never reach it:
// without emulation they fail and count as misuse.
#include "clfault.h"

#include <CL/cl_gl.h>

namespace ClFault {
void countSharingWithoutExtension();
bool sharingEmulated();
}

extern "C" {

CL_API_ENTRY cl_mem CL_API_CALL clCreateFromGLBuffer(cl_context, cl_mem_flags, cl_GLuint, cl_int *errcode_ret)
{
    ClFault::countSharingWithoutExtension();
    if (errcode_ret)
        *errcode_ret = CL_INVALID_OPERATION;
    return nullptr;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueAcquireGLObjects(cl_command_queue, cl_uint, const cl_mem *, cl_uint,
                                                          const cl_event *, cl_event *)
{
    ClFault::countSharingWithoutExtension();
    return CL_INVALID_OPERATION;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueReleaseGLObjects(cl_command_queue, cl_uint, const cl_mem *, cl_uint,
                                                          const cl_event *, cl_event *)
{
    ClFault::countSharingWithoutExtension();
    return CL_INVALID_OPERATION;
}

} // extern "C"
