#include "clfault.h"
#include "demoview.h"
#include "errorboxcatcher.h"
#include "viewharness.h"

#include <QtTest>
#include <QLCDNumber>

namespace {

// The smallest view: a context, a queue and the sine-wave kernel, and
// nothing to draw.
class MinimalView : public DemoView
{
public:
    explicit MinimalView(QWidget *parent)
        : DemoView(parent)
    {
        zoom = -1.0f;
    }
    ~MinimalView() override { checkStatus(RELEASE_ONLY); }

    void setupOpenCl() override
    {
        if (!selectedDevice())
            return;
        checkStatus(RELEASE_ONLY);
        const cl_context_properties properties[] = {
            CL_CONTEXT_PLATFORM, cl_context_properties(selectedPlatform()), 0
        };
        if (createContext(properties) && createQueue())
            buildKernel(":/cl/simplGL.cl", "sine_wave");
    }
    bool isReady() const override { return kernel != nullptr; }
    bool reportingNow() const { return isReporting(); }

protected:
    void paintGL() override { clearView(); }
    void releaseObjects() override
    {
        releaseHandle(kernel, clReleaseKernel);
        releaseHandle(program, clReleaseProgram);
        releaseHandle(queue, clReleaseCommandQueue);
        releaseHandle(context, clReleaseContext);
    }
};

} // namespace

// What every view shares: the error report and release, the frame counter,
// and turning and zooming with the mouse.
class DemoViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void successPositiveAndReleaseOnlyReportNothing();
    void failureIsReportedByNameOrNumberThenEverythingReleased();

    void frameCountIsShownThenReset();
    void wheelMovesByATenthPerEvent();
    void dragAcrossTheViewTurnsHalfARoundAndAnEmptyViewNotAtAll();

private:
    ViewHarness<MinimalView> *harness = nullptr;
    MinimalView *view() const { return harness->view; }
};

void DemoViewTest::init()
{
    ClFault::reset();
    harness = new ViewHarness<MinimalView>(QSize(200, 100));
}

void DemoViewTest::cleanup()
{
    delete harness;
    harness = nullptr;
    QCOMPARE(ClFault::liveObjects(), 0);
}

void DemoViewTest::successPositiveAndReleaseOnlyReportNothing()
{
    ErrorBoxCatcher boxes;
    // On a view holding nothing a release calls nothing.
    ClFault::startRecording();
    view()->checkStatus(DemoView::RELEASE_ONLY);
    QCOMPARE(ClFault::recordedCalls(), QStringList());

    view()->setupOpenCl();
    QCOMPARE(ClFault::liveObjects(), 4);
    QCOMPARE(view()->checkStatus(CL_SUCCESS), CL_SUCCESS);
    QCOMPARE(view()->checkStatus(7), 7);
    QCOMPARE(ClFault::liveObjects(), 4);
    QVERIFY(view()->isReady());
    QCOMPARE(QByteArray(view()->errorText), QByteArray());

    QCOMPARE(view()->checkStatus(DemoView::RELEASE_ONLY), DemoView::RELEASE_ONLY);
    QCOMPARE(ClFault::liveObjects(), 0);
    QVERIFY(!view()->isReady());
    QCOMPARE(boxes.count(), 0);
}

void DemoViewTest::failureIsReportedByNameOrNumberThenEverythingReleased()
{
    ErrorBoxCatcher boxes;
    view()->setupOpenCl();
    QCOMPARE(view()->checkStatus(CL_BUILD_PROGRAM_FAILURE), CL_BUILD_PROGRAM_FAILURE);
    QCOMPARE(boxes.seen(), QStringList({ "Error!|CL_BUILD_PROGRAM_FAILURE" }));
    QCOMPARE(QByteArray(view()->errorText), QByteArray("CL_BUILD_PROGRAM_FAILURE"));
    QCOMPARE(ClFault::liveObjects(), 0);
    QVERIFY(!view()->reportingNow());

    // A second release finds nothing left to release.
    ClFault::startRecording();
    view()->checkStatus(DemoView::RELEASE_ONLY);
    QCOMPARE(ClFault::recordedCalls(), QStringList());
    QCOMPARE(ClFault::staleHandleUses(), 0);

    view()->checkStatus(-9999);
    QCOMPARE(boxes.texts.last(), QStringLiteral("Unknown OpenCL error -9999"));
}

void DemoViewTest::frameCountIsShownThenReset()
{
    QLCDNumber display;
    view()->frameCount = 42;
    view()->framecount();
    QCOMPARE(view()->frameCount, 0);
    QCOMPARE(display.intValue(), 0);

    view()->frameDisplay = &display;
    view()->frameCount = 17;
    view()->framecount();
    QCOMPARE(display.intValue(), 17);
    QCOMPARE(view()->frameCount, 0);
}

void DemoViewTest::wheelMovesByATenthPerEvent()
{
    const QPoint centre(100, 50);
    auto turn = [this, centre](int delta) {
        QWheelEvent event(centre, view()->mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view(), &event);
    };
    turn(120);
    QCOMPARE(view()->zoom, -0.9f);
    turn(480);
    QCOMPARE(view()->zoom, -0.8f);
    turn(0);
    QCOMPARE(view()->zoom, -0.8f);
    turn(-1);
    turn(-120);
    QCOMPARE(view()->zoom, -1.0f);
}

void DemoViewTest::dragAcrossTheViewTurnsHalfARoundAndAnEmptyViewNotAtAll()
{
    auto moveTo = [this](const QPoint &to) {
        QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view(), &move);
    };
    QTest::mousePress(view(), Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    moveTo(QPoint(201, 1));
    QCOMPARE(view()->yRot, 180.0f);
    QCOMPARE(view()->xRot, 0.0f);
    moveTo(QPoint(201, 101));
    QCOMPARE(view()->xRot, 180.0f);
    QCOMPARE(view()->zRot, 0.0f);

    // No division by a zero size.
    view()->resize(0, 0);
    moveTo(QPoint(10, 10));
    QCOMPARE(view()->xRot, 180.0f);
    QCOMPARE(view()->yRot, 180.0f);
}

QTEST_MAIN(DemoViewTest)
#include "tst_demoview.moc"
