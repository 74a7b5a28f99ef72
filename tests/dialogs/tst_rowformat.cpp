#include "glreport.h"
#include "inforeport.h"
#include "inventoryreport.h"

#include <QtTest>

#include <cstring>
#include <functional>

// How every property of a platform, a device and the OpenGL driver reads in
// the information dialogs and in korvane-info, checked on hand-made records
// without any window.
class RowFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void aDeviceShows27RowsAsPrefixValueSuffix();
    void unusualDeviceValues_data();
    void unusualDeviceValues();
    void unterminatedTextIsReadNoFurtherThanItsField();
    void extensionLists_data();
    void extensionLists();
    void inventoryRowsFollowTreeOrder();
    void glExtensionLists_data();
    void glExtensionLists();
    void glStringsAndLabels();
    void reportIndentsTheTreeRows();
    void reportNamesTheStatusOfAFailedScan();
    void reportShowsTheOpenGlStrings();
};

namespace {

using Setter = std::function<void(ClDeviceEntry &)>;

ClDeviceEntry device(const Setter &set = {})
{
    ClDeviceEntry entry;
    std::memset(&entry, 0, sizeof entry);
    if (set)
        set(entry);
    return entry;
}

} // namespace

Q_DECLARE_METATYPE(Setter)

void RowFormatTest::aDeviceShows27RowsAsPrefixValueSuffix()
{
    size_t sizes[3] = { 512, 512, 64 };
    char extensions[] = "cl_khr_icd cl_khr_fp64";
    ClDeviceEntry entry = device();
    qstrcpy(entry.vendor, "Acme Devices");
    qstrcpy(entry.version, "OpenCL 1.0 acme");
    qstrcpy(entry.name, "not shown in a property row");
    entry.type = CL_DEVICE_TYPE_CPU;
    entry.maxComputeUnits = 16;
    entry.maxWorkItemDimensions = 3;
    entry.maxWorkItemSizes = sizes;
    entry.maxWorkGroupSize = 512;
    entry.maxClockFrequency = 1500;
    entry.addressBits = 32;
    entry.maxMemAllocSize = 256ull << 20;
    entry.globalMemSize = 1ull << 30;
    entry.errorCorrectionSupport = CL_FALSE;
    entry.localMemType = CL_LOCAL;
    entry.localMemSize = 16 * 1024;
    entry.maxConstantBufferSize = 64 * 1024;
    entry.queueProperties = CL_QUEUE_PROFILING_ENABLE;
    entry.imageSupport = CL_TRUE;
    entry.maxReadImageArgs = 128;
    entry.maxWriteImageArgs = 8;
    entry.singleFpConfig = CL_FP_INF_NAN | CL_FP_ROUND_TO_NEAREST;
    entry.image2dMaxWidth = 8192;
    entry.image2dMaxHeight = 8191;
    entry.image3dMaxWidth = 2048;
    entry.image3dMaxHeight = 2047;
    entry.image3dMaxDepth = 2046;
    entry.extensions = extensions;

    QCOMPARE(deviceRows(entry), QStringList({
        "Vendor: Acme Devices",
        "Version: OpenCL 1.0 acme",
        "Type: CL_DEVICE_TYPE_CPU",
        "CL_DEVICE_MAX_COMPUTE_UNITS: 16",
        "CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS: 3",
        "CL_DEVICE_MAX_WORK_ITEM_SIZES: 512x512x64",
        "CL_DEVICE_MAX_WORK_GROUP_SIZE: 512",
        "CL_DEVICE_MAX_CLOCK_FREQUENCY: 1500 MHz",
        "CL_DEVICE_ADDRESS_BITS: 32",
        "CL_DEVICE_MAX_MEM_ALLOC_SIZE: 256 MByte",
        "CL_DEVICE_GLOBAL_MEM_SIZE: 1024 MByte",
        "CL_DEVICE_ERROR_CORRECTION_SUPPORT: no",
        "CL_DEVICE_LOCAL_MEM_TYPE: local",
        "CL_DEVICE_LOCAL_MEM_SIZE: 16 KByte",
        "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE: 64 KByte",
        "CL_DEVICE_QUEUE_PROPERTIES: CL_QUEUE_PROFILING_ENABLE",
        "CL_DEVICE_IMAGE_SUPPORT: yes",
        "CL_DEVICE_MAX_READ_IMAGE_ARGS: 128",
        "CL_DEVICE_MAX_WRITE_IMAGE_ARGS: 8",
        "CL_DEVICE_SINGLE_FP_CONFIG: CL_FP_INF_NAN\n\tCL_FP_ROUND_TO_NEAREST",
        "CL_DEVICE_SINGLE_FP_CONFIG: 6",
        "CL_DEVICE_IMAGE2D_MAX_WIDTH: 8192",
        "CL_DEVICE_IMAGE2D_MAX_HEIGHT: 8191",
        "CL_DEVICE_IMAGE3D_MAX_WIDTH: 2048",
        "CL_DEVICE_IMAGE3D_MAX_HEIGHT: 2047",
        "CL_DEVICE_IMAGE3D_MAX_DEPTH: 2046",
        "Extensions:\tcl_khr_icd\n\tcl_khr_fp64",
    }));
}

