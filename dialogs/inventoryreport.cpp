#include "inventoryreport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegExp>

namespace {

const QString lineBreak = QStringLiteral("\n\t");

QString text(const char *latin1)
{
    return QString::fromLatin1(latin1 ? latin1 : "");
}

// A fixed field is read no further than its own size, terminated or not.
template <size_t N>
QString fixedText(const char (&field)[N])
{
    return QString::fromLatin1(field, int(qstrnlen(field, N)));
}

// A row's value twice over: "shown" is what the tree shows after the
// prefix (a string, an array for a list, null for a row without text),
// "typed" what the driver gave.
struct Value
{
    QJsonValue shown;
    QJsonValue typed;
};

QString number(quint64 value)
{
    return QString::number(value);
}

// JSON numbers are doubles: exact up to 2^53, far beyond any size or count
// a driver reports.
Value count(quint64 value)
{
    return { number(value), double(value) };
}

Value megabytes(cl_ulong bytes)   // whole MByte, remainder dropped
{
    return { number(bytes >> 20), double(bytes) };
}

Value kilobytes(cl_ulong bytes)   // whole KByte, remainder dropped
{
    return { number(bytes >> 10), double(bytes) };
}

Value yesNo(cl_bool value)
{
    return { value ? QStringLiteral("yes") : QStringLiteral("no"), value != CL_FALSE };
}

template <size_t N>
Value driverText(const char (&field)[N])
{
    return { fixedText(field), fixedText(field) };
}

// However many blanks a driver puts between two names, none is empty; a
// driver that lists none gets an empty list, and its row keeps its prefix.
Value extensionList(const char *extensions)
{
    static const QRegExp blanks(QStringLiteral("\\s+"), Qt::CaseSensitive, QRegExp::RegExp);
    const QJsonArray names = QJsonArray::fromStringList(text(extensions).split(blanks, Qt::SkipEmptyParts));
    return { names, names };
}

// A bit field's known bits, low to high, under the key clinfo --json gives
// their names; the tree names the first `shown` of them.
struct BitField
{
    const char *key;
    QVector<QPair<cl_bitfield, const char *>> bits;
    int shown;
};

const BitField deviceTypeBits = { "type",
                                  { { CL_DEVICE_TYPE_DEFAULT, "CL_DEVICE_TYPE_DEFAULT" },
                                    { CL_DEVICE_TYPE_CPU, "CL_DEVICE_TYPE_CPU" },
                                    { CL_DEVICE_TYPE_GPU, "CL_DEVICE_TYPE_GPU" },
                                    { CL_DEVICE_TYPE_ACCELERATOR, "CL_DEVICE_TYPE_ACCELERATOR" },
                                    { CL_DEVICE_TYPE_CUSTOM, "CL_DEVICE_TYPE_CUSTOM" } },
                                  4 };

const BitField queueBits = { "queue_prop",
                             { { CL_QUEUE_OUT_OF_ORDER_EXEC_MODE_ENABLE, "CL_QUEUE_OUT_OF_ORDER_EXEC_MODE_ENABLE" },
                               { CL_QUEUE_PROFILING_ENABLE, "CL_QUEUE_PROFILING_ENABLE" } },
                             2 };

const BitField fpConfigBits = { "config",
                                { { CL_FP_DENORM, "CL_FP_DENORM" },
                                  { CL_FP_INF_NAN, "CL_FP_INF_NAN" },
                                  { CL_FP_ROUND_TO_NEAREST, "CL_FP_ROUND_TO_NEAREST" },
                                  { CL_FP_ROUND_TO_ZERO, "CL_FP_ROUND_TO_ZERO" },
                                  { CL_FP_ROUND_TO_INF, "CL_FP_ROUND_TO_INF" },
                                  { CL_FP_FMA, "CL_FP_FMA" },
                                  { CL_FP_SOFT_FLOAT, "CL_FP_SOFT_FLOAT" },
                                  { CL_FP_CORRECTLY_ROUNDED_DIVIDE_SQRT, "CL_FP_CORRECTLY_ROUNDED_DIVIDE_SQRT" } },
                                6 };

// The names of the bits set, of the first `count` known bits.
QStringList setBits(cl_bitfield value, const BitField &field, int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i) {
        if (value & field.bits[i].first)
            names << QLatin1String(field.bits[i].second);
    }
    return names;
}

QJsonObject bitField(cl_bitfield value, const BitField &field)
{
    const QStringList names = setBits(value, field, field.bits.size());
    return { { QStringLiteral("raw"), double(value) }, { QLatin1String(field.key), QJsonArray::fromStringList(names) } };
}

