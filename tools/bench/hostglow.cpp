#include "hostglow.h"

#include <algorithm>

// Placeholder: the direct filter.
void glowFilterRows(const std::uint32_t *scene, std::uint32_t *result, int width, int height,
                    int radius, float threshold, float highlight, int firstRow, int endRow)
{
    int samples = 0;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            samples += dx * dx + dy * dy <= radius * radius;
    for (int y = firstRow; y < endRow; ++y) {
        for (int x = 0; x < width; ++x) {
            float sum[3] = { 0, 0, 0 };
            for (int dy = -radius; dy <= radius; ++dy) {
                for (int dx = -radius; dx <= radius; ++dx) {
                    if (dx * dx + dy * dy > radius * radius)
                        continue;
                    const std::uint32_t p = scene[std::clamp(y + dy, 0, height - 1) * width + std::clamp(x + dx, 0, width - 1)];
                    const float c[3] = { float(p & 0xff), float((p >> 8) & 0xff), float((p >> 16) & 0xff) };
                    const float w = (c[0] + c[1] + c[2]) / 765.0f > threshold ? highlight : 1.0f;
                    for (int k = 0; k < 3; ++k)
                        sum[k] += c[k] * w;
                }
            }
            std::uint32_t out = 0;
            for (int k = 0; k < 3; ++k)
                out |= std::uint32_t(std::min(255.0f, sum[k] / samples)) << (8 * k);
            result[y * width + x] = out;
        }
    }
}
