#include "clinventory.h"

#include "clerrorname.h"

#include <CL/cl_ext.h>

#include <QByteArray>
#include <QRegExp>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// Limits beyond which a driver's answer is taken as broken rather than
// allocated for.
const cl_uint maxEntries = 256;
const cl_uint maxDimensions = 64;
const size_t fixedTextSize = 256;

enum class Field { FixedText, HeapText, Value, WorkItemSizes };

struct DeviceQuery
{
    cl_device_info param;
    Field field;
    size_t offset;
    size_t size;
};

#define DEVICE_FIELD(member) offsetof(ClDeviceEntry, member), sizeof(ClDeviceEntry::member)

// The query order is the table order.
const DeviceQuery deviceQueries[] = {
    { CL_DEVICE_NAME, Field::FixedText, DEVICE_FIELD(name) },
    { CL_DEVICE_VERSION, Field::FixedText, DEVICE_FIELD(version) },
    { CL_DEVICE_VENDOR, Field::FixedText, DEVICE_FIELD(vendor) },
    { CL_DEVICE_PROFILE, Field::FixedText, DEVICE_FIELD(profile) },
    { CL_DEVICE_EXTENSIONS, Field::HeapText, DEVICE_FIELD(extensions) },
    { CL_DEVICE_PLATFORM, Field::Value, DEVICE_FIELD(platform) },
    { CL_DEVICE_TYPE, Field::Value, DEVICE_FIELD(type) },
    { CL_DEVICE_VENDOR_ID, Field::Value, DEVICE_FIELD(vendorId) },
    { CL_DEVICE_MAX_COMPUTE_UNITS, Field::Value, DEVICE_FIELD(maxComputeUnits) },
    { CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS, Field::Value, DEVICE_FIELD(maxWorkItemDimensions) },
    { CL_DEVICE_MAX_WORK_ITEM_SIZES, Field::WorkItemSizes, DEVICE_FIELD(maxWorkItemSizes) },
    { CL_DEVICE_MAX_WORK_GROUP_SIZE, Field::Value, DEVICE_FIELD(maxWorkGroupSize) },
    { CL_DEVICE_PREFERRED_VECTOR_WIDTH_CHAR, Field::Value, DEVICE_FIELD(preferredVectorWidthChar) },
    { CL_DEVICE_PREFERRED_VECTOR_WIDTH_DOUBLE, Field::Value, DEVICE_FIELD(preferredVectorWidthDouble) },
    { CL_DEVICE_PREFERRED_VECTOR_WIDTH_FLOAT, Field::Value, DEVICE_FIELD(preferredVectorWidthFloat) },
    { CL_DEVICE_PREFERRED_VECTOR_WIDTH_INT, Field::Value, DEVICE_FIELD(preferredVectorWidthInt) },
    { CL_DEVICE_PREFERRED_VECTOR_WIDTH_LONG, Field::Value, DEVICE_FIELD(preferredVectorWidthLong) },
    { CL_DEVICE_PREFERRED_VECTOR_WIDTH_SHORT, Field::Value, DEVICE_FIELD(preferredVectorWidthShort) },
    { CL_DEVICE_MAX_CLOCK_FREQUENCY, Field::Value, DEVICE_FIELD(maxClockFrequency) },
    { CL_DEVICE_ADDRESS_BITS, Field::Value, DEVICE_FIELD(addressBits) },
    { CL_DEVICE_MAX_READ_IMAGE_ARGS, Field::Value, DEVICE_FIELD(maxReadImageArgs) },
    { CL_DEVICE_MAX_WRITE_IMAGE_ARGS, Field::Value, DEVICE_FIELD(maxWriteImageArgs) },
    { CL_DEVICE_MAX_MEM_ALLOC_SIZE, Field::Value, DEVICE_FIELD(maxMemAllocSize) },
    { CL_DEVICE_GLOBAL_MEM_SIZE, Field::Value, DEVICE_FIELD(globalMemSize) },
    { CL_DEVICE_ERROR_CORRECTION_SUPPORT, Field::Value, DEVICE_FIELD(errorCorrectionSupport) },
    { CL_DEVICE_LOCAL_MEM_TYPE, Field::Value, DEVICE_FIELD(localMemType) },
    { CL_DEVICE_LOCAL_MEM_SIZE, Field::Value, DEVICE_FIELD(localMemSize) },
    { CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE, Field::Value, DEVICE_FIELD(maxConstantBufferSize) },
    { CL_DEVICE_QUEUE_PROPERTIES, Field::Value, DEVICE_FIELD(queueProperties) },
    { CL_DEVICE_IMAGE_SUPPORT, Field::Value, DEVICE_FIELD(imageSupport) },
    { CL_DEVICE_SINGLE_FP_CONFIG, Field::Value, DEVICE_FIELD(singleFpConfig) },
    { CL_DEVICE_IMAGE2D_MAX_WIDTH, Field::Value, DEVICE_FIELD(image2dMaxWidth) },
    { CL_DEVICE_IMAGE2D_MAX_HEIGHT, Field::Value, DEVICE_FIELD(image2dMaxHeight) },
    { CL_DEVICE_IMAGE3D_MAX_WIDTH, Field::Value, DEVICE_FIELD(image3dMaxWidth) },
    { CL_DEVICE_IMAGE3D_MAX_HEIGHT, Field::Value, DEVICE_FIELD(image3dMaxHeight) },
    { CL_DEVICE_IMAGE3D_MAX_DEPTH, Field::Value, DEVICE_FIELD(image3dMaxDepth) },
};

