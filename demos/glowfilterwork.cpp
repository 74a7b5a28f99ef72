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

ClCall GlowFilterWork::chooseLaunch(cl_kernel kernel, cl_device_id device, KernelShape shape, Launch &launch)
{
    size_t itemLimit = 0;
    cl_ulong localBytes = 0;
    cl_int s = clGetKernelWorkGroupInfo(kernel, device, CL_KERNEL_WORK_GROUP_SIZE, sizeof itemLimit, &itemLimit,
                                        nullptr);
    if (s != CL_SUCCESS)
        return { s, "clGetKernelWorkGroupInfo" };
    s = clGetDeviceInfo(device, CL_DEVICE_LOCAL_MEM_SIZE, sizeof localBytes, &localBytes, nullptr);
    if (s != CL_SUCCESS)
        return { s, "clGetDeviceInfo" };
    const Layout layout = layoutOf(shape);
    launch = Launch{ layout, { size_t(layout.groupWidth), size_t(layout.groupHeight) }, true };
    launch.staged = itemLimit >= launch.group[0] * launch.group[1] && localBytes >= layout.tileBytes();
    // A smaller group keeps the staged group's shape as far as it can.
    while (launch.group[0] * launch.group[1] > itemLimit && launch.group[1] > 1)
        launch.group[1] /= 2;
    while (launch.group[0] * launch.group[1] > itemLimit && launch.group[0] > 1)
        launch.group[0] /= 2;
    return {};
}

// A tile width that does not match the work-group sends the kernel down its
// plain path, which leaves local memory alone.
cl_int GlowFilterWork::setFilterArgs(cl_kernel kernel, const Launch &launch)
{
    const Layout &layout = launch.layout;
    const cl_int s = setKernelArgs(kernel, 4, launch.staged ? layout.tileWidth() : cl_int(0), radius, threshold,
                                   highlight);
    return s == CL_SUCCESS ? clSetKernelArg(kernel, 8, launch.staged ? layout.tileBytes() : sizeof(cl_uint), nullptr)
                           : s;
}

cl_int GlowFilterWork::enqueue(cl_command_queue queue, cl_kernel kernel, const Launch &launch, int width,
                               int height)
{
    const int pixelsPerItem = launch.layout.pixelsPerItem;
    const int runs = (width + pixelsPerItem - 1) / pixelsPerItem;
    const size_t global[2] = { roundedUp(runs, int(launch.group[0])), roundedUp(height, int(launch.group[1])) };
    return clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, launch.group, 0, nullptr, nullptr);
}
