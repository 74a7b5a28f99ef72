#ifndef GLOWFILTERWORK_H
#define GLOWFILTERWORK_H

#include "clbuild.h"

#include <CL/cl.h>

#include <cstddef>

// The second tab's kernel work, as the view runs it and korvane-bench
// times it: the glow filter over a frame of 32-bit pixels. Each work-item
// makes a run of pixelsPerItem pixels of one row; a work-group of
// groupWidth x groupHeight work-items makes a block pixelsPerItem *
// groupWidth pixels wide and groupHeight rows tall, and stages that block
// with a border of the filter radius in local memory.
struct GlowFilterWork
{
    static constexpr const char *sourceFile = "PostprocessGL.cl";
    static constexpr const char *kernelName = "postprocess";
    static constexpr int pixelsPerItem = 16;
    // 64 work-items, within the limits of small devices, over a block of
    // 64 x 16 pixels, large enough that the staged border adds less than
    // half again to the block.
    static constexpr int groupWidth = 4;
    static constexpr int groupHeight = 16;
    static constexpr cl_int radius = 4;
    // The staged row length: the block's runs and one more, which holds the
    // border on both sides. The kernel checks it against the work-group
    // before it takes its staged path.
    static constexpr cl_int tileWidth = pixelsPerItem * (groupWidth + 1);
    static_assert(2 * radius <= pixelsPerItem, "the extra run holds both borders");
    static constexpr cl_float threshold = 0.8f;
    static constexpr cl_float highlight = 4.0f;
    // Two words for each staged pixel, and two for each of its column sums
    // over the block's rows.
    static constexpr std::size_t tileBytes =
        std::size_t(2 * tileWidth * (groupHeight + 2 * radius) + 2 * tileWidth * groupHeight)
        * sizeof(cl_uint);

    // How a launch covers the frame: its work-group and whether that group
    // stages a tile in local memory.
    struct Launch
    {
        size_t group[2] = { groupWidth, groupHeight };
        bool staged = true;
    };

    // Arguments 0 to 3: the scene, the result and the frame's size.
    static cl_int setImageArgs(cl_kernel kernel, cl_mem scene, cl_mem result, cl_int width,
                               cl_int height);
    // The staged group where the kernel runs 64 work-items in a group and the
    // device's local memory holds the tile. Elsewhere the kernel reads each
    // disc straight from the frame, more slowly and to the same result, in
    // the largest group that fits: early devices guarantee only 16 KiB of
    // local memory, and a device may run as few as one work-item a group.
    static ClCall chooseLaunch(cl_kernel kernel, cl_device_id device, Launch &launch);
    // Arguments 4 to 8: the filter's fixed parameters and, when staged, the tile.
    static cl_int setFilterArgs(cl_kernel kernel, const Launch &launch);
    static cl_int enqueue(cl_command_queue queue, cl_kernel kernel, const Launch &launch, int width,
                          int height);
};

#endif