#undef DEVICE_FIELD

// Reads a string at the size the driver reports, so that no length makes
// the query fail, and hands back a heap copy that is always NUL-terminated.
template <typename Query>
cl_int readText(Query query, char **text)
{
    size_t size = 0;
    cl_int status = query(0, nullptr, &size);
    if (status != CL_SUCCESS)
        return status;
    if (size > maxClTextSize)
        return CL_INVALID_VALUE;

    char *buffer = static_cast<char *>(calloc(size + 1, 1));
    if (!buffer)
        return CL_MEM_OBJECT_ALLOCATION_FAILURE;
    if (size > 0) {
        status = query(size, buffer, nullptr);
        if (status != CL_SUCCESS) {
            free(buffer);
            return status;
        }
    }
    *text = buffer;
    return CL_SUCCESS;
}

template <typename Query>
cl_int readFixedText(Query query, char *field)
{
    char *text = nullptr;
    const cl_int status = readText(query, &text);
    if (status == CL_SUCCESS)
        qstrncpy(field, text, fixedTextSize);
    free(text);
    return status;
}

cl_int readWorkItemSizes(cl_device_id device, ClDeviceEntry &entry)
{
    const cl_uint dimensions = entry.maxWorkItemDimensions;
    if (dimensions > maxDimensions)
        return CL_INVALID_VALUE;

    // At least three entries, so that a reader of the usual three sizes
    // never runs past the array.
    entry.maxWorkItemSizes = static_cast<size_t *>(calloc(qMax<cl_uint>(dimensions, 3), sizeof(size_t)));
    if (!entry.maxWorkItemSizes)
        return CL_MEM_OBJECT_ALLOCATION_FAILURE;
    if (dimensions == 0)
        return CL_SUCCESS;
    return clGetDeviceInfo(device, CL_DEVICE_MAX_WORK_ITEM_SIZES, dimensions * sizeof(size_t),
                           entry.maxWorkItemSizes, nullptr);
}

cl_int queryDevice(cl_device_id device, ClDeviceEntry &entry)
{
    char *base = reinterpret_cast<char *>(&entry);
    for (const DeviceQuery &query : deviceQueries) {
        auto info = [device, &query](size_t size, void *value, size_t *returned) {
            return clGetDeviceInfo(device, query.param, size, value, returned);
        };
        cl_int status = CL_SUCCESS;
        switch (query.field) {
        case Field::FixedText:
            status = readFixedText(info, base + query.offset);
            break;
        case Field::HeapText:
            status = readText(info, reinterpret_cast<char **>(base + query.offset));
            break;
        case Field::Value:
            status = info(query.size, base + query.offset, nullptr);
            break;
        case Field::WorkItemSizes:
            status = readWorkItemSizes(device, entry);
            break;
        }
        if (status != CL_SUCCESS)
            return status;
    }
    return CL_SUCCESS;
}

