#include "glowfilterwork.h"

namespace {

// The smallest multiple of the group side that is greater than size: the
// kernel lets the work-items past the image take part in the tile load.
size_t roundedPast(int size)
{
    const int side = GlowFilterWork::groupSide;
    return size_t(size / side * side + side);
}

} // namespace

cl_int GlowFilterWork::setImageArgs(cl_kernel kernel, cl_mem scene, cl_mem result, cl_int width,
                                    cl_int height)
{
    cl_int s = clSetKernelArg(kernel, 0, sizeof scene, &scene);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 1, sizeof result, &result);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 2, sizeof width, &width);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 3, sizeof height, &height);
    return s;
}

cl_int GlowFilterWork::setFilterArgs(cl_kernel kernel)
{
    cl_int s = clSetKernelArg(kernel, 4, sizeof tileWidth, &tileWidth);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 5, sizeof radius, &radius);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 6, sizeof threshold, &threshold);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 7, sizeof highlight, &highlight);
    if (s == CL_SUCCESS)
        s = clSetKernelArg(kernel, 8, tileBytes, nullptr);
    return s;
}

cl_int GlowFilterWork::enqueue(cl_command_queue queue, cl_kernel kernel, int width, int height)
{
    const size_t local[2] = { size_t(groupSide), size_t(groupSide) };
    const size_t global[2] = { roundedPast(width), roundedPast(height) };
    return clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, local, 0, nullptr, nullptr);
}
