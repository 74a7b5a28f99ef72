// The inventory scan against a driver that answers anything: any count,
// any size, any bytes, any status, at any query.
#include "clinventory.h"

#include <CL/cl.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Hands out the fuzzer's bytes as the answers a driver gives;
// once the bytes run out every answer is zero.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size) : data(data), size(size) {}

    uint8_t byte() { return offset < size ? data[offset++] : 0; }

    template <typename Number>
    Number next()
    {
        Number value = 0;
        take(&value, sizeof value);
        return value;
    }

    // Copies up to count bytes into target and zero-fills the rest.
    void take(void *target, size_t count)
    {
        const size_t available = offset < size ? size - offset : 0;
        const size_t copied = count < available ? count : available;
        if (copied)
            memcpy(target, data + offset, copied);
        memset(static_cast<uint8_t *>(target) + copied, 0, count - copied);
        offset += copied;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t offset = 0;
};

// The current run's bytes. The OpenCL query functions below are those of a
// driver whose every answer (status, count, size, bytes) comes from them.
// It keeps the one promise real drivers keep: it never writes more than the
// caller's buffer holds.
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput bytes(data, size);
    input = &bytes;
    ClInventory inventory = {};
    if (scanOpenClInventory(inventory) == CL_SUCCESS) {
        // A successful scan promises terminated text and whole arrays.
        for (cl_uint i = 0; i < inventory.numPlatforms; ++i) {
            const ClPlatformEntry &platform = inventory.platforms[i];
            volatile size_t sink = strlen(platform.name) + strlen(platform.extensions);
            for (cl_uint j = 0; j < platform.numDevices; ++j) {
                const ClDeviceEntry &device = platform.devices[j];
                sink += strlen(device.name) + strlen(device.vendor) + strlen(device.extensions);
                for (cl_uint k = 0; k < device.maxWorkItemDimensions || k < 3; ++k)
                    sink += device.maxWorkItemSizes[k];
            }
            (void)sink;
        }
    }
    releaseOpenClInventory(inventory);
    return 0;
}