void RowFormatTest::unusualDeviceValues_data()
{
    QTest::addColumn<Setter>("set");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const Setter &set, int number, const char *expected) {
        QTest::newRow(name) << set << number << QString::fromUtf8(expected);
    };
#define SET(...) []([[maybe_unused]] ClDeviceEntry &e) { __VA_ARGS__; }
    static size_t sizes[4] = { 1024, 256, 16, 8 };

    // Types and local memory types are compared as a whole value.
    row("default type", SET(e.type = 1), 3, "Type: CL_DEVICE_TYPE_DEFAULT");
    row("GPU type", SET(e.type = 4), 3, "Type: CL_DEVICE_TYPE_GPU");
    row("accelerator type", SET(e.type = 8), 3, "Type: CL_DEVICE_TYPE_ACCELERATOR");
    row("type 5 (GPU and default): empty", SET(e.type = 5), 3, "");
    row("type 0: empty", SET(), 3, "");
    row("custom type: empty", SET(e.type = CL_DEVICE_TYPE_CUSTOM), 3, "");
    row("global local memory", SET(e.localMemType = CL_GLOBAL), 13, "CL_DEVICE_LOCAL_MEM_TYPE: global");
    row("local memory type 0: empty", SET(), 13, "");
    row("local memory type 3: empty", SET(e.localMemType = 3), 13, "");

    // Sizes are shifted down to whole units.
    row("65536 bytes are 64 KByte", SET(e.localMemSize = 65536), 14, "CL_DEVICE_LOCAL_MEM_SIZE: 64 KByte");
    row("65535 bytes are 63 KByte", SET(e.localMemSize = 65535), 14, "CL_DEVICE_LOCAL_MEM_SIZE: 63 KByte");
    row("1048575 bytes are 0 MByte", SET(e.globalMemSize = 1048575), 11, "CL_DEVICE_GLOBAL_MEM_SIZE: 0 MByte");
    row("1048576 bytes are 1 MByte", SET(e.globalMemSize = 1048576), 11, "CL_DEVICE_GLOBAL_MEM_SIZE: 1 MByte");
    row("64 GiB", SET(e.globalMemSize = quint64(64) << 30), 11, "CL_DEVICE_GLOBAL_MEM_SIZE: 65536 MByte");
    row("allocation beyond 4 GiB", SET(e.maxMemAllocSize = quint64(5) << 30), 10,
        "CL_DEVICE_MAX_MEM_ALLOC_SIZE: 5120 MByte");
    row("1023 bytes of constant buffer", SET(e.maxConstantBufferSize = 1023), 15,
        "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE: 0 KByte");

    // Flags stand one a line; none known leaves the bare prefix.
    row("no queue property", SET(), 16, "CL_DEVICE_QUEUE_PROPERTIES: ");
    row("unknown queue property", SET(e.queueProperties = 0x4), 16, "CL_DEVICE_QUEUE_PROPERTIES: ");
    row("out of order", SET(e.queueProperties = 1), 16,
        "CL_DEVICE_QUEUE_PROPERTIES: CL_QUEUE_OUT_OF_ORDER_EXEC_MODE_ENABLE");
    row("both queue properties", SET(e.queueProperties = 3), 16,
        "CL_DEVICE_QUEUE_PROPERTIES: CL_QUEUE_OUT_OF_ORDER_EXEC_MODE_ENABLE\n\tCL_QUEUE_PROFILING_ENABLE");
    row("fp 0x1E: four lines", SET(e.singleFpConfig = 0x1E), 20,
        "CL_DEVICE_SINGLE_FP_CONFIG: CL_FP_INF_NAN\n\tCL_FP_ROUND_TO_NEAREST\n\tCL_FP_ROUND_TO_ZERO\n"
        "\tCL_FP_ROUND_TO_INF");
    row("fp 0x1E: then 30", SET(e.singleFpConfig = 0x1E), 21, "CL_DEVICE_SINGLE_FP_CONFIG: 30");
    row("fp 0x3F: every name", SET(e.singleFpConfig = 0x3F), 20,
        "CL_DEVICE_SINGLE_FP_CONFIG: CL_FP_DENORM\n\tCL_FP_INF_NAN\n\tCL_FP_ROUND_TO_NEAREST\n"
        "\tCL_FP_ROUND_TO_ZERO\n\tCL_FP_ROUND_TO_INF\n\tCL_FP_FMA");
    row("fp 0: bare prefix", SET(), 20, "CL_DEVICE_SINGLE_FP_CONFIG: ");
    row("fp 0: then 0", SET(), 21, "CL_DEVICE_SINGLE_FP_CONFIG: 0");
    row("fp soft float only: bare prefix", SET(e.singleFpConfig = CL_FP_SOFT_FLOAT), 20,
        "CL_DEVICE_SINGLE_FP_CONFIG: ");
    row("fp soft float only: then 64", SET(e.singleFpConfig = CL_FP_SOFT_FLOAT), 21, "CL_DEVICE_SINGLE_FP_CONFIG: 64");

    // Numbers are unsigned and full width.
    row("unsigned 32 bits", SET(e.maxComputeUnits = 0xFFFFFFFFu), 4, "CL_DEVICE_MAX_COMPUTE_UNITS: 4294967295");
    row("unsigned 64 bits", SET(e.singleFpConfig = ~cl_device_fp_config(0)), 21,
        "CL_DEVICE_SINGLE_FP_CONFIG: 18446744073709551615");
    row("size beyond 32 bits", SET(e.image2dMaxWidth = size_t(1) << 40), 22,
        "CL_DEVICE_IMAGE2D_MAX_WIDTH: 1099511627776");
    row("work-item sizes: the first three", SET(e.maxWorkItemDimensions = 4; e.maxWorkItemSizes = sizes), 6,
        "CL_DEVICE_MAX_WORK_ITEM_SIZES: 1024x256x16");
    row("no work-item sizes", SET(), 6, "CL_DEVICE_MAX_WORK_ITEM_SIZES: 0x0x0");