cl_int queryPlatformTexts(cl_platform_id platform, ClPlatformEntry &entry)
{
    auto info = [platform](cl_platform_info param) {
        return [platform, param](size_t size, void *value, size_t *returned) {
            return clGetPlatformInfo(platform, param, size, value, returned);
        };
    };
    cl_int status = readFixedText(info(CL_PLATFORM_PROFILE), entry.profile);
    if (status == CL_SUCCESS)
        status = readText(info(CL_PLATFORM_EXTENSIONS), &entry.extensions);
    if (status == CL_SUCCESS)
        status = readFixedText(info(CL_PLATFORM_NAME), entry.name);
    if (status == CL_SUCCESS)
        status = readFixedText(info(CL_PLATFORM_VENDOR), entry.vendor);
    if (status == CL_SUCCESS)
        status = readFixedText(info(CL_PLATFORM_VERSION), entry.version);
    return status;
}

// A platform without devices (a second driver for hardware this machine
// lacks) stays in the record with none: it must not hide the others.
cl_int scanDevices(cl_platform_id platform, ClPlatformEntry &entry)
{
    cl_uint count = 0;
    cl_int status = clGetDeviceIDs(platform, CL_DEVICE_TYPE_ALL, 0, nullptr, &count);
    if (status == CL_DEVICE_NOT_FOUND || (status == CL_SUCCESS && count == 0))
        return CL_SUCCESS;
    if (status != CL_SUCCESS)
        return status;
    if (count > maxEntries)
        return CL_INVALID_VALUE;

    entry.devices = static_cast<ClDeviceEntry *>(calloc(count, sizeof(ClDeviceEntry)));
    entry.deviceIds = static_cast<cl_device_id *>(calloc(count, sizeof(cl_device_id)));
    if (!entry.devices || !entry.deviceIds)
        return CL_MEM_OBJECT_ALLOCATION_FAILURE;
    entry.numDevices = count;

    cl_uint listed = 0;
    status = clGetDeviceIDs(platform, CL_DEVICE_TYPE_ALL, count, entry.deviceIds, &listed);
    // A driver whose count shrank between the two calls lists fewer handles.
    entry.numDevices = status == CL_SUCCESS ? qMin(count, listed) : 0;
    if (status == CL_DEVICE_NOT_FOUND)
        return CL_SUCCESS;
    if (status != CL_SUCCESS)
        return status;

    for (cl_uint j = 0; j < entry.numDevices; ++j) {
        status = queryDevice(entry.deviceIds[j], entry.devices[j]);
        if (status != CL_SUCCESS)
            return status;
    }
    return CL_SUCCESS;
}

} // namespace

void releaseOpenClInventory(ClInventory &inventory)
{
    for (cl_uint i = 0; inventory.platforms && i < inventory.numPlatforms; ++i) {
        ClPlatformEntry &platform = inventory.platforms[i];
        for (cl_uint j = 0; platform.devices && j < platform.numDevices; ++j) {
            free(platform.devices[j].maxWorkItemSizes);
            free(platform.devices[j].extensions);
        }
        free(platform.devices);
        free(platform.deviceIds);
        free(platform.extensions);
    }
    free(inventory.platforms);
    free(inventory.platformIds);
    inventory = ClInventory();
}

