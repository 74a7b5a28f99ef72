#include "nbodywork.h"

#include "clbuild.h"

cl_int NBodyWork::setStateArgs(cl_kernel kernel, cl_mem pos, cl_mem vel, cl_mem newPos,
                               cl_mem newVel)
{
    const cl_int s = setKernelArgs(kernel, 0, pos, vel);
    return s == CL_SUCCESS ? setKernelArgs(kernel, 6, newPos, newVel) : s;
}

cl_int NBodyWork::chooseGroupSize(cl_kernel kernel, cl_device_id device, int numBodies, size_t &groupSize)
{
    size_t limit = 0;
    const cl_int s = clGetKernelWorkGroupInfo(kernel, device, CL_KERNEL_WORK_GROUP_SIZE, sizeof limit, &limit, nullptr);
    groupSize = largestGroup;
    while (groupSize > 1 && (groupSize > limit || numBodies % groupSize != 0))
        groupSize /= 2;
    return s;
}

cl_int NBodyWork::setConstantArgs(cl_kernel kernel, cl_int numBodies, size_t groupSize, KernelShape shape)
{
    const cl_int s = setKernelArgs(kernel, 2, numBodies, deltaTime, epsSqr);
    return s == CL_SUCCESS ? clSetKernelArg(kernel, 5, tileBytes(shape, groupSize), nullptr) : s;
}

cl_int NBodyWork::enqueue(cl_command_queue queue, cl_kernel kernel, int numBodies, size_t groupSize)
{
    const size_t global = size_t(numBodies);
    return clEnqueueNDRangeKernel(queue, kernel, 1, nullptr, &global, &groupSize, 0, nullptr, nullptr);
}
