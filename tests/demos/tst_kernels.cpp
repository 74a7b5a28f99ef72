#include "clfault.h"
#include "glowfilter.h"
#include "kernelsource.h"
#include "startcloud.h"

#include <QtTest>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

using namespace GlowFilter;

namespace {

const cl_uint MESH = 256;
const int BODIES = 1024;
const float DELTA_TIME = 0.005f;
const float EPS_SQR = 50.0f;

// The draws of the start-cloud generator, written out independently:
// 32-bit state kept in 64-bit arithmetic and reduced explicitly.
class Reference
{
public:
    int next()
    {
        x = (x * 214013u + 2531011u) % 4294967296u;
        return int((x / 65536u) % 32768u);
    }
    float value(double near, double far)
    {
        const double d1 = next();
        const double d2 = next();
        return float((1.0 - d1 / 32767.0) * near + (d2 / 32767.0) * far);
    }

private:
    std::uint64_t x = 1;
};

struct Cloud
{
    std::vector<cl_float4> pos = std::vector<cl_float4>(BODIES);
    std::vector<cl_float4> vel = std::vector<cl_float4>(BODIES);
};

Cloud generated(StartRandom &random)
{
    Cloud cloud;
    generateStartCloud(random, cloud.pos.data(), cloud.vel.data(), BODIES);
    return cloud;
}

struct Vec3
{
    double x = 0, y = 0, z = 0;
};

// One step of the N-body integration in double precision, all pairs at once.
void hostStep(std::vector<Vec3> &pos, std::vector<Vec3> &vel, const std::vector<double> &mass)
{
    const size_t n = pos.size();
    std::vector<Vec3> acc(n);
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            const double rx = pos[j].x - pos[i].x, ry = pos[j].y - pos[i].y, rz = pos[j].z - pos[i].z;
            const double inv = 1.0 / std::sqrt(rx * rx + ry * ry + rz * rz + double(EPS_SQR));
            const double s = mass[j] * inv * inv * inv;
            acc[i].x += s * rx;
            acc[i].y += s * ry;
            acc[i].z += s * rz;
        }
    }
    const double dt = DELTA_TIME;
    for (size_t i = 0; i < n; ++i) {
        pos[i].x += vel[i].x * dt + acc[i].x * 0.5 * dt * dt;
        pos[i].y += vel[i].y * dt + acc[i].y * 0.5 * dt * dt;
        pos[i].z += vel[i].z * dt + acc[i].z * 0.5 * dt * dt;
        vel[i].x += acc[i].x * dt;
        vel[i].y += acc[i].y * dt;
        vel[i].z += acc[i].z * dt;
    }
}

Image randomImage(int width, int height, quint32 seed)
{
    std::mt19937 generator(seed);
    Image image = uniform(width, height, 0);
    for (quint32 &p : image.pixels) {
        p = generator();
        // Plenty of samples on both sides of the brightness threshold.
        if ((p >> 24) < 64)
            p |= 0xe0e0e0;
    }
    return image;
}

} // namespace

// The N-body view's start cloud, and the three kernels run on the machine's
// OpenCL device as the views run them, each checked element by element
// against an independent computation on the host.
class KernelsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // First: nothing else in this program draws from the process generator.
    void startCloudGeneratorStartsFromSeedOne();
    void startCloudDrawsFollowTheClassicSequence();
    void startCloudsAreMadeFromTheDrawsInOrder();

    void sineWaveMeshMatchesTheSurfaceFormula_data();
    void sineWaveMeshMatchesTheSurfaceFormula();
    void nbodyStepsMatchTheHostIntegrationAndConserveMomentumAndMasses();

    void postprocessMatchesTheHostFilterAtEveryPixel_data();
    void postprocessMatchesTheHostFilterAtEveryPixel();
    void postprocessOfUniformImages_data();
    void postprocessOfUniformImages();
    void postprocessHaloAndBordersHaveTheirHandComputedValues();

private:
    cl_kernel build(const char *resource, const char *name);
    cl_mem buffer(size_t bytes, const void *initial = nullptr);   // released at the end
    bool run(cl_kernel kernel, cl_uint dimensions, const size_t *global, const size_t *local);
    template <typename T>
    bool read(cl_mem from, T *to, size_t count)
    {
        return clEnqueueReadBuffer(queue, from, CL_TRUE, 0, count * sizeof(T), to, 0, nullptr, nullptr)
               == CL_SUCCESS;
    }
    Image postprocess(const Image &in);

    cl_context context = nullptr;
    cl_command_queue queue = nullptr;
    QList<cl_program> programs;
    QList<cl_kernel> kernels;
    QList<cl_mem> buffers;
    bool guardKept = false;
};

