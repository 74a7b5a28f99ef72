#include "clfault.h"
#include "errorboxcatcher.h"
#include "oglwdgt.h"
#include "windowharness.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

Q_DECLARE_METATYPE(ClFault::Driver)

namespace {

QStringList warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        warnings << message;
}

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

// The main window as a user meets it: the selectors on the machine's and on
// fake drivers, the Start buttons, sliders, tabs, counter, menu and look.
class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { ClFault::reset(); }
    void cleanupTestCase() { window.reset(); }

    void selectorsOfferWhatTheDriversHave_data();
    void selectorsOfferWhatTheDriversHave();
    void theCommandLinesDeviceRunsTheTabsView_data();
    void theCommandLinesDeviceRunsTheTabsView();
    void slidersSetSpeedAndFrequency_data();
    void slidersSetSpeedAndFrequency();
    void counterShowsTheFramesOfEachSecond_data();
    void counterShowsTheFramesOfEachSecond();
    void onlyARunningViewOnTheCurrentTabAnimates();
    void menuOpensBothDialogsModeless();

private:
    template <typename T = QWidget>
    T *child(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }

    std::unique_ptr<MainWindow> window;   // on the machine's own driver
};

void MainWindowTest::initTestCase()
{
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    window = openWindow();
    qInstallMessageHandler(previous);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
}

void MainWindowTest::selectorsOfferWhatTheDriversHave_data()
{
    QTest::addColumn<ClFault::Driver>("driver");
    QTest::addColumn<QStringList>("platforms");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("placeholder");   // of the device selector of the first platform
    QTest::addColumn<bool>("failingQuery");     // every scan fails on a 2 MiB device name
    QTest::newRow("two platforms of two devices")
        << ClFault::Driver::TwoPlatformsTwoDevices << QStringList{ "Fake Platform A", "Fake Platform B" } << 0
        << QString() << false;
    QTest::newRow("a driver without devices listed first")
        << ClFault::Driver::PlatformWithoutDevice
        << QStringList{ "Fake Empty Platform", "Portable Computing Language" } << 1
        << QStringLiteral("No device on this platform") << false;
    QTest::newRow("no driver") << ClFault::Driver::NoPlatform << QStringList() << -1
                               << QStringLiteral("No OpenCL platform found") << false;
    QTest::newRow("a device query fails") << ClFault::Driver::Real << QStringList() << -1
                                          << QStringLiteral("The OpenCL scan failed (CL_INVALID_VALUE)") << true;
}

// A platform without devices must neither hide the others nor start
// anything; with no platform at all the selectors say why they are empty.
void MainWindowTest::selectorsOfferWhatTheDriversHave()
{
    QFETCH(ClFault::Driver, driver);
    QFETCH(QStringList, platforms);
    QFETCH(int, selected);
    QFETCH(QString, placeholder);
    QFETCH(bool, failingQuery);
    ClFault::setDriver(driver);
    if (failingQuery)
        ClFault::overrideDeviceText(CL_DEVICE_NAME, QByteArray(2 << 20, 'x'));
    std::unique_ptr<MainWindow> other = openWindow();
    auto *platformBox = other->findChild<QComboBox *>(QStringLiteral("cmbPlatform"));
    auto *deviceBox = other->findChild<QComboBox *>(QStringLiteral("cmbDevice"));
    QCOMPARE(itemTexts(platformBox), platforms);
    QCOMPARE(platformBox->currentIndex(), selected);
    QCOMPARE(deviceBox->currentIndex(), selected < 0 ? -1 : 0);

    platformBox->setCurrentIndex(0);
    QCOMPARE(deviceBox->placeholderText(), placeholder);
    QCOMPARE(deviceBox->count() == 0, !placeholder.isEmpty());
    QCOMPARE(platformBox->placeholderText(), platforms.isEmpty() ? placeholder : QString());
    for (const char *start : { "pushButton_2", "pbPPStart", "pbNBody" })
        QTest::mouseClick(other->findChild<QPushButton *>(QLatin1String(start)), Qt::LeftButton);
    QCOMPARE(ClFault::callCount("clCreateContext"), placeholder.isEmpty() ? 3 : 0);
}

// As --tab and --device give them, through the selectors and the tab's
// Start: the view of that tab starts on that device, and a failure's
// details name it and the tab. The views' own tests read the rest.
void MainWindowTest::theCommandLinesDeviceRunsTheTabsView_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("name");
    QTest::newRow("sine wave on 1:0") << "sine" << 0 << "1:0" << "Fake Device B1";
    QTest::newRow("post-processing on 0:1") << "postprocess" << 1 << "0:1" << "Fake Device A2";
    QTest::newRow("n-body on 1:1") << "nbody" << 2 << "1:1" << "Fake Device B2";
}

