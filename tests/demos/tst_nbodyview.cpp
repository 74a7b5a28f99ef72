#include "oglnbody.h"
#include "startcloud.h"
#include "viewchecks.h"

#include <QtTest>
#include <QLCDNumber>

#include <cmath>
#include <vector>

using namespace ViewChecks;

// The third tab's view as a user meets it: a black view until Start, then
// an orange cloud that falls together one step per repaint, a new cloud
// for every start, and one report for every failure.
class NBodyViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void viewIsBlackAndIdleBeforeStart();
    void startWithoutAUsableSelectionDoesNothing();
    void startShowsAnOrangeCloudOnBlack();
    void startBuildsInOrderAndRunsTheFirstStep();
    void everyRepaintRunsOneStep();
    void everyStartGivesTheNextCloudOfTheProcessGenerator();
    void frameCountIsShownThenReset();
    void drawModeChoosesBetweenClearStepAndNothing();
    void wheelAndDragMoveTheCloud();
    void projectionKeepsProportionsAndSurvivesAnEmptyView();
    void smallWorkGroupDeviceGivesOneReport();
    void failingBuildIsReportedByName();
    void anyFailingCallIsReportedOnceAndReleasesEverything_data();
    void anyFailingCallIsReportedOnceAndReleasesEverything();

private:
    void start()
    {
        view()->setupOpenCl();
        QVERIFY(view()->isReady());
    }
    oglnbody *view() const { return harness->view; }

    ViewHarness<oglnbody> *harness = nullptr;
};

namespace {

const QStringList setupCalls = {
    "clCreateContext#1", "clCreateCommandQueue#1", "clCreateProgramWithSource#1", "clBuildProgram#1",
    "clCreateKernel#1", "clCreateBuffer#1", "clCreateBuffer#2", "clCreateBuffer#3", "clCreateBuffer#4",
    // State arguments 0, 1, 6, 7, then numBodies, deltaTime, epsSqr and the tile.
    "clSetKernelArg#1", "clSetKernelArg#2", "clSetKernelArg#3", "clSetKernelArg#4", "clSetKernelArg#5",
    "clSetKernelArg#6", "clSetKernelArg#7", "clSetKernelArg#8",
    // The first step, run by the repaint that ends the start.
    "clEnqueueNDRangeKernel#1", "clFinish#1", "clSetKernelArg#9", "clSetKernelArg#10", "clSetKernelArg#11",
    "clSetKernelArg#12", "clEnqueueReadBuffer#1", "clWaitForEvents#1", "clReleaseEvent#1",
};
const QStringList stepCalls = {
    "clEnqueueNDRangeKernel#1", "clFinish#1", "clSetKernelArg#1", "clSetKernelArg#2", "clSetKernelArg#3",
    "clSetKernelArg#4", "clEnqueueReadBuffer#1", "clWaitForEvents#1", "clReleaseEvent#1",
};

} // namespace

void NBodyViewTest::init()
{
    ClFault::reset();
    harness = new ViewHarness<oglnbody>(QSize(320, 240));
}

void NBodyViewTest::cleanup()
{
    delete harness;
    harness = nullptr;
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(ClFault::staleHandleUses(), 0);
}

void NBodyViewTest::viewIsBlackAndIdleBeforeStart()
{
    QCOMPARE(callsOf([this] {
                 for (int i = 0; i < 5; ++i)
                     view()->animate();
             }),
             QStringList());
    QCOMPARE(view()->frameCount, 0);
    QCOMPARE(nonBlackPixels(view()), 0);
    QVERIFY(!view()->startPositions());
}

void NBodyViewTest::startWithoutAUsableSelectionDoesNothing()
{
    ErrorBoxCatcher boxes;
    for (const QPoint &indexes : { QPoint(-1, 0), QPoint(0, -1), QPoint(-1, -1), QPoint(1, 0), QPoint(0, 7) }) {
        view()->platformIndex = indexes.x();
        view()->deviceIndex = indexes.y();
        QCOMPARE(callsOf([this] { view()->setupOpenCl(); }), QStringList());
        QVERIFY(!view()->startPositions());
    }

    // A running simulation keeps running, with the same cloud.
    view()->platformIndex = 0;
    view()->deviceIndex = 0;
    start();
    const cl_float4 *cloud = view()->startPositions();
    view()->deviceIndex = -1;
    view()->setupOpenCl();
    QVERIFY(view()->isReady());
    QCOMPARE(view()->startPositions(), cloud);
    QCOMPARE(boxes.count(), 0);
}

