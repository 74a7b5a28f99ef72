#include "clfault.h"
#include "clinventory.h"
#include "inventoryreport.h"
#include "oclinfo.h"

#include <QtTest>
#include <QPushButton>
#include <QTreeWidget>

#include <cstring>

// The "Platforms" dialog as a user meets it, on the fault layer's fake
// driver of two platforms with two devices each.
class OclInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    // Form
    void titledPlatformsAt768By512();
    void treeHasPlatformsAndDevicesColumns();
    void closeButtonSitsBelowTheTreeAtTheRight();

    // Tree
    void listsEveryPlatformInDriverOrder();
    void platformsAreExpandedOnGrey();
    void platformShowsItsFourPropertiesThenItsDevices();
    void devicesAreCollapsedWith27RowsInTheDevicesColumn();
    void rowsMatchTheSharedRowFunctions();
    void unusualDeviceValuesShowThroughTheTree();
    void longValuesWrapOntoMoreLinesInsteadOfBeingCut();

    // Lifetime
    void closeHidesAndReopeningShowsTheSameTreeWithoutAskingOpenCl();
    void escapeHidesTheDialog();
    void languageChangeReappliesTextsOnly();

    // Failures
    void failingScanLeavesAnEmptyTreeUnderItsHeaders_data();
    void failingScanLeavesAnEmptyTreeUnderItsHeaders();

private:
    static QStringList allTexts(QTreeWidget *tree);

    oclInfo *dialog = nullptr;
    QTreeWidget *tree = nullptr;
    ClInventory expected;
};

void OclInfoTest::initTestCase()
{
    ClFault::reset();
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    dialog = new oclInfo(nullptr);
    tree = dialog->findChild<QTreeWidget *>("twInfo");
    QVERIFY(tree);
    std::memset(&expected, 0, sizeof expected);
    QCOMPARE(scanOpenClInventory(expected), CL_SUCCESS);
}

void OclInfoTest::cleanupTestCase()
{
    delete dialog;
    releaseOpenClInventory(expected);
}

void OclInfoTest::init()
{
    ClFault::reset();
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
}

QStringList OclInfoTest::allTexts(QTreeWidget *tree)
{
    QStringList texts;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        texts << (*it)->text(0) + QLatin1Char('|') + (*it)->text(1);
    return texts;
}

void OclInfoTest::titledPlatformsAt768By512()
{
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Platforms"));
    QCOMPARE(dialog->size(), QSize(768, 512));
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->isModal());
}

void OclInfoTest::treeHasPlatformsAndDevicesColumns()
{
    QCOMPARE(tree->columnCount(), 2);
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Platforms"));
    QCOMPARE(tree->headerItem()->text(1), QStringLiteral("Devices"));
    QCOMPARE(tree->columnWidth(0), 340);
}

void OclInfoTest::closeButtonSitsBelowTheTreeAtTheRight()
{
    auto *close = dialog->findChild<QPushButton *>("pbClose");
    QVERIFY(close);
    QCOMPARE(close->text(), QStringLiteral("Close"));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->size(), QSize(768, 512));
    QVERIFY(close->geometry().top() >= tree->geometry().bottom());
    QVERIFY(close->geometry().right() >= tree->geometry().right() - 1);
    QVERIFY(close->width() < dialog->width() / 2);
    dialog->hide();
}

void OclInfoTest::listsEveryPlatformInDriverOrder()
{
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Fake Platform A"));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Fake Platform B"));
    QCOMPARE(tree->topLevelItem(0)->text(1), QString());
}

void OclInfoTest::platformsAreExpandedOnGrey()
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *platform = tree->topLevelItem(i);
        QVERIFY(platform->isExpanded());
        QCOMPARE(platform->data(0, Qt::BackgroundRole).value<QColor>(), QColor(219, 222, 223, 255));
        QCOMPARE(platform->type(), 0);
    }
}

