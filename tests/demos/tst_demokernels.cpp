#include "clfault.h"
#include "kernelsource.h"
#include "startcloud.h"

#include <QtTest>

#include <cmath>
#include <vector>

// The two demonstration kernels run on the machine's OpenCL device and are
// checked, element by element, against the same mathematics done on the
// host in double precision.
class DemoKernelsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void meshMatchesTheSurfaceFormula_data();
    void meshMatchesTheSurfaceFormula();
    void meshCornerIsAtMinusOneMinusOne();
    void zeroFrequencyGivesAFlatGridMovingUpAndDown();

    void nbodyStepsMatchTheHostIntegration();
    void nbodyStepsConserveMomentumAndMasses();
    void nbodyStepDoesNotDependOnTheWorkGroupSize();

private:
    cl_kernel build(const char *resource, const char *name);
    std::vector<cl_float4> mesh(float time, float freq);
    cl_mem buffer(size_t bytes, const void *initial = nullptr);

    struct Cloud
    {
        std::vector<cl_float4> pos;
        std::vector<cl_float4> vel;
    };
    Cloud deviceSteps(const Cloud &start, int steps, size_t workGroup);

    cl_context context = nullptr;
    cl_device_id device = nullptr;
    cl_command_queue queue = nullptr;
    QList<cl_program> programs;
    QList<cl_kernel> kernels;
    QList<cl_mem> buffers;
};

namespace {

const cl_uint MESH = 256;
const int BODIES = 1024;
const float DELTA_TIME = 0.005f;
const float EPS_SQR = 50.0f;

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

} // namespace

void DemoKernelsTest::initTestCase()
{
    ClFault::reset();
    cl_platform_id platform = nullptr;
    QCOMPARE(clGetPlatformIDs(1, &platform, nullptr), CL_SUCCESS);
    QCOMPARE(clGetDeviceIDs(platform, CL_DEVICE_TYPE_ALL, 1, &device, nullptr), CL_SUCCESS);
    cl_int s = CL_SUCCESS;
    context = clCreateContext(nullptr, 1, &device, nullptr, nullptr, &s);
    QCOMPARE(s, CL_SUCCESS);
    queue = clCreateCommandQueue(context, device, 0, &s);
    QCOMPARE(s, CL_SUCCESS);
}

void DemoKernelsTest::cleanupTestCase()
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

cl_kernel DemoKernelsTest::build(const char *resource, const char *name)
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
    if (s != CL_SUCCESS)
        return nullptr;
    kernels << kernel;
    return kernel;
}

cl_mem DemoKernelsTest::buffer(size_t bytes, const void *initial)
{
    cl_int s = CL_SUCCESS;
    const cl_mem_flags flags = CL_MEM_READ_WRITE | (initial ? CL_MEM_COPY_HOST_PTR : 0);
    cl_mem b = clCreateBuffer(context, flags, bytes, const_cast<void *>(initial), &s);
    if (s == CL_SUCCESS)
        buffers << b;
    return b;
}

std::vector<cl_float4> DemoKernelsTest::mesh(float time, float freq)
{
    static cl_kernel kernel = build(":/cl/simplGL.cl", "sine_wave");
    std::vector<cl_float4> result(MESH * MESH);
    const size_t bytes = result.size() * sizeof(cl_float4);
    static cl_mem pos = buffer(bytes);
    if (!kernel || !pos)
        return {};
    const cl_uint width = MESH, height = MESH;
    clSetKernelArg(kernel, 0, sizeof pos, &pos);
    clSetKernelArg(kernel, 1, sizeof width, &width);
    clSetKernelArg(kernel, 2, sizeof height, &height);
    clSetKernelArg(kernel, 3, sizeof time, &time);
    clSetKernelArg(kernel, 4, sizeof freq, &freq);
    const size_t global[2] = { MESH, MESH };
    if (clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, nullptr, 0, nullptr, nullptr) != CL_SUCCESS
        || clEnqueueReadBuffer(queue, pos, CL_TRUE, 0, bytes, result.data(), 0, nullptr, nullptr) != CL_SUCCESS)
        return {};
    return result;
}

