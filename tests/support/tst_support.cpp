#include "clerrorname.h"
#include "clfault.h"
#include "clinventory.h"
#include "glentrypoints.h"
#include "kernelsource.h"

#include <QtTest>
#include <QFile>
#include <QGLWidget>

#include <cstring>

// The services every view and dialog relies on: the inventory scan, against
// the machine's driver and against drivers that fail, report nothing, or
// report more than fits a fixed buffer; status names; the embedded kernel
// sources; and the buffer-object entry points.
class SupportTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { ClFault::reset(); }

    void realScanListsPoclPlatformAndDevice();
    void twoPlatformsOfTwoDevicesEach();
    void failingDriverEndsTheScanWithItsStatus_data();
    void failingDriverEndsTheScanWithItsStatus();
    void longExtensionListIsKeptWhole();
    void longNameIsCutAt255AndUnterminatedTextTerminated();
    void rescanReleasesThePreviousRecord();
    void lookupsOutsideTheRecordFindNothing();

    void statusesAreNamed_data();
    void statusesAreNamed();
    void nameIsCutToTheBuffer();
    void kernelSourcesAreEmbeddedByteForByte_data();
    void kernelSourcesAreEmbeddedByteForByte();
    void bufferEntryPointsWork();

private:
    static cl_int scan(ClInventory &inventory)
    {
        std::memset(&inventory, 0, sizeof inventory);
        return scanOpenClInventory(inventory);
    }
};

void SupportTest::realScanListsPoclPlatformAndDevice()
{
    ClInventory inventory;
    QCOMPARE(scan(inventory), CL_SUCCESS);
    QVERIFY(inventory.numPlatforms >= 1);
    const ClPlatformEntry &platform = inventory.platforms[0];
    QCOMPARE(QByteArray(platform.name), QByteArray("Portable Computing Language"));
    QVERIFY(QByteArray(platform.version).startsWith("OpenCL"));
    QVERIFY(platform.numDevices >= 1);
    const ClDeviceEntry &device = platform.devices[0];
    QVERIFY(device.type & CL_DEVICE_TYPE_CPU);
    QCOMPARE(device.platform, inventory.platformIds[0]);
    QVERIFY(device.maxWorkItemDimensions >= 3);
    QVERIFY(device.maxWorkItemSizes[0] >= 1);
    QVERIFY(device.maxWorkGroupSize >= 256);
    QVERIFY(device.maxComputeUnits >= 1);
    QVERIFY(device.globalMemSize > 0);
    QVERIFY(device.extensions && strstr(device.extensions, "cl_khr") != nullptr);
    releaseOpenClInventory(inventory);
    QCOMPARE(inventory.numPlatforms, cl_uint(0));
    QVERIFY(!inventory.platforms);
}

void SupportTest::twoPlatformsOfTwoDevicesEach()
{
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    ClInventory inventory;
    QCOMPARE(scan(inventory), CL_SUCCESS);
    QCOMPARE(inventory.numPlatforms, cl_uint(2));
    QCOMPARE(QByteArray(inventory.platforms[1].name), QByteArray("Fake Platform B"));
    QCOMPARE(inventory.platforms[1].numDevices, cl_uint(2));
    QCOMPARE(QByteArray(inventory.platforms[1].devices[0].name), QByteArray("Fake Device B1"));
    QCOMPARE(inventory.platforms[1].devices[1].platform, inventory.platformIds[1]);
    QCOMPARE(inventoryDevice(inventory, 1, 1), inventory.platforms[1].deviceIds[1]);
    releaseOpenClInventory(inventory);
}

void SupportTest::failingDriverEndsTheScanWithItsStatus_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("injected");
    QTest::addColumn<int>("expected");
    const int real = int(ClFault::Driver::Real);
    QTest::newRow("no platform") << int(ClFault::Driver::NoPlatform) << QByteArray() << 0 << 0
                                 << int(CL_DEVICE_NOT_FOUND);
    QTest::newRow("platform without device") << int(ClFault::Driver::PlatformWithoutDevice) << QByteArray() << 0
                                             << 0 << int(CL_DEVICE_NOT_FOUND);
    QTest::newRow("platform count") << real << QByteArray("clGetPlatformIDs") << 1 << int(CL_OUT_OF_HOST_MEMORY)
                                    << int(CL_DEVICE_NOT_FOUND);
    QTest::newRow("platform list") << real << QByteArray("clGetPlatformIDs") << 2 << int(CL_OUT_OF_HOST_MEMORY)
                                   << int(CL_OUT_OF_HOST_MEMORY);
    QTest::newRow("platform name") << real << QByteArray("clGetPlatformInfo") << 5 << int(CL_INVALID_VALUE)
                                   << int(CL_INVALID_VALUE);
    QTest::newRow("device list") << real << QByteArray("clGetDeviceIDs") << 2 << int(CL_OUT_OF_RESOURCES)
                                 << int(CL_OUT_OF_RESOURCES);
    QTest::newRow("last device query") << real << QByteArray("clGetDeviceInfo") << 40 << int(CL_INVALID_VALUE)
                                       << int(CL_INVALID_VALUE);
}

