#include "devicebench.h"

#include "clbuild.h"
#include "clerrorname.h"
#include "glowfilterwork.h"
#include "hostreference.h"
#include "nbodywork.h"
#include "sinewavework.h"
#include "startcloud.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <random>

namespace {

const char *const peakSource = "DevicePeak.cl";
const char *const sides[] = { "device", "host" };

// A failed call ends the figure it belongs to (see DeviceBench::attempt).
void check(cl_int status, const char *call)
{
    if (status != CL_SUCCESS)
        throw ClCall{ status, call };
}

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() * 1e-9;
}

double medianSeconds(const QJsonObject &figure, const char *side)
{
    return figure[side].toObject()["medianMs"].toDouble() * 1e-3;
}

// The rate of both sides from the amount of work a run does, and what a
// run does in the units of one of the peaks: floating-point operations, or
// bytes read plus bytes written.
void addRates(QJsonObject &figure, const char *unit, double amount, const char *peak, double deviceUse,
              double hostUse)
{
    const double use[] = { deviceUse, hostUse };
    for (int i = 0; i < 2; ++i) {
        QJsonObject side = figure[sides[i]].toObject();
        side["rate"] = amount / medianSeconds(figure, sides[i]);
        side["peakUse"] = use[i];
        figure[sides[i]] = side;
    }
    figure["unit"] = unit;
    figure["peak"] = peak;
}

// The largest difference between the device's output and the host's, and
// whether it is more than the kernel's arithmetic allows: a wrong result.
template <typename Value>
void addDifference(QJsonObject &figure, const Value *a, const Value *b, size_t count, const char *unit,
                   double allowed)
{
    // A NaN or an infinity on either side is the largest difference there
    // is, not none; the largest finite one, as JSON holds no infinity.
    double largest = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double difference = std::fabs(double(a[i]) - double(b[i]));
        largest = std::max(largest, std::isfinite(difference) ? difference : DBL_MAX);
    }
    figure["maxDifference"] = largest;
    figure["differenceUnit"] = unit;
    figure["allowedDifference"] = allowed;
    if (largest > allowed)
        figure["result"] = "wrong result";
}

QJsonObject marked(QJsonObject figure, const QString &failure)
{
    if (!failure.isEmpty())
        figure["error"] = failure;
    return figure;
}

} // namespace

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

DeviceBench::DeviceBench(const RunSettings &settings)
    : settings(settings)
{
}

DeviceBench::~DeviceBench()
{
    if (queue)
        clReleaseCommandQueue(queue);
    if (context)
        clReleaseContext(context);
}

QString DeviceBench::open(cl_platform_id platform, cl_device_id chosen)
{
    device = chosen;
    const cl_context_properties properties[] = { CL_CONTEXT_PLATFORM, cl_context_properties(platform), 0 };
    return attempt([&] {
        const ClCall call = openContextAndQueue(properties, device, context, queue);
        check(call.status, call.name);
    });
}

// Runs one figure's OpenCL work and releases what it made. Returns the
// first failed call as "STATUS in CALL", or nothing.
QString DeviceBench::attempt(const Run &work)
{
    QString failure;
    try {
        work();
    } catch (const ClCall &call) {
        char name[128];
        failure = QStringLiteral("%1 in %2").arg(QLatin1String(clErrorName(call.status, name, sizeof name)),
                                                 QLatin1String(call.name));
    }
    for (cl_mem b : qAsConst(buffers))
        clReleaseMemObject(b);
    buffers.clear();
    if (kernel)
        clReleaseKernel(kernel);
    if (program)
        clReleaseProgram(program);
    kernel = nullptr;
    program = nullptr;
    return failure;
}

// Every figure says how its kernel was built.
QJsonObject DeviceBench::describe(const char *kernelName, const QString &size, const char *work) const
{
    KernelShape shape = KernelShape::Cpu;
    chooseKernelShape(device, shape);   // a failure ends the figure in useKernel
    return { { "kernel", kernelName },
             { "size", size },
             { "work", work },
             { "shape", kernelShapeName(shape) },
             { "buildOptions", QString::fromLatin1(kernelBuildOptions(shape)) } };
}

