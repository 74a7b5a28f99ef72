#include "glreport.h"
#include "inforeport.h"
#include "inventoryreport.h"

#include <QtTest>

#include <cstring>

// How every property of a platform, a device and the OpenGL driver reads in
// the information dialogs and in korvane-info, checked on hand-made records
// without any window.
class RowFormatTest : public QObject
{
    Q_OBJECT

private slots:
    // A device's 27 rows
    void aDeviceShows27RowsInFixedOrder();
    void deviceRowsReadAsPrefixValueSuffix_data();
    void deviceRowsReadAsPrefixValueSuffix();
    void typesAreComparedAsAWholeValue_data();
    void typesAreComparedAsAWholeValue();
    void unknownLocalMemoryTypeLeavesItsRowEmpty();
    void memorySizesAreShiftedDownToWholeUnits_data();
    void memorySizesAreShiftedDownToWholeUnits();
    void noQueuePropertyGivesTheBarePrefix();
    void queuePropertiesStandOneALine_data();
    void queuePropertiesStandOneALine();
    void fpConfigShowsItsNamesThenItsNumber();
    void fpConfigWithoutKnownBitsShowsBarePrefixAndNumber();
    void numbersAreUnsignedAndFullWidth();
    void workItemSizesJoinTheFirstThreeWithX();
    void unterminatedTextIsReadNoFurtherThanItsField();

    // Extension lists
    void platformExtensionsBreakAtEveryBlank();
    void deviceExtensionsBreakAtOneOrTwoBlanks();
    void deviceExtensionsBreakTwiceAtThreeBlanks();
    void extensionListsAreTrimmed();

    // The tree
    void platformShowsVersionVendorProfileExtensions();
    void inventoryRowsFollowTreeOrder();
    void emptyInventoryGivesNoRow();

    // OpenGL
    void glExtensionsSplitAtSingleBlanks();
    void glTrailingBlankAddsNoRow();
    void glDoubleBlankAddsNoRow();
    void glThreeBlanksAddOneEmptyRowThatIsCounted();
    void glEmptyStringGivesOneEmptyRow();
    void glMissingStringsReadUnavailable();
    void glLabelsPutTheValueInBold();

    // korvane-info's text
    void reportIndentsTwoBlanksALevel();
    void reportKeepsTheLinesOfAMultiLineRow();
    void reportLeavesAnEmptyRowAnEmptyLine();
    void reportPrintsTheTreeRowsInOrder();
    void reportNamesTheStatusOfAFailedScan();
    void reportShowsUnavailableOpenGlStrings();

private:
    static ClDeviceEntry device()
    {
        ClDeviceEntry entry;
        std::memset(&entry, 0, sizeof entry);
        return entry;
    }
    static QString row(const ClDeviceEntry &entry, int number) { return deviceRows(entry).at(number - 1); }
};

namespace {

const char *const devicePrefixes[27] = {
    "Vendor: ",
    "Version: ",
    "Type: ",
    "CL_DEVICE_MAX_COMPUTE_UNITS: ",
    "CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS: ",
    "CL_DEVICE_MAX_WORK_ITEM_SIZES: ",
    "CL_DEVICE_MAX_WORK_GROUP_SIZE: ",
    "CL_DEVICE_MAX_CLOCK_FREQUENCY: ",
    "CL_DEVICE_ADDRESS_BITS: ",
    "CL_DEVICE_MAX_MEM_ALLOC_SIZE: ",
    "CL_DEVICE_GLOBAL_MEM_SIZE: ",
    "CL_DEVICE_ERROR_CORRECTION_SUPPORT: ",
    "CL_DEVICE_LOCAL_MEM_TYPE: ",
    "CL_DEVICE_LOCAL_MEM_SIZE: ",
    "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE: ",
    "CL_DEVICE_QUEUE_PROPERTIES: ",
    "CL_DEVICE_IMAGE_SUPPORT: ",
    "CL_DEVICE_MAX_READ_IMAGE_ARGS: ",
    "CL_DEVICE_MAX_WRITE_IMAGE_ARGS: ",
    "CL_DEVICE_SINGLE_FP_CONFIG: ",
    "CL_DEVICE_SINGLE_FP_CONFIG: ",
    "CL_DEVICE_IMAGE2D_MAX_WIDTH: ",
    "CL_DEVICE_IMAGE2D_MAX_HEIGHT: ",
    "CL_DEVICE_IMAGE3D_MAX_WIDTH: ",
    "CL_DEVICE_IMAGE3D_MAX_HEIGHT: ",
    "CL_DEVICE_IMAGE3D_MAX_DEPTH: ",
    "Extensions:\t",
};

} // namespace

