#include "clfault.h"
#include "mainwindow.h"
#include "oglnbody.h"
#include "oglpp.h"
#include "oglwdgt.h"

#include <QtTest>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLCDNumber>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <memory>

namespace {

QStringList startupWarnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        startupWarnings << message;
}

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

// The main window as a user meets it: its controls, the selectors, and
// how tabs, Start buttons and sliders reach the three views.
class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensTitledWithTabsMenuAndCounter();
    void startsWithoutConnectionWarnings();
    void listsTheMachinesPlatformAndDevice();
    void slidersSetSpeedAndFrequency();
    void platformChoiceRefillsTheDeviceList();
    void noPlatformLeavesSelectorsEmptyAndStartDoesNothing();
    void startHandsSelectionAndCounterToTheView();
    void tabChangeRunsOnlyTheCurrentViewsTimer();
    void tabChangeRestoresTheViewsSelection();
    void tabOfViewNeverStartedKeepsSelectors();
    void viewsFollowTheirPlaceholdersSize();
    void menuOpensBothDialogs();

private:
    void createWindow();
    template <typename T>
    T *child(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    QTabWidget *tabs() const { return child<QTabWidget>("tabWidget"); }
    QTimer *timer(const char *name) const { return child<QTimer>(name); }
    void selectTab(int index) { tabs()->setCurrentIndex(index); }

    std::unique_ptr<MainWindow> window;
};

void MainWindowTest::init()
{
    ClFault::reset();
}

void MainWindowTest::cleanup()
{
    window.reset();
}

void MainWindowTest::createWindow()
{
    window.reset(new MainWindow);
    window->show();
    window->resize(768, 512);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void MainWindowTest::opensTitledWithTabsMenuAndCounter()
{
    createWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("OpenCL Korvane"));
    QCOMPARE(window->size(), QSize(768, 512));
    QCOMPARE(tabs()->count(), 3);
    QCOMPARE(tabs()->tabText(0), QStringLiteral("OpenCL Simple OpenGL Interop"));
    QCOMPARE(tabs()->tabText(1), QStringLiteral("OpenGL post-processing"));
    QCOMPARE(tabs()->tabText(2), QStringLiteral("OpenCL N-Body Physics Simulation"));
    QCOMPARE(tabs()->currentIndex(), 0);
    QCOMPARE(tabs()->tabPosition(), QTabWidget::South);

    const QList<QAction *> menus = window->menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0]->text(), QStringLiteral("About"));
    const QList<QAction *> entries = menus[0]->menu()->actions();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0]->text(), QStringLiteral("Platforms"));
    QCOMPARE(entries[1]->text(), QStringLiteral("OpenGL "));

    for (const char *name : { "pushButton_2", "pbPPStart", "pbNBody" })
        QCOMPARE(child<QPushButton>(name)->text(), QStringLiteral("Start"));
    QCOMPARE(child<QPushButton>("pushButton_2")->font().pointSize(), 8);
    QCOMPARE(child<QPushButton>("pushButton_2")->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(child<QPushButton>("pbNBody")->cursor().shape(), Qt::ArrowCursor);

    QLCDNumber *lcd = child<QLCDNumber>("lcdFC");
    QCOMPARE(lcd->digitCount(), 5);
    QCOMPARE(lcd->intValue(), 0);
    QCOMPARE(lcd->frameShape(), QFrame::NoFrame);
}

void MainWindowTest::startsWithoutConnectionWarnings()
{
    startupWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    createWindow();
    qInstallMessageHandler(previous);
    const QStringList connectWarnings = startupWarnings.filter(QStringLiteral("connect"), Qt::CaseInsensitive);
    QVERIFY2(connectWarnings.isEmpty(), qPrintable(connectWarnings.join('\n')));
}

void MainWindowTest::listsTheMachinesPlatformAndDevice()
{
    createWindow();
    ClInventory inventory = {};
    QCOMPARE(scanOpenClInventory(inventory), CL_SUCCESS);
    QStringList platforms;
    for (cl_uint i = 0; i < inventory.numPlatforms; ++i)
        platforms << QString::fromLatin1(inventory.platforms[i].name);
    QStringList devices;
    for (cl_uint j = 0; j < inventory.platforms[0].numDevices; ++j)
        devices << QString::fromLatin1(inventory.platforms[0].devices[j].name);
    releaseOpenClInventory(inventory);

    QComboBox *platformBox = child<QComboBox>("cmbPlatform");
    QComboBox *deviceBox = child<QComboBox>("cmbDevice");
    QCOMPARE(itemTexts(platformBox), platforms);
    QCOMPARE(itemTexts(deviceBox), devices);
    QCOMPARE(platformBox->currentIndex(), 0);
    QCOMPARE(deviceBox->currentIndex(), 0);
    QCOMPARE(platformBox->minimumSize(), QSize(173, 0));
}

