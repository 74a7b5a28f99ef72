#include "inventoryreport.h"

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

QString number(quint64 value)
{
    return QString::number(value);
}

struct Flag
{
    cl_bitfield bit;
    const char *fragment;
};

// Each fragment starts with a blank; the list is trimmed and every blank
// becomes a line break, so the names stand one a line.
QString flagNames(cl_bitfield value, const Flag *flags, int count)
{
    QString names = QLatin1String("");   // empty, not null: the row keeps its prefix
    for (int i = 0; i < count; ++i) {
        if (value & flags[i].bit)
            names += QLatin1String(flags[i].fragment);
    }
    return names.trimmed().replace(QLatin1Char(' '), lineBreak);
}

// Extension lists put one name on a line, however many blanks a driver
// puts between two names.
QString extensionList(const char *extensions)
{
    static const QRegExp blanks(QStringLiteral("\\s+"), Qt::CaseSensitive, QRegExp::RegExp);
    return text(extensions).split(blanks, Qt::SkipEmptyParts).join(lineBreak);
}

// One device row: prefix, value, suffix. A value function that answers a
// null string leaves the whole row without text.
struct DeviceRow
{
    const char *prefix;
    QString (*value)(const ClDeviceEntry &);
    const char *suffix;
};

using namespace RowFormat;

const DeviceRow deviceRowTable[] = {
    { "Vendor: ", [](const ClDeviceEntry &d) { return fixedText(d.vendor); }, "" },
    { "Version: ", [](const ClDeviceEntry &d) { return fixedText(d.version); }, "" },
    { "Type: ", [](const ClDeviceEntry &d) { return deviceTypeName(d.type); }, "" },
    { "CL_DEVICE_MAX_COMPUTE_UNITS: ", [](const ClDeviceEntry &d) { return number(d.maxComputeUnits); }, "" },
    { "CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS: ",
      [](const ClDeviceEntry &d) { return number(d.maxWorkItemDimensions); }, "" },
    { "CL_DEVICE_MAX_WORK_ITEM_SIZES: ", [](const ClDeviceEntry &d) { return workItemSizes(d); }, "" },
    { "CL_DEVICE_MAX_WORK_GROUP_SIZE: ", [](const ClDeviceEntry &d) { return number(d.maxWorkGroupSize); }, "" },
    { "CL_DEVICE_MAX_CLOCK_FREQUENCY: ", [](const ClDeviceEntry &d) { return number(d.maxClockFrequency); },
      " MHz" },
    { "CL_DEVICE_ADDRESS_BITS: ", [](const ClDeviceEntry &d) { return number(d.addressBits); }, "" },
    { "CL_DEVICE_MAX_MEM_ALLOC_SIZE: ", [](const ClDeviceEntry &d) { return megabytes(d.maxMemAllocSize); },
      " MByte" },
    { "CL_DEVICE_GLOBAL_MEM_SIZE: ", [](const ClDeviceEntry &d) { return megabytes(d.globalMemSize); },
      " MByte" },
    { "CL_DEVICE_ERROR_CORRECTION_SUPPORT: ",
      [](const ClDeviceEntry &d) { return yesNo(d.errorCorrectionSupport); }, "" },
    { "CL_DEVICE_LOCAL_MEM_TYPE: ", [](const ClDeviceEntry &d) { return localMemTypeName(d.localMemType); },
      "" },
    { "CL_DEVICE_LOCAL_MEM_SIZE: ", [](const ClDeviceEntry &d) { return kilobytes(d.localMemSize); },
      " KByte" },
    { "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE: ",
      [](const ClDeviceEntry &d) { return kilobytes(d.maxConstantBufferSize); }, " KByte" },
    { "CL_DEVICE_QUEUE_PROPERTIES: ",
      [](const ClDeviceEntry &d) { return queuePropertyNames(d.queueProperties); }, "" },
    { "CL_DEVICE_IMAGE_SUPPORT: ", [](const ClDeviceEntry &d) { return yesNo(d.imageSupport); }, "" },
    { "CL_DEVICE_MAX_READ_IMAGE_ARGS: ", [](const ClDeviceEntry &d) { return number(d.maxReadImageArgs); },
      "" },
    { "CL_DEVICE_MAX_WRITE_IMAGE_ARGS: ", [](const ClDeviceEntry &d) { return number(d.maxWriteImageArgs); },
      "" },
    // The single-precision configuration stands twice: its flag names,
    // then its raw number.
    { "CL_DEVICE_SINGLE_FP_CONFIG: ", [](const ClDeviceEntry &d) { return fpConfigNames(d.singleFpConfig); },
      "" },
    { "CL_DEVICE_SINGLE_FP_CONFIG: ", [](const ClDeviceEntry &d) { return number(d.singleFpConfig); }, "" },
    { "CL_DEVICE_IMAGE2D_MAX_WIDTH: ", [](const ClDeviceEntry &d) { return number(d.image2dMaxWidth); }, "" },
    { "CL_DEVICE_IMAGE2D_MAX_HEIGHT: ", [](const ClDeviceEntry &d) { return number(d.image2dMaxHeight); }, "" },
    { "CL_DEVICE_IMAGE3D_MAX_WIDTH: ", [](const ClDeviceEntry &d) { return number(d.image3dMaxWidth); }, "" },
    { "CL_DEVICE_IMAGE3D_MAX_HEIGHT: ", [](const ClDeviceEntry &d) { return number(d.image3dMaxHeight); }, "" },
    { "CL_DEVICE_IMAGE3D_MAX_DEPTH: ", [](const ClDeviceEntry &d) { return number(d.image3dMaxDepth); }, "" },
    { "Extensions:\t", [](const ClDeviceEntry &d) { return extensionList(d.extensions); }, "" },
};

