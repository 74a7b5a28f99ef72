#include "hostreference.h"

#include "threadpool.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Enough rows or bodies per task that a task outweighs handing it out,
// and enough tasks that both cores stay busy to the end.
int taskCountFor(int items, int itemsPerTask)
{
    return std::max(1, (items + itemsPerTask - 1) / itemsPerTask);
}

} // namespace

void sineWaveReference(Float4 *pos, unsigned width, unsigned height, float time, float freq,
                       ThreadPool &pool)
{
    const int rowsPerTask = std::max(1, int(8192 / std::max(1u, width)));
    const int tasks = taskCountFor(int(height), rowsPerTask);
    pool.run(tasks, [=](int task) {
        // Locals, not the closure's members, so that the compiler sees they
        // cannot alias the mesh and vectorises the row.
        const float t = time, f = freq;
        const int w = int(width), h = int(height);
        const unsigned firstRow = unsigned(task * rowsPerTask);
        const unsigned endRow = std::min(height, firstRow + unsigned(rowsPerTask));
        for (unsigned y = firstRow; y < endRow; ++y) {
            const float v = float(y) / float(h) * 2.0f - 1.0f;
            float *row = &pos[std::size_t(y) * width].x;
            for (int x = 0; x < w; ++x) {
                const float u = float(x) / float(w) * 2.0f - 1.0f;
                const float height = std::sin(u * f + t) * std::cos(v * f + t) * 0.5f;
                row[4 * x + 0] = u;
                row[4 * x + 1] = height;
                row[4 * x + 2] = v;
                row[4 * x + 3] = 1.0f;
            }
        }
    });
}

void postprocessReference(const std::uint32_t *scene, std::uint32_t *result, int width,
                          int height, int radius, float threshold, float highlight,
                          ThreadPool &pool)
{
    if (width <= 0 || height <= 0)
        return;
    int samples = 0;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            samples += dx * dx + dy * dy <= radius * radius;

    const int rowsPerTask = 4;
    const int tasks = taskCountFor(height, rowsPerTask);
    const int padded = width + 2 * radius;
    pool.run(tasks, [=](int task) {
        // Source rows with their clamped edges spelled out, so that the
        // sample loop runs over x without a test and vectorises.
        std::vector<std::uint32_t> rows(std::size_t(2 * radius + 1) * padded);
        std::vector<float> sum0(width), sum1(width), sum2(width);
        const int firstRow = task * rowsPerTask;
        const int endRow = std::min(height, firstRow + rowsPerTask);
        for (int y = firstRow; y < endRow; ++y) {
            for (int dy = -radius; dy <= radius; ++dy) {
                const int sy = std::clamp(y + dy, 0, height - 1);
                const std::uint32_t *src = scene + std::size_t(sy) * width;
                std::uint32_t *dst = &rows[std::size_t(dy + radius) * padded];
                for (int i = 0; i < padded; ++i)
                    dst[i] = src[std::clamp(i - radius, 0, width - 1)];
            }
            std::fill(sum0.begin(), sum0.end(), 0.0f);
            std::fill(sum1.begin(), sum1.end(), 0.0f);
            std::fill(sum2.begin(), sum2.end(), 0.0f);
            for (int dy = -radius; dy <= radius; ++dy) {
                for (int dx = -radius; dx <= radius; ++dx) {
                    if (dx * dx + dy * dy > radius * radius)
                        continue;
                    const std::uint32_t *src = &rows[std::size_t(dy + radius) * padded + radius + dx];
                    float *s0 = sum0.data();
                    float *s1 = sum1.data();
                    float *s2 = sum2.data();
                    for (int x = 0; x < width; ++x) {
                        const std::uint32_t p = src[x];
                        const float c0 = float(p & 0xffu);
                        const float c1 = float((p >> 8) & 0xffu);
                        const float c2 = float((p >> 16) & 0xffu);
                        const float luminance = (c0 + c1 + c2) * 0.001307189542f;
                        const float weight = luminance > threshold ? highlight : 1.0f;
                        s0[x] += c0 * weight;
                        s1[x] += c1 * weight;
                        s2[x] += c2 * weight;
                    }
                }
            }
            std::uint32_t *out = result + std::size_t(y) * width;
            const float count = float(samples);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c0 = std::uint32_t(std::clamp(sum0[x] / count, 0.0f, 255.0f));
                const std::uint32_t c1 = std::uint32_t(std::clamp(sum1[x] / count, 0.0f, 255.0f));
                const std::uint32_t c2 = std::uint32_t(std::clamp(sum2[x] / count, 0.0f, 255.0f));
                out[x] = c2 * 65536u + c1 * 256u + c0;
            }
        }
    });
}

void nbodyReference(const Float4 *pos, const Float4 *vel, Float4 *newPos, Float4 *newVel,
                    int numBodies, float deltaTime, float epsSqr, ThreadPool &pool)
{
    if (numBodies <= 0)
        return;
    // Component arrays let the pair loop run over bodies in vector lanes.
    std::vector<float> px(numBodies), py(numBodies), pz(numBodies), pm(numBodies);
    for (int j = 0; j < numBodies; ++j) {
        px[j] = pos[j].x;
        py[j] = pos[j].y;
        pz[j] = pos[j].z;
        pm[j] = pos[j].w;
    }
    const float *xs = px.data();
    const float *ys = py.data();
    const float *zs = pz.data();
    const float *ms = pm.data();

    const int bodiesPerTask = 16;
    const int tasks = taskCountFor(numBodies, bodiesPerTask);
    pool.run(tasks, [=](int task) {
        const int first = task * bodiesPerTask;
        const int end = std::min(numBodies, first + bodiesPerTask);
        for (int i = first; i < end; ++i) {
            const Float4 p = pos[i];
            float ax = 0.0f, ay = 0.0f, az = 0.0f, aw = 0.0f;
            for (int j = 0; j < numBodies; ++j) {
                const float rx = xs[j] - p.x;
                const float ry = ys[j] - p.y;
                const float rz = zs[j] - p.z;
                const float rw = ms[j] - p.w;
                const float distSqr = rx * rx + ry * ry + rz * rz;
                const float inv = 1.0f / std::sqrt(distSqr + epsSqr);
                const float s = ms[j] * inv * inv * inv;
                ax += s * rx;
                ay += s * ry;
                az += s * rz;
                aw += s * rw;
            }
            const Float4 v = vel[i];
            const float halfDtSqr = 0.5f * deltaTime * deltaTime;
            newPos[i] = Float4{p.x + v.x * deltaTime + ax * halfDtSqr,
                               p.y + v.y * deltaTime + ay * halfDtSqr,
                               p.z + v.z * deltaTime + az * halfDtSqr, p.w};
            newVel[i] = Float4{v.x + ax * deltaTime, v.y + ay * deltaTime,
                               v.z + az * deltaTime, v.w + aw * deltaTime};
        }
    });
}