void MainWindowTest::slidersSetSpeedAndFrequency()
{
    createWindow();
    OGLWdgt *view = window->findChild<OGLWdgt *>();
    QSlider *speed = child<QSlider>("horizontalSlider");
    QSlider *freq = child<QSlider>("hsFreq");
    QCOMPARE(speed->value(), 10);
    QCOMPARE(freq->value(), 40);
    QCOMPARE(view->timeStep, 0.051f);
    QCOMPARE(view->freq, 4.0f);

    speed->setValue(0);
    QCOMPARE(view->timeStep, 0.001f);
    speed->setValue(99);
    QCOMPARE(view->timeStep, 0.496f);
    freq->setValue(0);
    QCOMPARE(view->freq, 0.0f);
    freq->setValue(99);
    QCOMPARE(view->freq, 9.9f);
}

void MainWindowTest::platformChoiceRefillsTheDeviceList()
{
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    createWindow();
    QComboBox *platformBox = child<QComboBox>("cmbPlatform");
    QComboBox *deviceBox = child<QComboBox>("cmbDevice");
    QCOMPARE(itemTexts(platformBox), QStringList({ "Fake Platform A", "Fake Platform B" }));
    QCOMPARE(itemTexts(deviceBox), QStringList({ "Fake Device A1", "Fake Device A2" }));

    deviceBox->setCurrentIndex(1);
    platformBox->setCurrentIndex(1);
    QCOMPARE(itemTexts(deviceBox), QStringList({ "Fake Device B1", "Fake Device B2" }));
    QCOMPARE(deviceBox->currentIndex(), 0);
}

void MainWindowTest::noPlatformLeavesSelectorsEmptyAndStartDoesNothing()
{
    ClFault::setDriver(ClFault::Driver::NoPlatform);
    createWindow();
    QCOMPARE(child<QComboBox>("cmbPlatform")->count(), 0);
    QCOMPARE(child<QComboBox>("cmbDevice")->count(), 0);

    const int before = ClFault::liveObjects();
    for (const char *button : { "pushButton_2", "pbPPStart", "pbNBody" })
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    QCOMPARE(window->findChild<oglnbody *>()->platformIndex, -1);
    QCOMPARE(window->findChild<oglnbody *>()->deviceIndex, -1);
    QCOMPARE(ClFault::liveObjects(), before);
    QCOMPARE(ClFault::callCount("clCreateContext"), 0);
}

void MainWindowTest::startHandsSelectionAndCounterToTheView()
{
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    createWindow();
    child<QComboBox>("cmbPlatform")->setCurrentIndex(1);
    child<QComboBox>("cmbDevice")->setCurrentIndex(1);
    selectTab(2);
    QTest::mouseClick(child<QPushButton>("pbNBody"), Qt::LeftButton);

    oglnbody *nbody = window->findChild<oglnbody *>();
    QCOMPARE(nbody->platformIndex, 1);
    QCOMPARE(nbody->deviceIndex, 1);
    QLCDNumber *lcd = child<QLCDNumber>("lcdFC");
    QCOMPARE(nbody->frameDisplay, lcd);
    QCOMPARE(window->findChild<OGLWdgt *>()->frameDisplay, static_cast<QLCDNumber *>(nullptr));
    QCOMPARE(window->findChild<OGLPP *>()->frameDisplay, static_cast<QLCDNumber *>(nullptr));
}