KernelShape DeviceBench::useKernel(const char *sourceFile, const char *kernelName, const QByteArray &moreOptions)
{
    QByteArray log;
    KernelShape shape = KernelShape::Cpu;
    check(chooseKernelShape(device, shape), "clGetDeviceInfo");
    const ClCall call = buildKernel(context, device, sourceFile, kernelName, shape, program, kernel, log, moreOptions);
    check(call.status, call.name);
    return shape;
}

cl_mem DeviceBench::buffer(size_t bytes, const void *data)
{
    cl_int s = CL_SUCCESS;
    const cl_mem_flags flags = CL_MEM_READ_WRITE | (data ? CL_MEM_COPY_HOST_PTR : 0);
    cl_mem made = clCreateBuffer(context, flags, bytes, const_cast<void *>(data), &s);
    check(s, "clCreateBuffer");
    buffers << made;
    return made;
}

// The two sides run alternately, one run each per round, so that a busy
// machine slows both alike and their ratio stays meaningful.
void DeviceBench::measure(QJsonObject &figure, const Run &deviceRun, const Run &hostRun)
{
    for (int i = 0; i < settings.warmupRuns; ++i) {
        deviceRun();
        hostRun();
    }
    std::vector<double> seconds[2];
    double total[2] = { 0.0, 0.0 };
    auto enough = [&] {
        return int(seconds[0].size()) >= settings.minRuns
               && (std::min(total[0], total[1]) >= settings.minSeconds
                   || std::max(total[0], total[1]) >= 10 * settings.minSeconds);
    };
    while (!enough()) {
        seconds[0].push_back(secondsOf(deviceRun));
        seconds[1].push_back(secondsOf(hostRun));
        total[0] += seconds[0].back();
        total[1] += seconds[1].back();
    }
    for (int i = 0; i < 2; ++i)
        figure[sides[i]] = QJsonObject{ { "runs", int(seconds[i].size()) }, { "medianMs", median(seconds[i]) * 1e3 } };
    figure["vsHost"] = medianSeconds(figure, "host") / medianSeconds(figure, "device");
}

QJsonObject DeviceBench::withShares(QJsonObject figure, const QJsonObject &peaks)
{
    for (const char *name : sides) {
        QJsonObject side = figure[name].toObject();
        // Without a measured peak there is no share to give.
        const double peak = peaks[name].toObject()[figure["peak"].toString()].toDouble() * 1e9;
        if (peak > 0.0)
            side["share"] = side["peakUse"].toDouble() / medianSeconds(figure, name) / peak;
        figure[name] = side;
    }
    return figure;
}

// Each peak is the best of its measurements so far: a busy moment in one
// of them must not lift a kernel's share above the whole. The copy's is
// the best over sizes from cache-sized to memory-sized, as the views'
// working sets lie between them.
QJsonObject DeviceBench::peaks()
{
    double copy[2] = { 0.0, 0.0 };
    for (size_t mebibytes : { 1, 8, 64 }) {
        copy[0] = std::max(copy[0], deviceCopyBytesPerSecond(mebibytes << 20));
        copy[1] = std::max(copy[1], HostReference::copyBytesPerSecond(mebibytes << 20));
    }
    const double flops[2] = { deviceFlopsPerSecond(), HostReference::flopsPerSecond() };
    for (int i = 0; i < 2; ++i) {
        QJsonObject best = bestPeaks[sides[i]].toObject();
        best["gflops"] = std::max(best["gflops"].toDouble(), flops[i] / 1e9);
        best["copyGBps"] = std::max(best["copyGBps"].toDouble(), copy[i] / 1e9);
        bestPeaks[sides[i]] = best;
    }
    if (!peakFailure.isEmpty()) {
        QJsonObject device = bestPeaks["device"].toObject();
        device["error"] = peakFailure;
        bestPeaks["device"] = device;
    }
    return bestPeaks;
}

