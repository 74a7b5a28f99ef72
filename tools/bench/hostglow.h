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
// The filter is the view's, with its radius, threshold and highlight.
void glowFilterRows(const std::uint32_t *scene, std::uint32_t *result, int width, int height,
                    int firstRow, int endRow);

#endif