void MainWindowTest::tabChangeRunsOnlyTheCurrentViewsTimer()
{
    createWindow();
    // Before any tab change all three views animate.
    for (const char *name : { "tmrWdgtAnimate", "tmrPPAnimate", "tmrNBodyAnimate" }) {
        QVERIFY(timer(name)->isActive());
        QCOMPARE(timer(name)->interval(), 1);
    }
    for (const char *name : { "tmrWdgtFrames", "tmrPPFrames", "tmrNBodyFrames" })
        QCOMPARE(timer(name)->interval(), 1000);

    selectTab(1);
    QVERIFY(timer("tmrPPAnimate")->isActive());
    QVERIFY(!timer("tmrWdgtAnimate")->isActive());
    QVERIFY(!timer("tmrNBodyAnimate")->isActive());
    QCOMPARE(window->findChild<OGLPP *>()->frameDisplay, child<QLCDNumber>("lcdFC"));

    selectTab(0);
    QVERIFY(timer("tmrWdgtAnimate")->isActive());
    QVERIFY(!timer("tmrPPAnimate")->isActive());
    QVERIFY(!timer("tmrNBodyAnimate")->isActive());
    QCOMPARE(window->findChild<OGLWdgt *>()->frameDisplay, child<QLCDNumber>("lcdFC"));
    QCOMPARE(window->findChild<OGLPP *>()->frameDisplay, static_cast<QLCDNumber *>(nullptr));

    for (const char *name : { "tmrWdgtFrames", "tmrPPFrames", "tmrNBodyFrames" })
        QVERIFY(timer(name)->isActive());
}

void MainWindowTest::tabChangeRestoresTheViewsSelection()
{
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    createWindow();
    QComboBox *platformBox = child<QComboBox>("cmbPlatform");
    QComboBox *deviceBox = child<QComboBox>("cmbDevice");

    deviceBox->setCurrentIndex(1);
    QTest::mouseClick(child<QPushButton>("pushButton_2"), Qt::LeftButton);
    selectTab(2);
    platformBox->setCurrentIndex(1);
    deviceBox->setCurrentIndex(0);
    QTest::mouseClick(child<QPushButton>("pbNBody"), Qt::LeftButton);

    selectTab(0);
    QCOMPARE(platformBox->currentIndex(), 0);
    QCOMPARE(deviceBox->currentIndex(), 1);
    QCOMPARE(deviceBox->currentText(), QStringLiteral("Fake Device A2"));
    QCOMPARE(window->findChild<OGLWdgt *>()->frameDisplay, child<QLCDNumber>("lcdFC"));

    selectTab(2);
    QCOMPARE(platformBox->currentIndex(), 1);
    QCOMPARE(deviceBox->currentText(), QStringLiteral("Fake Device B1"));
}

void MainWindowTest::tabOfViewNeverStartedKeepsSelectors()
{
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    createWindow();
    child<QComboBox>("cmbPlatform")->setCurrentIndex(1);
    child<QComboBox>("cmbDevice")->setCurrentIndex(1);
    selectTab(1);
    QCOMPARE(child<QComboBox>("cmbPlatform")->currentIndex(), 1);
    QCOMPARE(child<QComboBox>("cmbDevice")->currentIndex(), 1);
    QCOMPARE(window->findChild<OGLPP *>()->frameDisplay, child<QLCDNumber>("lcdFC"));
}

void MainWindowTest::viewsFollowTheirPlaceholdersSize()
{
    createWindow();
    window->resize(900, 640);
    QTest::qWait(50);
    QCOMPARE(window->findChild<OGLWdgt *>()->size(), child<QWidget>("widget")->size());
    QCOMPARE(window->findChild<OGLPP *>()->size(), child<QWidget>("wgPP")->size());
    QCOMPARE(window->findChild<oglnbody *>()->size(), child<QWidget>("wgNBody")->size());
    QVERIFY(window->findChild<OGLWdgt *>()->width() > 700);

    selectTab(2);
    QCOMPARE(window->findChild<oglnbody *>()->size(), child<QWidget>("wgNBody")->size());
    QVERIFY(window->findChild<oglnbody *>()->height() > 300);
}

void MainWindowTest::menuOpensBothDialogs()
{
    createWindow();
    const QList<QAction *> entries = window->menuBar()->actions()[0]->menu()->actions();
    entries[0]->trigger();
    entries[1]->trigger();
    QWidget *platforms = window->findChild<QDialog *>(QStringLiteral("oclInfo"));
    QWidget *openGl = window->findChild<QDialog *>(QStringLiteral("oglinfo"));
    QVERIFY(platforms && platforms->isVisible());
    QVERIFY(openGl && openGl->isVisible());
    QCOMPARE(platforms->windowTitle(), QStringLiteral("Platforms"));
    QCOMPARE(openGl->windowTitle(), QStringLiteral("OpenGL"));
    QVERIFY(!platforms->isModal());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
