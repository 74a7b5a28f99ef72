#include "fuzzdriver.h"

#include <CL/cl.h>

#include <vector>

namespace {

FuzzInput *input = nullptr;

const cl_int failures[] = { CL_INVALID_VALUE, CL_OUT_OF_HOST_MEMORY, CL_OUT_OF_RESOURCES,
                            CL_DEVICE_NOT_FOUND, CL_INVALID_PLATFORM, CL_INVALID_DEVICE, -1001, -9999 };

cl_int status()
{
    const uint8_t choice = input->byte();
    if (choice < 232)
        return CL_SUCCESS;
    return failures[choice % (sizeof failures / sizeof failures[0])];
}

cl_uint count()
{
    const uint8_t choice = input->byte();
    switch (choice % 8) {
    case 0:
        return 0;
    case 1:
        return input->next<uint32_t>();
    default:
        return 1 + choice % 3;
    }
}

size_t length(size_t requested)
{
    const uint8_t choice = input->byte();
    switch (choice % 8) {
    case 0:
        return 0;
    case 1:
        return size_t(input->next<uint64_t>());
    case 2:
        return input->next<uint32_t>() % 5000;
    case 3:
        return input->byte();
    default:
        // Most answers are exactly what was asked for, as for numbers.
        return requested ? requested : input->byte();
    }
}

// Any count of handles, as clGetPlatformIDs and clGetDeviceIDs answer.
template <typename Handle>
cl_int handles(cl_uint entries, Handle *list, cl_uint *reported)
{
    const cl_int s = status();
    const cl_uint total = s == CL_SUCCESS ? count() : 0;
    if (s == CL_SUCCESS && reported)
        *reported = total;
    for (cl_uint i = 0; list && i < entries && i < total; ++i)
        list[i] = reinterpret_cast<Handle>(uintptr_t(0x1000 + 16 * i));
    return s;
}

cl_int info(size_t size, void *value, size_t *returned)
{
    const cl_int s = status();
    if (s != CL_SUCCESS)
        return s;
    const size_t answer = length(size);
    if (returned)
        *returned = answer;
    if (!value)
        return CL_SUCCESS;
    if (size < answer)
        return CL_INVALID_VALUE;
    input->take(value, answer);
    return CL_SUCCESS;
}

} // namespace

void setFuzzDriverInput(FuzzInput *fuzzInput)
{
    input = fuzzInput;
}

extern "C" {

CL_API_ENTRY cl_int CL_API_CALL clGetPlatformIDs(cl_uint num_entries, cl_platform_id *platforms,
                                                 cl_uint *num_platforms)
{
    return handles(num_entries, platforms, num_platforms);
}

CL_API_ENTRY cl_int CL_API_CALL clGetPlatformInfo(cl_platform_id, cl_platform_info, size_t param_value_size,
                                                  void *param_value, size_t *param_value_size_ret)
{
    return info(param_value_size, param_value, param_value_size_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clGetDeviceIDs(cl_platform_id, cl_device_type, cl_uint num_entries,
                                               cl_device_id *devices, cl_uint *num_devices)
{
    return handles(num_entries, devices, num_devices);
}

CL_API_ENTRY cl_int CL_API_CALL clGetDeviceInfo(cl_device_id, cl_device_info, size_t param_value_size,
                                                void *param_value, size_t *param_value_size_ret)
{
    return info(param_value_size, param_value, param_value_size_ret);
}

} // extern "C"
