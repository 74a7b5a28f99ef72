#include "sinewavework.h"

cl_int SineWaveWork::setMeshArgs(cl_kernel kernel, cl_mem mesh, cl_uint width, cl_uint height)
{
    cl_int s = clSetKernelArg(kernel, 0, sizeof mesh, &mesh);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 1, sizeof width, &width);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 2, sizeof height, &height);
    return s;
}

cl_int SineWaveWork::setWaveArgs(cl_kernel kernel, float time, float frequency)
{
    cl_int s = clSetKernelArg(kernel, 3, sizeof time, &time);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 4, sizeof frequency, &frequency);
    return s;
}

cl_int SineWaveWork::enqueue(cl_command_queue queue, cl_kernel kernel, cl_uint width, cl_uint height)
{
    const size_t global[2] = { width, height };
    return clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, nullptr, 0, nullptr, nullptr);
}
