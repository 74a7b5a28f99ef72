#ifndef DEVICEBENCH_H
#define DEVICEBENCH_H

#include "benchreport.h"
#include "benchstats.h"

#include <CL/cl.h>

#include <string>

class ThreadPool;

// Times the three kernels on one OpenCL device the way the views run
// them, beside the host references, and compares their outputs.
class DeviceBench
{
public:
    DeviceBench(ThreadPool &pool, const MeasureSettings &settings, std::string kernelDir);
    ~DeviceBench();

    DeviceBench(const DeviceBench &) = delete;
    DeviceBench &operator=(const DeviceBench &) = delete;

    // Creates the context and queue and builds the three programs. On
    // failure the reason is in report.error.
    bool open(cl_platform_id platform, cl_device_id device, DeviceReport &report);

    // Kernel plus the blocking read of the mesh, as one frame of the first tab.
    Figure sineWave(unsigned width, unsigned height);
    // One step plus the read-back of the positions, as one frame of the third tab.
    Figure nbody(int numBodies);
    // Upload of the scene, the kernel and the read of the result.
    Figure postprocess(int width, int height);

private:
    bool build(const char *fileName, const char *kernelName, cl_program &program,
               cl_kernel &kernel, std::string &error);
    void close();

    ThreadPool &pool;
    MeasureSettings settings;
    std::string kernelDir;
    cl_device_id device = nullptr;
    cl_context context = nullptr;
    cl_command_queue queue = nullptr;
    cl_program sineProgram = nullptr;
    cl_program nbodyProgram = nullptr;
    cl_program postProgram = nullptr;
    cl_kernel sineKernel = nullptr;
    cl_kernel nbodyKernel = nullptr;
    cl_kernel postKernel = nullptr;
};

// Name of an OpenCL status for messages.
std::string statusName(cl_int status);

#endif
