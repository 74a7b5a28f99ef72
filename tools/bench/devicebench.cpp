#include "devicebench.h"

#include "clerrorname.h"
#include "glowfilterwork.h"
#include "hostreference.h"
#include "nbodywork.h"
#include "sinewavework.h"
#include "startcloud.h"

#include <QElapsedTimer>
#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

const char *const peakSource = "DevicePeak.cl";

QString sizeText(int width, int height)
{
    return QStringLiteral("%1x%2").arg(width).arg(height);
}

QJsonObject summary(const std::vector<double> &seconds)
{
    return { { QStringLiteral("runs"), int(seconds.size()) }, { QStringLiteral("medianMs"), median(seconds) * 1e3 } };
}

double medianSeconds(const QJsonObject &figure, const QString &side)
{
    return figure[side].toObject()[QStringLiteral("medianMs")].toDouble() * 1e-3;
}

// A rate of both sides from the same amount of work per run.
void addRate(QJsonObject &figure, const char *unit, double amount)
{
    figure[QStringLiteral("rate")] = QJsonObject{
        { QStringLiteral("unit"), QLatin1String(unit) },
        { QStringLiteral("device"), amount / medianSeconds(figure, QStringLiteral("device")) },
        { QStringLiteral("host"), amount / medianSeconds(figure, QStringLiteral("host")) } };
}

// What a run of each side does, in the units of one of the peaks:
// floating-point operations, or bytes read plus bytes written.
void addPeakUse(QJsonObject &figure, const char *peak, double deviceAmount, double hostAmount)
{
    figure[QStringLiteral("peakUse")] = QJsonObject{ { QStringLiteral("of"), QLatin1String(peak) },
                                                     { QStringLiteral("device"), deviceAmount },
                                                     { QStringLiteral("host"), hostAmount } };
}

template <typename Value>
void addDifference(QJsonObject &figure, const Value *a, const Value *b, size_t count, const char *unit)
{
    // A NaN on either side is the largest difference there is, not none.
    double largest = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double difference = std::fabs(double(a[i]) - double(b[i]));
        largest = std::max(largest, std::isnan(difference) ? HUGE_VAL : difference);
    }
    figure[QStringLiteral("maxDifference")] = largest;
    figure[QStringLiteral("differenceUnit")] = QLatin1String(unit);
}

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() * 1e-9;
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
    releaseBuffers();
    for (cl_kernel k : qAsConst(kernels))
        clReleaseKernel(k);
    for (cl_program p : qAsConst(programs))
        clReleaseProgram(p);
    if (queue)
        clReleaseCommandQueue(queue);
    if (context)
        clReleaseContext(context);
}

bool DeviceBench::open(cl_platform_id platform, cl_device_id chosen, QString &error)
{
    device = chosen;
    const cl_context_properties properties[] = { CL_CONTEXT_PLATFORM, cl_context_properties(platform), 0 };
    failure = openContextAndQueue(properties, device, context, queue);
    error = failure.ok() ? QString() : failureText();
    return failure.ok();
}

QString DeviceBench::failureText() const
{
    char name[128];
    return QStringLiteral("%1 in %2").arg(QLatin1String(clErrorName(failure.status, name, sizeof name)),
                                          QLatin1String(failure.name));
}

bool DeviceBench::check(cl_int status, const char *call)
{
    failure = { status, call };
    return failure.ok();
}

// Built once per device; a kernel that fails to build fails every figure
// of its own, and only those.
cl_kernel DeviceBench::kernel(const char *sourceFile, const char *kernelName)
{
    const QByteArray name(kernelName);
    if (buildFailures.contains(name) && failure.ok())
        failure = buildFailures[name];
    if (!failure.ok() || kernels.contains(name))
        return kernels.value(name);
    cl_program program = nullptr;
    cl_kernel made = nullptr;
    QByteArray log;
    failure = buildKernel(context, device, sourceFile, kernelName, program, made, log);
    if (program)
        programs << program;
    if (!failure.ok())
        buildFailures.insert(name, failure);
    else
        kernels.insert(name, made);
    return made;
}

