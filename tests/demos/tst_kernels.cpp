#include "clfault.h"
#include "glowfilter.h"
#include "hostreference.h"
#include "oglnbody.h"
#include "oglpp.h"
#include "oglwdgt.h"
#include "viewharness.h"

#include <QtTest>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// The views keep their OpenCL objects to themselves. The test borrows the
// context and kernel to put its own buffers where the view's data would
// be: the kernel then runs in the view's own frame, with the constants,
// argument indexes and launch sizes the view chose, on data the test knows.
template <typename View>
struct Opened : View
{
    using View::View;
    using DemoView::context;
    using DemoView::kernel;
    using DemoView::queue;
};

template <typename View>
struct Borrowed
{
    explicit Borrowed(const QSize &size = QSize(320, 240)) : harness(size) { view->setupOpenCl(); }
    // Here, before the harness member takes the view and its context away.
    ~Borrowed()
    {
        for (cl_mem b : buffers)
            clReleaseMemObject(b);
    }
    template <typename T>
    cl_mem buffer(int count, const T *initial = nullptr)
    {
        const cl_mem_flags flags = CL_MEM_READ_WRITE | (initial ? CL_MEM_COPY_HOST_PTR : 0);
        buffers << clCreateBuffer(view->context, flags, count * sizeof(T), const_cast<T *>(initial), nullptr);
        return buffers.last();
    }
    void bind(cl_uint index, cl_mem b) { clSetKernelArg(view->kernel, index, sizeof b, &b); }
    template <typename T>
    QVector<T> read(cl_mem from, int count)
    {
        QVector<T> out(count);
        clEnqueueReadBuffer(view->queue, from, CL_TRUE, 0, count * sizeof(T), out.data(), 0, nullptr, nullptr);
        return out;
    }

    ViewHarness<Opened<View>> harness;
    Opened<View> *const view = harness.view;
    QVector<cl_mem> buffers;
};

} // namespace

// The three kernels as their views run them, each compared element by
// element with plain double-precision arithmetic on the host.
class KernelsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { ClFault::reset(); }
    // First: the start cloud is the process generator's first.
    void nbodyViewStepsTheSeedOneCloudAsDoubleIntegrationDoes_data();
    void nbodyViewStepsTheSeedOneCloudAsDoubleIntegrationDoes();
    void sineWaveViewMeshFollowsTheSurfaceFormula_data();
    void sineWaveViewMeshFollowsTheSurfaceFormula();
    void postprocessViewMatchesTheDirectFilterAtEveryPixel_data();
    void postprocessViewMatchesTheDirectFilterAtEveryPixel();
    void cleanupTestCase() { QCOMPARE(ClFault::liveObjects(), 0); }
};

void KernelsTest::nbodyViewStepsTheSeedOneCloudAsDoubleIntegrationDoes_data()
{
    QTest::addColumn<int>("groupLimit");   // work-items a group, 0 for the device's own
    QTest::newRow("the device's own groups") << 0;
    QTest::newRow("groups of 8, fewer than a tile's lane group") << 8;
}

