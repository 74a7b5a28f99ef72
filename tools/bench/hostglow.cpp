#include "hostglow.h"

#include "glowfilterwork.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

// A weighted pixel holds its three channels in one 64-bit word, 21 bits
// apart. A prefix sum may carry from one field into the next, but the
// difference of two prefix sums is the exact sum of a span, and a whole
// disc's sum still fits each field (checked below), so the fields come
// apart again without loss.
constexpr int kFieldBits = 21;
constexpr std::uint64_t kFieldMask = (std::uint64_t(1) << kFieldBits) - 1;

// Channel sums whose channel sum over 765 exceeds the threshold start here,
// decided with the same division the plain filter makes.
int firstBrightSum(float threshold)
{
    int sum = 0;
    while (sum <= 765 && !(sum / 765.0 > double(threshold)))
        ++sum;
    return sum;
}

constexpr int R = GlowFilterWork::radius;

constexpr int sampleCount()
{
    int samples = 0;
    for (int dy = -R; dy <= R; ++dy)
        for (int dx = -R; dx <= R; ++dx)
            samples += dx * dx + dy * dy <= R * R;
    return samples;
}

static_assert(sampleCount() * 255 * std::uint64_t(GlowFilterWork::highlight) < (std::uint64_t(1) << kFieldBits),
              "a disc's sum fits its field");

// One source row, weighted and padded by radius copies of its edge pixels
// on each side, as a prefix sum: prefix[i] is the sum of the first i padded
// pixels. Weighting is a separate pass so that it runs in vector lanes; the
// running sum cannot.
void prefixRow(const std::uint32_t *src, std::uint64_t *__restrict prefix,
               std::uint64_t *__restrict weighted, int width, int brightFrom)
{
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = src[x];
        const std::uint32_t c0 = p & 0xffu, c1 = (p >> 8) & 0xffu, c2 = (p >> 16) & 0xffu;
        const std::uint64_t packed = std::uint64_t(c0) | (std::uint64_t(c1) << kFieldBits)
                                     | (std::uint64_t(c2) << (2 * kFieldBits));
        weighted[x] = int(c0 + c1 + c2) >= brightFrom ? packed * std::uint64_t(GlowFilterWork::highlight) : packed;
    }
    std::uint64_t sum = 0;
    prefix[0] = 0;
    std::uint64_t *out = prefix + 1;
    for (int i = 0; i < R; ++i)
        *out++ = sum += weighted[0];
    for (int x = 0; x < width; ++x)
        *out++ = sum += weighted[x];
    for (int i = 0; i < R; ++i)
        *out++ = sum += weighted[width - 1];
}

// Splits one pixel's packed disc sum into its channels' averages. Adding
// half a sample before the multiply keeps an exact quotient from rounding
// down to the integer below, and cannot lift any other one past it.
inline std::uint32_t average(std::uint64_t sum, float scale)
{
    const float s0 = float(std::uint32_t(sum & kFieldMask));
    const float s1 = float(std::uint32_t((sum >> kFieldBits) & kFieldMask));
    const float s2 = float(std::uint32_t(sum >> (2 * kFieldBits)));
    const std::uint32_t c0 = std::min(std::uint32_t((s0 + 0.5f) * scale), 255u);
    const std::uint32_t c1 = std::min(std::uint32_t((s1 + 0.5f) * scale), 255u);
    const std::uint32_t c2 = std::min(std::uint32_t((s2 + 0.5f) * scale), 255u);
    return c2 << 16 | c1 << 8 | c0;
}

// The spans of one output row, with the radius known at compile time so
// that the loop over the rows is unrolled and the loop over x runs in
// vector lanes. rows[k] is the prefix row for dy = k - R, already offset
// so that index x + R + 1 + h ends the span of half-width h around x.
void discRow(const std::uint64_t *const *rows, std::uint32_t *__restrict out, int width,
             float scale)
{
    constexpr int n = 2 * R + 1;
    int half[n];
    for (int k = 0; k < n; ++k)
        half[k] = int(std::sqrt(double(R * R - (k - R) * (k - R))));
    const std::uint64_t *hi[n], *lo[n];
    for (int k = 0; k < n; ++k) {
        hi[k] = rows[k] + R + 1 + half[k];
        lo[k] = rows[k] + R - half[k];
    }
    for (int x = 0; x < width; ++x) {
        std::uint64_t sum = 0;
        for (int k = 0; k < n; ++k)
            sum += hi[k][x] - lo[k][x];
        out[x] = average(sum, scale);
    }
}

} // namespace

void glowFilterRows(const std::uint32_t *scene, std::uint32_t *result, int width, int height,
                    int firstRow, int endRow)
{
    firstRow = std::max(firstRow, 0);
    endRow = std::min(endRow, height);
    if (width <= 0 || firstRow >= endRow)
        return;
    const int brightFrom = firstBrightSum(GlowFilterWork::threshold);
    const float scale = 1.0f / float(sampleCount());
    const int rowCount = 2 * R + 1;
    const std::size_t stride = std::size_t(width) + 2 * R + 1;

    // A ring of the 2 * R + 1 prefix rows that the current output row
    // reads: moving down one row computes one new prefix row.
    std::vector<std::uint64_t> ring(stride * rowCount), weighted(width);
    auto slot = [&](int sy) { return &ring[std::size_t((sy % rowCount + rowCount) % rowCount) * stride]; };
    auto fill = [&](int sy) {
        const int clamped = std::clamp(sy, 0, height - 1);
        prefixRow(scene + std::size_t(clamped) * width, slot(sy), weighted.data(), width, brightFrom);
    };
    for (int sy = firstRow - R; sy < firstRow + R; ++sy)
        fill(sy);

    const std::uint64_t *rows[rowCount];
    for (int y = firstRow; y < endRow; ++y) {
        fill(y + R);
        for (int k = 0; k < rowCount; ++k)
            rows[k] = slot(y - R + k);
        discRow(rows, result + std::size_t(y) * width, width, scale);
    }
}