// The best of a few runs of work that ends with the queue finished.
double DeviceBench::fastestOf(int runs, const Run &work)
{
    double fastest = HUGE_VAL;
    for (int run = 0; run < runs; ++run)
        fastest = std::min(fastest, secondsOf(work));
    return fastest;
}

// The best of a few runs of the current kernel over items work-items, in
// groups of the kernel's largest size.
double DeviceBench::fastestRun(size_t items, int runs)
{
    const size_t group = kernelGroupSize();
    return fastestOf(runs, [&] {
        check(clEnqueueNDRangeKernel(queue, kernel, 1, nullptr, &items, &group, 0, nullptr, nullptr),
              "clEnqueueNDRangeKernel");
        check(clFinish(queue), "clFinish");
    });
}

// The most work-items the device runs in one group of the current kernel.
size_t DeviceBench::kernelGroupSize()
{
    size_t group = 0;
    check(clGetKernelWorkGroupInfo(kernel, device, CL_KERNEL_WORK_GROUP_SIZE, sizeof group, &group, nullptr),
          "clGetKernelWorkGroupInfo");
    return std::max<size_t>(group, 1);
}

// Runs one of the device's yardsticks; the first that fails marks the peak.
double DeviceBench::yardstick(const std::function<double()> &rate)
{
    double measured = 0.0;
    const QString failure = attempt([&] { measured = rate(); });
    if (peakFailure.isEmpty())
        peakFailure = failure;
    return measured;
}

// The faster of two vector widths: which one fills a device's units is the
// device's own affair (see cl/DevicePeak.cl).
double DeviceBench::deviceFlopsPerSecond()
{
    double best = 0.0;
    for (int width : { 8, 16 })
        best = std::max(best, deviceFlopsPerSecond(width));
    return best;
}

// Eight full groups for every compute unit, so that every unit stays busy
// whatever its count and width; then doubles the chains' length until a run
// lasts long enough to time well, or until a device that seems to take no
// time has had a fair chance.
double DeviceBench::deviceFlopsPerSecond(int width)
{
    return yardstick([&] {
        useKernel(peakSource, "fma_peak", "-DPEAK_WIDTH=" + QByteArray::number(width));
        cl_uint units = 0;
        check(clGetDeviceInfo(device, CL_DEVICE_MAX_COMPUTE_UNITS, sizeof units, &units, nullptr), "clGetDeviceInfo");
        const size_t items = 8 * std::max<size_t>(units, 1) * kernelGroupSize();
        const cl_mem out = buffer(items * sizeof(cl_float));
        double seconds = 0.0;
        cl_int iterations = 64;
        while (seconds < 0.02 && iterations < (1 << 24)) {
            iterations *= 2;
            check(setKernelArgs(kernel, 0, out, iterations, 0.999999f, 1e-6f), "clSetKernelArg");
            seconds = fastestRun(items, 3);
        }
        return 2.0 * 8 * width * iterations * items / seconds;
    });
}

// The fastest way the device moves bytes: a kernel's copy, or the driver's
// own copy between buffers and to the host, which the figures' read-backs
// use. On a CPU driver that runs kernels in SIMD lanes (rusticl's llvmpipe)
// the driver's copies run several times faster than any kernel's.
double DeviceBench::deviceCopyBytesPerSecond(size_t bytes)
{
    return yardstick([&] {
        useKernel(peakSource, "stream_copy");
        const cl_mem in = buffer(bytes), out = buffer(bytes);
        check(setKernelArgs(kernel, 0, in, out), "clSetKernelArg");
        const size_t group = kernelGroupSize();
        const size_t items = std::max(bytes / sizeof(cl_float4) / group, size_t(1)) * group;
        const size_t copied = items * sizeof(cl_float4);
        fastestRun(items, 1);   // the first run places the pages
        double seconds = fastestRun(items, 5) * bytes / copied;
        seconds = std::min(seconds, fastestOf(5, [&] {
            check(clEnqueueCopyBuffer(queue, in, out, 0, 0, bytes, 0, nullptr, nullptr), "clEnqueueCopyBuffer");
            check(clFinish(queue), "clFinish");
        }));
        std::vector<char> host(bytes);
        seconds = std::min(seconds, fastestOf(5, [&] {
            check(clEnqueueReadBuffer(queue, out, CL_TRUE, 0, bytes, host.data(), 0, nullptr, nullptr),
                  "clEnqueueReadBuffer");
        }));
        return 2.0 * bytes / seconds;
    });
}

