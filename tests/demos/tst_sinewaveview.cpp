#include "oglwdgt.h"
#include "viewchecks.h"

#include <QtTest>
#include <QLCDNumber>

#include <cmath>

using namespace ViewChecks;

// The first tab's view as a user meets it: a black view until Start, then a
// green sine-wave surface that moves on every timer tick, turns with the
// mouse and reports every failure once.
class SineWaveViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void viewIsBlackAndIdleBeforeStart();
    void startWithoutAUsableSelectionDoesNothing();
    void startShowsAGreenSurfaceOnBlack();
    void startBuildsInOrderAndDrawsTheFirstFrame();
    void everyTickAdvancesTimeAndRunsOneFrame();
    void frameCountIsShownThenReset();
    void restartContinuesTheWaveWhereItWas();
    void drawModeChoosesBetweenClearPaintAndNothing();
    void wheelAndDragMoveTheSurface();
    void projectionKeepsProportionsAndSurvivesAnEmptyView();
    void smallWorkGroupDevicesRunTheMesh();
    void failingBuildIsReportedByName();
    void anyFailingCallIsReportedOnceAndReleasesEverything_data();
    void anyFailingCallIsReportedOnceAndReleasesEverything();

private:
    void start()
    {
        view()->setupOpenCl();
        QVERIFY(view()->isReady());
    }
    OGLWdgt *view() const { return harness->view; }

    ViewHarness<OGLWdgt> *harness = nullptr;
};

namespace {

const QStringList setupCalls = {
    "clCreateContext#1", "clCreateCommandQueue#1", "clCreateProgramWithSource#1", "clBuildProgram#1",
    "clCreateKernel#1", "clCreateBuffer#1", "clSetKernelArg#1", "clSetKernelArg#2", "clSetKernelArg#3",
    // The first frame.
    "clSetKernelArg#4", "clSetKernelArg#5", "clEnqueueNDRangeKernel#1", "clEnqueueReadBuffer#1",
};
const QStringList frameCalls = {
    "clSetKernelArg#1", "clSetKernelArg#2", "clEnqueueNDRangeKernel#1", "clEnqueueReadBuffer#1",
};

} // namespace

void SineWaveViewTest::init()
{
    ClFault::reset();
    harness = new ViewHarness<OGLWdgt>(QSize(320, 240));
}

void SineWaveViewTest::cleanup()
{
    delete harness;
    harness = nullptr;
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(ClFault::staleHandleUses(), 0);
}

void SineWaveViewTest::viewIsBlackAndIdleBeforeStart()
{
    const QStringList calls = callsOf([this] {
        for (int i = 0; i < 5; ++i)
            view()->animate();
    });
    QCOMPARE(calls, QStringList());
    QCOMPARE(view()->frameCount, 0);
    QCOMPARE(view()->animTime, 0.0f);
    QCOMPARE(nonBlackPixels(view()), 0);
    QCOMPARE(glBuffers(view()), 0);
}

void SineWaveViewTest::startWithoutAUsableSelectionDoesNothing()
{
    ErrorBoxCatcher boxes;
    for (const QPoint &indexes : { QPoint(-1, 0), QPoint(0, -1), QPoint(-1, -1), QPoint(1, 0), QPoint(0, 7) }) {
        view()->platformIndex = indexes.x();
        view()->deviceIndex = indexes.y();
        QCOMPARE(callsOf([this] { view()->setupOpenCl(); }), QStringList());
        QVERIFY(!view()->running);
    }
    QCOMPARE(nonBlackPixels(view()), 0);

    // A running surface keeps running.
    view()->platformIndex = 0;
    view()->deviceIndex = 0;
    start();
    view()->platformIndex = -1;
    view()->setupOpenCl();
    QVERIFY(view()->isReady());
    QVERIFY(view()->running);
    QCOMPARE(boxes.count(), 0);
}

