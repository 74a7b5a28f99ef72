#ifndef GLOWFILTERWORK_H
#define GLOWFILTERWORK_H

#include <CL/cl.h>

// The second tab's kernel work, as the view runs it and korvane-bench
// times it: the glow filter over a frame of 32-bit pixels, in 16 x 16
// work-groups that each stage their block and a border of the filter
// radius in local memory.
struct GlowFilterWork
{
    static constexpr const char *resourcePath = ":/cl/PostprocessGL.cl";
    static constexpr const char *kernelName = "postprocess";
    static constexpr int groupSide = 16;
    static constexpr cl_int radius = 4;
    static constexpr cl_int tileWidth = groupSide + 2 * radius;
    static constexpr cl_float threshold = 0.8f;
    static constexpr cl_float highlight = 4.0f;
    static constexpr size_t tileBytes = (groupSide + 32) * (groupSide + 32) * sizeof(cl_uint);

    // Arguments 0 to 3: the scene, the result and the frame's size.
    static cl_int setImageArgs(cl_kernel kernel, cl_mem scene, cl_mem result, cl_int width,
                               cl_int height);
    // Arguments 4 to 8: the filter's fixed parameters and the tile.
    static cl_int setFilterArgs(cl_kernel kernel);
    static cl_int enqueue(cl_command_queue queue, cl_kernel kernel, int width, int height);
};

#endif
