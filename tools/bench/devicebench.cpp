#include "devicebench.h"

#include "clerrorname.h"
#include "hostreference.h"
#include "kernelsource.h"
#include "threadpool.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

std::string statusName(cl_int status)
{
    char name[128];
    return clErrorName(status, name, sizeof name);
}

namespace {

// The views' fixed kernel parameters.
const float kSineTime = 1.0f;
const float kSineFreq = 4.0f;
const float kDeltaTime = 0.005f;
const float kEpsSqr = 50.0f;
const size_t kNBodyGroup = 256;
const int kTileWidth = 24;
const int kRadius = 4;
const float kThreshold = 0.8f;
const float kHighlight = 4.0f;
const size_t kTileBytes = (16 + 32) * (16 + 32) * 4;

// Releases a buffer when the figure is done, whichever way it ends.
struct Buffer
{
    cl_mem handle = nullptr;
    ~Buffer()
    {
        if (handle)
            clReleaseMemObject(handle);
    }
};

bool create(cl_context context, cl_mem_flags flags, size_t bytes, void *data, Buffer &buffer,
            cl_int &status)
{
    buffer.handle = clCreateBuffer(context, flags, bytes, data, &status);
    return status == CL_SUCCESS;
}

bool setArg(cl_kernel kernel, cl_uint index, size_t size, const void *value, cl_int &status)
{
    status = clSetKernelArg(kernel, index, size, value);
    return status == CL_SUCCESS;
}

template <typename T>
bool setArg(cl_kernel kernel, cl_uint index, const T &value, cl_int &status)
{
    return setArg(kernel, index, sizeof value, &value, status);
}

Figure startFigure(const char *kernel, std::string size, const char *work)
{
    Figure figure;
    figure.kernel = kernel;
    figure.size = std::move(size);
    figure.work = work;
    return figure;
}

// Takes the measurement, or explains why there is none. The status is the
// one the runs left behind: taken by reference, it is read only after the
// measurement passed beside it has run.
bool finish(Figure &figure, const SideBySide &result, const cl_int &status, const char *failedStep)
{
    if (status != CL_SUCCESS || !result.ok) {
        figure.error = std::string(failedStep) + " failed: " + statusName(status);
        return false;
    }
    figure.device = result.first;
    figure.host = result.second;
    return true;
}

double perSecond(double amount, const RunStats &stats)
{
    return stats.median > 0.0 ? amount / stats.median : 0.0;
}

Rate rate(const Figure &figure, const char *unit, double amount)
{
    return Rate{unit, perSecond(amount, figure.device), perSecond(amount, figure.host)};
}

} // namespace

DeviceBench::DeviceBench(ThreadPool &pool, const MeasureSettings &settings, std::string kernelDir)
    : pool(pool)
    , settings(settings)
    , kernelDir(std::move(kernelDir))
{
}

DeviceBench::~DeviceBench()
{
    close();
}

void DeviceBench::close()
{
    for (cl_kernel *kernel : { &sineKernel, &nbodyKernel, &postKernel }) {
        if (*kernel)
            clReleaseKernel(*kernel);
        *kernel = nullptr;
    }
    for (cl_program *program : { &sineProgram, &nbodyProgram, &postProgram }) {
        if (*program)
            clReleaseProgram(*program);
        *program = nullptr;
    }
    if (queue)
        clReleaseCommandQueue(queue);
    queue = nullptr;
    if (context)
        clReleaseContext(context);
    context = nullptr;
}

