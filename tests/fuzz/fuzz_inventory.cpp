// The inventory scan against a driver that answers anything: any count,
// any size, any bytes, any status, at any query.
#include "clinventory.h"
#include "fuzzdriver.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    setFuzzDriverInput(&input);
    ClInventory inventory;
    std::memset(&inventory, 0, sizeof inventory);
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
