#ifndef DEVICEBENCH_H
#define DEVICEBENCH_H

#include "kernelshape.h"

#include <CL/cl.h>

#include <QJsonObject>
#include <QString>
#include <QVector>

#include <functional>
#include <vector>

// The middle value, or the mean of the middle two; 0 for none.
double median(std::vector<double> values);

// How many runs make a figure.
struct RunSettings
{
    int warmupRuns = 2;       // untimed: the first launches compile work-group code
    int minRuns = 5;
    // Of timed runs, on each side, unless the other side has run ten times
    // as long: a device a hundred times slower than the host (rusticl's
    // llvmpipe here) would otherwise run for minutes to match it.
    double minSeconds = 0.5;
};

// Times the views' kernel work on one OpenCL device beside the host
// references. Each figure is a JSON object, which the report prints and
// --json gives as it is; one whose OpenCL work failed holds "error".
class DeviceBench
{
public:
    explicit DeviceBench(const RunSettings &settings);
    ~DeviceBench();

    // Context and queue on the device; returns the failure, if any. The
    // kernels take the shape chooseKernelShape() gives the device.
    QString open(cl_platform_id platform, cl_device_id device);

    // {"device": {"gflops", "copyGBps"}, "host": {...}}: the best of every
    // measurement on this bench so far; "device" holds "error" when a
    // yardstick of the device failed.
    QJsonObject peaks();
    // Adds each side's share of its peak to every figure.
    static QJsonObject withShares(QJsonObject figure, const QJsonObject &peaks);

    QJsonObject sineWave(cl_uint width, cl_uint height);
    QJsonObject nbody(int numBodies);
    QJsonObject postprocess(int width, int height);

private:
    using Run = std::function<void()>;

    QString attempt(const Run &work);
    QJsonObject describe(const char *kernelName, const QString &size, const char *work) const;
    KernelShape useKernel(const char *sourceFile, const char *kernelName,
                          const QByteArray &moreOptions = QByteArray());
    cl_mem buffer(size_t bytes, const void *data = nullptr);
    void measure(QJsonObject &figure, const Run &deviceRun, const Run &hostRun);
    double fastestOf(int runs, const Run &work);
    double fastestRun(size_t items, int runs);
    size_t kernelGroupSize();
    double yardstick(const std::function<double()> &rate);
    double deviceFlopsPerSecond();
    double deviceFlopsPerSecond(int width);
    double deviceCopyBytesPerSecond(size_t bytes);

    RunSettings settings;
    cl_device_id device = nullptr;
    cl_context context = nullptr;
    cl_command_queue queue = nullptr;
    // The current figure's, released when it ends.
    cl_program program = nullptr;
    cl_kernel kernel = nullptr;
    QVector<cl_mem> buffers;
    QJsonObject bestPeaks;
    QString peakFailure;   // the first failure of a device yardstick
};

#endif