cl_mem DeviceBench::buffer(size_t bytes, const void *data)
{
    if (!failure.ok())
        return nullptr;
    cl_int s = CL_SUCCESS;
    const cl_mem_flags flags = CL_MEM_READ_WRITE | (data ? CL_MEM_COPY_HOST_PTR : 0);
    cl_mem made = clCreateBuffer(context, flags, bytes, const_cast<void *>(data), &s);
    if (check(s, "clCreateBuffer"))
        buffers << made;
    return made;
}

void DeviceBench::releaseBuffers()
{
    for (cl_mem b : qAsConst(buffers))
        clReleaseMemObject(b);
    buffers.clear();
}

QJsonObject DeviceBench::begin(const char *kernel, const QString &size, const char *work)
{
    failure = ClCall();
    return { { QStringLiteral("kernel"), QLatin1String(kernel) },
             { QStringLiteral("size"), size },
             { QStringLiteral("work"), QLatin1String(work) } };
}

// The two sides run alternately, one run each per round, so that a busy
// machine slows both alike and their ratio stays meaningful.
QJsonObject DeviceBench::measure(QJsonObject figure, const Run &deviceRun, const Run &hostRun)
{
    std::vector<double> deviceSeconds, hostSeconds;
    double deviceTotal = 0.0, hostTotal = 0.0;
    for (int round = -settings.warmupRuns; failure.ok() && round < settings.maxRuns; ++round) {
        if (round == 0) {
            deviceSeconds.clear();
            hostSeconds.clear();
            deviceTotal = hostTotal = 0.0;
        }
        deviceSeconds.push_back(secondsOf(deviceRun));
        hostSeconds.push_back(secondsOf(hostRun));
        deviceTotal += deviceSeconds.back();
        hostTotal += hostSeconds.back();
        if (round + 1 >= settings.minRuns && deviceTotal >= settings.minSeconds && hostTotal >= settings.minSeconds)
            break;
    }
    releaseBuffers();
    if (!failure.ok()) {
        figure[QStringLiteral("error")] = failureText();
        return figure;
    }
    figure[QStringLiteral("device")] = summary(deviceSeconds);
    figure[QStringLiteral("host")] = summary(hostSeconds);
    figure[QStringLiteral("vsHost")] = medianSeconds(figure, QStringLiteral("host"))
                                       / medianSeconds(figure, QStringLiteral("device"));
    return figure;
}

QJsonObject DeviceBench::withShares(QJsonObject figure, const QJsonObject &peaks)
{
    const QJsonObject use = figure[QStringLiteral("peakUse")].toObject();
    QJsonObject share{ { QStringLiteral("of"), use[QStringLiteral("of")] } };
    for (const QString &side : { QStringLiteral("device"), QStringLiteral("host") }) {
        const double peak = peaks[side].toObject()[use[QStringLiteral("of")].toString()].toDouble() * 1e9;
        share[side] = peak > 0.0 ? use[side].toDouble() / medianSeconds(figure, side) / peak : 0.0;
    }
    figure[QStringLiteral("share")] = share;
    return figure;
}

// Each peak is the best of its measurements so far: a busy moment in one
// of them must not lift a kernel's share above the whole. The copy's is
// the best over sizes from cache-sized to memory-sized, as the views'
// working sets lie between them.
QJsonObject DeviceBench::peaks()
{
    double deviceCopy = 0.0, hostCopy = 0.0;
    for (size_t mebibytes : { 1, 8, 64 }) {
        deviceCopy = std::max(deviceCopy, deviceCopyBytesPerSecond(mebibytes << 20));
        hostCopy = std::max(hostCopy, HostReference::copyBytesPerSecond(mebibytes << 20));
    }
    const QJsonObject measured[2] = {
        { { QStringLiteral("gflops"), deviceFlopsPerSecond() / 1e9 }, { QStringLiteral("copyGBps"), deviceCopy / 1e9 } },
        { { QStringLiteral("gflops"), HostReference::flopsPerSecond() / 1e9 }, { QStringLiteral("copyGBps"), hostCopy / 1e9 } },
    };
    const QString sides[2] = { QStringLiteral("device"), QStringLiteral("host") };
    for (int i = 0; i < 2; ++i) {
        QJsonObject best = measuredPeaks[sides[i]].toObject();
        for (const QString &key : measured[i].keys())
            best[key] = std::max(best[key].toDouble(), measured[i][key].toDouble());
        measuredPeaks[sides[i]] = best;
    }
    return measuredPeaks;
}