#undef SET
}

void RowFormatTest::unusualDeviceValues()
{
    QFETCH(Setter, set);
    QFETCH(int, number);
    QFETCH(QString, expected);
    const QStringList rows = deviceRows(device(set));
    QCOMPARE(rows.size(), 27);
    QCOMPARE(rows.at(number - 1), expected);
}

void RowFormatTest::unterminatedTextIsReadNoFurtherThanItsField()
{
    ClDeviceEntry entry = device();
    std::memset(entry.name, 'n', sizeof entry.name);
    std::memset(entry.vendor, 'v', sizeof entry.vendor);
    std::memset(entry.version, 'r', sizeof entry.version);
    QCOMPARE(RowFormat::deviceLabel(entry), QStringLiteral("Device: ") + QString(256, QLatin1Char('n')));
    QCOMPARE(deviceRows(entry).at(0), QStringLiteral("Vendor: ") + QString(256, QLatin1Char('v')));
    QCOMPARE(deviceRows(entry).at(1), QStringLiteral("Version: ") + QString(256, QLatin1Char('r')));
}

void RowFormatTest::extensionLists_data()
{
    QTest::addColumn<bool>("platform");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("expected");
    // A platform's list breaks at every blank, a device's at one or two.
    QTest::newRow("platform, two blanks: three lines")
        << true << QByteArray("cl_khr_icd  cl_khr_fp64") << "Extensions:\tcl_khr_icd\n\t\n\tcl_khr_fp64";
    QTest::newRow("device, two blanks: two lines")
        << false << QByteArray("cl_khr_icd  cl_khr_fp64") << "Extensions:\tcl_khr_icd\n\tcl_khr_fp64";
    QTest::newRow("platform, single blanks") << true << QByteArray("a b c") << "Extensions:\ta\n\tb\n\tc";
    QTest::newRow("device, single blanks") << false << QByteArray("a b c") << "Extensions:\ta\n\tb\n\tc";
    QTest::newRow("device, three blanks") << false << QByteArray("a   b") << "Extensions:\ta\n\t\n\tb";
    QTest::newRow("device, four blanks") << false << QByteArray("a    b") << "Extensions:\ta\n\t\n\tb";
    QTest::newRow("platform, trimmed") << true << QByteArray("  cl_a cl_b \n") << "Extensions:\tcl_a\n\tcl_b";
    QTest::newRow("device, trimmed") << false << QByteArray("\tcl_a cl_b   ") << "Extensions:\tcl_a\n\tcl_b";
    QTest::newRow("device, empty") << false << QByteArray("") << "Extensions:\t";
    QTest::newRow("platform, none") << true << QByteArray() << "Extensions:\t";
}