void KernelsTest::initTestCase()
{
    ClFault::reset();
    cl_platform_id platform = nullptr;
    cl_device_id device = nullptr;
    QCOMPARE(clGetPlatformIDs(1, &platform, nullptr), CL_SUCCESS);
    QCOMPARE(clGetDeviceIDs(platform, CL_DEVICE_TYPE_ALL, 1, &device, nullptr), CL_SUCCESS);
    cl_int s = CL_SUCCESS;
    context = clCreateContext(nullptr, 1, &device, nullptr, nullptr, &s);
    QCOMPARE(s, CL_SUCCESS);
    queue = clCreateCommandQueue(context, device, 0, &s);
    QCOMPARE(s, CL_SUCCESS);
}

void KernelsTest::cleanupTestCase()
{
    for (cl_mem b : buffers)
        clReleaseMemObject(b);
    for (cl_kernel k : kernels)
        clReleaseKernel(k);
    for (cl_program p : programs)
        clReleaseProgram(p);
    clReleaseCommandQueue(queue);
    clReleaseContext(context);
    QCOMPARE(ClFault::liveObjects(), 0);
}

// Built as the views build it, once per kernel.
cl_kernel KernelsTest::build(const char *resource, const char *name)
{
    QByteArray source;
    if (!readKernelSource(resource, source))
        return nullptr;
    const char *text = source.constData();
    const size_t length = size_t(source.size());
    cl_int s = CL_SUCCESS;
    cl_program program = clCreateProgramWithSource(context, 1, &text, &length, &s);
    if (s != CL_SUCCESS)
        return nullptr;
    programs << program;
    if (clBuildProgram(program, 0, nullptr, "-cl-fast-relaxed-math", nullptr, nullptr) != CL_SUCCESS)
        return nullptr;
    cl_kernel kernel = clCreateKernel(program, name, &s);
    if (s == CL_SUCCESS)
        kernels << kernel;
    return s == CL_SUCCESS ? kernel : nullptr;
}

cl_mem KernelsTest::buffer(size_t bytes, const void *initial)
{
    cl_int s = CL_SUCCESS;
    const cl_mem_flags flags = CL_MEM_READ_WRITE | (initial ? CL_MEM_COPY_HOST_PTR : 0);
    cl_mem b = clCreateBuffer(context, flags, bytes, const_cast<void *>(initial), &s);
    if (s == CL_SUCCESS)
        buffers << b;
    return b;
}

bool KernelsTest::run(cl_kernel kernel, cl_uint dimensions, const size_t *global, const size_t *local)
{
    return clEnqueueNDRangeKernel(queue, kernel, dimensions, nullptr, global, local, 0, nullptr, nullptr)
           == CL_SUCCESS;
}

void KernelsTest::startCloudGeneratorStartsFromSeedOne()
{
    StartRandom &process = StartRandom::process();
    QCOMPARE(&process, &StartRandom::process());
    Reference reference;
    for (int i = 0; i < 100; ++i)
        QCOMPARE(process.next(), reference.next());
}

void KernelsTest::startCloudDrawsFollowTheClassicSequence()
{
    // The well-known first draws of this generator from seed 1.
    const int known[] = { 41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464 };
    StartRandom random;
    for (int expected : known)
        QCOMPARE(random.next(), expected);

    StartRandom seeded(1);
    Reference reference;
    for (int i = 0; i < 100000; ++i)
        QCOMPARE(seeded.next(), reference.next());
}

void KernelsTest::startCloudsAreMadeFromTheDrawsInOrder()
{
    StartRandom random(1);
    Reference reference;
    for (int start = 0; start < 2; ++start) {
        const Cloud cloud = generated(random);
        for (int i = 0; i < BODIES; ++i) {
            // x, y, z, then the mass: two draws each, in this order; at rest.
            QCOMPARE(cloud.pos[i].s[0], reference.value(3.0, 50.0));
            QCOMPARE(cloud.pos[i].s[1], reference.value(3.0, 50.0));
            QCOMPARE(cloud.pos[i].s[2], reference.value(3.0, 50.0));
            QCOMPARE(cloud.pos[i].s[3], reference.value(1.0, 1000.0));
            for (int c = 0; c < 4; ++c)
                QCOMPARE(cloud.vel[i].s[c], 0.0f);
        }
    }
    // Eight draws per body: the generator has moved on by exactly 2 x 8192.
    QCOMPARE(random.next(), reference.next());
}

