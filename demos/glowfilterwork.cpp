#include "glowfilterwork.h"

#include "clbuild.h"

namespace {

// Enough groups to cover count items: work-items past the frame return
// after the barriers, having helped stage the tile.
size_t roundedUp(int count, int group)
{
    return size_t((count + group - 1) / group * group);
}

} // namespace

cl_int GlowFilterWork::setImageArgs(cl_kernel kernel, cl_mem scene, cl_mem result, cl_int width,
                                    cl_int height)
{
    return setKernelArgs(kernel, 0, scene, result, width, height);
}

cl_int GlowFilterWork::chooseTile(cl_device_id device, bool &staged)
{
    cl_ulong localBytes = 0;
    const cl_int s = clGetDeviceInfo(device, CL_DEVICE_LOCAL_MEM_SIZE, sizeof localBytes, &localBytes, nullptr);
    staged = localBytes >= tileBytes;
    return s;
}

// A tile width that does not match the work-group sends the kernel down its
// plain path, which leaves local memory alone.
cl_int GlowFilterWork::setFilterArgs(cl_kernel kernel, bool staged)
{
    const cl_int s = setKernelArgs(kernel, 4, staged ? tileWidth : cl_int(0), radius, threshold, highlight);
    return s == CL_SUCCESS ? clSetKernelArg(kernel, 8, staged ? tileBytes : sizeof(cl_uint), nullptr) : s;
}

cl_int GlowFilterWork::enqueue(cl_command_queue queue, cl_kernel kernel, int width, int height)
{
    const size_t local[2] = { size_t(groupWidth), size_t(groupHeight) };
    const int runs = (width + pixelsPerItem - 1) / pixelsPerItem;
    const size_t global[2] = { roundedUp(runs, groupWidth), roundedUp(height, groupHeight) };
    return clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, local, 0, nullptr, nullptr);
}