QJsonObject DeviceBench::sineWave(cl_uint width, cl_uint height)
{
    QJsonObject figure = describe(SineWaveWork::kernelName, QStringLiteral("%1x%2").arg(width).arg(height),
                                  "kernel + blocking read of the mesh");
    const QString failure = attempt([&] {
        const size_t points = size_t(width) * height, bytes = SineWaveWork::meshBytes(width, height);
        useKernel(SineWaveWork::sourceFile, SineWaveWork::kernelName);
        const cl_mem mesh = buffer(bytes);
        check(SineWaveWork::setMeshArgs(kernel, mesh, width, height), "clSetKernelArg");
        const float time = 1.0f;
        std::vector<cl_float4> deviceMesh(points), hostMesh(points);
        measure(figure, [&] {
            check(SineWaveWork::setWaveArgs(kernel, time, SineWaveWork::frequency), "clSetKernelArg");
            check(SineWaveWork::enqueue(queue, kernel, width, height), "clEnqueueNDRangeKernel");
            check(clEnqueueReadBuffer(queue, mesh, CL_TRUE, 0, bytes, deviceMesh.data(), 0, nullptr, nullptr),
                  "clEnqueueReadBuffer");
        }, [&] { HostReference::sineWave(hostMesh.data(), width, height, time, SineWaveWork::frequency); });
        addDifference(figure, deviceMesh[0].s, hostMesh[0].s, 4 * points, "(coordinate)",
                      SineWaveWork::allowedDifference);
        // The kernel writes the mesh and the read copies it; the host writes it once.
        addRates(figure, "Mpoints/s", points / 1e6, "copyGBps", 3.0 * bytes, double(bytes));
    });
    return marked(figure, failure);
}

