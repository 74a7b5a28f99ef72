#ifndef CLBUILD_H
#define CLBUILD_H

#include "kernelshape.h"

#include <CL/cl.h>

#include <QByteArray>

// An OpenCL call's status and, when it failed, the call's name.
struct ClCall
{
    cl_int status = CL_SUCCESS;
    const char *name = nullptr;

    bool ok() const { return status == CL_SUCCESS; }
};

// Sets kernel arguments first, first + 1, ... to values in order; the first
// failure ends it and is returned.
template <typename... Values>
cl_int setKernelArgs(cl_kernel kernel, cl_uint first, const Values &...values)
{
    cl_int s = CL_SUCCESS;
    ((s = s == CL_SUCCESS ? clSetKernelArg(kernel, first++, sizeof values, &values) : s), ...);
    return s;
}

// A context on one device and an in-order queue on it. A failure leaves
// whatever was created for the caller to release.
ClCall openContextAndQueue(const cl_context_properties *properties, cl_device_id device,
                           cl_context &context, cl_command_queue &queue);

// Builds the kernel source sourceFile (see kernelsource.h) in shape, with
// kernelBuildOptions(shape), and creates kernelName from it. After a failed
// build, log holds the compiler's own words. moreOptions follow the
// shape's, for a kernel that takes its own defines.
ClCall buildKernel(cl_context context, cl_device_id device, const char *sourceFile,
                   const char *kernelName, KernelShape shape, cl_program &program, cl_kernel &kernel,
                   QByteArray &log, const QByteArray &moreOptions = QByteArray());

#endif
