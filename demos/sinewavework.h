#ifndef SINEWAVEWORK_H
#define SINEWAVEWORK_H

#include <CL/cl.h>

// The first tab's kernel work, as the view runs it and korvane-bench times
// it: one work-item per point of the mesh, written into one buffer of
// float4 positions.
struct SineWaveWork
{
    static constexpr const char *sourceFile = "simplGL.cl";
    static constexpr const char *kernelName = "sine_wave";
    static constexpr cl_uint meshWidth = 256;
    static constexpr cl_uint meshHeight = 256;
    static constexpr float frequency = 4.0f;
    static constexpr float timeStep = 0.03f;
    // How far a point may lie from the exact surface: the kernel computes
    // its sines in single precision with a short polynomial.
    static constexpr double allowedDifference = 2e-4;

    static size_t meshBytes(cl_uint width, cl_uint height)
    {
        return size_t(width) * height * sizeof(cl_float4);
    }

    // Arguments 0 to 2: the mesh buffer and its size.
    static cl_int setMeshArgs(cl_kernel kernel, cl_mem mesh, cl_uint width, cl_uint height);
    // Arguments 3 and 4, which change from frame to frame.
    static cl_int setWaveArgs(cl_kernel kernel, float time, float frequency);
    static cl_int enqueue(cl_command_queue queue, cl_kernel kernel, cl_uint width, cl_uint height);
};

#endif
