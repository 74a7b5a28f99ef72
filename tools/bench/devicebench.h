#ifndef DEVICEBENCH_H
#define DEVICEBENCH_H

#include "clbuild.h"

#include <QHash>
#include <QVector>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <vector>

// The middle value, or the mean of the middle two; 0 for none.
double median(std::vector<double> values);

// How many runs make a figure.
struct RunSettings
{
    int warmupRuns = 2;       // untimed: the first launches compile work-group code
    int minRuns = 5;
    int maxRuns = 100000;
    double minSeconds = 0.5;  // of timed runs, on each side

    static RunSettings quick() { return { 1, 3, 3, 0.0 }; }
};

// Times the views' kernel work on one OpenCL device beside the host
// references, and both against their measured peaks. Each figure is a JSON
// object: the report prints it and --json gives it as it is.
class DeviceBench
{
public:
    explicit DeviceBench(const RunSettings &settings);
    ~DeviceBench();

    // Context and queue on the device; on failure the reason is in error.
    bool open(cl_platform_id platform, cl_device_id device, QString &error);

    // {"device": {"gflops", "copyGBps"}, "host": {...}}: measured, and the
    // best of every measurement on this bench so far.
    QJsonObject peaks();
    // The figure with each side's share of its peak.
    static QJsonObject withShares(QJsonObject figure, const QJsonObject &peaks);

    QJsonObject sineWave(cl_uint width, cl_uint height);
    QJsonObject nbody(int numBodies);
    QJsonObject postprocess(int width, int height);

private:
    // One run of one side; a device run leaves its first failure in failure.
    using Run = std::function<void()>;

    // Keeps a call's status as the figure's; true when it succeeded. The
    // calls of a figure are chained behind failure.ok(), so that the first
    // failure is the one kept.
    bool check(cl_int status, const char *call);
    QString failureText() const;
    QJsonObject begin(const char *kernel, const QString &size, const char *work);
    cl_kernel kernel(const char *sourceFile, const char *kernelName);
    cl_mem buffer(size_t bytes, const void *data = nullptr);
    void releaseBuffers();
    QJsonObject measure(QJsonObject figure, const Run &device, const Run &host);
    double fastestRun(cl_kernel kernel, size_t items, int runs);
    double deviceFlopsPerSecond();
    double deviceCopyBytesPerSecond(size_t bytes);

    RunSettings settings;
    cl_device_id device = nullptr;
    cl_context context = nullptr;
    cl_command_queue queue = nullptr;
    QVector<cl_program> programs;
    QHash<QByteArray, cl_kernel> kernels;
    QHash<QByteArray, ClCall> buildFailures;
    QVector<cl_mem> buffers;   // the current figure's
    ClCall failure;            // the current figure's first failed call
    QJsonObject measuredPeaks;
};

#endif
