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
#include <QMenu>
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

    void opensTitledWithThreeTabsWithoutConnectionWarnings();
    void listsTheMachinesPlatformAndDevice();
    void slidersSetSpeedAndFrequency();
    void platformChoiceRefillsTheDeviceListAndStartHandsItToTheView();
    void noPlatformLeavesSelectorsEmptyAndStartDoesNothing();
    void tabChangeRunsOnlyTheCurrentViewsTimer();
    void tabChangeRestoresTheViewsSelection();
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

void MainWindowTest::opensTitledWithThreeTabsWithoutConnectionWarnings()
{
    startupWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    createWindow();
    qInstallMessageHandler(previous);
    const QStringList connectWarnings = startupWarnings.filter(QStringLiteral("connect"), Qt::CaseInsensitive);
    QVERIFY2(connectWarnings.isEmpty(), qPrintable(connectWarnings.join('\n')));

    QCOMPARE(window->windowTitle(), QStringLiteral("OpenCL Korvane"));
    QCOMPARE(tabs()->count(), 3);
    QCOMPARE(tabs()->currentIndex(), 0);
}

void MainWindowTest::listsTheMachinesPlatformAndDevice()
{
    createWindow();
    QCOMPARE(child<QComboBox>("cmbPlatform")->itemText(0), QStringLiteral("Portable Computing Language"));
    QCOMPARE(child<QComboBox>("cmbPlatform")->currentIndex(), 0);
    QVERIFY(child<QComboBox>("cmbDevice")->count() >= 1);
    QCOMPARE(child<QComboBox>("cmbDevice")->currentIndex(), 0);
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

void MainWindowTest::platformChoiceRefillsTheDeviceListAndStartHandsItToTheView()
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

    deviceBox->setCurrentIndex(1);
    selectTab(2);
    QTest::mouseClick(child<QPushButton>("pbNBody"), Qt::LeftButton);
    oglnbody *nbody = window->findChild<oglnbody *>();
    QCOMPARE(nbody->platformIndex, 1);
    QCOMPARE(nbody->deviceIndex, 1);
    QCOMPARE(nbody->frameDisplay, child<QLCDNumber>("lcdFC"));
    QCOMPARE(window->findChild<OGLWdgt *>()->frameDisplay, static_cast<QLCDNumber *>(nullptr));
    QCOMPARE(window->findChild<OGLPP *>()->frameDisplay, static_cast<QLCDNumber *>(nullptr));
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

void MainWindowTest::tabChangeRunsOnlyTheCurrentViewsTimer()
{
    createWindow();
    // Before any tab change all three views animate.
    for (const char *name : { "tmrWdgtAnimate", "tmrPPAnimate", "tmrNBodyAnimate" })
        QVERIFY(timer(name)->isActive());

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

    // A view never started keeps what the selectors show.
    platformBox->setCurrentIndex(1);
    deviceBox->setCurrentIndex(1);
    selectTab(1);
    QCOMPARE(platformBox->currentIndex(), 1);
    QCOMPARE(deviceBox->currentIndex(), 1);

    selectTab(0);
    platformBox->setCurrentIndex(0);
    deviceBox->setCurrentIndex(1);
    QTest::mouseClick(child<QPushButton>("pushButton_2"), Qt::LeftButton);
    selectTab(2);
    platformBox->setCurrentIndex(1);
    deviceBox->setCurrentIndex(0);
    QTest::mouseClick(child<QPushButton>("pbNBody"), Qt::LeftButton);

    selectTab(0);
    QCOMPARE(platformBox->currentIndex(), 0);
    QCOMPARE(deviceBox->currentText(), QStringLiteral("Fake Device A2"));
    selectTab(2);
    QCOMPARE(platformBox->currentIndex(), 1);
    QCOMPARE(deviceBox->currentText(), QStringLiteral("Fake Device B1"));
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
    QVERIFY(!platforms->isModal());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
