#ifndef HOSTREFERENCE_H
#define HOSTREFERENCE_H

#include <CL/cl.h>

#include <cstdint>

// The views' kernel work done on the host, spread over every core, for
// timing beside the kernels and for checking their outputs.
namespace HostReference {

int threadCount();

// pos[y * width + x] = (u, sin(u*freq + time) * cos(v*freq + time) / 2, v, 1),
// u = 2x/width - 1, v = 2y/height - 1.
void sineWave(cl_float4 *pos, unsigned width, unsigned height, float time, float freq);

// One step of all-pairs softened gravity (G = 1, masses in w); the
// acceleration's w sums s * (m_j - m_i) as the kernel's does.
void nbody(const cl_float4 *pos, const cl_float4 *vel, cl_float4 *newPos, cl_float4 *newVel,
           int numBodies, float deltaTime, float epsSqr);

// The view's glow filter by row prefix sums, identical to the direct filter.
void glow(const std::uint32_t *scene, std::uint32_t *result, int width, int height);

// The host's own yardsticks: floating-point operations a second in chains
// of multiply-adds, and bytes a second (read plus written) in a copy of
// the given size.
double flopsPerSecond();
double copyBytesPerSecond(size_t bytes);

} // namespace HostReference

#endif
