#include "glowfilter.h"
#include "hostreference.h"
#include "threadpool.h"

#include <QtTest>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

// The host references against plain double-precision arithmetic written
// straight from the kernels' definitions, on inputs small enough to check
// every element.
class HostReferenceTest : public QObject
{
    Q_OBJECT

private slots:
    void poolRunsEveryTaskOnce_data();
    void poolRunsEveryTaskOnce();
    void poolIsReusable();

    void sineMeshFollowsTheSurfaceFormula_data();
    void sineMeshFollowsTheSurfaceFormula();

    void glowMatchesIntegerFilter_data();
    void glowMatchesIntegerFilter();
    void glowWithFractionalHighlight();
    void glowOfUniformWhiteStaysWhite();

    void nbodyStepMatchesDoubleIntegration_data();
    void nbodyStepMatchesDoubleIntegration();
};

void HostReferenceTest::poolRunsEveryTaskOnce_data()
{
    QTest::addColumn<unsigned>("threads");
    QTest::addColumn<int>("tasks");
    QTest::newRow("one thread") << 1u << 50;
    QTest::newRow("two threads, one task") << 2u << 1;
    QTest::newRow("four threads") << 4u << 1000;
    QTest::newRow("one per core") << 0u << 257;
    QTest::newRow("no tasks") << 3u << 0;
}

void HostReferenceTest::poolRunsEveryTaskOnce()
{
    QFETCH(unsigned, threads);
    QFETCH(int, tasks);
    ThreadPool pool(threads);
    QVERIFY(pool.threadCount() >= 1);
    if (threads)
        QCOMPARE(pool.threadCount(), threads);
    std::vector<std::atomic<int>> seen(size_t(tasks > 0 ? tasks : 1));
    for (auto &count : seen)
        count = 0;
    pool.run(tasks, [&](int i) { ++seen[size_t(i)]; });
    for (int i = 0; i < tasks; ++i)
        QCOMPARE(seen[size_t(i)].load(), 1);
}

void HostReferenceTest::poolIsReusable()
{
    ThreadPool pool(3);
    std::atomic<long> sum{ 0 };
    for (int round = 0; round < 200; ++round)
        pool.run(7, [&](int i) { sum += i + 1; });
    QCOMPARE(sum.load(), 200L * 28);
}

void HostReferenceTest::sineMeshFollowsTheSurfaceFormula_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("time");
    QTest::addColumn<float>("freq");
    QTest::newRow("view's grid") << 256 << 256 << 2.55f << 4.0f;
    QTest::newRow("odd sizes") << 7 << 5 << 0.3f << 3.1f;
    QTest::newRow("one point") << 1 << 1 << 1.0f << 4.0f;
    QTest::newRow("flat") << 16 << 9 << 1.3f << 0.0f;
    QTest::newRow("late") << 33 << 64 << 51.0f << 10.0f;
}

void HostReferenceTest::sineMeshFollowsTheSurfaceFormula()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, time);
    QFETCH(float, freq);
    ThreadPool pool(2);
    std::vector<Float4> mesh(size_t(width) * height, Float4{ 9, 9, 9, 9 });
    sineWaveReference(mesh.data(), unsigned(width), unsigned(height), time, freq, pool);
    double worst = 0.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = 2.0 * x / width - 1.0;
            const double v = 2.0 * y / height - 1.0;
            const double w = std::sin(u * freq + time) * std::cos(v * freq + time) * 0.5;
            const Float4 &p = mesh[size_t(y) * width + x];
            QVERIFY(std::fabs(p.x - u) < 1e-6);
            QVERIFY(std::fabs(p.z - v) < 1e-6);
            QCOMPARE(p.w, 1.0f);
            worst = std::max(worst, std::fabs(p.y - w));
        }
    }
    QVERIFY2(worst < 2e-5, qPrintable(QString::number(worst)));
}

namespace {

std::vector<std::uint32_t> hostGlow(const std::vector<std::uint32_t> &in, int width, int height, int radius,
                                    double threshold, double weight)
{
    const GlowFilter::Image image{ width, height, QVector<quint32>(in.begin(), in.end()) };
    const QVector<quint32> out = GlowFilter::filtered(image, radius, threshold, weight).pixels;
    return std::vector<std::uint32_t>(out.begin(), out.end());
}

std::vector<std::uint32_t> randomImage(int width, int height, unsigned seed)
{
    std::mt19937 generator(seed);
    std::vector<std::uint32_t> image(size_t(width) * height);
    for (std::uint32_t &p : image) {
        p = generator();
        if ((p >> 24) < 64)
            p |= 0xe0e0e0u; // plenty of bright samples
    }
    return image;
}

} // namespace

void HostReferenceTest::glowMatchesIntegerFilter_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("radius");
    QTest::newRow("view's radius") << 40 << 30 << 4;
    QTest::newRow("narrower than the disc") << 3 << 50 << 4;
    QTest::newRow("one pixel") << 1 << 1 << 4;
    QTest::newRow("radius 0") << 9 << 7 << 0;
    QTest::newRow("radius 2") << 17 << 1 << 2;
    QTest::newRow("radius 6") << 25 << 19 << 6;
}

