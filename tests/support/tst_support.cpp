#include "clerrorname.h"
#include "clfault.h"
#include "clinventory.h"
#include "kernelsource.h"

#include <CL/cl_ext.h>
#include <CL/cl_gl.h>

#include <QtTest>


Q_DECLARE_METATYPE(ClFault::Driver)

namespace {

// Every platform as "name: number of devices".
QStringList platformsOf(const ClInventory &inventory)
{
    QStringList result;
    for (cl_uint i = 0; i < inventory.numPlatforms; ++i)
        result << QString::fromLatin1(inventory.platforms[i].name) + ": "
                      + QString::number(inventory.platforms[i].numDevices);
    return result;
}

// Names as the OpenCL headers spell them, not as the program writes them.
#define NAMED(status) { status, #status }
const struct { cl_int status; const char *name; } headerNames[] = {
    NAMED(CL_SUCCESS), NAMED(CL_DEVICE_NOT_FOUND), NAMED(CL_DEVICE_NOT_AVAILABLE), NAMED(CL_COMPILER_NOT_AVAILABLE),
    NAMED(CL_MEM_OBJECT_ALLOCATION_FAILURE), NAMED(CL_OUT_OF_RESOURCES), NAMED(CL_OUT_OF_HOST_MEMORY),
    NAMED(CL_PROFILING_INFO_NOT_AVAILABLE), NAMED(CL_MEM_COPY_OVERLAP), NAMED(CL_IMAGE_FORMAT_MISMATCH),
    NAMED(CL_IMAGE_FORMAT_NOT_SUPPORTED), NAMED(CL_BUILD_PROGRAM_FAILURE), NAMED(CL_MAP_FAILURE),
    NAMED(CL_MISALIGNED_SUB_BUFFER_OFFSET), NAMED(CL_EXEC_STATUS_ERROR_FOR_EVENTS_IN_WAIT_LIST),
    NAMED(CL_COMPILE_PROGRAM_FAILURE), NAMED(CL_LINKER_NOT_AVAILABLE), NAMED(CL_LINK_PROGRAM_FAILURE),
    NAMED(CL_DEVICE_PARTITION_FAILED), NAMED(CL_KERNEL_ARG_INFO_NOT_AVAILABLE), NAMED(CL_INVALID_VALUE),
    NAMED(CL_INVALID_DEVICE_TYPE), NAMED(CL_INVALID_PLATFORM), NAMED(CL_INVALID_DEVICE), NAMED(CL_INVALID_CONTEXT),
    NAMED(CL_INVALID_QUEUE_PROPERTIES), NAMED(CL_INVALID_COMMAND_QUEUE), NAMED(CL_INVALID_HOST_PTR),
    NAMED(CL_INVALID_MEM_OBJECT), NAMED(CL_INVALID_IMAGE_FORMAT_DESCRIPTOR), NAMED(CL_INVALID_IMAGE_SIZE),
    NAMED(CL_INVALID_SAMPLER), NAMED(CL_INVALID_BINARY), NAMED(CL_INVALID_BUILD_OPTIONS), NAMED(CL_INVALID_PROGRAM),
    NAMED(CL_INVALID_PROGRAM_EXECUTABLE), NAMED(CL_INVALID_KERNEL_NAME), NAMED(CL_INVALID_KERNEL_DEFINITION),
    NAMED(CL_INVALID_KERNEL), NAMED(CL_INVALID_ARG_INDEX), NAMED(CL_INVALID_ARG_VALUE), NAMED(CL_INVALID_ARG_SIZE),
    NAMED(CL_INVALID_KERNEL_ARGS), NAMED(CL_INVALID_WORK_DIMENSION), NAMED(CL_INVALID_WORK_GROUP_SIZE),
    NAMED(CL_INVALID_WORK_ITEM_SIZE), NAMED(CL_INVALID_GLOBAL_OFFSET), NAMED(CL_INVALID_EVENT_WAIT_LIST),
    NAMED(CL_INVALID_EVENT), NAMED(CL_INVALID_OPERATION), NAMED(CL_INVALID_GL_OBJECT), NAMED(CL_INVALID_BUFFER_SIZE),
    NAMED(CL_INVALID_MIP_LEVEL), NAMED(CL_INVALID_GLOBAL_WORK_SIZE), NAMED(CL_INVALID_PROPERTY),
    NAMED(CL_INVALID_IMAGE_DESCRIPTOR), NAMED(CL_INVALID_COMPILER_OPTIONS), NAMED(CL_INVALID_LINKER_OPTIONS),
    NAMED(CL_INVALID_DEVICE_PARTITION_COUNT), NAMED(CL_INVALID_GL_SHAREGROUP_REFERENCE_KHR),
    NAMED(CL_PLATFORM_NOT_FOUND_KHR),
};
#undef NAMED

} // namespace

// The OpenCL inventory on real and fake drivers, status names and the
// embedded kernel sources.
class SupportTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { ClFault::reset(); }

    void scanListsWhatTheDriverHas_data();
    void scanListsWhatTheDriverHas();
    void textsAreKeptWholeOrCutAndAlwaysTerminated();
    void statusesAreNamedAsTheHeadersSpellThem();
    void kernelSourcesAreEmbeddedByteForByte();
};

