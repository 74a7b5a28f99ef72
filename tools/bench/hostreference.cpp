#include "hostreference.h"

#include "hostglow.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// Splits count items into tasks of at least grain items, enough of them
// to keep every core busy to the end, and runs work(first, end) for each.
// The calling thread takes tasks too, and the pool's threads wait asleep
// between runs: a host reference must not spin on the cores the driver's
// threads need, nor pay for more hand-over than one wake-up a thread
// (Qt Concurrent's map machinery added a tenth to the smallest figures).
template <typename Work>
void spread(int count, int grain, Work work)
{
    const int tasks = std::max(1, std::min(count / std::max(1, grain), 8 * HostReference::threadCount()));
    QAtomicInt next = 0;
    auto drain = [&] {
        for (int task = next.fetchAndAddRelaxed(1); task < tasks; task = next.fetchAndAddRelaxed(1))
            work(int(qint64(count) * task / tasks), int(qint64(count) * (task + 1) / tasks));
    };
    const int helpers = std::min(tasks, HostReference::threadCount()) - 1;
    QSemaphore done;
    for (int i = 0; i < helpers; ++i)
        QThreadPool::globalInstance()->start(QRunnable::create([&] {
            drain();
            done.release();
        }));
    drain();
    done.acquire(helpers);
}

// The fastest of a few runs of work, in seconds.
double fastestSeconds(int runs, const std::function<void()> &work)
{
    double fastest = HUGE_VAL;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        work();
        fastest = std::min(fastest, clock.nsecsElapsed() * 1e-9);
    }
    return fastest;
}

} // namespace

int HostReference::threadCount()
{
    return QThreadPool::globalInstance()->maxThreadCount();
}

void HostReference::sineWave(cl_float4 *pos, unsigned width, unsigned height, float time, float freq)
{
    spread(int(height), int(8192 / std::max(1u, width)), [=](int firstRow, int endRow) {
        // Locals, so that the compiler sees they cannot alias the mesh.
        const float t = time, f = freq;
        const int w = int(width), h = int(height);
        for (int y = firstRow; y < endRow; ++y) {
            const float v = float(y) / float(h) * 2.0f - 1.0f;
            float *row = pos[size_t(y) * width].s;
            for (int x = 0; x < w; ++x) {
                const float u = float(x) / float(w) * 2.0f - 1.0f;
                row[4 * x + 0] = u;
                row[4 * x + 1] = std::sin(u * f + t) * std::cos(v * f + t) * 0.5f;
                row[4 * x + 2] = v;
                row[4 * x + 3] = 1.0f;
            }
        }
    });
}

void HostReference::nbody(const cl_float4 *pos, const cl_float4 *vel, cl_float4 *newPos,
                          cl_float4 *newVel, int numBodies, float deltaTime, float epsSqr)
{
    // Component arrays let the pair loop run over bodies in vector lanes.
    std::vector<float> xs(numBodies), ys(numBodies), zs(numBodies), ms(numBodies);
    for (int j = 0; j < numBodies; ++j) {
        xs[j] = pos[j].s[0];
        ys[j] = pos[j].s[1];
        zs[j] = pos[j].s[2];
        ms[j] = pos[j].s[3];
    }
    spread(numBodies, 16, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            const cl_float4 p = pos[i];
            float ax = 0.0f, ay = 0.0f, az = 0.0f, aw = 0.0f;
            for (int j = 0; j < numBodies; ++j) {
                const float rx = xs[j] - p.s[0], ry = ys[j] - p.s[1], rz = zs[j] - p.s[2];
                const float d2 = rx * rx + ry * ry + rz * rz + epsSqr;
                const float s = ms[j] / (d2 * std::sqrt(d2));
                ax += s * rx;
                ay += s * ry;
                az += s * rz;
                aw += s * (ms[j] - p.s[3]);
            }
            const float a[4] = { ax, ay, az, aw };
            for (int k = 0; k < 4; ++k) {
                newPos[i].s[k] = p.s[k] + vel[i].s[k] * deltaTime + a[k] * 0.5f * deltaTime * deltaTime;
                newVel[i].s[k] = vel[i].s[k] + a[k] * deltaTime;
            }
            newPos[i].s[3] = p.s[3];
        }
    });
}

void HostReference::glow(const std::uint32_t *scene, std::uint32_t *result, int width, int height)
{
    spread(height, 8, [=](int firstRow, int endRow) {
        glowFilterRows(scene, result, width, height, firstRow, endRow);
    });
}

// Eight chains of multiply-adds on vectors as wide as the machine's vector
// registers, enough to keep its pipelines full. A wider vector type than
// the registers (sixteen floats without AVX-512) is split by the compiler
// through the stack, and the yardstick would measure that instead: a
// fraction of the real peak, under which every host figure would top it.
double HostReference::flopsPerSecond()
{
#if defined(__AVX512F__)
    typedef float Vector __attribute__((vector_size(64)));
#elif defined(__AVX__)
    typedef float Vector __attribute__((vector_size(32)));
#else
    typedef float Vector __attribute__((vector_size(16)));
#endif
    const int lanes = sizeof(Vector) / sizeof(float);
    const int chains = 8, iterations = (1 << 24) / lanes, tasks = threadCount();
    const double seconds = fastestSeconds(3, [=] {
        spread(tasks, 1, [](int first, int end) {
            for (int task = first; task < end; ++task) {
                Vector a[chains];
                for (int k = 0; k < chains; ++k)
                    a[k] = Vector{} + float(task + k) * 1e-3f;
                for (int i = 0; i < iterations; ++i)
                    for (int k = 0; k < chains; ++k)
                        a[k] = a[k] * 0.999999f + 1e-6f;
                // Kept, so that no chain can be left out.
                for (int k = 1; k < chains; ++k)
                    a[0] += a[k];
                volatile Vector kept = a[0];
                (void)kept;
            }
        });
    });
    return 2.0 * lanes * chains * iterations * tasks / seconds;
}

double HostReference::copyBytesPerSecond(size_t bytes)
{
    std::vector<char> from(bytes, 1), to(bytes);
    const double seconds = fastestSeconds(5, [&] {
        spread(int(bytes / 4096), 16, [&](int first, int end) {
            std::memcpy(&to[size_t(first) * 4096], &from[size_t(first) * 4096], size_t(end - first) * 4096);
        });
    });
    return 2.0 * double(bytes) / seconds;
}
