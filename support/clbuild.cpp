#include "clbuild.h"

#include "kernelsource.h"

namespace {

// A log of megabytes says nothing more than its start; a broken driver may
// claim any size.
const size_t maxLogBytes = 1024 * 1024;

QByteArray readBuildLog(cl_program program, cl_device_id device)
{
    size_t size = 0;
    if (clGetProgramBuildInfo(program, device, CL_PROGRAM_BUILD_LOG, 0, nullptr, &size) != CL_SUCCESS
        || size == 0 || size > maxLogBytes)
        return QByteArray();
    QByteArray log(int(size), '\0');
    if (clGetProgramBuildInfo(program, device, CL_PROGRAM_BUILD_LOG, size, log.data(), nullptr) != CL_SUCCESS)
        return QByteArray();
    return log.left(int(qstrlen(log.constData()))).trimmed();
}

} // namespace

ClCall openContextAndQueue(const cl_context_properties *properties, cl_device_id device,
                           cl_context &context, cl_command_queue &queue)
{
    cl_int s = CL_SUCCESS;
    context = clCreateContext(properties, 1, &device, nullptr, nullptr, &s);
    if (s != CL_SUCCESS)
        return { s, "clCreateContext" };
    queue = clCreateCommandQueue(context, device, 0, &s);
    return { s, "clCreateCommandQueue" };
}

ClCall buildKernel(cl_context context, cl_device_id device, const char *sourceFile,
                   const char *kernelName, KernelShape shape, cl_program &program, cl_kernel &kernel,
                   QByteArray &log, const QByteArray &moreOptions)
{
    QByteArray source;
    if (!readKernelSource(sourceFile, source))
        return { CL_INVALID_VALUE, "reading the kernel source" };
    cl_int s = CL_SUCCESS;
    const char *text = source.constData();
    const size_t length = size_t(source.size());
    program = clCreateProgramWithSource(context, 1, &text, &length, &s);
    if (s != CL_SUCCESS)
        return { s, "clCreateProgramWithSource" };
    const QByteArray options = (kernelBuildOptions(shape) + ' ' + moreOptions).trimmed();
    s = clBuildProgram(program, 0, nullptr, options.constData(), nullptr, nullptr);
    if (s != CL_SUCCESS) {
        log = readBuildLog(program, device);
        return { s, "clBuildProgram" };
    }
    kernel = clCreateKernel(program, kernelName, &s);
    return { s, "clCreateKernel" };
}
