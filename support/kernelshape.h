#ifndef KERNELSHAPE_H
#define KERNELSHAPE_H

#include <CL/cl.h>

#include <QByteArray>
#include <QString>

#include <optional>

// How the kernels lay out their work. The two large kernels come in two
// shapes from one source each, chosen when they are built:
// - Cpu: runs of pixels or bodies a work-item in explicit vector lanes,
//   which is what keeps a CPU driver's vector units full;
// - Gpu: one pixel or body a work-item and few registers, which is what
//   keeps many waves resident on a GPU, and what a driver that runs
//   work-items in SIMD lanes as a GPU does wants too.
enum class KernelShape { Cpu, Gpu };

// The shape the kernels take on device, used by the views and the benchmark
// alike: the forced one, if any (forceKernelShape, else the environment
// variable KORVANE_KERNEL_SHAPE=cpu|gpu), else the rule of kernelshape.cpp.
// Returns the status of the device queries the rule made (clGetDeviceInfo);
// after a failure shape is the CPU shape.
cl_int chooseKernelShape(cl_device_id device, KernelShape &shape);

// From now on every device takes shape; nullopt gives the choice back to
// the rule, whatever the environment says.
void forceKernelShape(std::optional<KernelShape> shape);

// The build options of every kernel in shape, exactly as clBuildProgram
// gets them.
QByteArray kernelBuildOptions(KernelShape shape);

// "cpu" or "gpu".
QString kernelShapeName(KernelShape shape);
// Reads "cpu", "gpu" (a shape) or "auto" (nullopt); false for anything else.
bool parseKernelShape(const QString &text, std::optional<KernelShape> &shape);

#endif
