#ifndef CLINVENTORY_H
#define CLINVENTORY_H

#include <CL/cl.h>

#include <QString>

// A plain record of every OpenCL platform and device, in driver order.
// Every owner zero-fills its record, scans it once and releases it when
// it is destroyed. Text fields are always NUL-terminated; the fixed ones
// keep at most 255 characters, the extension lists are kept whole.

// The longest text, its NUL included, that a driver's answer may hold; a
// longer one is taken as broken rather than allocated for (CL_INVALID_VALUE).
constexpr size_t maxClTextSize = 1024 * 1024;

struct ClDeviceEntry
{
    char profile[256];
    char version[256];
    char name[256];
    char vendor[256];
    cl_platform_id platform;
    char *extensions;                 // heap, owned by the record
    cl_device_type type;
    cl_uint vendorId;
    cl_uint maxComputeUnits;
    cl_uint maxWorkItemDimensions;
    size_t *maxWorkItemSizes;         // heap, at least three entries
    size_t maxWorkGroupSize;
    cl_uint preferredVectorWidthChar;
    cl_uint preferredVectorWidthShort;
    cl_uint preferredVectorWidthInt;
    cl_uint preferredVectorWidthLong;
    cl_uint preferredVectorWidthFloat;
    cl_uint preferredVectorWidthDouble;
    cl_uint maxClockFrequency;
    cl_uint addressBits;
    cl_uint maxReadImageArgs;
    cl_uint maxWriteImageArgs;
    cl_ulong maxMemAllocSize;
    cl_ulong globalMemSize;
    cl_bool errorCorrectionSupport;
    cl_device_local_mem_type localMemType;
    cl_ulong localMemSize;
    cl_ulong maxConstantBufferSize;
    cl_command_queue_properties queueProperties;
    cl_bool imageSupport;
    cl_device_fp_config singleFpConfig;
    size_t image2dMaxWidth;
    size_t image2dMaxHeight;
    size_t image3dMaxWidth;
    size_t image3dMaxHeight;
    size_t image3dMaxDepth;
};

struct ClPlatformEntry
{
    ClDeviceEntry *devices;           // heap, numDevices entries
    cl_device_id *deviceIds;          // heap, numDevices handles
    cl_uint numDevices;
    char profile[256];
    char version[256];
    char name[256];
    char vendor[256];
    char *extensions;                 // heap, owned by the record
};

struct ClInventory
{
    ClPlatformEntry *platforms;       // heap, numPlatforms entries
    cl_platform_id *platformIds;      // heap, numPlatforms handles
    cl_uint numPlatforms;
};

// Fills the record from the driver. Returns CL_SUCCESS, the loader's status
// when it lists no platform (CL_PLATFORM_NOT_FOUND_KHR when no driver is
// registered), CL_MEM_OBJECT_ALLOCATION_FAILURE when memory runs out, or
// the status of the first query that failed. A platform that has no device
// stays in the record with none. The record is only usable after CL_SUCCESS.
cl_int scanOpenClInventory(ClInventory &inventory);

// Frees every array of the record and leaves it empty.
void releaseOpenClInventory(ClInventory &inventory);

// The handles at a pair of selector indexes, or null when the record does
// not hold them.
cl_platform_id inventoryPlatform(const ClInventory &inventory, int platformIndex);
cl_device_id inventoryDevice(const ClInventory &inventory, int platformIndex, int deviceIndex);

// The index of the first platform that has a device, or -1.
int firstPlatformWithDevice(const ClInventory &inventory);

// Reads "P:D", a device's indexes as korvane-info prints them; false when
// the text is not two indexes.
bool parseDeviceIndexes(const QString &text, int &platformIndex, int &deviceIndex);

// What a user is told when there is nothing to run on.
QString noPlatformText();
QString noDeviceText();
// The lines a command-line tool prints when the scan found no platform or
// failed: the status and, for a missing driver, where drivers are found.
QString scanFailureText(cl_int status);

#endif