bool DeviceBench::open(cl_platform_id platform, cl_device_id chosen, DeviceReport &report)
{
    close();
    device = chosen;
    const cl_context_properties properties[] = { CL_CONTEXT_PLATFORM,
                                                 cl_context_properties(platform), 0 };
    cl_int status = CL_SUCCESS;
    context = clCreateContext(properties, 1, &device, nullptr, nullptr, &status);
    if (status != CL_SUCCESS) {
        report.error = "clCreateContext failed: " + statusName(status);
        return false;
    }
    queue = clCreateCommandQueue(context, device, 0, &status);
    if (status != CL_SUCCESS) {
        report.error = "clCreateCommandQueue failed: " + statusName(status);
        return false;
    }
    return build("simplGL.cl", "sine_wave", sineProgram, sineKernel, report.error)
           && build("NBody_Kernels.cl", "nbody_sim", nbodyProgram, nbodyKernel, report.error)
           && build("PostprocessGL.cl", "postprocess", postProgram, postKernel, report.error);
}

bool DeviceBench::build(const char *fileName, const char *kernelName, cl_program &program,
                        cl_kernel &kernel, std::string &error)
{
    QByteArray source;
    if (kernelDir.empty()) {
        if (!readKernelSource((std::string(":/cl/") + fileName).c_str(), source)) {
            error = std::string("the embedded source of ") + fileName + " is missing";
            return false;
        }
    } else {
        const std::string path = kernelDir + "/" + fileName;
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            error = "cannot read " + path;
            return false;
        }
        const std::string text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        source = QByteArray(text.data(), int(text.size()));
    }

    const char *text = source.constData();
    const size_t length = size_t(source.size());
    cl_int status = CL_SUCCESS;
    program = clCreateProgramWithSource(context, 1, &text, &length, &status);
    if (status != CL_SUCCESS) {
        error = std::string("clCreateProgramWithSource(") + fileName + ") failed: "
                + statusName(status);
        return false;
    }
    status = clBuildProgram(program, 1, &device, "-cl-fast-relaxed-math", nullptr, nullptr);
    if (status != CL_SUCCESS) {
        error = std::string("building ") + fileName + " failed: " + statusName(status);
        size_t logSize = 0;
        if (clGetProgramBuildInfo(program, device, CL_PROGRAM_BUILD_LOG, 0, nullptr, &logSize)
                == CL_SUCCESS
            && logSize > 1) {
            std::string log(logSize, '\0');
            clGetProgramBuildInfo(program, device, CL_PROGRAM_BUILD_LOG, logSize, &log[0],
                                  nullptr);
            error += "\n" + log.substr(0, std::min<size_t>(log.find('\0'), 4000));
        }
        return false;
    }
    kernel = clCreateKernel(program, kernelName, &status);
    if (status != CL_SUCCESS) {
        error = std::string("clCreateKernel(") + kernelName + ") failed: " + statusName(status);
        return false;
    }
    return true;
}

Figure DeviceBench::sineWave(unsigned width, unsigned height)
{
    Figure figure = startFigure("sine_wave", std::to_string(width) + "x" + std::to_string(height),
                                "kernel + blocking read of the mesh");
    const size_t points = size_t(width) * height;
    std::vector<Float4> deviceMesh(points);
    std::vector<Float4> hostMesh(points);
    cl_int status = CL_SUCCESS;
    Buffer mesh;
    if (!create(context, CL_MEM_WRITE_ONLY, points * sizeof(Float4), nullptr, mesh, status)
        || !setArg(sineKernel, 0, mesh.handle, status) || !setArg(sineKernel, 1, width, status)
        || !setArg(sineKernel, 2, height, status) || !setArg(sineKernel, 4, kSineFreq, status)) {
        finish(figure, SideBySide(), status, "setting up sine_wave");
        return figure;
    }

    const char *step = "running sine_wave";
    auto deviceRun = [&] {
        const size_t global[2] = { width, height };
        return setArg(sineKernel, 3, kSineTime, status)
               && (status = clEnqueueNDRangeKernel(queue, sineKernel, 2, nullptr, global, nullptr,
                                                   0, nullptr, nullptr)) == CL_SUCCESS
               && (status = clEnqueueReadBuffer(queue, mesh.handle, CL_TRUE, 0,
                                                points * sizeof(Float4), deviceMesh.data(), 0,
                                                nullptr, nullptr)) == CL_SUCCESS;
    };
    auto hostRun = [&] {
        sineWaveReference(hostMesh.data(), width, height, kSineTime, kSineFreq, pool);
        return true;
    };
    if (!finish(figure, measureSideBySide(deviceRun, hostRun, settings), status, step))
        return figure;

    const float *a = &deviceMesh[0].x;
    const float *b = &hostMesh[0].x;
    double largest = 0.0;
    for (size_t i = 0; i < points * 4; ++i)
        largest = std::max(largest, double(std::fabs(a[i] - b[i])));
    figure.maxDifference = largest;
    figure.differenceUnit = "(coordinate)";
    figure.rates.push_back(rate(figure, "Mpoints/s", points / 1e6));
    figure.rates.push_back(rate(figure, "GB/s read", points * sizeof(Float4) / 1e9));
    return figure;
}

