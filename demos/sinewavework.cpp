#include "sinewavework.h"

#include "clbuild.h"

cl_int SineWaveWork::setMeshArgs(cl_kernel kernel, cl_mem mesh, cl_uint width, cl_uint height)
{
    return setKernelArgs(kernel, 0, mesh, width, height);
}

cl_int SineWaveWork::setWaveArgs(cl_kernel kernel, float time, float frequency)
{
    return setKernelArgs(kernel, 3, time, frequency);
}

cl_int SineWaveWork::enqueue(cl_command_queue queue, cl_kernel kernel, cl_uint width, cl_uint height)
{
    const size_t global[2] = { width, height };
    return clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, nullptr, 0, nullptr, nullptr);
}
