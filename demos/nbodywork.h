#ifndef NBODYWORK_H
#define NBODYWORK_H

#include "kernelshape.h"

#include <CL/cl.h>

#include <algorithm>

// The third tab's kernel work, as the view runs it and korvane-bench times
// it: one step of all-pairs gravity, one work-item per body, reading one
// pair of state buffers and writing the other. The start state is the
// cloud of startcloud.h.
struct NBodyWork
{
    static constexpr const char *sourceFile = "NBody_Kernels.cl";
    static constexpr const char *kernelName = "nbody_sim";
    static constexpr int bodies = 1024;
    // The work-group, and so the tile of bodies staged at a time, unless
    // the device allows fewer work-items.
    static constexpr size_t largestGroup = 256;
    // Bodies of the tile a work-item takes at a time, in vector lanes: the
    // kernel's LANES in each shape.
    static constexpr size_t lanes(KernelShape shape) { return shape == KernelShape::Gpu ? 1 : 16; }
    // The tile staged in local memory: one body a work-item, and at least
    // one lane group. The body count must be a multiple of it.
    static constexpr size_t tileBytes(KernelShape shape, size_t groupSize)
    {
        return std::max(groupSize, lanes(shape)) * sizeof(cl_float4);
    }
    static constexpr float deltaTime = 0.005f;
    static constexpr float epsSqr = 50.0f;

    // How far a body may lie from exact arithmetic after steps steps that
    // moved it at most move: a thousandth of the move, and the single-
    // precision rounding of coordinates as large as the cloud's (53).
    static double allowedDifference(double move, int steps) { return 1e-3 * move + 53.0 * 2e-6 * steps; }
    // And its velocity: a thousandth of the largest speed.
    static double allowedVelocityDifference(double speed) { return 1e-3 * speed; }

    // Arguments 0 and 1 are the state a step reads, 6 and 7 the state it writes.
    static cl_int setStateArgs(cl_kernel kernel, cl_mem pos, cl_mem vel, cl_mem newPos,
                               cl_mem newVel);
    // The largest power of two up to largestGroup that the device runs as
    // one work-group of this kernel and that divides numBodies. The
    // kernel's limit, not the device's: registers a work-item needs can
    // hold it lower.
    static cl_int chooseGroupSize(cl_kernel kernel, cl_device_id device, int numBodies, size_t &groupSize);
    // Arguments 2 to 5: the body count, the constants and the tile.
    static cl_int setConstantArgs(cl_kernel kernel, cl_int numBodies, size_t groupSize, KernelShape shape);
    static cl_int enqueue(cl_command_queue queue, cl_kernel kernel, int numBodies, size_t groupSize);
};

#endif