void RowFormatTest::unterminatedTextIsReadNoFurtherThanItsField()
{
    ClDeviceEntry entry = device();
    std::memset(entry.name, 'n', sizeof entry.name);
    std::memset(entry.vendor, 'v', sizeof entry.vendor);
    std::memset(entry.version, 'r', sizeof entry.version);
    QCOMPARE(RowFormat::deviceLabel(entry), QStringLiteral("Device: ") + QString(256, QLatin1Char('n')));
    QCOMPARE(row(entry, 1), QStringLiteral("Vendor: ") + QString(256, QLatin1Char('v')));
    QCOMPARE(row(entry, 2), QStringLiteral("Version: ") + QString(256, QLatin1Char('r')));
}

void RowFormatTest::aDeviceShows27RowsInFixedOrder()
{
    ClDeviceEntry entry = device();
    entry.type = CL_DEVICE_TYPE_GPU;
    entry.localMemType = CL_LOCAL;
    const QStringList rows = deviceRows(entry);
    QCOMPARE(rows.size(), 27);
    for (int i = 0; i < 27; ++i)
        QVERIFY2(rows[i].startsWith(QLatin1String(devicePrefixes[i])), qPrintable(rows[i]));
}

void RowFormatTest::deviceRowsReadAsPrefixValueSuffix_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");

    QTest::newRow("vendor") << 1 << "Vendor: Acme Devices";
    QTest::newRow("version") << 2 << "Version: OpenCL 1.0 acme";
    QTest::newRow("type") << 3 << "Type: CL_DEVICE_TYPE_CPU";
    QTest::newRow("compute units") << 4 << "CL_DEVICE_MAX_COMPUTE_UNITS: 16";
    QTest::newRow("dimensions") << 5 << "CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS: 3";
    QTest::newRow("work-item sizes") << 6 << "CL_DEVICE_MAX_WORK_ITEM_SIZES: 512x512x64";
    QTest::newRow("work-group size") << 7 << "CL_DEVICE_MAX_WORK_GROUP_SIZE: 512";
    QTest::newRow("clock in MHz as stored") << 8 << "CL_DEVICE_MAX_CLOCK_FREQUENCY: 1500 MHz";
    QTest::newRow("address bits") << 9 << "CL_DEVICE_ADDRESS_BITS: 32";
    QTest::newRow("alloc size in MByte") << 10 << "CL_DEVICE_MAX_MEM_ALLOC_SIZE: 256 MByte";
    QTest::newRow("global size in MByte") << 11 << "CL_DEVICE_GLOBAL_MEM_SIZE: 1024 MByte";
    QTest::newRow("no error correction") << 12 << "CL_DEVICE_ERROR_CORRECTION_SUPPORT: no";
    QTest::newRow("local memory type") << 13 << "CL_DEVICE_LOCAL_MEM_TYPE: local";
    QTest::newRow("local size in KByte") << 14 << "CL_DEVICE_LOCAL_MEM_SIZE: 16 KByte";
    QTest::newRow("constant buffer in KByte") << 15 << "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE: 64 KByte";
    QTest::newRow("profiling queue") << 16 << "CL_DEVICE_QUEUE_PROPERTIES: CL_QUEUE_PROFILING_ENABLE";
    QTest::newRow("image support") << 17 << "CL_DEVICE_IMAGE_SUPPORT: yes";
    QTest::newRow("read images") << 18 << "CL_DEVICE_MAX_READ_IMAGE_ARGS: 128";
    QTest::newRow("write images") << 19 << "CL_DEVICE_MAX_WRITE_IMAGE_ARGS: 8";
    QTest::newRow("fp names") << 20 << "CL_DEVICE_SINGLE_FP_CONFIG: CL_FP_INF_NAN\n\tCL_FP_ROUND_TO_NEAREST";
    QTest::newRow("fp number") << 21 << "CL_DEVICE_SINGLE_FP_CONFIG: 6";
    QTest::newRow("2D width") << 22 << "CL_DEVICE_IMAGE2D_MAX_WIDTH: 8192";
    QTest::newRow("2D height") << 23 << "CL_DEVICE_IMAGE2D_MAX_HEIGHT: 8191";
    QTest::newRow("3D width") << 24 << "CL_DEVICE_IMAGE3D_MAX_WIDTH: 2048";
    QTest::newRow("3D height") << 25 << "CL_DEVICE_IMAGE3D_MAX_HEIGHT: 2047";
    QTest::newRow("3D depth") << 26 << "CL_DEVICE_IMAGE3D_MAX_DEPTH: 2046";
    QTest::newRow("extensions") << 27 << "Extensions:\tcl_khr_icd\n\tcl_khr_fp64";
}