void SupportTest::failingDriverEndsTheScanWithItsStatus()
{
    QFETCH(int, driver);
    QFETCH(QByteArray, function);
    QFETCH(int, nth);
    QFETCH(int, injected);
    QFETCH(int, expected);
    ClFault::setDriver(ClFault::Driver(driver));
    if (!function.isEmpty())
        ClFault::failCall(function.constData(), nth, injected);
    ClInventory inventory;
    QCOMPARE(int(scan(inventory)), expected);
    releaseOpenClInventory(inventory);
}

void SupportTest::longExtensionListIsKeptWhole()
{
    QByteArray extensions;
    while (extensions.size() < 3000)
        extensions += "cl_vendor_extension_" + QByteArray::number(extensions.size()) + ' ';
    extensions += "cl_khr_last";
    ClFault::overrideDeviceText(CL_DEVICE_EXTENSIONS, extensions);
    ClInventory inventory;
    QCOMPARE(scan(inventory), CL_SUCCESS);
    QCOMPARE(QByteArray(inventory.platforms[0].devices[0].extensions), extensions);
    releaseOpenClInventory(inventory);
}

void SupportTest::longNameIsCutAt255AndUnterminatedTextTerminated()
{
    const QByteArray name(400, 'n');
    const char unterminated[4] = { 'a', 'b', 'c', 'd' };
    ClFault::overrideDeviceText(CL_DEVICE_NAME, name);
    ClFault::overrideDeviceInfo(CL_DEVICE_VENDOR, unterminated, sizeof unterminated);
    ClFault::overrideDeviceInfo(CL_DEVICE_EXTENSIONS, unterminated, sizeof unterminated);
    ClInventory inventory;
    QCOMPARE(scan(inventory), CL_SUCCESS);
    const ClDeviceEntry &device = inventory.platforms[0].devices[0];
    QCOMPARE(QByteArray(device.name), name.left(255));
    QCOMPARE(QByteArray(device.vendor), QByteArray("abcd"));
    QCOMPARE(QByteArray(device.extensions), QByteArray("abcd"));
    releaseOpenClInventory(inventory);
}

void SupportTest::rescanReleasesThePreviousRecord()
{
    ClInventory inventory;
    QCOMPARE(scan(inventory), CL_SUCCESS);
    QCOMPARE(scanOpenClInventory(inventory), CL_SUCCESS);
    QVERIFY(inventory.numPlatforms >= 1);
    ClFault::setDriver(ClFault::Driver::NoPlatform);
    QCOMPARE(scanOpenClInventory(inventory), CL_DEVICE_NOT_FOUND);
    QCOMPARE(inventory.numPlatforms, cl_uint(0));
    QVERIFY(!inventory.platforms);
}

void SupportTest::lookupsOutsideTheRecordFindNothing()
{
    ClInventory inventory;
    QCOMPARE(scan(inventory), CL_SUCCESS);
    QVERIFY(inventoryDevice(inventory, 0, 0));
    QVERIFY(!inventoryDevice(inventory, -1, 0));
    QVERIFY(!inventoryDevice(inventory, 0, -1));
    QVERIFY(!inventoryDevice(inventory, int(inventory.numPlatforms), 0));
    QVERIFY(!inventoryDevice(inventory, 0, int(inventory.platforms[0].numDevices)));
    QVERIFY(!inventoryPlatform(inventory, 7));
    releaseOpenClInventory(inventory);
}