void KernelsTest::sineWaveMeshMatchesTheSurfaceFormula_data()
{
    QTest::addColumn<float>("time");
    QTest::addColumn<float>("freq");
    // The corner (-1, -1) and the last column, one step short of +1, are
    // points of every row.
    QTest::newRow("start") << 0.0f << 4.0f;
    QTest::newRow("default frequency, later") << 2.55f << 4.0f;
    QTest::newRow("zero frequency") << 1.3f << 0.0f;
    QTest::newRow("highest slider frequency") << 7.25f << 10.0f;
    QTest::newRow("long run") << 51.0f << 4.0f;
    QTest::newRow("after hours of animation") << 20000.5f << 4.0f;
}

void KernelsTest::sineWaveMeshMatchesTheSurfaceFormula()
{
    QFETCH(float, time);
    QFETCH(float, freq);
    static cl_kernel kernel = build(":/cl/simplGL.cl", "sine_wave");
    std::vector<cl_float4> points(MESH * MESH);
    static cl_mem pos = buffer(points.size() * sizeof(cl_float4));
    const cl_uint width = MESH, height = MESH;
    clSetKernelArg(kernel, 0, sizeof pos, &pos);
    clSetKernelArg(kernel, 1, sizeof width, &width);
    clSetKernelArg(kernel, 2, sizeof height, &height);
    clSetKernelArg(kernel, 3, sizeof time, &time);
    clSetKernelArg(kernel, 4, sizeof freq, &freq);
    const size_t global[2] = { MESH, MESH };
    QVERIFY(kernel && pos && run(kernel, 2, global, nullptr) && read(pos, points.data(), points.size()));

    double worst = 0.0;
    for (cl_uint y = 0; y < MESH; ++y) {
        for (cl_uint x = 0; x < MESH; ++x) {
            const double u = 2.0 * x / MESH - 1.0;
            const double v = 2.0 * y / MESH - 1.0;
            const double w = std::sin(u * freq + time) * std::cos(v * freq + time) * 0.5;
            const cl_float4 &p = points[y * MESH + x];
            // u and v are exact in single precision for a grid of 256.
            if (p.s[0] != float(u) || p.s[2] != float(v) || p.s[3] != 1.0f)
                QFAIL(qPrintable(QString("point (%1, %2) is at (%3, %4, %5, %6)")
                                     .arg(x).arg(y).arg(p.s[0]).arg(p.s[1]).arg(p.s[2]).arg(p.s[3])));
            worst = std::max(worst, std::fabs(p.s[1] - w));
        }
    }
    // Fast sines and cosines; the surface is half a unit high.
    QVERIFY2(worst < 2e-4, qPrintable(QString("largest height error %1").arg(worst)));
}

