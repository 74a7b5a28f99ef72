#include "clfault.h"
#include "errorboxcatcher.h"
#include "oglpp.h"
#include "windowharness.h"

#include <QtTest>
#include <QtWidgets>

// The window on what the other tests do not run on: a Wayland session
// (tests/run-on-weston.sh) and an OpenGL driver that fails to load (Mesa
// told to load zink, which finds no Vulkan device here). Each test runs
// where its setting is, and is skipped elsewhere.
class WindowSystemTest : public QObject
{
    Q_OBJECT

private slots:
    void everyTabRunsOnWaylandAndPostprocessingStagesThroughTheHost();
    void everyStartSaysThatNoOpenGlContextCouldBeMade();
};

namespace {

const QStringList tabTexts = { "OpenCL Simple OpenGL Interop", "OpenGL post-processing",
                               "OpenCL N-Body Physics Simulation" };

QString openGlPartOfKorvaneInfo()
{
    QProcess info;
    info.start(QStringLiteral(KORVANE_INFO_PATH), QStringList());
    info.waitForFinished(60000);
    return QString::fromLocal8Bit(info.readAllStandardOutput()).section(QStringLiteral("\nOpenGL\n"), 1);
}

} // namespace

void WindowSystemTest::everyTabRunsOnWaylandAndPostprocessingStagesThroughTheHost()
{
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        QSKIP("runs on Wayland: tests/run-on-weston.sh");
    // Offered by the device, and still not taken: the EGL context has no
    // GLX handles to share.
    ClFault::emulateGlSharing(true);
    ErrorBoxCatcher boxes;
    const std::unique_ptr<MainWindow> window = openWindow();
    // Counted are frames drawn to their end, from the timer's ticks.
    DemoView::timeFrameParts = true;
    for (int tab = 0; tab < 3; ++tab) {
        QCOMPARE(window->launch(MainWindow::demoNames()[tab], QString(), true), QString());
        // Frames counted, not a rate: a slow or busy machine takes longer.
        QTRY_VERIFY_WITH_TIMEOUT(viewOfTab(*window, tab)->frameParts().frames >= 5, 60000);
        // A surface of its own between the view and the window would have
        // no content, and the compositor would show nothing of the view.
        QCOMPARE(viewOfTab(*window, tab)->parentWidget()->internalWinId(), WId(0));
    }
    DemoView::timeFrameParts = false;
    QCOMPARE(boxes.seen, QStringList());
    QVERIFY(!static_cast<OGLPP *>(viewOfTab(*window, 1))->sharesGlBuffers());
    QCOMPARE(ClFault::callCount("clGetGLContextInfoKHR"), 0);
    QVERIFY2(openGlPartOfKorvaneInfo().startsWith("  Version: 4."), qPrintable(openGlPartOfKorvaneInfo()));
}

void WindowSystemTest::everyStartSaysThatNoOpenGlContextCouldBeMade()
{
    if (qgetenv("MESA_LOADER_DRIVER_OVERRIDE") != "zink")
        QSKIP("runs with an OpenGL driver that fails to load: MESA_LOADER_DRIVER_OVERRIDE=zink");
    ErrorBoxCatcher boxes;
    const std::unique_ptr<MainWindow> window = openWindow();
    for (int tab = 0; tab < 3; ++tab) {
        QCOMPARE(window->launch(MainWindow::demoNames()[tab], QString(), true), QString());
        QCOMPARE(boxes.seen.value(tab), QStringLiteral("Error!|No OpenGL context"));
        for (const QString &part : { "Tab: " + tabTexts[tab], QStringLiteral("the OpenGL context could not be made") })
            QVERIFY2(boxes.details.value(tab).contains(part), qPrintable(boxes.details.value(tab)));
    }
    QCOMPARE(boxes.count(), 3);
    auto *dialog = window->findChild<QDialog *>(QStringLiteral("oglinfo"));
    QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(),
             QStringLiteral("OpenGL: <b>the OpenGL context could not be made</b>"));
    QCOMPARE(openGlPartOfKorvaneInfo(), QStringLiteral("  the OpenGL context could not be made\n"));
}

QTEST_MAIN(WindowSystemTest)
#include "tst_windowsystem.moc"