void NBodyViewTest::startShowsAnOrangeCloudOnBlack()
{
    start();
    QCOMPARE(view()->drawMode, 1.0f);
    const int cloud = countPixels(view(), isOrangeToYellow);
    QVERIFY2(cloud > 100, qPrintable(QString::number(cloud)));
    QCOMPARE(nonBlackPixels(view()), cloud);
    // Where bodies overlap the colour adds up to yellow.
    QVERIFY(countPixels(view(), [](QRgb p) { return qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 0; }) > 0);
    QCOMPARE(glBuffers(view()), 0);
    QCOMPARE(glError(view()), GLenum(GL_NO_ERROR));
}

void NBodyViewTest::startBuildsInOrderAndRunsTheFirstStep()
{
    QCOMPARE(callsOf([this] { view()->setupOpenCl(); }), setupCalls);
    QCOMPARE(view()->frameCount, 1);
    QCOMPARE(ClFault::liveObjects("mem"), 4);
    QCOMPARE(ClFault::liveObjects("event"), 0);

    const QStringList again = callsOf([this] { view()->setupOpenCl(); });
    QCOMPARE(again.mid(0, 9), QStringList({ "clReleaseKernel#1", "clReleaseProgram#1", "clReleaseMemObject#1",
                                            "clReleaseMemObject#2", "clReleaseMemObject#3", "clReleaseMemObject#4",
                                            "clReleaseCommandQueue#1", "clReleaseContext#1",
                                            "clCreateContext#1" }));
}

void NBodyViewTest::everyRepaintRunsOneStep()
{
    start();
    QCOMPARE(callsOf([this] { view()->animate(); }), stepCalls);
    const QImage before = view()->grabFrameBuffer();
    for (int i = 0; i < 40; ++i)
        view()->animate();
    QCOMPARE(view()->frameCount, 42);
    // The cloud has moved, and it is still orange on black.
    QVERIFY(view()->grabFrameBuffer() != before);
    QCOMPARE(nonBlackPixels(view()), countPixels(view(), isOrangeToYellow));
    QCOMPARE(ClFault::liveObjects("event"), 0);

    // A hidden view is not repainted, so it does not step.
    view()->hide();
    view()->animate();
    QCOMPARE(view()->frameCount, 42);
}

void NBodyViewTest::everyStartGivesTheNextCloudOfTheProcessGenerator()
{
    const int bodies = view()->bodyCount();
    QCOMPARE(bodies, 1024);
    for (int startNumber = 0; startNumber < 2; ++startNumber) {
        StartRandom expectedRandom = StartRandom::process();
        std::vector<cl_float4> expected(static_cast<size_t>(bodies)), velocities(static_cast<size_t>(bodies));
        generateStartCloud(expectedRandom, expected.data(), velocities.data(), bodies);

        start();
        const cl_float4 *cloud = view()->startPositions();
        for (int i = 0; i < bodies; ++i)
            for (int c = 0; c < 4; ++c)
                QCOMPARE(cloud[i].s[c], expected[size_t(i)].s[c]);
        // The generator has moved on by this start's draws.
        QCOMPARE(StartRandom::process().next(), expectedRandom.next());
    }
}

void NBodyViewTest::frameCountIsShownThenReset()
{
    QLCDNumber display;
    view()->frameDisplay = &display;
    start();
    for (int i = 0; i < 4; ++i)
        view()->animate();
    view()->framecount();
    QCOMPARE(display.intValue(), 5);
    QCOMPARE(view()->frameCount, 0);

    view()->frameDisplay = nullptr;
    view()->animate();
    view()->framecount();
    QCOMPARE(view()->frameCount, 0);
    QCOMPARE(display.intValue(), 5);
}

void NBodyViewTest::drawModeChoosesBetweenClearStepAndNothing()
{
    start();
    view()->draw(0.0f);
    QCOMPARE(nonBlackPixels(view()), 0);
    const int frames = view()->frameCount;
    view()->draw(0.5f);
    view()->animate();
    QCOMPARE(view()->frameCount, frames);
    QCOMPARE(nonBlackPixels(view()), 0);
    view()->draw(1.0f);
    QCOMPARE(view()->frameCount, frames + 1);
    QVERIFY(countPixels(view(), isOrangeToYellow) > 100);
}