void KernelsTest::nbodyViewStepsTheSeedOneCloudAsDoubleIntegrationDoes()
{
    QFETCH(int, groupLimit);
    ClFault::limitWorkGroupSize(size_t(groupLimit));
    // Draws of x = x * 214013 + 2531011 (mod 2^32), (x >> 16) & 0x7fff from
    // x = 1; two make each of x, y, z in [0, 53] and the mass in [0, 1001].
    const int bodies = 1024, steps = 8;
    std::uint64_t x = 1;
    auto draw = [&x] {
        x = (x * 214013 + 2531011) % 4294967296u;
        return double(x / 65536 % 32768) / 32767.0;
    };
    std::vector<cl_float4> start(bodies), rest(bodies);
    for (int i = 0; i < bodies * 4; ++i) {
        const double first = draw();
        start[i / 4].s[i % 4] = float((1.0 - first) * (i % 4 < 3 ? 3.0 : 1.0) + draw() * (i % 4 < 3 ? 50.0 : 1000.0));
    }
    Borrowed<oglnbody> nbody;
    QVERIFY(nbody.view->isReady());
    QCOMPARE(nbody.view->bodyCount(), bodies);
    for (int i = 0; i < bodies * 4 && groupLimit == 0; ++i)
        QCOMPARE(nbody.view->startPositions()[i / 4].s[i % 4], start[i / 4].s[i % 4]);

    // Each frame steps the test's state into the test's next state.
    cl_mem state[2][2] = { { nbody.buffer(bodies, start.data()), nbody.buffer(bodies, rest.data()) },
                           { nbody.buffer<cl_float4>(bodies), nbody.buffer<cl_float4>(bodies) } };
    for (int i = 0; i < steps; ++i) {
        for (cl_uint k = 0; k < 2; ++k) {
            nbody.bind(k, state[i % 2][k]);
            nbody.bind(6 + k, state[1 - i % 2][k]);
        }
        nbody.view->animate();
    }
    const QVector<cl_float4> pos = nbody.read<cl_float4>(state[steps % 2][0], bodies);
    const QVector<cl_float4> vel = nbody.read<cl_float4>(state[steps % 2][1], bodies);

    // All pairs, G = 1, squared softening 50, time step 0.005, from rest.
    using Vectors = std::vector<std::array<double, 3>>;
    auto integrate = [bodies](const cl_float4 *from, int count, Vectors &p, Vectors &v) {
        const double dt = 0.005;
        p.assign(bodies, {});
        v.assign(bodies, {});
        for (int i = 0; i < bodies; ++i)
            p[i] = { from[i].s[0], from[i].s[1], from[i].s[2] };
        for (int step = 0; step < count; ++step) {
            Vectors a(bodies);
            for (int i = 0; i < bodies; ++i) {
                for (int j = 0; j < bodies; ++j) {
                    const double r[3] = { p[j][0] - p[i][0], p[j][1] - p[i][1], p[j][2] - p[i][2] };
                    const double d2 = r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + 50.0;
                    for (int k = 0; k < 3; ++k)
                        a[i][k] += from[j].s[3] / (d2 * std::sqrt(d2)) * r[k];
                }
            }
            for (int i = 0; i < bodies; ++i) {
                for (int k = 0; k < 3; ++k) {
                    p[i][k] += v[i][k] * dt + a[i][k] * 0.5 * dt * dt;
                    v[i][k] += a[i][k] * dt;
                }
            }
        }
    };
    Vectors p, v;
    integrate(start.data(), steps, p, v);

    // Measured against the motion, since eight steps move a body far less
    // than its distance from the origin; the single-precision rounding of
    // coordinates up to 53 is allowed for separately.
    double speed = 0, move = 0, speedError = 0, moveError = 0;
    for (int n = 0; n < 3 * bodies; ++n) {
        const int i = n / 3, k = n % 3;
        // Finite first: max() would pass a NaN over. The mass stays.
        QVERIFY(std::isfinite(pos[i].s[k]) && std::isfinite(vel[i].s[k]) && pos[i].s[3] == start[i].s[3]);
        speed = std::max(speed, std::fabs(v[i][k]));
        move = std::max(move, std::fabs(p[i][k] - start[i].s[k]));
        speedError = std::max(speedError, std::fabs(vel[i].s[k] - v[i][k]));
        moveError = std::max(moveError, std::fabs(pos[i].s[k] - p[i][k]));
    }
    QVERIFY(speed > 1.0);
    QVERIFY2(speedError < NBodyWork::allowedVelocityDifference(speed) && moveError < NBodyWork::allowedDifference(move, steps),
             qPrintable(QString("velocity off by %1 of %2, position by %3 of a move of %4")
                            .arg(speedError).arg(speed).arg(moveError).arg(move)));

    // The view's own frames: each step reads the state the one before wrote,
    // and the view draws the newest positions.
    Borrowed<oglnbody> own;
    own.view->animate();
    own.view->animate();
    QCOMPARE(own.view->frameCount, 3);   // the start's first frame and two ticks
    integrate(own.view->startPositions(), 3, p, v);
    move = moveError = 0;
    for (int n = 0; n < 3 * bodies; ++n) {
        move = std::max(move, std::fabs(p[n / 3][n % 3] - own.view->startPositions()[n / 3].s[n % 3]));
        moveError = std::max(moveError, std::fabs(own.view->drawnPositions()[n / 3].s[n % 3] - p[n / 3][n % 3]));
    }
    QVERIFY2(moveError < NBodyWork::allowedDifference(move, 3),
             qPrintable(QString("drawn position off by %1 of a move of %2").arg(moveError).arg(move)));
}

void KernelsTest::sineWaveViewMeshFollowsTheSurfaceFormula_data()
{
    QTest::addColumn<float>("animTime");
    QTest::addColumn<float>("freq");
    QTest::addColumn<float>("timeStep");
    // Rows at frequency 4 and step 0.03 leave the view's own, which must be those.
    QTest::newRow("first tick") << 0.0f << 4.0f << 0.03f;
    QTest::newRow("zero frequency") << 1.3f << 0.0f << 0.03f;
    QTest::newRow("highest slider frequency, fastest step") << 7.25f << 10.0f << 0.496f;
    QTest::newRow("after hours of animation") << 20000.5f << 4.0f << 0.03f;
}

