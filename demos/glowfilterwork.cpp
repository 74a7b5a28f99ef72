#include "glowfilterwork.h"

#include "clbuild.h"

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
    return setKernelArgs(kernel, 0, scene, result, width, height);
}

cl_int GlowFilterWork::setFilterArgs(cl_kernel kernel)
{
    const cl_int s = setKernelArgs(kernel, 4, tileWidth, radius, threshold, highlight);
    return s == CL_SUCCESS ? clSetKernelArg(kernel, 8, tileBytes, nullptr) : s;
}

cl_int GlowFilterWork::enqueue(cl_command_queue queue, cl_kernel kernel, int width, int height)
{
    const size_t local[2] = { size_t(groupSide), size_t(groupSide) };
    const size_t global[2] = { roundedPast(width), roundedPast(height) };
    return clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, local, 0, nullptr, nullptr);
}
