#ifndef HOSTGLOW_H
#define HOSTGLOW_H

#include <cstdint>

// The glow filter for rows [firstRow, endRow) of the result.
void glowFilterRows(const std::uint32_t *scene, std::uint32_t *result, int width, int height,
                    int radius, float threshold, float highlight, int firstRow, int endRow);

#endif