void SupportTest::scanListsWhatTheDriverHas_data()
{
    QTest::addColumn<ClFault::Driver>("driver");
    QTest::addColumn<QByteArray>("failing");   // function whose nth call fails
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("platforms");
    const ClFault::Driver real = ClFault::Driver::Real;
    const QString machine = QStringLiteral("Portable Computing Language: 1");
    QTest::newRow("two fake platforms") << ClFault::Driver::TwoPlatformsTwoDevices << QByteArray() << 0 << 0 << 0
                                        << QStringList{ "Fake Platform A: 2", "Fake Platform B: 2" };
    QTest::newRow("an empty platform first") << ClFault::Driver::PlatformWithoutDevice << QByteArray() << 0 << 0
                                             << 0 << QStringList{ "Fake Empty Platform: 0", machine };
    QTest::newRow("no platform") << ClFault::Driver::NoPlatform << QByteArray() << 0 << 0
                                 << int(CL_PLATFORM_NOT_FOUND_KHR) << QStringList();
    QTest::newRow("device not found") << real << QByteArray("clGetDeviceIDs") << 1 << int(CL_DEVICE_NOT_FOUND) << 0
                                      << QStringList{ "Portable Computing Language: 0" };
    QTest::newRow("platform count") << real << QByteArray("clGetPlatformIDs") << 1 << int(CL_OUT_OF_HOST_MEMORY)
                                    << int(CL_OUT_OF_HOST_MEMORY) << QStringList();
    QTest::newRow("device list") << real << QByteArray("clGetDeviceIDs") << 2 << int(CL_OUT_OF_RESOURCES)
                                 << int(CL_OUT_OF_RESOURCES) << QStringList();
    QTest::newRow("last device query") << real << QByteArray("clGetDeviceInfo") << 40 << int(CL_INVALID_VALUE)
                                       << int(CL_INVALID_VALUE) << QStringList();
}

// A failure other than "no device" ends the scan with its status; what the
// record then holds is not read.
void SupportTest::scanListsWhatTheDriverHas()
{
    QFETCH(ClFault::Driver, driver);
    QFETCH(QByteArray, failing);
    QFETCH(int, nth);
    QFETCH(int, failure);
    QFETCH(int, status);
    QFETCH(QStringList, platforms);
    ClFault::setDriver(driver);
    if (!failing.isEmpty())
        ClFault::failCall(failing.constData(), nth, failure);
    ClInventory inventory = {};
    QCOMPARE(int(scanOpenClInventory(inventory)), status);
    if (status == CL_SUCCESS)
        QCOMPARE(platformsOf(inventory), platforms);
    for (cl_uint i = 0; status == CL_SUCCESS && i < inventory.numPlatforms; ++i) {
        for (cl_uint j = 0; j < inventory.platforms[i].numDevices; ++j)
            QCOMPARE(inventory.platforms[i].devices[j].platform, inventory.platformIds[i]);
    }
    releaseOpenClInventory(inventory);
    QVERIFY(!inventory.platforms && inventory.numPlatforms == 0);
}

void SupportTest::textsAreKeptWholeOrCutAndAlwaysTerminated()
{
    QByteArray extensions;
    while (extensions.size() < 3000)
        extensions += "cl_vendor_extension_" + QByteArray::number(extensions.size()) + ' ';
    const char unterminated[4] = { 'a', 'b', 'c', 'd' };
    ClFault::overrideDeviceText(CL_DEVICE_EXTENSIONS, extensions);
    ClFault::overrideDeviceText(CL_DEVICE_NAME, QByteArray(400, 'n'));
    ClFault::overrideDeviceInfo(CL_DEVICE_VENDOR, unterminated, sizeof unterminated);
    ClInventory inventory = {};
    QCOMPARE(scanOpenClInventory(inventory), CL_SUCCESS);
    const ClDeviceEntry &device = inventory.platforms[0].devices[0];
    QCOMPARE(QByteArray(device.extensions), extensions);
    QCOMPARE(QByteArray(device.name), QByteArray(255, 'n'));
    QCOMPARE(QByteArray(device.vendor), QByteArray("abcd"));
    releaseOpenClInventory(inventory);
}

void SupportTest::statusesAreNamedAsTheHeadersSpellThem()
{
    char buffer[64];
    for (const auto &status : headerNames)
        QCOMPARE(clErrorName(status.status, buffer, sizeof buffer), status.name);
    QCOMPARE(clErrorName(-20, buffer, sizeof buffer), "Unknown OpenCL error -20");
    QCOMPARE(clErrorName(CL_BUILD_PROGRAM_FAILURE, buffer, 8), "CL_BUIL");
}

void SupportTest::kernelSourcesAreEmbeddedByteForByte()
{
    for (const char *name : { "simplGL.cl", "PostprocessGL.cl", "NBody_Kernels.cl" }) {
        QByteArray embedded;
        QVERIFY(readKernelSource(name, embedded));
        QFile onDisk(QStringLiteral(KORVANE_SOURCE_DIR "/cl/") + name);
        QVERIFY(onDisk.open(QIODevice::ReadOnly));
        QCOMPARE(embedded, onDisk.readAll());
        QCOMPARE(embedded.count("\n"), embedded.count("\r\n"));
    }
}

QTEST_MAIN(SupportTest)
#include "tst_support.moc"