void MainWindowTest::theCommandLinesDeviceRunsTheTabsView()
{
    QFETCH(QString, tab);
    QFETCH(int, index);
    QFETCH(QString, device);
    QFETCH(QString, name);
    ClFault::setDriver(ClFault::Driver::TwoPlatformsTwoDevices);
    std::unique_ptr<MainWindow> fake = openWindow();
    auto *tabs = fake->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    auto *deviceBox = fake->findChild<QComboBox *>(QStringLiteral("cmbDevice"));
    ErrorBoxCatcher boxes;
    ClFault::failCall("clCreateCommandQueue", 1, CL_OUT_OF_RESOURCES);
    QCOMPARE(fake->launch(tab, device, true), QString());
    QTRY_COMPARE(boxes.count(), 1);
    for (const QString &part : { "\nDevice: " + name + "\n", "Tab: " + tabs->tabText(index) })
        QVERIFY2(boxes.details.first().contains(part), qPrintable(boxes.details.first()));
    QCOMPARE(deviceBox->currentText(), name);
    QCOMPARE(fake->launch(tab, device, true), QString());
    DemoView *view = viewOfTab(*fake, index);
    QVERIFY(view->isReady());
    QCOMPARE(QString("%1:%2").arg(view->platformIndex).arg(view->deviceIndex), device);

    // Back on its tab after another platform was chosen on another tab, the
    // selection is the view's again.
    tabs->setCurrentIndex((index + 1) % 3);
    fake->findChild<QComboBox *>(QStringLiteral("cmbPlatform"))->setCurrentIndex(1 - view->platformIndex);
    tabs->setCurrentIndex(index);
    QCOMPARE(deviceBox->currentText(), name);
}

void MainWindowTest::slidersSetSpeedAndFrequency_data()
{
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("value");
    QTest::addColumn<float>("speed");
    QTest::addColumn<float>("frequency");
    QTest::newRow("as opened") << QString() << 0 << 0.051f << 4.0f;
    QTest::newRow("fastest") << "horizontalSlider" << 99 << 0.496f << 4.0f;
    QTest::newRow("flat") << "hsFreq" << 0 << 0.496f << 0.0f;
    QTest::newRow("densest") << "hsFreq" << 99 << 0.496f << 9.9f;
}

void MainWindowTest::slidersSetSpeedAndFrequency()
{
    QFETCH(QString, slider);
    QFETCH(int, value);
    QFETCH(float, speed);
    QFETCH(float, frequency);
    if (!slider.isEmpty())
        window->findChild<QSlider *>(slider)->setValue(value);
    auto *view = window->findChild<OGLWdgt *>();
    QCOMPARE(view->timeStep, speed);
    QCOMPARE(view->freq, frequency);
}

void MainWindowTest::counterShowsTheFramesOfEachSecond_data()
{
    QTest::addColumn<int>("tab");
    for (int tab : { 0, 1, 2 })
        QTest::addRow("tab %d", tab) << tab;
}

// The counter shows what the current tab's view counted since the last tick
// and starts again from nothing: a frame rate only if the ticks are a
// second apart.
void MainWindowTest::counterShowsTheFramesOfEachSecond()
{
    QFETCH(int, tab);
    auto *tabs = child<QTabWidget>("tabWidget");
    tabs->setCurrentIndex((tab + 1) % 3);
    tabs->setCurrentIndex(tab);
    auto *counter = child<QLCDNumber>("lcdFC");
    viewOfTab(*window, tab)->frameCount = 777;
    QTRY_COMPARE_WITH_TIMEOUT(counter->intValue(), 777, 2000);
    QElapsedTimer shown;
    shown.start();
    QTRY_COMPARE_WITH_TIMEOUT(counter->intValue(), 0, 2000);
    // Each wait notices its change up to a polling step late, and later
    // still on a slow or busy machine; a tick of half a second or of two,
    // which the waits' timeouts would let pass, stays outside.
    QVERIFY2(shown.elapsed() > 750 && shown.elapsed() < 1900, qPrintable(QString::number(shown.elapsed())));
}

// A 1 ms animation tick with nothing to draw only wakes the processor: at
// rest no tab ticks, a running view ticks on its tab, again when its tab is
// chosen again, and a view that a failure stopped stops ticking.
void MainWindowTest::onlyARunningViewOnTheCurrentTabAnimates()
{
    const char *timers[] = { "tmrWdgtAnimate", "tmrPPAnimate", "tmrNBodyAnimate" };
    auto *tabs = child<QTabWidget>("tabWidget");
    auto ticking = [&] {
        QList<int> each;
        for (int tab : { 0, 1, 2 })
            each << (child<QTimer>(timers[tab])->isActive() ? child<QTimer>(timers[tab])->interval() : 0);
        return each;
    };
    for (int tab : { 2, 1, 0 }) {
        tabs->setCurrentIndex(tab);
        QCOMPARE(ticking(), QList<int>({ 0, 0, 0 }));
    }
    tabs->setCurrentIndex(2);
    QTest::mouseClick(child<QPushButton>("pbNBody"), Qt::LeftButton);
    for (int tab : { 2, 0, 2 }) {
        tabs->setCurrentIndex(tab);
        QCOMPARE(ticking(), QList<int>({ 0, 0, tab == 2 ? 1 : 0 }));
    }
    DemoView *view = viewOfTab(*window, 2);
    view->frameCount = 0;
    QTRY_VERIFY(view->frameCount > 3);

    ErrorBoxCatcher boxes;
    ClFault::failCall("clEnqueueNDRangeKernel", 1, CL_OUT_OF_RESOURCES);
    QTRY_COMPARE(boxes.count(), 1);
    QTRY_COMPARE(ticking(), QList<int>({ 0, 0, 0 }));
}

void MainWindowTest::menuOpensBothDialogsModeless()
{
    for (QAction *entry : window->menuBar()->actions().first()->menu()->actions())
        entry->trigger();
    for (const char *name : { "oclInfo", "oglinfo" }) {
        auto *dialog = child<QDialog>(name);
        QVERIFY(dialog->isVisible() && !dialog->isModal());
        dialog->close();
    }
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
