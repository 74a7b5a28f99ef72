#include "kernelshape.h"

namespace {

std::optional<KernelShape> fromEnvironment()
{
    std::optional<KernelShape> shape;
    const QString text = qEnvironmentVariable("KORVANE_KERNEL_SHAPE");
    if (!text.isEmpty() && !parseKernelShape(text, shape))
        qWarning("KORVANE_KERNEL_SHAPE=%s is not cpu, gpu or auto: each device gets its own shape", qPrintable(text));
    return shape;
}

std::optional<KernelShape> &forcedShape()
{
    static std::optional<KernelShape> shape = fromEnvironment();
    return shape;
}

} // namespace

// GPUs and accelerators take the GPU shape, and a CPU device that asks for
// vectors of several floats (PoCL: 8 or 16) the CPU shape, which runs
// several times faster there. A CPU device that asks for vectors of one
// float compiles work-items into SIMD lanes, as a GPU runs them, and takes
// the GPU shape: rusticl's llvmpipe is one, and there the GPU shape ran
// nbody_sim about 1.5 times as fast as the CPU shape and postprocess a
// little faster (README, "Kernels on CPUs and GPUs").
cl_int chooseKernelShape(cl_device_id device, KernelShape &shape)
{
    shape = forcedShape().value_or(KernelShape::Cpu);
    if (forcedShape())
        return CL_SUCCESS;
    cl_device_type type = 0;
    cl_uint floatWidth = 0;
    cl_int s = clGetDeviceInfo(device, CL_DEVICE_TYPE, sizeof type, &type, nullptr);
    if (s == CL_SUCCESS)
        s = clGetDeviceInfo(device, CL_DEVICE_PREFERRED_VECTOR_WIDTH_FLOAT, sizeof floatWidth, &floatWidth, nullptr);
    if (s != CL_SUCCESS)
        return s;
    const bool runsItemsInLanes = floatWidth == 1;
    if ((type & (CL_DEVICE_TYPE_GPU | CL_DEVICE_TYPE_ACCELERATOR)) || runsItemsInLanes)
        shape = KernelShape::Gpu;
    return CL_SUCCESS;
}

void forceKernelShape(std::optional<KernelShape> shape)
{
    forcedShape() = shape;
}

QByteArray kernelBuildOptions(KernelShape shape)
{
    return shape == KernelShape::Gpu ? "-cl-fast-relaxed-math -DKORVANE_SHAPE_GPU" : "-cl-fast-relaxed-math";
}

QString kernelShapeName(KernelShape shape)
{
    return shape == KernelShape::Gpu ? QStringLiteral("gpu") : QStringLiteral("cpu");
}

bool parseKernelShape(const QString &text, std::optional<KernelShape> &shape)
{
    if (text == QLatin1String("auto"))
        shape.reset();
    else if (text == QLatin1String("cpu") || text == QLatin1String("gpu"))
        shape = text == QLatin1String("gpu") ? KernelShape::Gpu : KernelShape::Cpu;
    else
        return false;
    return true;
}