void OclInfoTest::platformShowsItsFourPropertiesThenItsDevices()
{
    QTreeWidgetItem *platform = tree->topLevelItem(1);
    QCOMPARE(platform->childCount(), 4 + 2);
    QVERIFY(platform->child(0)->text(0).startsWith("Version: OpenCL"));
    QVERIFY(platform->child(1)->text(0).startsWith("Vendor: "));
    QVERIFY(platform->child(2)->text(0).startsWith("Profile: "));
    QVERIFY(platform->child(3)->text(0).startsWith("Extensions:\t"));
    QCOMPARE(platform->child(4)->text(0), QStringLiteral("Device: Fake Device B1"));
    QCOMPARE(platform->child(5)->text(0), QStringLiteral("Device: Fake Device B2"));
    for (int i = 0; i < platform->childCount(); ++i)
        QCOMPARE(platform->child(i)->text(1), QString());
}

void OclInfoTest::devicesAreCollapsedWith27RowsInTheDevicesColumn()
{
    QTreeWidgetItem *device = tree->topLevelItem(0)->child(4);
    QVERIFY(!device->isExpanded());
    QCOMPARE(device->childCount(), 27);
    for (int i = 0; i < 27; ++i) {
        QCOMPARE(device->child(i)->text(0), QString());
        QCOMPARE(device->child(i)->childCount(), 0);
    }
    QVERIFY(device->child(0)->text(1).startsWith("Vendor: "));
    QVERIFY(device->child(26)->text(1).startsWith("Extensions:\t"));
}

void OclInfoTest::rowsMatchTheSharedRowFunctions()
{
    for (cl_uint i = 0; i < expected.numPlatforms; ++i) {
        QTreeWidgetItem *platform = tree->topLevelItem(int(i));
        const QStringList platformTexts = platformRows(expected.platforms[i]);
        for (int r = 0; r < 4; ++r)
            QCOMPARE(platform->child(r)->text(0), platformTexts[r]);
        for (cl_uint j = 0; j < expected.platforms[i].numDevices; ++j) {
            QTreeWidgetItem *device = platform->child(4 + int(j));
            const QStringList deviceTexts = deviceRows(expected.platforms[i].devices[j]);
            for (int r = 0; r < 27; ++r)
                QCOMPARE(device->child(r)->text(1), deviceTexts[r]);
        }
    }
}

void OclInfoTest::unusualDeviceValuesShowThroughTheTree()
{
    const cl_device_type gpuAndDefault = 5;
    const cl_ulong localBytes = 65536;
    const cl_ulong globalBytes = 1048575;
    const cl_command_queue_properties noQueueProperty = 0;
    const cl_device_fp_config fpConfig = 0x1E;
    ClFault::overrideDeviceInfo(CL_DEVICE_TYPE, &gpuAndDefault, sizeof gpuAndDefault);
    ClFault::overrideDeviceInfo(CL_DEVICE_LOCAL_MEM_SIZE, &localBytes, sizeof localBytes);
    ClFault::overrideDeviceInfo(CL_DEVICE_GLOBAL_MEM_SIZE, &globalBytes, sizeof globalBytes);
    ClFault::overrideDeviceInfo(CL_DEVICE_QUEUE_PROPERTIES, &noQueueProperty, sizeof noQueueProperty);
    ClFault::overrideDeviceInfo(CL_DEVICE_SINGLE_FP_CONFIG, &fpConfig, sizeof fpConfig);
    ClFault::overrideDeviceText(CL_DEVICE_EXTENSIONS, "cl_khr_icd  cl_khr_fp64");

    oclInfo other(nullptr);
    QTreeWidgetItem *device = other.findChild<QTreeWidget *>("twInfo")->topLevelItem(0)->child(4);
    QCOMPARE(device->childCount(), 27);
    QCOMPARE(device->child(2)->text(1), QString());
    QCOMPARE(device->child(10)->text(1), QStringLiteral("CL_DEVICE_GLOBAL_MEM_SIZE: 0 MByte"));
    QCOMPARE(device->child(13)->text(1), QStringLiteral("CL_DEVICE_LOCAL_MEM_SIZE: 64 KByte"));
    QCOMPARE(device->child(15)->text(1), QStringLiteral("CL_DEVICE_QUEUE_PROPERTIES: "));
    QCOMPARE(device->child(19)->text(1).split('\n').size(), 4);
    QCOMPARE(device->child(20)->text(1), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: 30"));
    QCOMPARE(device->child(26)->text(1), QStringLiteral("Extensions:\tcl_khr_icd\n\tcl_khr_fp64"));
}

void OclInfoTest::longValuesWrapOntoMoreLinesInsteadOfBeingCut()
{
    QByteArray version = "OpenCL 1.2";
    while (version.size() < 200)
        version += " with a rather long driver description";
    ClFault::overrideDeviceText(CL_DEVICE_VERSION, version);

    oclInfo other(nullptr);
    auto *otherTree = other.findChild<QTreeWidget *>("twInfo");
    QTreeWidgetItem *device = otherTree->topLevelItem(0)->child(4);
    device->setExpanded(true);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));

    const int oneLine = otherTree->visualItemRect(device->child(0)).height();
    const int versionRow = otherTree->visualItemRect(device->child(1)).height();
    QVERIFY2(versionRow >= 2 * oneLine, qPrintable(QStringLiteral("%1 vs %2").arg(versionRow).arg(oneLine)));

    // A wider column needs fewer lines.
    otherTree->setColumnWidth(0, 100);
    QTRY_VERIFY(otherTree->visualItemRect(device->child(1)).height() < versionRow);
}