void RowFormatTest::deviceRowsReadAsPrefixValueSuffix()
{
    QFETCH(int, number);
    QFETCH(QString, expected);

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

    QCOMPARE(row(entry, number), expected);
}

void RowFormatTest::typesAreComparedAsAWholeValue_data()
{
    QTest::addColumn<quint64>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default") << quint64(1) << "Type: CL_DEVICE_TYPE_DEFAULT";
    QTest::newRow("CPU") << quint64(2) << "Type: CL_DEVICE_TYPE_CPU";
    QTest::newRow("GPU") << quint64(4) << "Type: CL_DEVICE_TYPE_GPU";
    QTest::newRow("accelerator") << quint64(8) << "Type: CL_DEVICE_TYPE_ACCELERATOR";
    QTest::newRow("GPU and default (5) leaves the row empty") << quint64(5) << "";
    QTest::newRow("no type bit leaves the row empty") << quint64(0) << "";
    QTest::newRow("custom leaves the row empty") << quint64(CL_DEVICE_TYPE_CUSTOM) << "";
}

void RowFormatTest::typesAreComparedAsAWholeValue()
{
    QFETCH(quint64, type);
    QFETCH(QString, expected);
    ClDeviceEntry entry = device();
    entry.type = type;
    QCOMPARE(row(entry, 3), expected);
    QCOMPARE(deviceRows(entry).size(), 27);
}

void RowFormatTest::unknownLocalMemoryTypeLeavesItsRowEmpty()
{
    ClDeviceEntry entry = device();
    entry.localMemType = CL_GLOBAL;
    QCOMPARE(row(entry, 13), QStringLiteral("CL_DEVICE_LOCAL_MEM_TYPE: global"));
    entry.localMemType = 0;
    QCOMPARE(row(entry, 13), QString());
    entry.localMemType = 3;
    QCOMPARE(row(entry, 13), QString());
}

void RowFormatTest::memorySizesAreShiftedDownToWholeUnits_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("65536 bytes of local memory are 64 KByte")
        << 14 << quint64(65536) << "CL_DEVICE_LOCAL_MEM_SIZE: 64 KByte";
    QTest::newRow("65535 bytes of local memory are 63 KByte")
        << 14 << quint64(65535) << "CL_DEVICE_LOCAL_MEM_SIZE: 63 KByte";
    QTest::newRow("1048575 bytes of global memory are 0 MByte")
        << 11 << quint64(1048575) << "CL_DEVICE_GLOBAL_MEM_SIZE: 0 MByte";
    QTest::newRow("1048576 bytes of global memory are 1 MByte")
        << 11 << quint64(1048576) << "CL_DEVICE_GLOBAL_MEM_SIZE: 1 MByte";
    QTest::newRow("64 GiB of global memory") << 11 << (quint64(64) << 30) << "CL_DEVICE_GLOBAL_MEM_SIZE: 65536 MByte";
    QTest::newRow("allocation beyond 4 GiB") << 10 << (quint64(5) << 30) << "CL_DEVICE_MAX_MEM_ALLOC_SIZE: 5120 MByte";
    QTest::newRow("1023 bytes of constant buffer are 0 KByte")
        << 15 << quint64(1023) << "CL_DEVICE_MAX_CONSTANT_BUFFER_SIZE: 0 KByte";
}