void SineWaveViewTest::startShowsAGreenSurfaceOnBlack()
{
    start();
    QVERIFY(view()->running);
    QCOMPARE(view()->drawMode, 1.0f);
    const int green = countPixels(view(), isGreen);
    QVERIFY2(green > 2000, qPrintable(QString::number(green)));
    QCOMPARE(nonBlackPixels(view()), green);
    QCOMPARE(glBuffers(view()), 1);
    QCOMPARE(glError(view()), GLenum(GL_NO_ERROR));
}

void SineWaveViewTest::startBuildsInOrderAndDrawsTheFirstFrame()
{
    QCOMPARE(callsOf([this] { view()->setupOpenCl(); }), setupCalls);
    QCOMPARE(view()->frameCount, 1);

    // A second start first releases what the first one built.
    const QStringList again = callsOf([this] { view()->setupOpenCl(); });
    QCOMPARE(again.mid(0, 6), QStringList({ "clReleaseKernel#1", "clReleaseProgram#1", "clReleaseCommandQueue#1",
                                            "clReleaseMemObject#1", "clReleaseContext#1", "clCreateContext#1" }));
    QCOMPARE(ClFault::liveObjects(), 5);
    QCOMPARE(glBuffers(view()), 1);
}

void SineWaveViewTest::everyTickAdvancesTimeAndRunsOneFrame()
{
    view()->timeStep = 0.25f;
    start();
    const QImage before = view()->grabFrameBuffer();
    QCOMPARE(callsOf([this] { view()->animate(); }), frameCalls);
    QCOMPARE(view()->animTime, 0.25f);
    view()->animate();
    QCOMPARE(view()->animTime, 0.5f);
    QVERIFY(view()->grabFrameBuffer() != before);
    QCOMPARE(nonBlackPixels(view()), countPixels(view(), isGreen));

    // Turning the surface repaints it without running the kernel.
    QCOMPARE(callsOf([this] {
                 QMouseEvent press(QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton,
                                   Qt::NoModifier);
                 QApplication::sendEvent(view(), &press);
             }),
             QStringList());
}

void SineWaveViewTest::frameCountIsShownThenReset()
{
    QLCDNumber display;
    view()->frameDisplay = &display;
    start();
    for (int i = 0; i < 5; ++i)
        view()->animate();
    QCOMPARE(view()->frameCount, 6);
    view()->framecount();
    QCOMPARE(display.intValue(), 6);
    QCOMPARE(view()->frameCount, 0);

    view()->frameDisplay = nullptr;
    view()->animate();
    view()->framecount();
    QCOMPARE(view()->frameCount, 0);
    QCOMPARE(display.intValue(), 6);
}

void SineWaveViewTest::restartContinuesTheWaveWhereItWas()
{
    view()->timeStep = 0.5f;
    start();
    view()->animate();
    view()->animate();
    QCOMPARE(view()->animTime, 1.0f);
    start();
    QCOMPARE(view()->animTime, 1.0f);
    view()->animate();
    QCOMPARE(view()->animTime, 1.5f);
}

void SineWaveViewTest::drawModeChoosesBetweenClearPaintAndNothing()
{
    start();
    const QImage drawn = view()->grabFrameBuffer();
    QVERIFY(countPixels(view(), isGreen) > 0);

    // Any mode other than 0 and 1 paints nothing at all: the last frame stays.
    view()->draw(0.5f);
    QCOMPARE(view()->grabFrameBuffer(), drawn);
    view()->draw(0.0f);
    QCOMPARE(nonBlackPixels(view()), 0);
    view()->draw(1.0f);
    QCOMPARE(view()->grabFrameBuffer(), drawn);

    // The wave runs on whatever is shown.
    view()->draw(0.0f);
    const int frames = view()->frameCount;
    view()->animate();
    QCOMPARE(view()->frameCount, frames + 1);
    QCOMPARE(nonBlackPixels(view()), 0);
}

