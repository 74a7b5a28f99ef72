#ifndef INVENTORYREPORT_H
#define INVENTORYREPORT_H

#include "clinventory.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

// The rows of the "Platforms" tree, as plain text, and the values behind
// them. The dialog, the korvane-info report and the tests all read them
// from here, so a row looks the same wherever it is shown.
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

// One property row of a platform or a device: what the dialog shows and
// what a script reads. The typed value is the driver's, typed as clinfo
// --json types it: numbers in the driver's own unit (bytes, MHz), booleans,
// arrays (work-item sizes, extension names), bit fields as {"raw": N, KEY:
// [names of the bits set]} and strings as the driver gives them.
struct PropertyRow
{
    QString name;       // the row's prefix without its colon: "Vendor", "CL_DEVICE_MAX_COMPUTE_UNITS"...
    QString text;       // the whole row as the tree shows it; empty when it has no text
    QJsonValue shown;   // the text after the prefix: a string, or an array of the items of a list
    QJsonValue typed;
};

// The four property rows of a platform: version, vendor, profile, extensions.
QVector<PropertyRow> platformProperties(const ClPlatformEntry &platform);
QStringList platformRows(const ClPlatformEntry &platform);

// The 27 property rows of a device, in the order the tree shows them.
QVector<PropertyRow> deviceProperties(const ClDeviceEntry &device);
QStringList deviceRows(const ClDeviceEntry &device);

namespace RowFormat {

// "Device: " + name, the label of a device's own row.
QString deviceLabel(const ClDeviceEntry &device);

} // namespace RowFormat

#endif
