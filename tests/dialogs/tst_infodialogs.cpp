#include "clfault.h"
#include "clinventory.h"
#include "glreport.h"
#include "inventoryreport.h"
#include "oclinfo.h"
#include "oglinfo.h"

#include <QtTest>
#include <QLabel>
#include <QOpenGLContext>
#include <QPushButton>
#include <QTextDocument>
#include <QTreeWidget>

#include <cstring>

// The two information dialogs as a user meets them: "Platforms" on the
// fault layer's fake driver of two platforms with two devices each,
// "OpenGL" on the machine's OpenGL driver.
class InfoDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void titledSizedAndModeless();
    void platformsStandExpandedOnGreyAboveTheirCollapsedDevices();
    void unusualDeviceValuesShowThroughTheTree();
    void longValuesWrapOntoMoreLinesInsteadOfBeingCut();
    void failingScanLeavesAnEmptyTreeUnderItsHeaders_data();
    void failingScanLeavesAnEmptyTreeUnderItsHeaders();
    void openGlDialogShowsTheDriverStringsAndLeavesNoContextCurrent();
    void closeHidesAndReopeningShowsTheSameContentWithoutAskingAgain();

private:
    static QTreeWidget *treeOf(QDialog *dialog) { return dialog->findChild<QTreeWidget *>("twInfo"); }
    static QStringList contentOf(QDialog *dialog);

    oclInfo *platforms = nullptr;
    oglinfo *openGl = nullptr;
    ClInventory expected;
    GlStrings driver;
};

void InfoDialogsTest::initTestCase()
{
    init();
    platforms = new oclInfo(nullptr);
    std::memset(&expected, 0, sizeof expected);
    QCOMPARE(scanOpenClInventory(expected), CL_SUCCESS);
    openGl = new oglinfo(nullptr);
    driver = queryGlStrings();
    QVERIFY2(driver.haveContext, "this machine's OpenGL driver gives no context");
}

void InfoDialogsTest::cleanupTestCase()
{
    delete platforms;
    delete openGl;
    releaseOpenClInventory(expected);
}

void InfoDialogsTest::init()
{
    ClFault::reset();
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
}

// Every row of the tree and every label, as text.
QStringList InfoDialogsTest::contentOf(QDialog *dialog)
{
    QStringList texts;
    for (QTreeWidgetItemIterator it(treeOf(dialog)); *it; ++it)
        texts << (*it)->text(0) + QLatin1Char('|') + (*it)->text(1);
    for (QLabel *label : dialog->findChildren<QLabel *>())
        texts << label->text();
    return texts;
}

void InfoDialogsTest::titledSizedAndModeless()
{
    QCOMPARE(platforms->windowTitle(), QStringLiteral("Platforms"));
    QCOMPARE(platforms->size(), QSize(768, 512));
    QCOMPARE(openGl->windowTitle(), QStringLiteral("OpenGL"));
    QCOMPARE(openGl->size(), QSize(256, 512));
    for (QDialog *dialog : { static_cast<QDialog *>(platforms), static_cast<QDialog *>(openGl) }) {
        QVERIFY(!dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->findChild<QPushButton *>("pbClose")->text(), QStringLiteral("Close"));
    }
    QTreeWidget *tree = treeOf(platforms);
    QCOMPARE(tree->columnCount(), 2);
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Platforms"));
    QCOMPARE(tree->headerItem()->text(1), QStringLiteral("Devices"));
    QCOMPARE(tree->columnWidth(0), 340);
}

// Each platform, in driver order: expanded on grey, its four properties,
// then its devices, collapsed, each with 27 rows in the "Devices" column,
// all as the shared row functions give them.
void InfoDialogsTest::platformsStandExpandedOnGreyAboveTheirCollapsedDevices()
{
    QTreeWidget *tree = treeOf(platforms);
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Fake Platform A"));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Fake Platform B"));
    for (cl_uint i = 0; i < expected.numPlatforms; ++i) {
        QTreeWidgetItem *platform = tree->topLevelItem(int(i));
        QVERIFY(platform->isExpanded());
        QCOMPARE(platform->data(0, Qt::BackgroundRole).value<QColor>(), QColor(219, 222, 223, 255));
        QCOMPARE(platform->childCount(), 4 + 2);
        const QStringList platformTexts = platformRows(expected.platforms[i]);
        for (int r = 0; r < 4; ++r) {
            QCOMPARE(platform->child(r)->text(0), platformTexts[r]);
            QCOMPARE(platform->child(r)->text(1), QString());
        }
        for (cl_uint j = 0; j < 2; ++j) {
            QTreeWidgetItem *device = platform->child(4 + int(j));
            QCOMPARE(device->text(0), QStringLiteral("Device: Fake Device %1%2").arg(QChar('A' + i)).arg(j + 1));
            QVERIFY(!device->isExpanded());
            QCOMPARE(device->childCount(), 27);
            const QStringList deviceTexts = deviceRows(expected.platforms[i].devices[j]);
            for (int r = 0; r < 27; ++r) {
                QCOMPARE(device->child(r)->text(0), QString());
                QCOMPARE(device->child(r)->text(1), deviceTexts[r]);
            }
        }
    }
}

