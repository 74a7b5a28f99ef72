// The "Platforms" rows made from any record: text fields of any bytes with
// or without a terminating NUL, any numbers, any bit fields.
#include "fuzzinput.h"
#include "inventoryreport.h"

#include <cstdlib>
#include <cstring>

namespace {

char *heapText(FuzzInput &input)
{
    const size_t length = input.byte() * size_t(1 + input.byte() % 16);
    char *text = static_cast<char *>(malloc(length + 1));
    input.take(text, length);
    text[length] = '\0';
    return text;
}

void fillDevice(FuzzInput &input, ClDeviceEntry &device)
{
    // Everything at once, the text fields without any promise of a NUL.
    input.take(&device, sizeof device);
    device.extensions = heapText(input);
    const cl_uint entries = device.maxWorkItemDimensions % 65 < 3 ? 3 : device.maxWorkItemDimensions % 65;
    device.maxWorkItemDimensions = entries;
    device.maxWorkItemSizes = static_cast<size_t *>(calloc(entries, sizeof(size_t)));
    input.take(device.maxWorkItemSizes, entries * sizeof(size_t));
}

void fillPlatform(FuzzInput &input, ClPlatformEntry &platform)
{
    input.take(&platform, sizeof platform);
    platform.extensions = heapText(input);
    platform.numDevices = 1 + input.byte() % 3;
    platform.devices = static_cast<ClDeviceEntry *>(calloc(platform.numDevices, sizeof(ClDeviceEntry)));
    platform.deviceIds = static_cast<cl_device_id *>(calloc(platform.numDevices, sizeof(cl_device_id)));
    for (cl_uint j = 0; j < platform.numDevices; ++j)
        fillDevice(input, platform.devices[j]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    ClInventory inventory;
    inventory.numPlatforms = 1 + input.byte() % 3;
    inventory.platforms = static_cast<ClPlatformEntry *>(calloc(inventory.numPlatforms, sizeof(ClPlatformEntry)));
    inventory.platformIds = static_cast<cl_platform_id *>(calloc(inventory.numPlatforms, sizeof(cl_platform_id)));
    for (cl_uint i = 0; i < inventory.numPlatforms; ++i)
        fillPlatform(input, inventory.platforms[i]);

    const QVector<InventoryRow> rows = inventoryRows(inventory);
    const int expected = int(inventory.numPlatforms) * 5;
    if (rows.size() < expected)
        abort();
    releaseOpenClInventory(inventory);
    return 0;
}