cl_int scanOpenClInventory(ClInventory &inventory)
{
    releaseOpenClInventory(inventory);

    // The loader's own status tells "no driver registered" from a failure.
    cl_uint count = 0;
    cl_int status = clGetPlatformIDs(0, nullptr, &count);
    if (status != CL_SUCCESS)
        return status;
    if (count == 0)
        return CL_PLATFORM_NOT_FOUND_KHR;
    if (count > maxEntries)
        return CL_INVALID_VALUE;

    // Zero-filled, so that a record left by a failed scan is still safe to
    // release.
    inventory.platforms = static_cast<ClPlatformEntry *>(calloc(count, sizeof(ClPlatformEntry)));
    inventory.platformIds = static_cast<cl_platform_id *>(calloc(count, sizeof(cl_platform_id)));
    if (!inventory.platforms || !inventory.platformIds)
        return CL_MEM_OBJECT_ALLOCATION_FAILURE;
    inventory.numPlatforms = count;

    cl_uint listed = 0;
    status = clGetPlatformIDs(count, inventory.platformIds, &listed);
    if (status != CL_SUCCESS)
        return status;
    if (listed == 0)
        return CL_PLATFORM_NOT_FOUND_KHR;
    inventory.numPlatforms = qMin(count, listed);

    for (cl_uint i = 0; i < inventory.numPlatforms; ++i) {
        status = queryPlatformTexts(inventory.platformIds[i], inventory.platforms[i]);
        if (status == CL_SUCCESS)
            status = scanDevices(inventory.platformIds[i], inventory.platforms[i]);
        if (status != CL_SUCCESS)
            return status;
    }
    return CL_SUCCESS;
}

cl_platform_id inventoryPlatform(const ClInventory &inventory, int platformIndex)
{
    if (platformIndex < 0 || cl_uint(platformIndex) >= inventory.numPlatforms || !inventory.platformIds)
        return nullptr;
    return inventory.platformIds[platformIndex];
}

cl_device_id inventoryDevice(const ClInventory &inventory, int platformIndex, int deviceIndex)
{
    if (!inventoryPlatform(inventory, platformIndex) || deviceIndex < 0)
        return nullptr;
    const ClPlatformEntry &platform = inventory.platforms[platformIndex];
    if (cl_uint(deviceIndex) >= platform.numDevices || !platform.deviceIds)
        return nullptr;
    return platform.deviceIds[deviceIndex];
}

int firstPlatformWithDevice(const ClInventory &inventory)
{
    for (cl_uint i = 0; inventory.platforms && i < inventory.numPlatforms; ++i) {
        if (inventory.platforms[i].numDevices > 0)
            return int(i);
    }
    return -1;
}

QString noPlatformText()
{
    return QStringLiteral("No OpenCL platform found");
}

QString noDeviceText()
{
    return QStringLiteral("No device on this platform");
}

QString scanFailureText(cl_int status)
{
    char name[64];
    clErrorName(status, name, sizeof name);
    const QString statusName = QString::fromLatin1(name);
    if (status != CL_PLATFORM_NOT_FOUND_KHR)
        return QStringLiteral("The OpenCL scan failed (%1)\n").arg(statusName);
    // The loader looks where OCL_ICD_VENDORS points, when it is set.
    const QString vendors = qEnvironmentVariable("OCL_ICD_VENDORS", QStringLiteral("/etc/OpenCL/vendors"));
    return QStringLiteral(
               "%1 (%2)\n"
               "OpenCL drivers are registered by the .icd files in %3,\n"
               "and none is there or none could be loaded. Install a driver package: pocl-opencl-icd\n"
               "runs the kernels on the processor; a graphics card's vendor ships its own.\n")
        .arg(noPlatformText(), statusName, vendors);
}

bool parseDeviceIndexes(const QString &text, int &platformIndex, int &deviceIndex)
{
    QRegExp indexes(QStringLiteral("(\\d+):(\\d+)"));
    if (!indexes.exactMatch(text))
        return false;
    // An index too large for an int is no device, not device 0.
    bool platformOk = false;
    bool deviceOk = false;
    platformIndex = indexes.cap(1).toInt(&platformOk);
    deviceIndex = indexes.cap(2).toInt(&deviceOk);
    return platformOk && deviceOk;
}