// The names of the set bits the tree names, one a line; an empty list when
// none of them is set.
Value flagList(cl_bitfield value, const BitField &field)
{
    return { QJsonArray::fromStringList(setBits(value, field, field.shown)), bitField(value, field) };
}

// The one type a device is of; a device of several types, or of one the
// tree does not name, shows no text.
Value deviceType(cl_device_type type)
{
    Value value{ QJsonValue(), bitField(type, deviceTypeBits) };
    for (int i = 0; i < deviceTypeBits.shown; ++i) {
        if (type == deviceTypeBits.bits[i].first)
            value.shown = QLatin1String(deviceTypeBits.bits[i].second);
    }
    return value;
}

// The tree names the two kinds of local memory; clinfo --json names all
// three, and any other value stands as its number.
Value localMemType(cl_device_local_mem_type type)
{
    switch (type) {
    case CL_LOCAL:
        return { QStringLiteral("local"), QStringLiteral("CL_LOCAL") };
    case CL_GLOBAL:
        return { QStringLiteral("global"), QStringLiteral("CL_GLOBAL") };
    case CL_NONE:
        return { QJsonValue(), QStringLiteral("CL_NONE") };
    default:
        return { QJsonValue(), double(type) };
    }
}

// The tree shows the first three sizes ("512x512x64"), a record that has
// none 0; the typed value holds every dimension's size.
Value workItemSizes(const ClDeviceEntry &device)
{
    QStringList shown;
    for (cl_uint i = 0; i < 3; ++i)
        shown << number(device.maxWorkItemSizes ? device.maxWorkItemSizes[i] : 0);
    QJsonArray sizes;
    for (cl_uint i = 0; device.maxWorkItemSizes && i < device.maxWorkItemDimensions; ++i)
        sizes << double(device.maxWorkItemSizes[i]);
    return { shown.join(QLatin1Char('x')), sizes };
}

// One row: prefix, value, suffix. The suffix follows a shown string only.
template <typename Entry>
struct Row
{
    const char *prefix;
    Value (*value)(const Entry &);
    const char *suffix;
};

using D = ClDeviceEntry;

const Row<D> deviceRowTable[] = {
    { "Vendor: ", [](const D &d) { return driverText(d.vendor); }, "" },
    { "Version: ", [](const D &d) { return driverText(d.version); }, "" },
    { "Type: ", [](const D &d) { return deviceType(d.type); }, "" },
    { "CL_DEVICE_MAX_COMPUTE_UNITS: ", [](const D &d) { return count(d.maxComputeUnits); }, "" },
    { "CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS: ", [](const D &d) { return count(d.maxWorkItemDimensions); }, "" },
    { "CL_DEVICE_MAX_WORK_ITEM_SIZES: ", workItemSizes, "" },
    { "CL_DEVICE_MAX_WORK_GROUP_SIZE: ", [](const D &d) { return count(d.maxWorkGroupSize); }, "" },
    { "CL_DEVICE_MAX_CLOCK_FREQUENCY: ", [](const D &d) { return count(d.maxClockFrequency); }, " MHz" },
    { "CL_DEVICE_ADDRESS_BITS: ", [](const D &d) { return count(d.addressBits); }, "" },
    { "CL_DEVICE_MAX_MEM_ALLOC_SIZE: ", [](const D &d) { return megabytes(d.maxMemAllocSize); }, " MByte" },
    { "CL_DEVICE_GLOBAL_MEM_SIZE: ", [](const D &d) { return megabytes(d.globalMemSize); }, " MByte" },
    { "CL_DEVICE_ERROR_CORRECTION_SUPPORT: ", [](const D &d) { return yesNo(d.errorCorrectionSupport); }, "" },
    { "CL_DEVICE_LOCAL_MEM_TYPE: ", [](const D &d) { return localMemType(d.localMemType); }, "" },
    { "CL_DEVICE_LOCAL_MEM_SIZE: ", [](const D &d) { return kilobytes(d.localMemSize); }, " KByte" },
    { "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE: ", [](const D &d) { return kilobytes(d.maxConstantBufferSize); },
      " KByte" },
    { "CL_DEVICE_QUEUE_PROPERTIES: ", [](const D &d) { return flagList(d.queueProperties, queueBits); }, "" },
    { "CL_DEVICE_IMAGE_SUPPORT: ", [](const D &d) { return yesNo(d.imageSupport); }, "" },
    { "CL_DEVICE_MAX_READ_IMAGE_ARGS: ", [](const D &d) { return count(d.maxReadImageArgs); }, "" },
    { "CL_DEVICE_MAX_WRITE_IMAGE_ARGS: ", [](const D &d) { return count(d.maxWriteImageArgs); }, "" },
    // The single-precision configuration stands twice: its flag names,
    // then its raw number.
    { "CL_DEVICE_SINGLE_FP_CONFIG: ", [](const D &d) { return flagList(d.singleFpConfig, fpConfigBits); }, "" },
    { "CL_DEVICE_SINGLE_FP_CONFIG: ",
      [](const D &d) { return Value{ number(d.singleFpConfig), bitField(d.singleFpConfig, fpConfigBits) }; }, "" },
    { "CL_DEVICE_IMAGE2D_MAX_WIDTH: ", [](const D &d) { return count(d.image2dMaxWidth); }, "" },
    { "CL_DEVICE_IMAGE2D_MAX_HEIGHT: ", [](const D &d) { return count(d.image2dMaxHeight); }, "" },
    { "CL_DEVICE_IMAGE3D_MAX_WIDTH: ", [](const D &d) { return count(d.image3dMaxWidth); }, "" },
    { "CL_DEVICE_IMAGE3D_MAX_HEIGHT: ", [](const D &d) { return count(d.image3dMaxHeight); }, "" },
    { "CL_DEVICE_IMAGE3D_MAX_DEPTH: ", [](const D &d) { return count(d.image3dMaxDepth); }, "" },
    { "Extensions:\t", [](const D &d) { return extensionList(d.extensions); }, "" },
};

