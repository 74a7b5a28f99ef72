#ifndef HOSTGLOW_H
#define HOSTGLOW_H

#include <cstdint>

// The glow filter (see hostreference.h) computed from running row sums:
// each source pixel is weighted once, each row of weighted pixels becomes a
// prefix sum, and each output pixel adds up its disc as 2 * radius + 1 row
// spans, each the difference of two prefix sums. The sums are integers, so
// the result equals the one-sample-at-a-time filter at every pixel.
//
// Computes result rows [firstRow, endRow) of a width x height frame on the
// calling thread; callers spread row ranges over threads. Each call reads
// the source rows its range needs, radius rows above and below included.
// The highlight must be a whole number small enough that a disc's sum
// fits 21 bits a channel, as the view's 4 does.
void glowFilterRows(const std::uint32_t *scene, std::uint32_t *result, int width, int height,
                    int radius, float threshold, float highlight, int firstRow, int endRow);

#endif