void KernelsTest::sineWaveViewMeshFollowsTheSurfaceFormula()
{
    QFETCH(float, animTime);
    QFETCH(float, freq);
    QFETCH(float, timeStep);
    const int mesh = 256;
    Borrowed<OGLWdgt> sine;
    QVERIFY(sine.view->isReady());
    sine.view->animTime = animTime;
    if (freq != 4.0f)
        sine.view->freq = freq;
    if (timeStep != 0.03f)
        sine.view->timeStep = timeStep;
    const cl_mem points = sine.buffer<cl_float4>(mesh * mesh);
    sine.bind(0, points);
    sine.view->animate();
    const QVector<cl_float4> got = sine.read<cl_float4>(points, mesh * mesh);

    // A tick adds the step in single precision. u and v are exact in single
    // precision on a grid of 256, the heights within reach of fast sines.
    const double time = float(animTime + timeStep);
    double worst = 0.0;
    for (int i = 0; i < mesh * mesh; ++i) {
        const double u = 2.0 * (i % mesh) / mesh - 1.0, v = 2.0 * (i / mesh) / mesh - 1.0;
        const double w = std::sin(u * freq + time) * std::cos(v * freq + time) * 0.5;
        const cl_float4 &p = got[i];
        QVERIFY2(p.s[0] == float(u) && std::isfinite(p.s[1]) && p.s[2] == float(v) && p.s[3] == 1.0f,
                 qPrintable(QString("point %1").arg(i)));
        worst = std::max(worst, std::fabs(p.s[1] - w));
    }
    QVERIFY2(worst < SineWaveWork::allowedDifference, qPrintable(QString("largest height error %1").arg(worst)));
}

void KernelsTest::postprocessViewMatchesTheDirectFilterAtEveryPixel_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qint64>("fill"); // one pixel everywhere, or -1 for noise
    QTest::addColumn<int>("groupLimit");   // work-items a group, 0 for the device's own
    QTest::addColumn<int>("localKiB");     // 16 is too little for the tile, 0 for the device's own
    QTest::newRow("320 x 240") << QSize(320, 240) << qint64(-1) << 0 << 0;
    QTest::newRow("37 x 23") << QSize(37, 23) << qint64(-1) << 0 << 0;
    QTest::newRow("1 x 1") << QSize(1, 1) << qint64(-1) << 0 << 0;
    QTest::newRow("3 x 50, narrower than the disc") << QSize(3, 50) << qint64(-1) << 0 << 0;
    QTest::newRow("channel sum 612 is not highlighted") << QSize(20, 18) << qint64(0xffcccccc) << 0 << 0;
    QTest::newRow("channel sum 613 is, and clamps") << QSize(20, 18) << qint64(0xffcdcccc) << 0 << 0;
    QTest::newRow("37 x 23 without a tile") << QSize(37, 23) << qint64(-1) << 0 << 16;
    QTest::newRow("37 x 23 in groups of 16") << QSize(37, 23) << qint64(-1) << 16 << 16;
}

void KernelsTest::postprocessViewMatchesTheDirectFilterAtEveryPixel()
{
    QFETCH(QSize, size);
    QFETCH(qint64, fill);
    QFETCH(int, groupLimit);
    QFETCH(int, localKiB);
    const int count = size.width() * size.height();
    GlowFilter::Image in{ size.width(), size.height(), QVector<quint32>(count, quint32(fill)) };
    std::mt19937 noise{ quint32(count) };
    for (quint32 &p : in.pixels) {
        // Plenty of samples on both sides of the brightness threshold.
        if (fill < 0 && ((p = noise()) >> 24) < 64)
            p |= 0xe0e0e0;
    }
    ClFault::limitWorkGroupSize(size_t(groupLimit));
    ClFault::limitLocalMemory(cl_ulong(localKiB) * 1024);
    Borrowed<OGLPP> pp(size);
    QVERIFY(pp.view->isReady());

    // The next frame filters the test's image into the test's buffer, whose
    // tail past the image the work-items past the image must leave alone.
    QVector<quint32> out(count + 64, 0xdeadbeef);
    const cl_mem result = pp.buffer(out.size(), out.constData());
    pp.bind(0, pp.buffer(count, in.pixels.constData()));
    pp.bind(1, result);
    pp.view->updateGL();
    out = pp.read<quint32>(result, out.size());
    // As lists, so that a failure names the first pixel that differs.
    const QList<quint32> expected = GlowFilter::filtered(in).pixels.toList();
    QCOMPARE(out.mid(0, count).toList(), expected);
    QCOMPARE(out.mid(count), QVector<quint32>(64, 0xdeadbeef));

    // The benchmark's host filter has index arithmetic of its own: prefix
    // sums of edge-padded rows, row ranges spread over threads.
    HostReference::glow(in.pixels.constData(), out.data(), size.width(), size.height());
    QCOMPARE(out.mid(0, count).toList(), expected);
}

QTEST_MAIN(KernelsTest)
#include "tst_kernels.moc"