void KernelsTest::nbodyStepsMatchTheHostIntegrationAndConserveMomentumAndMasses()
{
    StartRandom random(1);
    const Cloud start = generated(random);
    const int steps = 8;

    // On the device, as the view runs it: state and next state change places.
    cl_kernel kernel = build(":/cl/NBody_Kernels.cl", "nbody_sim");
    QVERIFY(kernel);
    const size_t bytes = BODIES * sizeof(cl_float4);
    cl_mem state[2][2] = { { buffer(bytes, start.pos.data()), buffer(bytes, start.vel.data()) },
                           { buffer(bytes), buffer(bytes) } };
    const cl_int bodies = BODIES;
    const size_t global = BODIES, workGroup = 256;
    const float dt = DELTA_TIME, eps = EPS_SQR;
    clSetKernelArg(kernel, 2, sizeof bodies, &bodies);
    clSetKernelArg(kernel, 3, sizeof dt, &dt);
    clSetKernelArg(kernel, 4, sizeof eps, &eps);
    clSetKernelArg(kernel, 5, workGroup * sizeof(cl_float4), nullptr);
    for (int i = 0; i < steps; ++i) {
        const int current = i % 2;
        clSetKernelArg(kernel, 0, sizeof(cl_mem), &state[current][0]);
        clSetKernelArg(kernel, 1, sizeof(cl_mem), &state[current][1]);
        clSetKernelArg(kernel, 6, sizeof(cl_mem), &state[1 - current][0]);
        clSetKernelArg(kernel, 7, sizeof(cl_mem), &state[1 - current][1]);
        QVERIFY(run(kernel, 1, &global, &workGroup));
    }
    Cloud stepped;
    QVERIFY(read(state[steps % 2][0], stepped.pos.data(), BODIES));
    QVERIFY(read(state[steps % 2][1], stepped.vel.data(), BODIES));

    std::vector<Vec3> pos(BODIES), vel(BODIES);
    std::vector<double> mass(BODIES);
    for (int i = 0; i < BODIES; ++i) {
        pos[i] = { start.pos[i].s[0], start.pos[i].s[1], start.pos[i].s[2] };
        mass[i] = start.pos[i].s[3];
    }
    for (int i = 0; i < steps; ++i)
        hostStep(pos, vel, mass);

    // Compared against the motion, not the coordinates: after eight steps
    // the bodies have moved far less than their distance from the origin.
    double largestSpeed = 0.0, largestMove = 0.0, speedError = 0.0, moveError = 0.0;
    double px = 0, py = 0, pz = 0, scale = 0;
    for (int i = 0; i < BODIES; ++i) {
        const cl_float4 &p = stepped.pos[i], &v = stepped.vel[i];
        largestSpeed = std::max(largestSpeed, std::hypot(vel[i].x, vel[i].y, vel[i].z));
        largestMove = std::max(largestMove, std::hypot(pos[i].x - start.pos[i].s[0],
                                                       pos[i].y - start.pos[i].s[1],
                                                       pos[i].z - start.pos[i].s[2]));
        speedError = std::max(speedError, std::hypot(v.s[0] - vel[i].x, v.s[1] - vel[i].y, v.s[2] - vel[i].z));
        moveError = std::max(moveError, std::hypot(p.s[0] - pos[i].x, p.s[1] - pos[i].y, p.s[2] - pos[i].z));
        // The masses stay; the momentum, zero at the start, stays zero.
        QCOMPARE(p.s[3], start.pos[i].s[3]);
        px += mass[i] * v.s[0];
        py += mass[i] * v.s[1];
        pz += mass[i] * v.s[2];
        scale += mass[i] * std::hypot(v.s[0], v.s[1], v.s[2]);
    }
    QVERIFY(largestSpeed > 1.0);
    const double tolerance = 1e-3; // relative, for fast square roots and divisions
    QVERIFY2(speedError < tolerance * largestSpeed,
             qPrintable(QString("velocity error %1 of %2").arg(speedError).arg(largestSpeed)));
    // Positions also carry single-precision rounding of coordinates near 50.
    QVERIFY2(moveError < tolerance * largestMove + 53.0 * 2e-6 * steps,
             qPrintable(QString("position error %1 of a move of %2").arg(moveError).arg(largestMove)));
    QVERIFY2(std::hypot(px, py, pz) < 1e-4 * scale,
             qPrintable(QString("momentum %1 against %2").arg(std::hypot(px, py, pz)).arg(scale)));
}

// One filter run with the view's arguments and work-groups of 16 x 16,
// into an output longer than the image by a guard band that work-items
// past the image must leave alone.
Image KernelsTest::postprocess(const Image &in)
{
    static cl_kernel kernel = build(":/cl/PostprocessGL.cl", "postprocess");
    const quint32 guard = 0xdeadbeef;
    QVector<quint32> result(in.pixels.size() + 64, guard);
    cl_mem input = buffer(size_t(in.pixels.size()) * sizeof(quint32), in.pixels.constData());
    cl_mem output = buffer(size_t(result.size()) * sizeof(quint32), result.constData());
    const cl_int w = in.width, h = in.height, tileWidth = 24, radius = 4;
    const cl_float threshold = 0.8f, highlight = 4.0f;
    const size_t local[2] = { 16, 16 };
    const size_t global[2] = { size_t(w / 16 * 16 + 16), size_t(h / 16 * 16 + 16) };
    clSetKernelArg(kernel, 0, sizeof input, &input);
    clSetKernelArg(kernel, 1, sizeof output, &output);
    clSetKernelArg(kernel, 2, sizeof w, &w);
    clSetKernelArg(kernel, 3, sizeof h, &h);
    clSetKernelArg(kernel, 4, sizeof tileWidth, &tileWidth);
    clSetKernelArg(kernel, 5, sizeof radius, &radius);
    clSetKernelArg(kernel, 6, sizeof threshold, &threshold);
    clSetKernelArg(kernel, 7, sizeof highlight, &highlight);
    clSetKernelArg(kernel, 8, 9216, nullptr);
    const bool ran = kernel && input && output && run(kernel, 2, global, local)
                     && read(output, result.data(), size_t(result.size()));
    guardKept = result.mid(in.pixels.size()) == QVector<quint32>(64, guard);
    return Image{ in.width, in.height, ran ? result.mid(0, in.pixels.size()) : QVector<quint32>() };
}

