#ifndef GLOWFILTERWORK_H
#define GLOWFILTERWORK_H

#include "clbuild.h"
#include "kernelshape.h"

#include <CL/cl.h>

#include <cstddef>

// The second tab's kernel work, as the view runs it and korvane-bench
// times it: the glow filter over a frame of 32-bit pixels. Each work-item
// makes a run of pixels of one row; a work-group makes a block of runs and
// rows, and stages that block with a border of the filter radius in local
// memory.
struct GlowFilterWork
{
    static constexpr const char *sourceFile = "PostprocessGL.cl";
    static constexpr const char *kernelName = "postprocess";
    static constexpr cl_int radius = 4;
    static constexpr cl_float threshold = 0.8f;
    static constexpr cl_float highlight = 4.0f;

    // How one shape of the kernel covers the frame: pixelsPerItem pixels (the
    // kernel's W) a work-item, groupWidth x groupHeight work-items a group.
    struct Layout
    {
        int pixelsPerItem;
        int groupWidth;
        int groupHeight;

        // The staged row length: the block's runs and as many more as hold
        // the border on both sides. The kernel checks it against the
        // work-group before it takes its staged path.
        constexpr cl_int tileWidth() const
        {
            return pixelsPerItem * (groupWidth + (2 * radius + pixelsPerItem - 1) / pixelsPerItem);
        }
        // Two words for each staged pixel, and two for each of its column
        // sums over the block's rows.
        constexpr std::size_t tileBytes() const
        {
            return std::size_t(2 * tileWidth() * (groupHeight + 2 * radius) + 2 * tileWidth() * groupHeight)
                   * sizeof(cl_uint);
        }
    };
    // Runs of 16 pixels; 64 work-items, within the limits of small devices,
    // over a block of 64 x 16 pixels, large enough that the staged border
    // adds less than half again to the block.
    static constexpr Layout cpuLayout = { 16, 4, 16 };
    // One pixel a work-item; 256 work-items over a block of 16 x 16 pixels,
    // whose 24 x 24 tile is the smallest border for as many pixels.
    static constexpr Layout gpuLayout = { 1, 16, 16 };
    static constexpr Layout layoutOf(KernelShape shape) { return shape == KernelShape::Gpu ? gpuLayout : cpuLayout; }

    // How a launch covers the frame: its shape's layout, its work-group and
    // whether that group stages a tile in local memory.
    struct Launch
    {
        Layout layout = cpuLayout;
        size_t group[2] = { size_t(cpuLayout.groupWidth), size_t(cpuLayout.groupHeight) };
        bool staged = true;
    };

    // Arguments 0 to 3: the scene, the result and the frame's size.
    static cl_int setImageArgs(cl_kernel kernel, cl_mem scene, cl_mem result, cl_int width,
                               cl_int height);
    // The shape's staged group where the kernel runs that many work-items in
    // a group and the device's local memory holds the tile. Elsewhere the
    // kernel reads each disc straight from the frame, more slowly and to the
    // same result, in the largest group that fits: early devices guarantee
    // only 16 KiB of local memory, and a device may run as few as one
    // work-item a group.
    static ClCall chooseLaunch(cl_kernel kernel, cl_device_id device, KernelShape shape, Launch &launch);
    // Arguments 4 to 8: the filter's fixed parameters and, when staged, the tile.
    static cl_int setFilterArgs(cl_kernel kernel, const Launch &launch);
    static cl_int enqueue(cl_command_queue queue, cl_kernel kernel, const Launch &launch, int width,
                          int height);
};

#endif