QJsonObject DeviceBench::nbody(int numBodies)
{
    QJsonObject figure = describe(NBodyWork::kernelName, QStringLiteral("%1 bodies").arg(numBodies),
                                  "one step + read-back of the positions");
    const QString failure = attempt([&] {
        // The cloud the view starts from after launch.
        std::vector<cl_float4> pos(numBodies), vel(numBodies);
        StartRandom random;
        generateStartCloud(random, pos.data(), vel.data(), numBodies);
        const size_t bytes = size_t(numBodies) * sizeof(cl_float4);
        const KernelShape shape = useKernel(NBodyWork::sourceFile, NBodyWork::kernelName);
        const cl_mem newPos = buffer(bytes), newVel = buffer(bytes);
        size_t group = 0;
        check(NBodyWork::chooseGroupSize(kernel, device, numBodies, group), "clGetKernelWorkGroupInfo");
        check(NBodyWork::setStateArgs(kernel, buffer(bytes, pos.data()), buffer(bytes, vel.data()), newPos, newVel),
              "clSetKernelArg");
        check(NBodyWork::setConstantArgs(kernel, numBodies, group, shape), "clSetKernelArg");
        std::vector<cl_float4> devicePos(numBodies), deviceVel(numBodies), hostPos(numBodies), hostVel(numBodies);
        measure(figure, [&] {
            check(NBodyWork::enqueue(queue, kernel, numBodies, group), "clEnqueueNDRangeKernel");
            check(clEnqueueReadBuffer(queue, newPos, CL_TRUE, 0, bytes, devicePos.data(), 0, nullptr, nullptr),
                  "clEnqueueReadBuffer");
        }, [&] {
            HostReference::nbody(pos.data(), vel.data(), hostPos.data(), hostVel.data(), numBodies,
                                 NBodyWork::deltaTime, NBodyWork::epsSqr);
        });
        // A step from rest moves a body less than its coordinates' rounding:
        // the velocities it gives them show the physics, the positions that
        // nothing else went astray.
        check(clEnqueueReadBuffer(queue, newVel, CL_TRUE, 0, bytes, deviceVel.data(), 0, nullptr, nullptr),
              "clEnqueueReadBuffer");
        double move = 0.0, speed = 0.0;
        for (int i = 0; i < numBodies; ++i)
            for (int k = 0; k < 3; ++k) {
                move = std::max(move, std::fabs(double(hostPos[i].s[k]) - pos[i].s[k]));
                speed = std::max(speed, std::fabs(double(hostVel[i].s[k])));
            }
        addDifference(figure, devicePos[0].s, hostPos[0].s, 4 * size_t(numBodies), "(position)",
                      NBodyWork::allowedDifference(move, 1));
        if (!figure.contains("result"))
            addDifference(figure, deviceVel[0].s, hostVel[0].s, 4 * size_t(numBodies), "(velocity)",
                          NBodyWork::allowedVelocityDifference(speed));
        // 20 floating-point operations an interaction, the usual convention.
        const double flops = 20.0 * numBodies * double(numBodies);
        addRates(figure, "GFLOP/s", flops / 1e9, "gflops", flops, flops);
    });
    return marked(figure, failure);
}

QJsonObject DeviceBench::postprocess(int width, int height)
{
    QJsonObject figure = describe(GlowFilterWork::kernelName, QStringLiteral("%1x%2").arg(width).arg(height),
                                  "upload + kernel + read");
    const QString failure = attempt([&] {
        const size_t pixels = size_t(width) * height, bytes = pixels * sizeof(cl_uint);
        // Noise: about one pixel in thirty is bright enough to be highlighted,
        // so both branches of the filter are taken.
        std::vector<cl_uint> scene(pixels), devicePixels(pixels), hostPixels(pixels);
        std::minstd_rand noise(7);
        for (cl_uint &pixel : scene)
            pixel = 0xff000000u | (cl_uint(noise()) & 0xffffffu);
        const KernelShape shape = useKernel(GlowFilterWork::sourceFile, GlowFilterWork::kernelName);
        const cl_mem in = buffer(bytes), out = buffer(bytes);
        check(GlowFilterWork::setImageArgs(kernel, in, out, width, height), "clSetKernelArg");
        GlowFilterWork::Launch launch;
        const ClCall chosen = GlowFilterWork::chooseLaunch(kernel, device, shape, launch);
        check(chosen.status, chosen.name);
        check(GlowFilterWork::setFilterArgs(kernel, launch), "clSetKernelArg");
        measure(figure, [&] {
            check(clEnqueueWriteBuffer(queue, in, CL_TRUE, 0, bytes, scene.data(), 0, nullptr, nullptr),
                  "clEnqueueWriteBuffer");
            check(GlowFilterWork::enqueue(queue, kernel, launch, width, height), "clEnqueueNDRangeKernel");
            check(clEnqueueReadBuffer(queue, out, CL_TRUE, 0, bytes, devicePixels.data(), 0, nullptr, nullptr),
                  "clEnqueueReadBuffer");
        }, [&] { HostReference::glow(scene.data(), hostPixels.data(), width, height); });
        addDifference(figure, devicePixels.data(), hostPixels.data(), pixels, "(pixel word)", 0.0);
        // Upload and read-back copy the frame, the kernel reads and writes it.
        addRates(figure, "Mpixels/s", pixels / 1e6, "copyGBps", 6.0 * bytes, 2.0 * bytes);
    });
    return marked(figure, failure);
}