void SineWaveViewTest::wheelAndDragMoveTheSurface()
{
    start();
    auto wheel = [this](int delta) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view(), &event);
    };
    wheel(120);
    QCOMPARE(view()->zoom, -2.4f);
    wheel(0);
    QCOMPARE(view()->zoom, -2.4f);
    wheel(-360);
    QCOMPARE(view()->zoom, -2.5f);

    const QImage facing = view()->grabFrameBuffer();
    QMouseEvent press(QEvent::MouseButtonPress, QPoint(0, 0), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view(), &press);
    QMouseEvent across(QEvent::MouseMove, QPoint(320, 0), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view(), &across);
    QMouseEvent down(QEvent::MouseMove, QPoint(320, 240), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view(), &down);
    QCOMPARE(view()->yRot, 180.0f);
    QCOMPARE(view()->xRot, 180.0f);
    QCOMPARE(view()->zRot, 0.0f);
    QVERIFY(view()->grabFrameBuffer() != facing);
}

void SineWaveViewTest::projectionKeepsProportionsAndSurvivesAnEmptyView()
{
    auto projection = [this] {
        view()->makeCurrent();
        QVector<GLfloat> m(16);
        glGetFloatv(GL_PROJECTION_MATRIX, m.data());
        return m;
    };
    view()->resize(400, 200);
    QTRY_COMPARE(view()->size(), QSize(400, 200));
    QVector<GLfloat> m = projection();
    QVERIFY(std::fabs(m[5] / m[0] - 2.0f) < 1e-5f);

    for (const QSize &size : { QSize(0, 0), QSize(200, 0), QSize(0, 200) }) {
        view()->resize(size);
        view()->repaint();
        m = projection();
        for (GLfloat value : m)
            QVERIFY(std::isfinite(value));
    }
}

void SineWaveViewTest::smallWorkGroupDevicesRunTheMesh()
{
    // The launch leaves the work-group size to the driver.
    ErrorBoxCatcher boxes;
    ClFault::limitWorkGroupSize(64);
    start();
    view()->animate();
    QVERIFY(view()->isReady());
    QVERIFY(countPixels(view(), isGreen) > 0);
    QCOMPARE(boxes.count(), 0);
}

void SineWaveViewTest::failingBuildIsReportedByName()
{
    ErrorBoxCatcher boxes;
    ClFault::failCall("clBuildProgram", 1, CL_BUILD_PROGRAM_FAILURE);
    view()->setupOpenCl();
    QCOMPARE(boxes.seen(), QStringList("Error!|CL_BUILD_PROGRAM_FAILURE"));
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(glBuffers(view()), 0);
}

void SineWaveViewTest::anyFailingCallIsReportedOnceAndReleasesEverything_data()
{
    QTest::addColumn<bool>("inFrame");
    QTest::addColumn<QString>("call");
    for (const QString &call : setupCalls)
        QTest::newRow(qPrintable("start: " + call)) << false << call;
    for (const QString &call : frameCalls)
        QTest::newRow(qPrintable("frame: " + call)) << true << call;
}

void SineWaveViewTest::anyFailingCallIsReportedOnceAndReleasesEverything()
{
    QFETCH(bool, inFrame);
    QFETCH(QString, call);
    const QByteArray function = call.section('#', 0, 0).toLatin1();
    const int nth = call.section('#', 1).toInt();

    if (inFrame)
        start();
    checkOneFailure(view(), function.constData(), nth, [this, inFrame] {
        if (inFrame)
            view()->animate();
        else
            view()->setupOpenCl();
    });
    if (QTest::currentTestFailed())
        return;

    ClFault::reset();
    start();
    view()->animate();
    QVERIFY(countPixels(view(), isGreen) > 2000);
    QCOMPARE(glBuffers(view()), 1);
}

QTEST_MAIN(SineWaveViewTest)
#include "tst_sinewaveview.moc"