void DemoKernelsTest::meshMatchesTheSurfaceFormula_data()
{
    QTest::addColumn<float>("time");
    QTest::addColumn<float>("freq");
    QTest::newRow("start") << 0.0f << 4.0f;
    QTest::newRow("default frequency, later") << 2.55f << 4.0f;
    QTest::newRow("zero frequency") << 1.3f << 0.0f;
    QTest::newRow("highest slider frequency") << 7.25f << 10.0f;
    QTest::newRow("long run") << 51.0f << 4.0f;
    QTest::newRow("after hours of animation") << 20000.5f << 4.0f;
}

void DemoKernelsTest::meshMatchesTheSurfaceFormula()
{
    QFETCH(float, time);
    QFETCH(float, freq);
    const std::vector<cl_float4> points = mesh(time, freq);
    QCOMPARE(points.size(), size_t(MESH * MESH));

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

void DemoKernelsTest::meshCornerIsAtMinusOneMinusOne()
{
    const float time = 0.9f, freq = 3.1f;
    const cl_float4 corner = mesh(time, freq).at(0);
    QCOMPARE(corner.s[0], -1.0f);
    QCOMPARE(corner.s[2], -1.0f);
    const double expected = 0.5 * std::sin(double(time) - freq) * std::cos(double(time) - freq);
    QVERIFY(std::fabs(corner.s[1] - expected) < 1e-5);

    // The last column stops one step short of +1.
    const cl_float4 last = mesh(time, freq).at(MESH * MESH - 1);
    QCOMPARE(last.s[0], 1.0f - 2.0f / MESH);
    QCOMPARE(last.s[2], 1.0f - 2.0f / MESH);
}

void DemoKernelsTest::zeroFrequencyGivesAFlatGridMovingUpAndDown()
{
    for (float time : { 0.4f, 2.0f }) {
        const double expected = 0.5 * std::sin(double(time)) * std::cos(double(time));
        for (const cl_float4 &p : mesh(time, 0.0f))
            QVERIFY(std::fabs(p.s[1] - expected) < 1e-5);
    }
}

DemoKernelsTest::Cloud DemoKernelsTest::deviceSteps(const Cloud &start, int steps, size_t workGroup)
{
    static cl_kernel kernel = build(":/cl/NBody_Kernels.cl", "nbody_sim");
    if (!kernel)
        return {};
    const size_t bytes = BODIES * sizeof(cl_float4);
    cl_mem state[2][2] = { { buffer(bytes, start.pos.data()), buffer(bytes, start.vel.data()) },
                           { buffer(bytes), buffer(bytes) } };
    const cl_int bodies = BODIES;
    const float dt = DELTA_TIME, eps = EPS_SQR;
    clSetKernelArg(kernel, 2, sizeof bodies, &bodies);
    clSetKernelArg(kernel, 3, sizeof dt, &dt);
    clSetKernelArg(kernel, 4, sizeof eps, &eps);
    clSetKernelArg(kernel, 5, workGroup * sizeof(cl_float4), nullptr);
    const size_t global = BODIES;
    int current = 0;
    for (int i = 0; i < steps; ++i) {
        clSetKernelArg(kernel, 0, sizeof(cl_mem), &state[current][0]);
        clSetKernelArg(kernel, 1, sizeof(cl_mem), &state[current][1]);
        clSetKernelArg(kernel, 6, sizeof(cl_mem), &state[1 - current][0]);
        clSetKernelArg(kernel, 7, sizeof(cl_mem), &state[1 - current][1]);
        if (clEnqueueNDRangeKernel(queue, kernel, 1, nullptr, &global, &workGroup, 0, nullptr, nullptr)
            != CL_SUCCESS)
            return {};
        current = 1 - current;
    }
    Cloud result{ std::vector<cl_float4>(BODIES), std::vector<cl_float4>(BODIES) };
    clEnqueueReadBuffer(queue, state[current][0], CL_TRUE, 0, bytes, result.pos.data(), 0, nullptr, nullptr);
    clEnqueueReadBuffer(queue, state[current][1], CL_TRUE, 0, bytes, result.vel.data(), 0, nullptr, nullptr);
    return result;
}

namespace {

struct StartState
{
    std::vector<cl_float4> pos = std::vector<cl_float4>(BODIES);
    std::vector<cl_float4> vel = std::vector<cl_float4>(BODIES);
    StartState()
    {
        StartRandom random(1);
        generateStartCloud(random, pos.data(), vel.data(), BODIES);
    }
};

} // namespace

void DemoKernelsTest::nbodyStepsMatchTheHostIntegration()
{
    const StartState start;
    const int steps = 8;
    const Cloud stepped = deviceSteps({ start.pos, start.vel }, steps, 256);
    QCOMPARE(stepped.pos.size(), size_t(BODIES));

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
    double largestSpeed = 0.0, largestMove = 0.0;
    for (int i = 0; i < BODIES; ++i) {
        largestSpeed = std::max(largestSpeed, std::hypot(vel[i].x, vel[i].y, vel[i].z));
        largestMove = std::max(largestMove, std::hypot(pos[i].x - start.pos[i].s[0],
                                                       pos[i].y - start.pos[i].s[1],
                                                       pos[i].z - start.pos[i].s[2]));
    }
    QVERIFY(largestSpeed > 1.0);
    double speedError = 0.0, moveError = 0.0;
    for (int i = 0; i < BODIES; ++i) {
        const cl_float4 &p = stepped.pos[i], &v = stepped.vel[i];
        speedError = std::max(speedError, std::hypot(v.s[0] - vel[i].x, v.s[1] - vel[i].y, v.s[2] - vel[i].z));
        moveError = std::max(moveError, std::hypot(p.s[0] - pos[i].x, p.s[1] - pos[i].y, p.s[2] - pos[i].z));
    }
    const double tolerance = 1e-3; // relative, for fast square roots and divisions
    QVERIFY2(speedError < tolerance * largestSpeed,
             qPrintable(QString("velocity error %1 of %2").arg(speedError).arg(largestSpeed)));
    // Positions also carry single-precision rounding of coordinates near 50.
    QVERIFY2(moveError < tolerance * largestMove + 53.0 * 2e-6 * steps,
             qPrintable(QString("position error %1 of a move of %2").arg(moveError).arg(largestMove)));
}

void DemoKernelsTest::nbodyStepsConserveMomentumAndMasses()
{
    const StartState start;
    const Cloud stepped = deviceSteps({ start.pos, start.vel }, 12, 256);
    QCOMPARE(stepped.pos.size(), size_t(BODIES));
    double px = 0, py = 0, pz = 0, scale = 0;
    for (int i = 0; i < BODIES; ++i) {
        const double m = stepped.pos[i].s[3];
        QCOMPARE(stepped.pos[i].s[3], start.pos[i].s[3]);
        px += m * stepped.vel[i].s[0];
        py += m * stepped.vel[i].s[1];
        pz += m * stepped.vel[i].s[2];
        scale += m * std::hypot(stepped.vel[i].s[0], stepped.vel[i].s[1], stepped.vel[i].s[2]);
    }
    QVERIFY(scale > 0.0);
    // The start momentum is zero; gravity between pairs cancels.
    QVERIFY2(std::hypot(px, py, pz) < 1e-4 * scale,
             qPrintable(QString("momentum %1 against %2").arg(std::hypot(px, py, pz)).arg(scale)));
}

void DemoKernelsTest::nbodyStepDoesNotDependOnTheWorkGroupSize()
{
    // Each step reads only the previous state, so how the bodies are cut
    // into groups changes only the summation order.
    const StartState start;
    const Cloud wide = deviceSteps({ start.pos, start.vel }, 4, 256);
    const Cloud narrow = deviceSteps({ start.pos, start.vel }, 4, 64);
    QCOMPARE(narrow.pos.size(), size_t(BODIES));
    double largestSpeed = 0.0, difference = 0.0;
    for (int i = 0; i < BODIES; ++i) {
        const cl_float4 &a = wide.vel[i], &b = narrow.vel[i];
        largestSpeed = std::max<double>(largestSpeed, std::hypot(a.s[0], a.s[1], a.s[2]));
        difference = std::max<double>(difference, std::hypot(a.s[0] - b.s[0], a.s[1] - b.s[1], a.s[2] - b.s[2]));
    }
    QVERIFY(difference < 1e-4 * largestSpeed);
}

QTEST_MAIN(DemoKernelsTest)
#include "tst_demokernels.moc"