void KernelsTest::postprocessMatchesTheHostFilterAtEveryPixel_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("640 x 480") << 640 << 480;
    QTest::newRow("37 x 23") << 37 << 23;
    QTest::newRow("1 x 1") << 1 << 1;
    QTest::newRow("48 x 16, whole groups") << 48 << 16;
    QTest::newRow("3 x 50") << 3 << 50;
}

void KernelsTest::postprocessMatchesTheHostFilterAtEveryPixel()
{
    QFETCH(int, width);
    QFETCH(int, height);
    const Image in = randomImage(width, height, quint32(width * 1000 + height));
    // As lists, so that a failure names the first pixel that differs.
    QCOMPARE(postprocess(in).pixels.toList(), filtered(in).pixels.toList());
    QVERIFY2(guardKept, "a work-item past the image wrote to the output");
}

void KernelsTest::postprocessOfUniformImages_data()
{
    QTest::addColumn<quint32>("in");
    QTest::addColumn<quint32>("out");
    QTest::newRow("white stays white") << pixel(255, 255, 255) << pixel(255, 255, 255);
    QTest::newRow("middle tones are only blurred") << pixel(90, 140, 30) << pixel(90, 140, 30);
    QTest::newRow("channel sum 612 is not brightened") << pixel(204, 204, 204) << pixel(204, 204, 204);
    QTest::newRow("channel sum 613 counts four times, clamped") << pixel(205, 204, 204) << pixel(255, 255, 255);
    for (int i = 0; i < 3; ++i)   // and the alpha byte comes out 0
        QTest::newRow(qPrintable(QString("channel %1 keeps its byte").arg(i)))
            << (quint32(147) << (8 * i) | 0xff000000) << (quint32(147) << (8 * i));
}

void KernelsTest::postprocessOfUniformImages()
{
    QFETCH(quint32, in);
    QFETCH(quint32, out);
    QCOMPARE(postprocess(uniform(20, 18, in)).pixels, QVector<quint32>(20 * 18, out));
}

void KernelsTest::postprocessHaloAndBordersHaveTheirHandComputedValues()
{
    // One bright pixel: 4 x 255 / 49 within the disc, nothing outside it.
    Image in = uniform(33, 33, 0);
    in.pixels[16 * 33 + 16] = pixel(255, 255, 255);
    Image out = postprocess(in);
    QCOMPARE(out.at(16, 16), pixel(20, 20, 20));
    QCOMPARE(out.at(20, 16), pixel(20, 20, 20));
    QCOMPARE(out.at(19, 19), quint32(0));
    QCOMPARE(out.at(21, 16), quint32(0));

    // A top row of 98 on black: every disc offset reaching above the image
    // samples that row again, 29 of the 49 offsets in all; one row further
    // in, 20.
    in = uniform(24, 24, 0);
    for (int x = 0; x < 24; ++x)
        in.pixels[x] = pixel(98, 0, 0);
    out = postprocess(in);
    QCOMPARE(channel(out.at(10, 0), 2), 98 * 29 / 49);
    QCOMPARE(channel(out.at(10, 1), 2), 98 * 20 / 49);

    // In a corner the clamping works in both directions at once: the
    // quarter of the disc towards the corner, axes included, is 17 offsets.
    in = uniform(24, 24, 0);
    in.pixels[0] = pixel(0, 196, 0);
    QCOMPARE(channel(postprocess(in).at(0, 0), 1), 196 * 17 / 49);
}

QTEST_GUILESS_MAIN(KernelsTest)
#include "tst_kernels.moc"
