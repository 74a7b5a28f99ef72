#ifndef STARTCLOUD_H
#define STARTCLOUD_H

#include <CL/cl.h>

#include <cstdint>

// The program's own source of draws in 0..32767: the classic linear
// congruential generator x = x * 214013 + 2531011 (mod 2^32), draw =
// (x >> 16) & 0x7FFF. The C library's rand() differs between platforms in
// both range and sequence; this one gives the same clouds everywhere.
class StartRandom
{
public:
    static const int MAX_DRAW = 32767;

    explicit StartRandom(std::uint32_t seed = 1) : state(seed) {}

    int next()
    {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 0x7FFF);
    }

    // The one generator of the process, seeded with 1 on first use. Every
    // start continues it, so the first cloud after launch is always the
    // same and each further start gets a new one.
    static StartRandom &process();

private:
    std::uint32_t state;
};

// Fills count particles, index 0 upward, with eight draws each: x, y, z in
// [0, 53] and the mass (w) in [0, 1001], each from two draws (a trapezoid
// rather than a flat distribution); every velocity is zero.
void generateStartCloud(StartRandom &random, cl_float4 *positions, cl_float4 *velocities, int count);

#endif