void InfoDialogsTest::unusualDeviceValuesShowThroughTheTree()
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
    QTreeWidgetItem *device = treeOf(&other)->topLevelItem(0)->child(4);
    QCOMPARE(device->childCount(), 27);
    QCOMPARE(device->child(2)->text(1), QString());
    QCOMPARE(device->child(10)->text(1), QStringLiteral("CL_DEVICE_GLOBAL_MEM_SIZE: 0 MByte"));
    QCOMPARE(device->child(13)->text(1), QStringLiteral("CL_DEVICE_LOCAL_MEM_SIZE: 64 KByte"));
    QCOMPARE(device->child(15)->text(1), QStringLiteral("CL_DEVICE_QUEUE_PROPERTIES: "));
    QCOMPARE(device->child(19)->text(1).split('\n').size(), 4);
    QCOMPARE(device->child(20)->text(1), QStringLiteral("CL_DEVICE_SINGLE_FP_CONFIG: 30"));
    QCOMPARE(device->child(26)->text(1), QStringLiteral("Extensions:\tcl_khr_icd\n\tcl_khr_fp64"));
}

void InfoDialogsTest::longValuesWrapOntoMoreLinesInsteadOfBeingCut()
{
    QByteArray version = "OpenCL 1.2";
    while (version.size() < 200)
        version += " with a rather long driver description";
    ClFault::overrideDeviceText(CL_DEVICE_VERSION, version);

    oclInfo other(nullptr);
    QTreeWidget *tree = treeOf(&other);
    QTreeWidgetItem *device = tree->topLevelItem(0)->child(4);
    device->setExpanded(true);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));

    const int oneLine = tree->visualItemRect(device->child(0)).height();
    const int versionRow = tree->visualItemRect(device->child(1)).height();
    QVERIFY2(versionRow >= 2 * oneLine, qPrintable(QStringLiteral("%1 vs %2").arg(versionRow).arg(oneLine)));

    // A wider column needs fewer lines.
    tree->setColumnWidth(0, 100);
    QTRY_VERIFY(tree->visualItemRect(device->child(1)).height() < versionRow);
}

void InfoDialogsTest::failingScanLeavesAnEmptyTreeUnderItsHeaders_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("no platform") << 0;
    QTest::newRow("platform without device") << 1;
    QTest::newRow("second platform's device count fails") << 2;
}

void InfoDialogsTest::failingScanLeavesAnEmptyTreeUnderItsHeaders()
{
    QFETCH(int, fault);
    if (fault == 0)
        ClFault::setDriver(ClFault::Driver::NoPlatform);
    else if (fault == 1)
        ClFault::setDriver(ClFault::Driver::PlatformWithoutDevice);
    else
        ClFault::failCall("clGetDeviceIDs", 3, CL_OUT_OF_RESOURCES);

    oclInfo failed(nullptr);
    QCOMPARE(treeOf(&failed)->topLevelItemCount(), 0);
    QCOMPARE(treeOf(&failed)->headerItem()->text(1), QStringLiteral("Devices"));
}

void InfoDialogsTest::openGlDialogShowsTheDriverStringsAndLeavesNoContextCurrent()
{
    QVERIFY(!driver.version.isEmpty());
    QCOMPARE(openGl->findChild<QLabel *>("lblVersion")->text(), "Version: <b>" + driver.version + "</b>");
    QCOMPARE(openGl->findChild<QLabel *>("lblVendor")->text(), "Vendor: <b>" + driver.vendor + "</b>");
    QCOMPARE(openGl->findChild<QLabel *>("lblRenderer")->text(), "Renderer: <b>" + driver.renderer + "</b>");
    QVERIFY(Qt::mightBeRichText(openGl->findChild<QLabel *>("lblVersion")->text()));

    // Every extension in driver order, counted in the header.
    QTreeWidget *tree = treeOf(openGl);
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        rows << tree->topLevelItem(i)->text(0);
    QCOMPARE(rows, GlFormat::extensionList(driver.extensions));
    QVERIFY(rows.contains(QStringLiteral("GL_ARB_vertex_buffer_object")));
    QCOMPARE(tree->columnCount(), 1);
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Extensions (%1)").arg(rows.size()));

    oglinfo another(nullptr);
    QVERIFY(!QOpenGLContext::currentContext());
}

void InfoDialogsTest::closeHidesAndReopeningShowsTheSameContentWithoutAskingAgain()
{
    for (QDialog *dialog : { static_cast<QDialog *>(platforms), static_cast<QDialog *>(openGl) }) {
        const QStringList before = contentOf(dialog);
        ClFault::startRecording();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QTest::mouseClick(dialog->findChild<QPushButton *>("pbClose"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());

        dialog->setVisible(true);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(contentOf(dialog), before);
        QCOMPARE(ClFault::recordedCalls(), QStringList());
        dialog->hide();
    }
    QVERIFY(treeOf(platforms)->topLevelItem(0)->isExpanded());
}

QTEST_MAIN(InfoDialogsTest)
#include "tst_infodialogs.moc"