Figure DeviceBench::nbody(int numBodies)
{
    Figure figure = startFigure("nbody_sim", std::to_string(numBodies) + " bodies",
                                "one step + read-back of the positions");
    // The view's start state: coordinates in [0, 53], masses in [0, 1001],
    // at rest, from a fixed sequence of draws in 0..32767.
    std::minstd_rand generator(1);
    auto draw = [&] { return double(generator() % 32768u) / 32767.0; };
    std::vector<Float4> pos(numBodies), vel(numBodies, Float4{0, 0, 0, 0});
    for (Float4 &p : pos) {
        float *c = &p.x;
        for (int k = 0; k < 3; ++k) {
            const double d1 = draw();
            c[k] = float((1.0 - d1) * 3.0 + draw() * 50.0);
        }
        const double d1 = draw();
        p.w = float((1.0 - d1) * 1.0 + draw() * 1000.0);
    }
    std::vector<Float4> devicePos(numBodies), hostPos(numBodies), hostVel(numBodies);

    const size_t bytes = size_t(numBodies) * sizeof(Float4);
    cl_int status = CL_SUCCESS;
    Buffer posBuffer, velBuffer, newPosBuffer, newVelBuffer;
    const cl_mem_flags input = CL_MEM_READ_WRITE | CL_MEM_COPY_HOST_PTR;
    if (!create(context, input, bytes, pos.data(), posBuffer, status)
        || !create(context, input, bytes, vel.data(), velBuffer, status)
        || !create(context, CL_MEM_READ_WRITE, bytes, nullptr, newPosBuffer, status)
        || !create(context, CL_MEM_READ_WRITE, bytes, nullptr, newVelBuffer, status)
        || !setArg(nbodyKernel, 0, posBuffer.handle, status)
        || !setArg(nbodyKernel, 1, velBuffer.handle, status)
        || !setArg(nbodyKernel, 2, numBodies, status) || !setArg(nbodyKernel, 3, kDeltaTime, status)
        || !setArg(nbodyKernel, 4, kEpsSqr, status)
        || !setArg(nbodyKernel, 5, kNBodyGroup * sizeof(Float4), nullptr, status)
        || !setArg(nbodyKernel, 6, newPosBuffer.handle, status)
        || !setArg(nbodyKernel, 7, newVelBuffer.handle, status)) {
        finish(figure, SideBySide(), status, "setting up nbody_sim");
        return figure;
    }

    auto deviceRun = [&] {
        const size_t global = size_t(numBodies);
        return (status = clEnqueueNDRangeKernel(queue, nbodyKernel, 1, nullptr, &global,
                                                &kNBodyGroup, 0, nullptr, nullptr)) == CL_SUCCESS
               && (status = clEnqueueReadBuffer(queue, newPosBuffer.handle, CL_TRUE, 0, bytes,
                                                devicePos.data(), 0, nullptr, nullptr))
                      == CL_SUCCESS;
    };
    auto hostRun = [&] {
        nbodyReference(pos.data(), vel.data(), hostPos.data(), hostVel.data(), numBodies,
                       kDeltaTime, kEpsSqr, pool);
        return true;
    };
    if (!finish(figure, measureSideBySide(deviceRun, hostRun, settings), status,
                "running nbody_sim"))
        return figure;

    double largest = 0.0;
    for (int i = 0; i < numBodies; ++i) {
        const float *a = &devicePos[i].x;
        const float *b = &hostPos[i].x;
        for (int k = 0; k < 4; ++k)
            largest = std::max(largest, double(std::fabs(a[k] - b[k])));
    }
    figure.maxDifference = largest;
    figure.differenceUnit = "(position)";
    const double interactions = double(numBodies) * double(numBodies);
    figure.rates.push_back(rate(figure, "G interactions/s", interactions / 1e9));
    figure.rates.push_back(rate(figure, "GFLOP/s", 20.0 * interactions / 1e9));
    return figure;
}

