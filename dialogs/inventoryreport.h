#ifndef INVENTORYREPORT_H
#define INVENTORYREPORT_H

#include "clinventory.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The rows of the "Platforms" tree, as plain text. The dialog, the
// korvane-info report and the tests all read them from here, so a row
// looks the same wherever it is shown.
//
// Multi-line rows (extension and flag lists) hold one name per line; every
// line after the first starts with a tab.

// One row of the tree, in tree order.
struct InventoryRow
{
    enum Kind { Platform, PlatformProperty, Device, DeviceProperty };

    Kind kind;
    int depth;      // 0 platform, 1 its properties and devices, 2 device properties
    int column;     // the tree column that holds the text
    QString text;   // may be empty: a value outside a row's known cases
};

// Every row of every platform and device, in tree order: a platform, its
// four properties, then each device followed by its 27 properties.
// Empty when the record holds no platform.
QVector<InventoryRow> inventoryRows(const ClInventory &inventory);

// The four property rows of a platform: version, vendor, profile, extensions.
QStringList platformRows(const ClPlatformEntry &platform);

// The 27 property rows of a device, in the order the tree shows them.
QStringList deviceRows(const ClDeviceEntry &device);
// What each device row is of, in the same order: "Vendor", "Type",
// "CL_DEVICE_MAX_COMPUTE_UNITS"...
QStringList deviceRowNames();

// The formatters behind the rows, one per rule.
namespace RowFormat {

// "Device: " + name, the label of a device's own row.
QString deviceLabel(const ClDeviceEntry &device);

// "Extensions:\t" and one name a line, for platforms and devices alike.
QString extensions(const char *extensions);

// The names of the set flags, one a line; empty when no known flag is set.
QString queuePropertyNames(cl_command_queue_properties properties);
QString fpConfigNames(cl_device_fp_config config);

// The name of a device type or local memory type; a null string for any
// other value, which leaves its row without text.
QString deviceTypeName(cl_device_type type);
QString localMemTypeName(cl_device_local_mem_type type);

QString yesNo(cl_bool value);
QString megabytes(cl_ulong bytes);   // whole MByte, remainder dropped
QString kilobytes(cl_ulong bytes);   // whole KByte, remainder dropped
QString workItemSizes(const ClDeviceEntry &device);   // "512x512x64"

} // namespace RowFormat

#endif
