#include "clfault.h"
#include "clinventory.h"

#include <QtTest>

#include <cstring>

// The inventory scan against the machine's driver and against drivers that
// fail, report nothing, or report more than fits a fixed buffer.
class InventoryTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { ClFault::reset(); }

    void realScanListsPoclPlatformAndDevice();
    void twoScansListTheSameOrder();
    void twoPlatformsOfTwoDevicesEach();
    void noPlatformGivesDeviceNotFound();
    void platformWithoutDeviceGivesDeviceNotFound();
    void failingQueryEndsTheScanWithItsStatus_data();
    void failingQueryEndsTheScanWithItsStatus();
    void longExtensionListIsKeptWhole();
    void longNameIsCutAt255Characters();
    void textWithoutNulIsTerminated();
    void rescanReleasesThePreviousRecord();
    void lookupsOutsideTheRecordFindNothing();

private:
    static ClInventory scanned(cl_int *status = nullptr)
    {
        ClInventory inventory;
        std::memset(&inventory, 0, sizeof inventory);
        const cl_int s = scanOpenClInventory(inventory);
        if (status)
            *status = s;
        return inventory;
    }
};

void InventoryTest::realScanListsPoclPlatformAndDevice()
{
    cl_int status;
    ClInventory inventory = scanned(&status);
    QCOMPARE(status, CL_SUCCESS);
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

void InventoryTest::twoScansListTheSameOrder()
{
    ClInventory first = scanned();
    ClInventory second = scanned();
    QCOMPARE(first.numPlatforms, second.numPlatforms);
    for (cl_uint i = 0; i < first.numPlatforms; ++i) {
        QCOMPARE(first.platformIds[i], second.platformIds[i]);
        QCOMPARE(first.platforms[i].numDevices, second.platforms[i].numDevices);
        for (cl_uint j = 0; j < first.platforms[i].numDevices; ++j)
            QCOMPARE(first.platforms[i].deviceIds[j], second.platforms[i].deviceIds[j]);
    }
    releaseOpenClInventory(first);
    releaseOpenClInventory(second);
}

void InventoryTest::twoPlatformsOfTwoDevicesEach()
{
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    cl_int status;
    ClInventory inventory = scanned(&status);
    QCOMPARE(status, CL_SUCCESS);
    QCOMPARE(inventory.numPlatforms, cl_uint(2));
    QCOMPARE(QByteArray(inventory.platforms[1].name), QByteArray("Fake Platform B"));
    QCOMPARE(inventory.platforms[1].numDevices, cl_uint(2));
    QCOMPARE(QByteArray(inventory.platforms[1].devices[0].name), QByteArray("Fake Device B1"));
    QCOMPARE(inventory.platforms[1].devices[1].platform, inventory.platformIds[1]);
    QCOMPARE(inventoryDevice(inventory, 1, 1), inventory.platforms[1].deviceIds[1]);
    releaseOpenClInventory(inventory);
}

void InventoryTest::noPlatformGivesDeviceNotFound()
{
    ClFault::setDriver(ClFault::Driver::NoPlatform);
    cl_int status;
    ClInventory inventory = scanned(&status);
    QCOMPARE(status, CL_DEVICE_NOT_FOUND);
    QCOMPARE(inventory.numPlatforms, cl_uint(0));
    releaseOpenClInventory(inventory);
}

void InventoryTest::platformWithoutDeviceGivesDeviceNotFound()
{
    ClFault::setDriver(ClFault::Driver::PlatformWithoutDevice);
    cl_int status;
    ClInventory inventory = scanned(&status);
    QCOMPARE(status, CL_DEVICE_NOT_FOUND);
    releaseOpenClInventory(inventory);
}

void InventoryTest::failingQueryEndsTheScanWithItsStatus_data()
{
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("injected");
    QTest::addColumn<int>("expected");
    QTest::newRow("platform count") << QByteArray("clGetPlatformIDs") << 1 << int(CL_OUT_OF_HOST_MEMORY)
                                    << int(CL_DEVICE_NOT_FOUND);
    QTest::newRow("platform list") << QByteArray("clGetPlatformIDs") << 2 << int(CL_OUT_OF_HOST_MEMORY)
                                   << int(CL_OUT_OF_HOST_MEMORY);
    QTest::newRow("platform name") << QByteArray("clGetPlatformInfo") << 5 << int(CL_INVALID_VALUE)
                                   << int(CL_INVALID_VALUE);
    QTest::newRow("device list") << QByteArray("clGetDeviceIDs") << 2 << int(CL_OUT_OF_RESOURCES)
                                 << int(CL_OUT_OF_RESOURCES);
    QTest::newRow("last device query") << QByteArray("clGetDeviceInfo") << 40 << int(CL_INVALID_VALUE)
                                       << int(CL_INVALID_VALUE);
}

void InventoryTest::failingQueryEndsTheScanWithItsStatus()
{
    QFETCH(QByteArray, function);
    QFETCH(int, nth);
    QFETCH(int, injected);
    QFETCH(int, expected);
    ClFault::failCall(function.constData(), nth, injected);
    cl_int status;
    ClInventory inventory = scanned(&status);
    QCOMPARE(int(status), expected);
    releaseOpenClInventory(inventory);
}

void InventoryTest::longExtensionListIsKeptWhole()
{
    QByteArray extensions;
    while (extensions.size() < 3000)
        extensions += "cl_vendor_extension_" + QByteArray::number(extensions.size()) + ' ';
    extensions += "cl_khr_last";
    ClFault::overrideDeviceText(CL_DEVICE_EXTENSIONS, extensions);
    cl_int status;
    ClInventory inventory = scanned(&status);
    QCOMPARE(status, CL_SUCCESS);
    QCOMPARE(QByteArray(inventory.platforms[0].devices[0].extensions), extensions);
    releaseOpenClInventory(inventory);
}

void InventoryTest::longNameIsCutAt255Characters()
{
    const QByteArray name(400, 'n');
    ClFault::overrideDeviceText(CL_DEVICE_NAME, name);
    cl_int status;
    ClInventory inventory = scanned(&status);
    QCOMPARE(status, CL_SUCCESS);
    QCOMPARE(QByteArray(inventory.platforms[0].devices[0].name), name.left(255));
    releaseOpenClInventory(inventory);
}

void InventoryTest::textWithoutNulIsTerminated()
{
    const char unterminated[4] = { 'a', 'b', 'c', 'd' };
    ClFault::overrideDeviceInfo(CL_DEVICE_VENDOR, unterminated, sizeof unterminated);
    ClFault::overrideDeviceInfo(CL_DEVICE_EXTENSIONS, unterminated, sizeof unterminated);
    cl_int status;
    ClInventory inventory = scanned(&status);
    QCOMPARE(status, CL_SUCCESS);
    QCOMPARE(QByteArray(inventory.platforms[0].devices[0].vendor), QByteArray("abcd"));
    QCOMPARE(QByteArray(inventory.platforms[0].devices[0].extensions), QByteArray("abcd"));
    releaseOpenClInventory(inventory);
}

void InventoryTest::rescanReleasesThePreviousRecord()
{
    ClInventory inventory = scanned();
    QCOMPARE(scanOpenClInventory(inventory), CL_SUCCESS);
    QVERIFY(inventory.numPlatforms >= 1);
    ClFault::setDriver(ClFault::Driver::NoPlatform);
    QCOMPARE(scanOpenClInventory(inventory), CL_DEVICE_NOT_FOUND);
    QCOMPARE(inventory.numPlatforms, cl_uint(0));
    QVERIFY(!inventory.platforms);
}

void InventoryTest::lookupsOutsideTheRecordFindNothing()
{
    ClInventory inventory = scanned();
    QVERIFY(inventoryDevice(inventory, 0, 0));
    QVERIFY(!inventoryDevice(inventory, -1, 0));
    QVERIFY(!inventoryDevice(inventory, 0, -1));
    QVERIFY(!inventoryDevice(inventory, int(inventory.numPlatforms), 0));
    QVERIFY(!inventoryDevice(inventory, 0, int(inventory.platforms[0].numDevices)));
    QVERIFY(!inventoryPlatform(inventory, 7));
    releaseOpenClInventory(inventory);
}

QTEST_GUILESS_MAIN(InventoryTest)
#include "tst_inventory.moc"