void RowFormatTest::extensionLists()
{
    QFETCH(bool, platform);
    QFETCH(QByteArray, list);
    QFETCH(QString, expected);
    const char *text = list.isNull() ? nullptr : list.constData();
    QCOMPARE(platform ? RowFormat::platformExtensions(text) : RowFormat::deviceExtensions(text), expected);
}

void RowFormatTest::inventoryRowsFollowTreeOrder()
{
    QVERIFY(inventoryRows(ClInventory{ nullptr, nullptr, 0 }).isEmpty());

    char extensions[] = "cl_khr_icd cl_ext_one";
    ClDeviceEntry devices[3] = { device(), device(), device() };
    qstrcpy(devices[0].name, "Alpha GPU");
    qstrcpy(devices[1].name, "Beta CPU");
    qstrcpy(devices[2].name, "Beta GPU");
    ClPlatformEntry platforms[2];
    std::memset(platforms, 0, sizeof platforms);
    qstrcpy(platforms[0].name, "Alpha");
    qstrcpy(platforms[0].version, "OpenCL 1.2 acme");
    qstrcpy(platforms[0].vendor, "Acme");
    qstrcpy(platforms[0].profile, "FULL_PROFILE");
    platforms[0].extensions = extensions;
    platforms[0].devices = &devices[0];
    platforms[0].numDevices = 1;
    qstrcpy(platforms[1].name, "Beta");
    platforms[1].devices = &devices[1];
    platforms[1].numDevices = 2;
    QCOMPARE(platformRows(platforms[0]), QStringList({ "Version: OpenCL 1.2 acme", "Vendor: Acme",
                                                       "Profile: FULL_PROFILE",
                                                       "Extensions:\tcl_khr_icd\n\tcl_ext_one" }));

    const QVector<InventoryRow> rows = inventoryRows(ClInventory{ platforms, nullptr, 2 });
    QCOMPARE(rows.size(), 2 * (1 + 4) + 3 * (1 + 27));
    QStringList outline;   // the rows that are not properties, with their depth
    for (const InventoryRow &row : rows) {
        const int depth = row.kind == InventoryRow::Platform ? 0 : row.kind == InventoryRow::DeviceProperty ? 2 : 1;
        QCOMPARE(row.depth, depth);
        QCOMPARE(row.column, row.kind == InventoryRow::DeviceProperty ? 1 : 0);
        if (row.kind == InventoryRow::Platform || row.kind == InventoryRow::Device)
            outline << row.text;
    }
    QCOMPARE(outline, QStringList({ "Alpha", "Device: Alpha GPU", "Beta", "Device: Beta CPU", "Device: Beta GPU" }));
    QCOMPARE(rows[1].text, QStringLiteral("Version: OpenCL 1.2 acme"));
    QCOMPARE(rows[6].text, QStringLiteral("Vendor: "));
    QCOMPARE(rows[5 + 27].text, QStringLiteral("Extensions:\t"));
    QCOMPARE(rows[5 + 28].text, QStringLiteral("Beta"));
}

void RowFormatTest::glExtensionLists_data()
{
    QTest::addColumn<QString>("extensions");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("single blanks") << "GL_ARB_one GL_EXT_two GL_ARB_three"
                                   << QStringList({ "GL_ARB_one", "GL_EXT_two", "GL_ARB_three" });
    QTest::newRow("trailing blank adds no row") << "GL_a GL_b " << QStringList({ "GL_a", "GL_b" });
    QTest::newRow("leading blank adds no row") << " GL_a GL_b" << QStringList({ "GL_a", "GL_b" });
    QTest::newRow("two blanks add no row") << "GL_a  GL_b" << QStringList({ "GL_a", "GL_b" });
    QTest::newRow("three blanks add one empty row") << "GL_a   GL_b" << QStringList({ "GL_a", "", "GL_b" });
    QTest::newRow("four blanks are reduced once") << "GL_a    GL_b" << QStringList({ "GL_a", "", "GL_b" });
    QTest::newRow("empty string: one empty row") << "" << QStringList({ "" });
    QTest::newRow("blanks only: one empty row") << "  " << QStringList({ "" });
    QTest::newRow("no string: no row") << QString() << QStringList();
}