void NBodyViewTest::wheelAndDragMoveTheCloud()
{
    auto wheel = [this](int delta) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view(), &event);
    };
    wheel(-120);
    QCOMPARE(view()->zoom, -0.6f);
    wheel(0);
    QCOMPARE(view()->zoom, -0.6f);
    wheel(15);
    QCOMPARE(view()->zoom, -0.5f);

    QMouseEvent press(QEvent::MouseButtonPress, QPoint(320, 240), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view(), &press);
    QMouseEvent back(QEvent::MouseMove, QPoint(0, 240), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view(), &back);
    QMouseEvent up(QEvent::MouseMove, QPoint(0, 0), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view(), &up);
    QCOMPARE(view()->yRot, -180.0f);
    QCOMPARE(view()->xRot, -180.0f);

    // Every repaint of a started view is a step, mouse or not.
    start();
    const int frames = view()->frameCount;
    wheel(120);
    QCOMPARE(view()->frameCount, frames + 1);
}

void NBodyViewTest::projectionKeepsProportionsAndSurvivesAnEmptyView()
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
    // The look-at from (0, 0, -2) mirrors x; the proportions stay.
    QVERIFY(std::fabs(m[5] / std::fabs(m[0]) - 2.0f) < 1e-5f);

    start();
    for (const QSize &size : { QSize(0, 0), QSize(200, 0), QSize(0, 200) }) {
        view()->resize(size);
        view()->repaint();
        m = projection();
        for (GLfloat value : m)
            QVERIFY(std::isfinite(value));
    }
}

void NBodyViewTest::smallWorkGroupDeviceGivesOneReport()
{
    ErrorBoxCatcher boxes;
    Ticker ticker(view());
    ClFault::limitWorkGroupSize(128);
    view()->setupOpenCl();
    QTRY_COMPARE(boxes.count(), 1);
    ticker.run(50);
    QCOMPARE(boxes.seen(), QStringList("Error!|CL_INVALID_WORK_GROUP_SIZE"));
    QCOMPARE(boxes.mostOpenAtOnce, 1);
    QCOMPARE(ClFault::callCount("clEnqueueNDRangeKernel"), 1);
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(nonBlackPixels(view()), 0);
}

void NBodyViewTest::failingBuildIsReportedByName()
{
    ErrorBoxCatcher boxes;
    ClFault::failCall("clBuildProgram", 1, CL_BUILD_PROGRAM_FAILURE);
    view()->setupOpenCl();
    QCOMPARE(boxes.seen(), QStringList("Error!|CL_BUILD_PROGRAM_FAILURE"));
    QCOMPARE(ClFault::liveObjects(), 0);
    QVERIFY(!view()->startPositions());
}

void NBodyViewTest::anyFailingCallIsReportedOnceAndReleasesEverything_data()
{
    QTest::addColumn<bool>("inStep");
    QTest::addColumn<QString>("call");
    for (const QString &call : setupCalls) {
        if (ClFault::plausibleFailure(call.section('#', 0, 0)) != CL_SUCCESS)
            QTest::newRow(qPrintable("start: " + call)) << false << call;
    }
    for (const QString &call : stepCalls) {
        if (ClFault::plausibleFailure(call.section('#', 0, 0)) != CL_SUCCESS)
            QTest::newRow(qPrintable("step: " + call)) << true << call;
    }
}

void NBodyViewTest::anyFailingCallIsReportedOnceAndReleasesEverything()
{
    QFETCH(bool, inStep);
    QFETCH(QString, call);
    const QByteArray function = call.section('#', 0, 0).toLatin1();
    const int nth = call.section('#', 1).toInt();

    if (inStep)
        start();
    checkOneFailure(view(), function.constData(), nth, [this, inStep] {
        if (inStep)
            view()->animate();
        else
            view()->setupOpenCl();
    });
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!view()->startPositions());

    ClFault::reset();
    start();
    view()->animate();
    QVERIFY(countPixels(view(), isOrangeToYellow) > 100);
}

QTEST_MAIN(NBodyViewTest)
#include "tst_nbodyview.moc"