void SupportTest::statusesAreNamed_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("0") << 0 << QByteArray("CL_SUCCESS");
    QTest::newRow("-1") << -1 << QByteArray("CL_DEVICE_NOT_FOUND");
    QTest::newRow("-11") << -11 << QByteArray("CL_BUILD_PROGRAM_FAILURE");
    QTest::newRow("-12") << -12 << QByteArray("CL_MAP_FAILURE");
    QTest::newRow("-13") << -13 << QByteArray("CL_MISALIGNED_SUB_BUFFER_OFFSET");
    QTest::newRow("-19") << -19 << QByteArray("CL_KERNEL_ARG_INFO_NOT_AVAILABLE");
    QTest::newRow("-30") << -30 << QByteArray("CL_INVALID_VALUE");
    QTest::newRow("-39") << -39 << QByteArray("CL_INVALID_IMAGE_FORMAT_DESCRIPTOR");
    QTest::newRow("-54") << -54 << QByteArray("CL_INVALID_WORK_GROUP_SIZE");
    QTest::newRow("-63") << -63 << QByteArray("CL_INVALID_GLOBAL_WORK_SIZE");
    QTest::newRow("-64") << -64 << QByteArray("CL_INVALID_PROPERTY");
    QTest::newRow("-72") << -72 << QByteArray("CL_MAX_SIZE_RESTRICTION_EXCEEDED");
    QTest::newRow("-1000") << -1000 << QByteArray("CL_INVALID_GL_SHAREGROUP_REFERENCE_KHR");
    QTest::newRow("-1001") << -1001 << QByteArray("CL_PLATFORM_NOT_FOUND_KHR");
    QTest::newRow("-20, between the names") << -20 << QByteArray("Unknown OpenCL error -20");
    QTest::newRow("-500") << -500 << QByteArray("Unknown OpenCL error -500");
    QTest::newRow("-9999") << -9999 << QByteArray("Unknown OpenCL error -9999");
}

void SupportTest::statusesAreNamed()
{
    QFETCH(int, status);
    QFETCH(QByteArray, name);
    char buffer[256] = "CL_BUILD_PROGRAM_FAILURE, stale";
    QCOMPARE(clErrorName(status, buffer, sizeof buffer), buffer);
    QCOMPARE(QByteArray(buffer), name);
}

void SupportTest::nameIsCutToTheBuffer()
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    clErrorName(-11, buffer, sizeof buffer);
    QCOMPARE(QByteArray(buffer), QByteArray("CL_BUIL"));
}

void SupportTest::kernelSourcesAreEmbeddedByteForByte_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("kernel");
    QTest::newRow("sine wave") << "simplGL.cl" << QByteArray("sine_wave");
    QTest::newRow("post-processing") << "PostprocessGL.cl" << QByteArray("postprocess");
    QTest::newRow("n-body") << "NBody_Kernels.cl" << QByteArray("nbody_sim");
}

void SupportTest::kernelSourcesAreEmbeddedByteForByte()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, kernel);
    QByteArray embedded;
    QVERIFY(readKernelSource(qPrintable(":/cl/" + name), embedded));

    QFile onDisk(QStringLiteral(KORVANE_SOURCE_DIR "/cl/") + name);
    QVERIFY(onDisk.open(QIODevice::ReadOnly));
    QCOMPARE(embedded, onDisk.readAll());
    QVERIFY(embedded.contains("__kernel void " + kernel + "("));
    QVERIFY(embedded.contains("\r\n"));
    QCOMPARE(embedded.count("\n"), embedded.count("\r\n"));

    QByteArray missing("untouched");
    QVERIFY(!readKernelSource(":/cl/missing.cl", missing));
    QCOMPARE(missing, QByteArray("untouched"));
}

void SupportTest::bufferEntryPointsWork()
{
    QGLWidget widget;
    widget.resize(64, 64);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    widget.makeCurrent();

    GlEntryPoints first = {};
    loadGlEntryPoints(first, &widget);

    // The six functions the views call, used for real: some drivers hand
    // out a pointer for any name, so only a round trip proves them.
    GLuint buffer = 0;
    first.glGenBuffers(1, &buffer);
    QVERIFY(buffer != 0);
    first.glBindBuffer(GL_ARRAY_BUFFER, buffer);
    first.glBufferData(GL_ARRAY_BUFFER, 16, nullptr, GL_STREAM_DRAW);
    auto *mapped = static_cast<float *>(first.glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    QVERIFY(mapped);
    mapped[0] = 1.5f;
    QCOMPARE(first.glUnmapBuffer(GL_ARRAY_BUFFER), GLboolean(GL_TRUE));
    GLint size = 0;
    first.glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    QCOMPARE(size, 16);
    first.glDeleteBuffers(1, &buffer);
    QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
}

QTEST_MAIN(SupportTest)
#include "tst_support.moc"