void RowFormatTest::memorySizesAreShiftedDownToWholeUnits()
{
    QFETCH(int, number);
    QFETCH(quint64, bytes);
    QFETCH(QString, expected);
    ClDeviceEntry entry = device();
    entry.localMemSize = entry.globalMemSize = entry.maxMemAllocSize = entry.maxConstantBufferSize = bytes;
    QCOMPARE(row(entry, number), expected);
}

void RowFormatTest::noQueuePropertyGivesTheBarePrefix()
{
    ClDeviceEntry entry = device();
    QCOMPARE(row(entry, 16), QStringLiteral("CL_DEVICE_QUEUE_PROPERTIES: "));
    entry.queueProperties = 0x4;   // not a bit this row knows
    QCOMPARE(row(entry, 16), QStringLiteral("CL_DEVICE_QUEUE_PROPERTIES: "));
}

void RowFormatTest::queuePropertiesStandOneALine_data()
{
    QTest::addColumn<quint64>("properties");
    QTest::addColumn<QString>("expected");
    QTest::newRow("out of order") << quint64(1) << "CL_DEVICE_QUEUE_PROPERTIES: CL_QUEUE_OUT_OF_ORDER_EXEC_MODE_ENABLE";
    QTest::newRow("profiling, its trailing blank trimmed")
        << quint64(2) << "CL_DEVICE_QUEUE_PROPERTIES: CL_QUEUE_PROFILING_ENABLE";
    QTest::newRow("both, the second on a tabbed line")
        << quint64(3)
        << "CL_DEVICE_QUEUE_PROPERTIES: CL_QUEUE_OUT_OF_ORDER_EXEC_MODE_ENABLE\n\tCL_QUEUE_PROFILING_ENABLE";
}

void RowFormatTest::queuePropertiesStandOneALine()
{
    QFETCH(quint64, properties);
    QFETCH(QString, expected);
    ClDeviceEntry entry = device();
    entry.queueProperties = properties;
    QCOMPARE(row(entry, 16), expected);
}

void RowFormatTest::fpConfigShowsItsNamesThenItsNumber()
{
    ClDeviceEntry entry = device();
    entry.singleFpConfig = 0x1E;
    QCOMPARE(row(entry, 20), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: CL_FP_INF_NAN\n"
                                            "\tCL_FP_ROUND_TO_NEAREST\n"
                                            "\tCL_FP_ROUND_TO_ZERO\n"
                                            "\tCL_FP_ROUND_TO_INF"));
    QCOMPARE(row(entry, 20).split('\n').size(), 4);
    QCOMPARE(row(entry, 21), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: 30"));

    entry.singleFpConfig = 0x3F;
    QCOMPARE(row(entry, 20), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: CL_FP_DENORM\n\tCL_FP_INF_NAN\n"
                                            "\tCL_FP_ROUND_TO_NEAREST\n\tCL_FP_ROUND_TO_ZERO\n"
                                            "\tCL_FP_ROUND_TO_INF\n\tCL_FP_FMA"));
}