static_assert(sizeof deviceRowTable / sizeof deviceRowTable[0] == 27, "a device shows 27 rows");

using P = ClPlatformEntry;

const Row<P> platformRowTable[] = {
    { "Version: ", [](const P &p) { return driverText(p.version); }, "" },
    { "Vendor: ", [](const P &p) { return driverText(p.vendor); }, "" },
    { "Profile: ", [](const P &p) { return driverText(p.profile); }, "" },
    { "Extensions:\t", [](const P &p) { return extensionList(p.extensions); }, "" },
};

template <typename Entry>
PropertyRow propertyRow(const Row<Entry> &row, const Entry &entry)
{
    const QString prefix = QLatin1String(row.prefix);
    PropertyRow result{ prefix.section(QLatin1Char(':'), 0, 0), QString(), QString(), QJsonValue() };
    const Value value = row.value(entry);
    result.typed = value.typed;
    if (value.shown.isArray()) {
        result.shown = value.shown;
        result.text = prefix + value.shown.toVariant().toStringList().join(lineBreak);
    } else if (value.shown.isString()) {
        result.shown = value.shown.toString() + QLatin1String(row.suffix);
        result.text = prefix + result.shown.toString();
    }
    return result;
}

template <typename Entry, size_t N>
QVector<PropertyRow> propertyRows(const Row<Entry> (&table)[N], const Entry &entry)
{
    QVector<PropertyRow> rows;
    for (const Row<Entry> &row : table)
        rows << propertyRow(row, entry);
    return rows;
}

QStringList textsOf(const QVector<PropertyRow> &rows)
{
    QStringList texts;
    for (const PropertyRow &row : rows)
        texts << row.text;
    return texts;
}

} // namespace

namespace RowFormat {

QString deviceLabel(const ClDeviceEntry &device)
{
    return QStringLiteral("Device: ") + fixedText(device.name);
}

} // namespace RowFormat

QVector<PropertyRow> platformProperties(const ClPlatformEntry &platform)
{
    return propertyRows(platformRowTable, platform);
}

QStringList platformRows(const ClPlatformEntry &platform)
{
    return textsOf(platformProperties(platform));
}

QVector<PropertyRow> deviceProperties(const ClDeviceEntry &device)
{
    return propertyRows(deviceRowTable, device);
}

QStringList deviceRows(const ClDeviceEntry &device)
{
    return textsOf(deviceProperties(device));
}

QVector<InventoryRow> inventoryRows(const ClInventory &inventory)
{
    QVector<InventoryRow> rows;
    for (cl_uint i = 0; inventory.platforms && i < inventory.numPlatforms; ++i) {
        const ClPlatformEntry &platform = inventory.platforms[i];
        rows << InventoryRow{ InventoryRow::Platform, 0, 0, fixedText(platform.name) };
        for (const QString &row : platformRows(platform))
            rows << InventoryRow{ InventoryRow::PlatformProperty, 1, 0, row };
        for (cl_uint j = 0; platform.devices && j < platform.numDevices; ++j) {
            const ClDeviceEntry &device = platform.devices[j];
            rows << InventoryRow{ InventoryRow::Device, 1, 0, RowFormat::deviceLabel(device) };
            for (const QString &row : deviceRows(device))
                rows << InventoryRow{ InventoryRow::DeviceProperty, 2, 1, row };
        }
    }
    return rows;
}