void OclInfoTest::closeHidesAndReopeningShowsTheSameTreeWithoutAskingOpenCl()
{
    const QStringList before = allTexts(tree);
    ClFault::startRecording();

    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QTest::mouseClick(dialog->findChild<QPushButton *>("pbClose"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());

    dialog->setVisible(true);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(allTexts(tree), before);
    QVERIFY(tree->topLevelItem(0)->isExpanded());
    QCOMPARE(ClFault::recordedCalls(), QStringList());
    QCOMPARE(ClFault::callCount("clGetPlatformIDs"), 0);
    QCOMPARE(ClFault::callCount("clGetDeviceInfo"), 0);
    dialog->hide();
}

void OclInfoTest::escapeHidesTheDialog()
{
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(tree->topLevelItemCount(), 2);
}

void OclInfoTest::languageChangeReappliesTextsOnly()
{
    const QStringList before = allTexts(tree);
    auto *close = dialog->findChild<QPushButton *>("pbClose");
    dialog->setWindowTitle("changed");
    tree->headerItem()->setText(0, "changed");
    tree->headerItem()->setText(1, "changed");
    close->setText("changed");

    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(dialog, &change);

    QCOMPARE(dialog->windowTitle(), QStringLiteral("Platforms"));
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Platforms"));
    QCOMPARE(tree->headerItem()->text(1), QStringLiteral("Devices"));
    QCOMPARE(close->text(), QStringLiteral("Close"));
    QCOMPARE(allTexts(tree), before);
}

void OclInfoTest::failingScanLeavesAnEmptyTreeUnderItsHeaders_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("no platform") << 0;
    QTest::newRow("platform without device") << 1;
    QTest::newRow("second platform's device count fails") << 2;
}

void OclInfoTest::failingScanLeavesAnEmptyTreeUnderItsHeaders()
{
    QFETCH(int, fault);
    if (fault == 0)
        ClFault::setDriver(ClFault::Driver::NoPlatform);
    else if (fault == 1)
        ClFault::setDriver(ClFault::Driver::PlatformWithoutDevice);
    else
        ClFault::failCall("clGetDeviceIDs", 3, CL_OUT_OF_RESOURCES);

    oclInfo failed(nullptr);
    auto *emptyTree = failed.findChild<QTreeWidget *>("twInfo");
    QCOMPARE(emptyTree->topLevelItemCount(), 0);
    QCOMPARE(emptyTree->columnCount(), 2);
    QCOMPARE(emptyTree->headerItem()->text(0), QStringLiteral("Platforms"));
    QCOMPARE(emptyTree->headerItem()->text(1), QStringLiteral("Devices"));
    QCOMPARE(failed.windowTitle(), QStringLiteral("Platforms"));
}

QTEST_MAIN(OclInfoTest)
#include "tst_oclinfo.moc"