// The best of a few runs of a kernel over items work-items; 0 on failure.
double DeviceBench::fastestRun(cl_kernel k, size_t items, int runs)
{
    double fastest = 0.0;
    for (int run = 0; run < runs && failure.ok(); ++run) {
        const double seconds = secondsOf([&] {
            const cl_int s = clEnqueueNDRangeKernel(queue, k, 1, nullptr, &items, nullptr, 0, nullptr, nullptr);
            check(s, "clEnqueueNDRangeKernel") && check(clFinish(queue), "clFinish");
        });
        fastest = run == 0 ? seconds : std::min(fastest, seconds);
    }
    return failure.ok() ? fastest : 0.0;
}

// Doubles the chains' length until a run lasts long enough to time well.
double DeviceBench::deviceFlopsPerSecond()
{
    begin("fma_peak", QString(), "");
    cl_kernel k = kernel(peakSource, "fma_peak");
    const size_t items = 1 << 12;
    cl_mem out = buffer(items * sizeof(cl_float));
    const cl_float b = 0.999999f, c = 1e-6f;
    double seconds = 0.0;
    cl_int iterations = 64;
    while (failure.ok() && seconds < 0.02) {
        iterations *= 2;
        check(setKernelArgs(k, 0, out, iterations, b, c), "clSetKernelArg");
        seconds = fastestRun(k, items, 3);
    }
    releaseBuffers();
    return failure.ok() ? 256.0 * iterations * items / seconds : 0.0;
}

double DeviceBench::deviceCopyBytesPerSecond(size_t bytes)
{
    begin("stream_copy", QString(), "");
    cl_kernel k = kernel(peakSource, "stream_copy");
    cl_mem from = buffer(bytes);
    cl_mem to = buffer(bytes);
    failure.ok() && check(setKernelArgs(k, 0, from, to), "clSetKernelArg");
    fastestRun(k, bytes / sizeof(cl_float4), 1);   // the first run places the pages
    const double seconds = fastestRun(k, bytes / sizeof(cl_float4), 5);
    releaseBuffers();
    return failure.ok() ? 2.0 * bytes / seconds : 0.0;
}

QJsonObject DeviceBench::sineWave(cl_uint width, cl_uint height)
{
    QJsonObject figure = begin(SineWaveWork::kernelName, sizeText(int(width), int(height)),
                               "kernel + blocking read of the mesh");
    const size_t points = size_t(width) * height, bytes = SineWaveWork::meshBytes(width, height);
    cl_kernel k = kernel(SineWaveWork::sourceFile, SineWaveWork::kernelName);
    cl_mem mesh = buffer(bytes);
    failure.ok() && check(SineWaveWork::setMeshArgs(k, mesh, width, height), "clSetKernelArg");

    const float time = 1.0f;
    std::vector<cl_float4> deviceMesh(points), hostMesh(points);
    figure = measure(figure, [&] {
        failure.ok() && check(SineWaveWork::setWaveArgs(k, time, SineWaveWork::frequency), "clSetKernelArg")
            && check(SineWaveWork::enqueue(queue, k, width, height), "clEnqueueNDRangeKernel")
            && check(clEnqueueReadBuffer(queue, mesh, CL_TRUE, 0, bytes, deviceMesh.data(), 0, nullptr, nullptr),
                     "clEnqueueReadBuffer");
    }, [&] { HostReference::sineWave(hostMesh.data(), width, height, time, SineWaveWork::frequency); });
    if (figure.contains(QStringLiteral("error")))
        return figure;
    addDifference(figure, deviceMesh[0].s, hostMesh[0].s, 4 * points, "(coordinate)");
    addRate(figure, "Mpoints/s", points / 1e6);
    // The kernel writes the mesh and the read copies it; the host writes it once.
    addPeakUse(figure, "copyGBps", 3.0 * bytes, double(bytes));
    return figure;
}