void HostReferenceTest::glowMatchesIntegerFilter()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, radius);
    const std::vector<std::uint32_t> in = randomImage(width, height, unsigned(width * 100 + height));
    std::vector<std::uint32_t> out(in.size(), 0xdeadbeefu);
    ThreadPool pool(2);
    postprocessReference(in.data(), out.data(), width, height, radius, 0.8f, 4.0f, pool);
    const std::vector<std::uint32_t> expected = hostGlow(in, width, height, radius, 0.8, 4.0);
    for (size_t i = 0; i < in.size(); ++i)
        QVERIFY2(out[i] == expected[i], qPrintable(QString::asprintf("pixel %zu: 0x%08x, expected 0x%08x",
                                                                     i, out[i], expected[i])));
}

void HostReferenceTest::glowWithFractionalHighlight()
{
    const int width = 23, height = 21;
    const std::vector<std::uint32_t> in = randomImage(width, height, 5);
    std::vector<std::uint32_t> out(in.size());
    ThreadPool pool(2);
    postprocessReference(in.data(), out.data(), width, height, 3, 0.5f, 2.5f, pool);
    const std::vector<std::uint32_t> expected = hostGlow(in, width, height, 3, 0.5, 2.5);
    // Single-precision sums may fall on the other side of an integer.
    for (size_t i = 0; i < in.size(); ++i)
        for (int c = 0; c < 4; ++c)
            QVERIFY(std::abs(GlowFilter::channel(out[i], c) - GlowFilter::channel(expected[i], c)) <= 1);
}

void HostReferenceTest::glowOfUniformWhiteStaysWhite()
{
    const std::vector<std::uint32_t> in(12 * 10, 0xffffffffu);
    std::vector<std::uint32_t> out(in.size());
    ThreadPool pool(2);
    postprocessReference(in.data(), out.data(), 12, 10, 4, 0.8f, 4.0f, pool);
    for (std::uint32_t p : out)
        QCOMPARE(p, 0x00ffffffu);
}

void HostReferenceTest::nbodyStepMatchesDoubleIntegration_data()
{
    QTest::addColumn<int>("bodies");
    QTest::newRow("one") << 1;
    QTest::newRow("37") << 37;
    QTest::newRow("300") << 300;
}

void HostReferenceTest::nbodyStepMatchesDoubleIntegration()
{
    QFETCH(int, bodies);
    const double dt = 0.005, eps = 50.0;
    std::mt19937 generator{ unsigned(bodies) };
    std::uniform_real_distribution<float> coordinate(0.0f, 53.0f), mass(0.0f, 1001.0f),
        speed(-3.0f, 3.0f);
    const size_t count = size_t(bodies);
    std::vector<Float4> pos(count), vel(count);
    for (int i = 0; i < bodies; ++i) {
        pos[size_t(i)] = Float4{ coordinate(generator), coordinate(generator), coordinate(generator), mass(generator) };
        vel[size_t(i)] = Float4{ speed(generator), speed(generator), speed(generator), speed(generator) };
    }
    std::vector<Float4> newPos(pos.size()), newVel(pos.size());
    ThreadPool pool(2);
    nbodyReference(pos.data(), vel.data(), newPos.data(), newVel.data(), bodies, float(dt), float(eps), pool);

    double largestAcceleration = 0.0, worstAcceleration = 0.0, worstPosition = 0.0;
    for (int i = 0; i < bodies; ++i) {
        const Float4 &p = pos[size_t(i)];
        double a[4] = { 0, 0, 0, 0 };
        for (int j = 0; j < bodies; ++j) {
            const Float4 &q = pos[size_t(j)];
            const double r[4] = { double(q.x) - p.x, double(q.y) - p.y, double(q.z) - p.z, double(q.w) - p.w };
            const double inv = 1.0 / std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + eps);
            const double s = q.w * inv * inv * inv;
            for (int k = 0; k < 4; ++k)
                a[k] += s * r[k];
        }
        const Float4 &v = vel[size_t(i)];
        const double expectedPos[3] = { p.x + v.x * dt + a[0] * 0.5 * dt * dt,
                                        p.y + v.y * dt + a[1] * 0.5 * dt * dt,
                                        p.z + v.z * dt + a[2] * 0.5 * dt * dt };
        const float *gotVel = &newVel[size_t(i)].x;
        const float *gotPos = &newPos[size_t(i)].x;
        for (int k = 0; k < 4; ++k) {
            largestAcceleration = std::max(largestAcceleration, std::fabs(a[k]));
            worstAcceleration = std::max(worstAcceleration, std::fabs((gotVel[k] - (&v.x)[k]) / dt - a[k]));
        }
        for (int k = 0; k < 3; ++k)
            worstPosition = std::max(worstPosition, std::fabs(gotPos[k] - expectedPos[k]));
        // The mass is kept exactly.
        QCOMPARE(newPos[size_t(i)].w, p.w);
    }
    if (bodies > 1)
        QVERIFY(largestAcceleration > 1.0);
    // Relative to the largest acceleration: fast square roots and float sums.
    QVERIFY2(worstAcceleration <= 1e-4 * largestAcceleration + 1e-3,
             qPrintable(QString("%1 of %2").arg(worstAcceleration).arg(largestAcceleration)));
    // Coordinates near 50 carry single-precision rounding.
    QVERIFY2(worstPosition < 53.0 * 4e-7 + 1e-4 * largestAcceleration * 0.5 * dt * dt,
             qPrintable(QString::number(worstPosition)));
}

QTEST_APPLESS_MAIN(HostReferenceTest)
#include "tst_hostreference.moc"
