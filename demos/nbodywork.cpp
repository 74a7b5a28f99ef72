#include "nbodywork.h"

cl_int NBodyWork::setStateArgs(cl_kernel kernel, cl_mem pos, cl_mem vel, cl_mem newPos,
                               cl_mem newVel)
{
    cl_int s = clSetKernelArg(kernel, 0, sizeof pos, &pos);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 1, sizeof vel, &vel);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 6, sizeof newPos, &newPos);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 7, sizeof newVel, &newVel);
    return s;
}

cl_int NBodyWork::setConstantArgs(cl_kernel kernel, cl_int numBodies)
{
    cl_int s = clSetKernelArg(kernel, 2, sizeof numBodies, &numBodies);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 3, sizeof deltaTime, &deltaTime);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 4, sizeof epsSqr, &epsSqr);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 5, groupSize * sizeof(cl_float4), nullptr);
    return s;
}

cl_int NBodyWork::enqueue(cl_command_queue queue, cl_kernel kernel, int numBodies)
{
    const size_t global = size_t(numBodies);
    return clEnqueueNDRangeKernel(queue, kernel, 1, nullptr, &global, &groupSize, 0, nullptr, nullptr);
}