Figure DeviceBench::postprocess(int width, int height)
{
    Figure figure = startFigure("postprocess", std::to_string(width) + "x" + std::to_string(height),
                                "upload + kernel + read");
    const size_t pixels = size_t(width) * height;
    // Noise: about one pixel in thirty is bright enough to be highlighted,
    // so both branches of the filter are taken.
    std::vector<std::uint32_t> scene(pixels), devicePixels(pixels), hostPixels(pixels);
    std::minstd_rand generator(7);
    for (std::uint32_t &pixel : scene)
        pixel = 0xff000000u | (std::uint32_t(generator()) & 0xffffffu);

    cl_int status = CL_SUCCESS;
    Buffer sceneBuffer, resultBuffer;
    if (!create(context, CL_MEM_READ_ONLY, pixels * 4, nullptr, sceneBuffer, status)
        || !create(context, CL_MEM_WRITE_ONLY, pixels * 4, nullptr, resultBuffer, status)
        || !setArg(postKernel, 0, sceneBuffer.handle, status)
        || !setArg(postKernel, 1, resultBuffer.handle, status)
        || !setArg(postKernel, 2, width, status) || !setArg(postKernel, 3, height, status)
        || !setArg(postKernel, 4, kTileWidth, status) || !setArg(postKernel, 5, kRadius, status)
        || !setArg(postKernel, 6, kThreshold, status) || !setArg(postKernel, 7, kHighlight, status)
        || !setArg(postKernel, 8, kTileBytes, nullptr, status)) {
        finish(figure, SideBySide(), status, "setting up postprocess");
        return figure;
    }

    auto deviceRun = [&] {
        const size_t global[2] = { size_t(width / 16 * 16 + 16), size_t(height / 16 * 16 + 16) };
        const size_t local[2] = { 16, 16 };
        return (status = clEnqueueWriteBuffer(queue, sceneBuffer.handle, CL_FALSE, 0, pixels * 4,
                                              scene.data(), 0, nullptr, nullptr)) == CL_SUCCESS
               && (status = clEnqueueNDRangeKernel(queue, postKernel, 2, nullptr, global, local, 0,
                                                   nullptr, nullptr)) == CL_SUCCESS
               && (status = clEnqueueReadBuffer(queue, resultBuffer.handle, CL_TRUE, 0,
                                                pixels * 4, devicePixels.data(), 0, nullptr,
                                                nullptr)) == CL_SUCCESS;
    };
    auto hostRun = [&] {
        postprocessReference(scene.data(), hostPixels.data(), width, height, kRadius, kThreshold,
                             kHighlight, pool);
        return true;
    };
    if (!finish(figure, measureSideBySide(deviceRun, hostRun, settings), status,
                "running postprocess"))
        return figure;

    int largest = 0;
    for (size_t i = 0; i < pixels; ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = int((devicePixels[i] >> shift) & 0xffu);
            const int b = int((hostPixels[i] >> shift) & 0xffu);
            largest = std::max(largest, std::abs(a - b));
        }
    }
    figure.maxDifference = largest;
    figure.differenceUnit = "(channel level)";
    figure.rates.push_back(rate(figure, "Mpixels/s", pixels / 1e6));
    return figure;
}