void RowFormatTest::glExtensionLists()
{
    QFETCH(QString, extensions);
    QFETCH(QStringList, expected);
    QCOMPARE(GlFormat::extensionList(extensions), expected);
}

void RowFormatTest::glStringsAndLabels()
{
    // An empty row counts like any other.
    QCOMPARE(GlFormat::extensionsHeader(3), QStringLiteral("Extensions (3)"));
    QCOMPARE(GlFormat::shown(QString()), QStringLiteral("unavailable"));
    QCOMPARE(GlFormat::shown(QStringLiteral("4.5 Mesa")), QStringLiteral("4.5 Mesa"));
    QCOMPARE(GlFormat::labelText("Version", GlFormat::shown(QString())),
             QStringLiteral("Version: <b>unavailable</b>"));
    // The driver's text goes in as it is, not escaped.
    QCOMPARE(GlFormat::labelText("Vendor", "A & B"), QStringLiteral("Vendor: <b>A & B</b>"));
    QCOMPARE(GlFormat::plainText("Vendor", "Mesa"), QStringLiteral("Vendor: Mesa"));
}

void RowFormatTest::reportIndentsTheTreeRows()
{
    QCOMPARE(InfoReport::row("Platform", 0), QStringLiteral("Platform\n"));
    QCOMPARE(InfoReport::row("Type: CL_DEVICE_TYPE_CPU", 2), QStringLiteral("    Type: CL_DEVICE_TYPE_CPU\n"));
    QCOMPARE(InfoReport::row("Extensions:\ta\n\tb", 2), QStringLiteral("    Extensions:\ta\n    \tb\n"));
    QCOMPARE(InfoReport::row(QString(), 2), QStringLiteral("\n"));

    ClDeviceEntry entry = device();
    qstrcpy(entry.name, "Only Device");
    entry.type = 5;   // an empty row
    ClPlatformEntry platform;
    std::memset(&platform, 0, sizeof platform);
    qstrcpy(platform.name, "Only Platform");
    platform.devices = &entry;
    platform.numDevices = 1;
    const QStringList lines = InfoReport::openCl(ClInventory{ &platform, nullptr, 1 }, CL_SUCCESS).split('\n');
    // Platform, its four rows, the device, its 27 rows, and the empty
    // part after the last line break.
    QCOMPARE(lines.size(), 1 + 4 + 1 + 27 + 1);
    QCOMPARE(lines[0], QStringLiteral("Only Platform"));
    QCOMPARE(lines[1], QStringLiteral("  Version: "));
    QCOMPARE(lines[5], QStringLiteral("  Device: Only Device"));
    QCOMPARE(lines[6], QStringLiteral("    Vendor: "));
    QCOMPARE(lines[8], QString());   // the type row
    QCOMPARE(lines.last(), QString());
}

void RowFormatTest::reportNamesTheStatusOfAFailedScan()
{
    QCOMPARE(InfoReport::openCl(ClInventory{ nullptr, nullptr, 0 }, CL_DEVICE_NOT_FOUND),
             QStringLiteral("No OpenCL platform (CL_DEVICE_NOT_FOUND)\n"));
}

void RowFormatTest::reportShowsTheOpenGlStrings()
{
    QCOMPARE(InfoReport::openGl(GlStrings()), QStringLiteral("OpenGL\n"
                                                             "  Version: unavailable\n"
                                                             "  Vendor: unavailable\n"
                                                             "  Renderer: unavailable\n"
                                                             "  Extensions (0)\n"
                                                             "    unavailable\n"));
    GlStrings strings;
    strings.version = "4.5";
    strings.vendor = "Mesa";
    strings.renderer = "llvmpipe";
    strings.extensions = "GL_a   GL_b ";
    QCOMPARE(InfoReport::openGl(strings), QStringLiteral("OpenGL\n"
                                                         "  Version: 4.5\n"
                                                         "  Vendor: Mesa\n"
                                                         "  Renderer: llvmpipe\n"
                                                         "  Extensions (3)\n"
                                                         "    GL_a\n"
                                                         "\n"
                                                         "    GL_b\n"));
}

QTEST_APPLESS_MAIN(RowFormatTest)
#include "tst_rowformat.moc"