static_assert(sizeof deviceRowTable / sizeof deviceRowTable[0] == 27, "a device shows 27 rows");

QString deviceRowText(const DeviceRow &row, const ClDeviceEntry &device)
{
    const QString value = row.value(device);
    if (value.isNull())
        return QString();
    return QLatin1String(row.prefix) + value + QLatin1String(row.suffix);
}

} // namespace

namespace RowFormat {

QString deviceLabel(const ClDeviceEntry &device)
{
    return QStringLiteral("Device: ") + fixedText(device.name);
}

QString extensions(const char *extensions)
{
    return QStringLiteral("Extensions:\t") + extensionList(extensions);
}

QString queuePropertyNames(cl_command_queue_properties properties)
{
    static const Flag flags[] = {
        { CL_QUEUE_OUT_OF_ORDER_EXEC_MODE_ENABLE, " CL_QUEUE_OUT_OF_ORDER_EXEC_MODE_ENABLE" },
        { CL_QUEUE_PROFILING_ENABLE, " CL_QUEUE_PROFILING_ENABLE " },
    };
    return flagNames(properties, flags, 2);
}

QString fpConfigNames(cl_device_fp_config config)
{
    static const Flag flags[] = {
        { CL_FP_DENORM, " CL_FP_DENORM" },
        { CL_FP_INF_NAN, " CL_FP_INF_NAN" },
        { CL_FP_ROUND_TO_NEAREST, " CL_FP_ROUND_TO_NEAREST" },
        { CL_FP_ROUND_TO_ZERO, " CL_FP_ROUND_TO_ZERO" },
        { CL_FP_ROUND_TO_INF, " CL_FP_ROUND_TO_INF" },
        { CL_FP_FMA, " CL_FP_FMA" },
    };
    return flagNames(config, flags, 6);
}

QString deviceTypeName(cl_device_type type)
{
    // The whole value is compared: a device of several types matches none.
    switch (type) {
    case CL_DEVICE_TYPE_DEFAULT:
        return QStringLiteral("CL_DEVICE_TYPE_DEFAULT");
    case CL_DEVICE_TYPE_CPU:
        return QStringLiteral("CL_DEVICE_TYPE_CPU");
    case CL_DEVICE_TYPE_GPU:
        return QStringLiteral("CL_DEVICE_TYPE_GPU");
    case CL_DEVICE_TYPE_ACCELERATOR:
        return QStringLiteral("CL_DEVICE_TYPE_ACCELERATOR");
    default:
        return QString();
    }
}

QString localMemTypeName(cl_device_local_mem_type type)
{
    switch (type) {
    case CL_LOCAL:
        return QStringLiteral("local");
    case CL_GLOBAL:
        return QStringLiteral("global");
    default:
        return QString();
    }
}

QString yesNo(cl_bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString megabytes(cl_ulong bytes)
{
    return number(bytes >> 20);
}

QString kilobytes(cl_ulong bytes)
{
    return number(bytes >> 10);
}

QString workItemSizes(const ClDeviceEntry &device)
{
    // The record keeps at least three sizes; a record that has none shows 0.
    QStringList sizes;
    for (int i = 0; i < 3; ++i)
        sizes << number(device.maxWorkItemSizes ? device.maxWorkItemSizes[i] : 0);
    return sizes.join(QLatin1Char('x'));
}

} // namespace RowFormat

QStringList platformRows(const ClPlatformEntry &platform)
{
    return {
        QStringLiteral("Version: ") + fixedText(platform.version),
        QStringLiteral("Vendor: ") + fixedText(platform.vendor),
        QStringLiteral("Profile: ") + fixedText(platform.profile),
        RowFormat::extensions(platform.extensions),
    };
}

QStringList deviceRows(const ClDeviceEntry &device)
{
    QStringList rows;
    for (const DeviceRow &row : deviceRowTable)
        rows << deviceRowText(row, device);
    return rows;
}

QStringList deviceRowNames()
{
    QStringList names;
    for (const DeviceRow &row : deviceRowTable)
        names << QString::fromLatin1(row.prefix).section(QLatin1Char(':'), 0, 0);
    return names;
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