void RowFormatTest::fpConfigWithoutKnownBitsShowsBarePrefixAndNumber()
{
    ClDeviceEntry entry = device();
    QCOMPARE(row(entry, 20), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: "));
    QCOMPARE(row(entry, 21), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: 0"));
    entry.singleFpConfig = CL_FP_SOFT_FLOAT;   // 0x40, not listed
    QCOMPARE(row(entry, 20), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: "));
    QCOMPARE(row(entry, 21), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: 64"));
}

void RowFormatTest::numbersAreUnsignedAndFullWidth()
{
    ClDeviceEntry entry = device();
    entry.maxComputeUnits = 0xFFFFFFFFu;
    entry.singleFpConfig = ~cl_device_fp_config(0);
    entry.image2dMaxWidth = size_t(1) << 40;
    QCOMPARE(row(entry, 4), QStringLiteral("CL_DEVICE_MAX_COMPUTE_UNITS: 4294967295"));
    QCOMPARE(row(entry, 21), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: 18446744073709551615"));
    QCOMPARE(row(entry, 22), QStringLiteral("CL_DEVICE_IMAGE2D_MAX_WIDTH: 1099511627776"));
}

void RowFormatTest::workItemSizesJoinTheFirstThreeWithX()
{
    size_t sizes[4] = { 1024, 256, 16, 8 };
    ClDeviceEntry entry = device();
    entry.maxWorkItemDimensions = 4;
    entry.maxWorkItemSizes = sizes;
    QCOMPARE(row(entry, 6), QStringLiteral("CL_DEVICE_MAX_WORK_ITEM_SIZES: 1024x256x16"));
    entry.maxWorkItemSizes = nullptr;
    QCOMPARE(row(entry, 6), QStringLiteral("CL_DEVICE_MAX_WORK_ITEM_SIZES: 0x0x0"));
}

void RowFormatTest::platformExtensionsBreakAtEveryBlank()
{
    const QString text = RowFormat::platformExtensions("cl_khr_icd  cl_khr_fp64");
    QCOMPARE(text, QStringLiteral("Extensions:\tcl_khr_icd\n\t\n\tcl_khr_fp64"));
    const QStringList lines = text.split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[1], QStringLiteral("\t"));
    QCOMPARE(RowFormat::platformExtensions("a b c"), QStringLiteral("Extensions:\ta\n\tb\n\tc"));
}

void RowFormatTest::deviceExtensionsBreakAtOneOrTwoBlanks()
{
    const QString text = RowFormat::deviceExtensions("cl_khr_icd  cl_khr_fp64");
    QCOMPARE(text, QStringLiteral("Extensions:\tcl_khr_icd\n\tcl_khr_fp64"));
    QCOMPARE(text.split('\n').size(), 2);
    QCOMPARE(RowFormat::deviceExtensions("a b c"), QStringLiteral("Extensions:\ta\n\tb\n\tc"));

    char extensions[] = "cl_khr_icd  cl_khr_fp64";
    ClDeviceEntry entry = device();
    entry.extensions = extensions;
    QCOMPARE(row(entry, 27), text);
}

void RowFormatTest::deviceExtensionsBreakTwiceAtThreeBlanks()
{
    QCOMPARE(RowFormat::deviceExtensions("a   b"), QStringLiteral("Extensions:\ta\n\t\n\tb"));
    QCOMPARE(RowFormat::deviceExtensions("a    b"), QStringLiteral("Extensions:\ta\n\t\n\tb"));
}

void RowFormatTest::extensionListsAreTrimmed()
{
    QCOMPARE(RowFormat::platformExtensions("  cl_a cl_b \n"), QStringLiteral("Extensions:\tcl_a\n\tcl_b"));
    QCOMPARE(RowFormat::deviceExtensions("\tcl_a cl_b   "), QStringLiteral("Extensions:\tcl_a\n\tcl_b"));
    QCOMPARE(RowFormat::deviceExtensions(""), QStringLiteral("Extensions:\t"));
    QCOMPARE(RowFormat::platformExtensions(nullptr), QStringLiteral("Extensions:\t"));
}

void RowFormatTest::platformShowsVersionVendorProfileExtensions()
{
    char extensions[] = "cl_khr_icd cl_ext_one";
    ClPlatformEntry platform;
    std::memset(&platform, 0, sizeof platform);
    qstrcpy(platform.version, "OpenCL 1.2 acme");
    qstrcpy(platform.vendor, "Acme");
    qstrcpy(platform.profile, "FULL_PROFILE");
    platform.extensions = extensions;
    QCOMPARE(platformRows(platform), QStringList({ "Version: OpenCL 1.2 acme", "Vendor: Acme",
                                                   "Profile: FULL_PROFILE",
                                                   "Extensions:\tcl_khr_icd\n\tcl_ext_one" }));
}

void RowFormatTest::inventoryRowsFollowTreeOrder()
{
    ClDeviceEntry devices[3] = { device(), device(), device() };
    qstrcpy(devices[0].name, "Alpha GPU");
    qstrcpy(devices[1].name, "Beta CPU");
    qstrcpy(devices[2].name, "Beta GPU");
    ClPlatformEntry platforms[2];
    std::memset(platforms, 0, sizeof platforms);
    qstrcpy(platforms[0].name, "Alpha");
    platforms[0].devices = &devices[0];
    platforms[0].numDevices = 1;
    qstrcpy(platforms[1].name, "Beta");
    platforms[1].devices = &devices[1];
    platforms[1].numDevices = 2;
    ClInventory inventory = { platforms, nullptr, 2 };

    const QVector<InventoryRow> rows = inventoryRows(inventory);
    QCOMPARE(rows.size(), 2 * (1 + 4) + 3 * (1 + 27));

    QStringList outline;   // the rows that are not properties, with their depth
    for (const InventoryRow &row : rows) {
        switch (row.kind) {
        case InventoryRow::Platform:
            QCOMPARE(row.depth, 0);
            QCOMPARE(row.column, 0);
            break;
        case InventoryRow::PlatformProperty:
        case InventoryRow::Device:
            QCOMPARE(row.depth, 1);
            QCOMPARE(row.column, 0);
            break;
        case InventoryRow::DeviceProperty:
            QCOMPARE(row.depth, 2);
            QCOMPARE(row.column, 1);
            break;
        }
        if (row.kind == InventoryRow::Platform || row.kind == InventoryRow::Device)
            outline << row.text;
    }
    QCOMPARE(outline, QStringList({ "Alpha", "Device: Alpha GPU", "Beta", "Device: Beta CPU", "Device: Beta GPU" }));
    QCOMPARE(rows[1].text, QStringLiteral("Version: "));
    QCOMPARE(rows[5].text, QStringLiteral("Device: Alpha GPU"));
    QCOMPARE(rows[6].text, QStringLiteral("Vendor: "));
    QCOMPARE(rows[5 + 27].text, QStringLiteral("Extensions:\t"));
    QCOMPARE(rows[5 + 28].text, QStringLiteral("Beta"));
}

void RowFormatTest::emptyInventoryGivesNoRow()
{
    ClInventory inventory = { nullptr, nullptr, 0 };
    QVERIFY(inventoryRows(inventory).isEmpty());
}

void RowFormatTest::glExtensionsSplitAtSingleBlanks()
{
    const QStringList list = GlFormat::extensionList("GL_ARB_one GL_EXT_two GL_ARB_three");
    QCOMPARE(list, QStringList({ "GL_ARB_one", "GL_EXT_two", "GL_ARB_three" }));
    QCOMPARE(GlFormat::extensionsHeader(list.size()), QStringLiteral("Extensions (3)"));
}

void RowFormatTest::glTrailingBlankAddsNoRow()
{
    QCOMPARE(GlFormat::extensionList("GL_a GL_b "), QStringList({ "GL_a", "GL_b" }));
    QCOMPARE(GlFormat::extensionList(" GL_a GL_b"), QStringList({ "GL_a", "GL_b" }));
}

void RowFormatTest::glDoubleBlankAddsNoRow()
{
    QCOMPARE(GlFormat::extensionList("GL_a  GL_b"), QStringList({ "GL_a", "GL_b" }));
}

void RowFormatTest::glThreeBlanksAddOneEmptyRowThatIsCounted()
{
    const QStringList list = GlFormat::extensionList("GL_a   GL_b");
    QCOMPARE(list, QStringList({ "GL_a", "", "GL_b" }));
    QCOMPARE(GlFormat::extensionsHeader(list.size()), QStringLiteral("Extensions (3)"));
    // Four blanks are reduced to two, once: one empty row as well.
    QCOMPARE(GlFormat::extensionList("GL_a    GL_b"), QStringList({ "GL_a", "", "GL_b" }));
}

void RowFormatTest::glEmptyStringGivesOneEmptyRow()
{
    QCOMPARE(GlFormat::extensionList(QLatin1String("")), QStringList({ "" }));
    QCOMPARE(GlFormat::extensionList(QLatin1String("  ")), QStringList({ "" }));
}

void RowFormatTest::glMissingStringsReadUnavailable()
{
    QVERIFY(GlFormat::extensionList(QString()).isEmpty());
    QCOMPARE(GlFormat::shown(QString()), QStringLiteral("unavailable"));
    QCOMPARE(GlFormat::shown(QStringLiteral("4.5 Mesa")), QStringLiteral("4.5 Mesa"));
    QCOMPARE(GlFormat::labelText("Version", GlFormat::shown(QString())),
             QStringLiteral("Version: <b>unavailable</b>"));
}

void RowFormatTest::glLabelsPutTheValueInBold()
{
    QCOMPARE(GlFormat::labelText("Renderer", "llvmpipe (LLVM 15)"),
             QStringLiteral("Renderer: <b>llvmpipe (LLVM 15)</b>"));
    // The driver's text goes in as it is, not escaped.
    QCOMPARE(GlFormat::labelText("Vendor", "A & B"), QStringLiteral("Vendor: <b>A & B</b>"));
    QCOMPARE(GlFormat::plainText("Vendor", "Mesa"), QStringLiteral("Vendor: Mesa"));
}

void RowFormatTest::reportIndentsTwoBlanksALevel()
{
    QCOMPARE(InfoReport::row("Platform", 0), QStringLiteral("Platform\n"));
    QCOMPARE(InfoReport::row("Version: 1", 1), QStringLiteral("  Version: 1\n"));
    QCOMPARE(InfoReport::row("Type: CL_DEVICE_TYPE_CPU", 2), QStringLiteral("    Type: CL_DEVICE_TYPE_CPU\n"));
}

void RowFormatTest::reportKeepsTheLinesOfAMultiLineRow()
{
    QCOMPARE(InfoReport::row("Extensions:\ta\n\tb", 2), QStringLiteral("    Extensions:\ta\n    \tb\n"));
}

void RowFormatTest::reportLeavesAnEmptyRowAnEmptyLine()
{
    QCOMPARE(InfoReport::row(QString(), 2), QStringLiteral("\n"));
}

void RowFormatTest::reportPrintsTheTreeRowsInOrder()
{
    ClDeviceEntry entry = device();
    qstrcpy(entry.name, "Only Device");
    entry.type = 5;   // an empty row
    ClPlatformEntry platform;
    std::memset(&platform, 0, sizeof platform);
    qstrcpy(platform.name, "Only Platform");
    platform.devices = &entry;
    platform.numDevices = 1;
    ClInventory inventory = { &platform, nullptr, 1 };

    const QStringList lines = InfoReport::openCl(inventory, CL_SUCCESS).split('\n');
    // Platform, its four rows, the device, its 27 rows, and the empty
    // part after the last line break.
    QCOMPARE(lines.size(), 1 + 4 + 1 + 27 + 1);
    QCOMPARE(lines[0], QStringLiteral("Only Platform"));
    QCOMPARE(lines[1], QStringLiteral("  Version: "));
    QCOMPARE(lines[5], QStringLiteral("  Device: Only Device"));
    QCOMPARE(lines[6], QStringLiteral("    Vendor: "));
    QCOMPARE(lines[8], QString());   // the type row
    QCOMPARE(lines.last(), QString()); // the text ends with a line break
}

void RowFormatTest::reportNamesTheStatusOfAFailedScan()
{
    ClInventory inventory = { nullptr, nullptr, 0 };
    QCOMPARE(InfoReport::openCl(inventory, CL_DEVICE_NOT_FOUND),
             QStringLiteral("No OpenCL platform (CL_DEVICE_NOT_FOUND)\n"));
}

void RowFormatTest::reportShowsUnavailableOpenGlStrings()
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