QJsonObject DeviceBench::nbody(int numBodies)
{
    QJsonObject figure = begin(NBodyWork::kernelName, QStringLiteral("%1 bodies").arg(numBodies),
                               "one step + read-back of the positions");
    // The cloud the view starts from after launch.
    std::vector<cl_float4> pos(numBodies), vel(numBodies);
    StartRandom random;
    generateStartCloud(random, pos.data(), vel.data(), numBodies);
    const size_t bytes = size_t(numBodies) * sizeof(cl_float4);
    cl_kernel k = kernel(NBodyWork::sourceFile, NBodyWork::kernelName);
    cl_mem state[4] = { buffer(bytes, pos.data()), buffer(bytes, vel.data()), buffer(bytes), buffer(bytes) };
    size_t group = 0;
    failure.ok() && check(NBodyWork::chooseGroupSize(device, numBodies, group), "clGetDeviceInfo");
    failure.ok() && check(NBodyWork::setStateArgs(k, state[0], state[1], state[2], state[3]), "clSetKernelArg")
        && check(NBodyWork::setConstantArgs(k, numBodies, group), "clSetKernelArg");

    std::vector<cl_float4> devicePos(numBodies), hostPos(numBodies), hostVel(numBodies);
    figure = measure(figure, [&] {
        failure.ok() && check(NBodyWork::enqueue(queue, k, numBodies, group), "clEnqueueNDRangeKernel")
            && check(clEnqueueReadBuffer(queue, state[2], CL_TRUE, 0, bytes, devicePos.data(), 0, nullptr, nullptr),
                     "clEnqueueReadBuffer");
    }, [&] {
        HostReference::nbody(pos.data(), vel.data(), hostPos.data(), hostVel.data(), numBodies,
                             NBodyWork::deltaTime, NBodyWork::epsSqr);
    });
    if (figure.contains(QStringLiteral("error")))
        return figure;
    addDifference(figure, devicePos[0].s, hostPos[0].s, 4 * size_t(numBodies), "(position)");
    // 20 floating-point operations an interaction, the usual convention.
    const double flops = 20.0 * numBodies * double(numBodies);
    addRate(figure, "GFLOP/s", flops / 1e9);
    addPeakUse(figure, "gflops", flops, flops);
    return figure;
}

QJsonObject DeviceBench::postprocess(int width, int height)
{
    QJsonObject figure = begin(GlowFilterWork::kernelName, sizeText(width, height), "upload + kernel + read");
    const size_t pixels = size_t(width) * height, bytes = pixels * sizeof(cl_uint);
    // Noise: about one pixel in thirty is bright enough to be highlighted,
    // so both branches of the filter are taken.
    std::vector<cl_uint> scene(pixels), devicePixels(pixels), hostPixels(pixels);
    std::minstd_rand noise(7);
    for (cl_uint &pixel : scene)
        pixel = 0xff000000u | (cl_uint(noise()) & 0xffffffu);
    cl_kernel k = kernel(GlowFilterWork::sourceFile, GlowFilterWork::kernelName);
    cl_mem in = buffer(bytes);
    cl_mem out = buffer(bytes);
    failure.ok() && check(GlowFilterWork::setImageArgs(k, in, out, width, height), "clSetKernelArg")
        && check(GlowFilterWork::setFilterArgs(k), "clSetKernelArg");

    figure = measure(figure, [&] {
        failure.ok()
            && check(clEnqueueWriteBuffer(queue, in, CL_FALSE, 0, bytes, scene.data(), 0, nullptr, nullptr),
                     "clEnqueueWriteBuffer")
            && check(GlowFilterWork::enqueue(queue, k, width, height), "clEnqueueNDRangeKernel")
            && check(clEnqueueReadBuffer(queue, out, CL_TRUE, 0, bytes, devicePixels.data(), 0, nullptr, nullptr),
                     "clEnqueueReadBuffer");
    }, [&] {
        HostReference::glow(scene.data(), hostPixels.data(), width, height);
    });
    if (figure.contains(QStringLiteral("error")))
        return figure;
    addDifference(figure, devicePixels.data(), hostPixels.data(), pixels, "(pixel word)");
    addRate(figure, "Mpixels/s", pixels / 1e6);
    // Upload and read-back copy the frame, the kernel reads and writes it.
    addPeakUse(figure, "copyGBps", 6.0 * bytes, 2.0 * bytes);
    return figure;
}
