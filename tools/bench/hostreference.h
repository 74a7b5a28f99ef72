#ifndef HOSTREFERENCE_H
#define HOSTREFERENCE_H

#include <cstdint>

class ThreadPool;

// Host versions of the three kernels' work, for timing and for checking
// the kernels' outputs. They follow the algorithms as the views define
// them, element by element, and leave vectorisation to the compiler and
// the spreading over cores to the pool.

// Same layout as cl_float4 and the views' vertex and particle records.
struct Float4
{
    float x, y, z, w;
};
static_assert(sizeof(Float4) == 16, "a record is four packed floats");

// The sine-wave mesh: pos[y * width + x] = (u, w, v, 1) with
// u = 2x/width - 1, v = 2y/height - 1, w = sin(u*freq + time) * cos(v*freq + time) / 2.
void sineWaveReference(Float4 *pos, unsigned width, unsigned height, float time, float freq,
                       ThreadPool &pool);

// The glow filter: each pixel becomes the average of the disc of the given
// radius around it (edges clamped), where samples whose channel sum over
// 765 exceeds threshold count highlight times; alpha becomes 0.
void postprocessReference(const std::uint32_t *scene, std::uint32_t *result, int width,
                          int height, int radius, float threshold, float highlight,
                          ThreadPool &pool);

// One N-body step: all-pairs softened gravity with G = 1 and masses in w.
// The acceleration's w sums s * (m_j - m_i) like its other components, so
// newVel.w changes by that times deltaTime; newPos keeps the mass.
void nbodyReference(const Float4 *pos, const Float4 *vel, Float4 *newPos, Float4 *newVel,
                    int numBodies, float deltaTime, float epsSqr, ThreadPool &pool);

#endif
