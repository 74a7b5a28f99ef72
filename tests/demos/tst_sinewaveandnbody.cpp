#include "oglnbody.h"
#include "oglwdgt.h"
#include "startcloud.h"
#include "viewchecks.h"

#include <QtTest>

#include <memory>
#include <vector>

using namespace ViewChecks;

namespace {

enum class Kind { SineWave, NBody };

} // namespace

Q_DECLARE_METATYPE(Kind)

// The first and third tabs' views as a user meets them: black until Start,
// then a green sine-wave surface that moves on every timer tick, or an
// orange cloud that falls together one step per repaint, a new cloud for
// every start; one report for every failure.
class SineWaveAndNBodyTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Both views
    void viewIsBlackAndIdleBeforeStart_data() { addKinds(); }
    void viewIsBlackAndIdleBeforeStart();
    void startWithoutAUsableSelectionDoesNothing_data() { addKinds(); }
    void startWithoutAUsableSelectionDoesNothing();
    void startShowsItsColourOnBlackWithOneSetOfObjects_data() { addKinds(); }
    void startShowsItsColourOnBlackWithOneSetOfObjects();
    void projectionKeepsProportionsAndSurvivesAnEmptyView_data() { addKinds(); }
    void projectionKeepsProportionsAndSurvivesAnEmptyView();
    void anyFailingCallIsReportedOnceAndReleasesEverything_data();
    void anyFailingCallIsReportedOnceAndReleasesEverything();

    // The sine-wave surface
    void everyTickAdvancesTheWaveWhichARestartContinues();
    void sineWaveDrawModeChoosesBetweenClearPaintAndNothing();
    void smallWorkGroupDevicesRunTheMesh();

    // The N-body cloud
    void everyRepaintRunsOneStep();
    void everyStartGivesTheNextCloudOfTheProcessGenerator();
    void nbodyDrawModeChoosesBetweenClearStepAndNothing();
    void smallWorkGroupDeviceGivesOneNBodyReport();

private:
    static void addKinds()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("sine wave") << Kind::SineWave;
        QTest::newRow("n-body") << Kind::NBody;
    }
    DemoView *open(Kind kind);
    OGLWdgt *sine() { return static_cast<OGLWdgt *>(open(Kind::SineWave)); }
    oglnbody *nbody() { return static_cast<oglnbody *>(open(Kind::NBody)); }
    static void start(DemoView *view)
    {
        view->setupOpenCl();
        QVERIFY(view->isReady());
    }
    static std::function<bool(QRgb)> colourOf(Kind kind) { return kind == Kind::SineWave ? isGreen : isOrangeToYellow; }

    std::unique_ptr<ViewHarness<OGLWdgt>> sineHarness;
    std::unique_ptr<ViewHarness<oglnbody>> nbodyHarness;
};

void SineWaveAndNBodyTest::init()
{
    ClFault::reset();
}

void SineWaveAndNBodyTest::cleanup()
{
    sineHarness.reset();
    nbodyHarness.reset();
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(ClFault::staleHandleUses(), 0);
}

DemoView *SineWaveAndNBodyTest::open(Kind kind)
{
    if (kind == Kind::SineWave && !sineHarness)
        sineHarness.reset(new ViewHarness<OGLWdgt>(QSize(320, 240)));
    if (kind == Kind::NBody && !nbodyHarness)
        nbodyHarness.reset(new ViewHarness<oglnbody>(QSize(320, 240)));
    return kind == Kind::SineWave ? static_cast<DemoView *>(sineHarness->view) : nbodyHarness->view;
}

void SineWaveAndNBodyTest::viewIsBlackAndIdleBeforeStart()
{
    QFETCH(Kind, kind);
    checkBlackAndIdleBeforeStart(open(kind));
    QCOMPARE(glBuffers(open(kind)), 0);
}

void SineWaveAndNBodyTest::startWithoutAUsableSelectionDoesNothing()
{
    QFETCH(Kind, kind);
    checkUnusableSelectionsDoNothing(open(kind));
}

void SineWaveAndNBodyTest::startShowsItsColourOnBlackWithOneSetOfObjects()
{
    QFETCH(Kind, kind);
    DemoView *view = open(kind);
    start(view);
    QCOMPARE(view->drawMode, 1.0f);
    const int shown = countPixels(view, colourOf(kind));
    QVERIFY2(shown > (kind == Kind::SineWave ? 2000 : 100), qPrintable(QString::number(shown)));
    QCOMPARE(nonBlackPixels(view), shown);
    QCOMPARE(glError(view), GLenum(GL_NO_ERROR));
    if (kind == Kind::NBody) {
        // Where bodies overlap the colour adds up to yellow.
        QVERIFY(countPixels(view, [](QRgb p) { return qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 0; }) > 0);
    }

    // A second start holds one set: context, queue, program, kernel and
    // the mesh buffer in a GL buffer, or the cloud's four buffers.
    start(view);
    QCOMPARE(ClFault::liveObjects("mem"), kind == Kind::SineWave ? 1 : 4);
    QCOMPARE(ClFault::liveObjects(), kind == Kind::SineWave ? 5 : 8);
    QCOMPARE(glBuffers(view), kind == Kind::SineWave ? 1 : 0);
}

void SineWaveAndNBodyTest::projectionKeepsProportionsAndSurvivesAnEmptyView()
{
    // The N-body look-at from (0, 0, -2) mirrors x; the proportions stay.
    QFETCH(Kind, kind);
    start(open(kind));
    checkProjection(open(kind));
}

// Rows "<view> <start|frame>: function#n" for every call that can fail,
// recorded on a fresh view's start and a started view's frame.
void SineWaveAndNBodyTest::anyFailingCallIsReportedOnceAndReleasesEverything_data()
{
    ViewHarness<OGLWdgt> sineRecorder;
    ViewHarness<oglnbody> nbodyRecorder;
    auto recorder = [&](const QString &operation) -> DemoView * {
        return operation.startsWith(QLatin1String("sine")) ? static_cast<DemoView *>(sineRecorder.view)
                                                           : nbodyRecorder.view;
    };
    addFailureRows({ "sine wave start", "sine wave frame", "n-body start", "n-body frame" },
                   [&](const QString &operation) {
                       if (operation.endsWith(QLatin1String("frame")))
                           recorder(operation)->setupOpenCl();
                   },
                   [&](const QString &operation) {
                       if (operation.endsWith(QLatin1String("start")))
                           recorder(operation)->setupOpenCl();
                       else
                           recorder(operation)->animate();
                   });
}

void SineWaveAndNBodyTest::anyFailingCallIsReportedOnceAndReleasesEverything()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, function);
    QFETCH(int, nth);
    const Kind kind = operation.startsWith(QLatin1String("sine")) ? Kind::SineWave : Kind::NBody;
    const bool starting = operation.endsWith(QLatin1String("start"));
    DemoView *view = open(kind);
    if (!starting)
        start(view);
    checkOneFailure(view, function.constData(), nth, [&] { starting ? view->setupOpenCl() : view->animate(); });
    if (QTest::currentTestFailed())
        return;
    if (kind == Kind::NBody)
        QVERIFY(!nbody()->startPositions());

    // The next start works.
    ClFault::reset();
    start(view);
    view->animate();
    QVERIFY(countPixels(view, colourOf(kind)) > (kind == Kind::SineWave ? 2000 : 100));
}

void SineWaveAndNBodyTest::everyTickAdvancesTheWaveWhichARestartContinues()
{
    OGLWdgt *view = sine();
    view->timeStep = 0.25f;
    start(view);
    QCOMPARE(view->animTime, 0.0f);
    const QImage before = view->grabFrameBuffer();
    view->animate();
    QCOMPARE(view->animTime, 0.25f);
    view->animate();
    QCOMPARE(view->animTime, 0.5f);
    QCOMPARE(view->frameCount, 3);
    QVERIFY(view->grabFrameBuffer() != before);
    QCOMPARE(nonBlackPixels(view), countPixels(view, isGreen));

    start(view);
    QCOMPARE(view->animTime, 0.5f);
    view->animate();
    QCOMPARE(view->animTime, 0.75f);

    // Turning the surface repaints it without running the kernel.
    const QImage facing = view->grabFrameBuffer();
    QCOMPARE(callsOf([view] {
                 QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(0, 0));
                 QMouseEvent across(QEvent::MouseMove, QPoint(160, 120), Qt::NoButton, Qt::LeftButton,
                                    Qt::NoModifier);
                 QApplication::sendEvent(view, &across);
             }),
             QStringList());
    QVERIFY(view->grabFrameBuffer() != facing);
}

void SineWaveAndNBodyTest::sineWaveDrawModeChoosesBetweenClearPaintAndNothing()
{
    OGLWdgt *view = sine();
    start(view);
    const QImage drawn = view->grabFrameBuffer();
    QVERIFY(countPixels(view, isGreen) > 0);

    // Any mode other than 0 and 1 paints nothing at all: the last frame stays.
    view->draw(0.5f);
    QCOMPARE(view->grabFrameBuffer(), drawn);
    view->draw(0.0f);
    QCOMPARE(nonBlackPixels(view), 0);
    view->draw(1.0f);
    QCOMPARE(view->grabFrameBuffer(), drawn);

    // The wave runs on whatever is shown.
    view->draw(0.0f);
    const int frames = view->frameCount;
    view->animate();
    QCOMPARE(view->frameCount, frames + 1);
    QCOMPARE(nonBlackPixels(view), 0);
}

void SineWaveAndNBodyTest::smallWorkGroupDevicesRunTheMesh()
{
    // The launch leaves the work-group size to the driver.
    ErrorBoxCatcher boxes;
    ClFault::limitWorkGroupSize(64);
    start(sine());
    sine()->animate();
    QVERIFY(sine()->isReady());
    QVERIFY(countPixels(sine(), isGreen) > 0);
    QCOMPARE(boxes.count(), 0);
}

void SineWaveAndNBodyTest::everyRepaintRunsOneStep()
{
    oglnbody *view = nbody();
    start(view);
    const QImage before = view->grabFrameBuffer();
    for (int i = 0; i < 40; ++i)
        view->animate();
    QTest::mousePress(view, Qt::LeftButton);
    QCOMPARE(view->frameCount, 42);
    // The cloud has moved, and it is still orange on black.
    QVERIFY(view->grabFrameBuffer() != before);
    QCOMPARE(nonBlackPixels(view), countPixels(view, isOrangeToYellow));
    QCOMPARE(ClFault::liveObjects("event"), 0);

    // A hidden view is not repainted, so it does not step.
    view->hide();
    view->animate();
    QCOMPARE(view->frameCount, 42);
}

void SineWaveAndNBodyTest::everyStartGivesTheNextCloudOfTheProcessGenerator()
{
    oglnbody *view = nbody();
    QVERIFY(!view->startPositions());
    const int bodies = view->bodyCount();
    QCOMPARE(bodies, 1024);
    for (int startNumber = 0; startNumber < 2; ++startNumber) {
        StartRandom expectedRandom = StartRandom::process();
        std::vector<cl_float4> expected(static_cast<size_t>(bodies)), velocities(static_cast<size_t>(bodies));
        generateStartCloud(expectedRandom, expected.data(), velocities.data(), bodies);

        start(view);
        const cl_float4 *cloud = view->startPositions();
        for (int i = 0; i < bodies; ++i)
            for (int c = 0; c < 4; ++c)
                QCOMPARE(cloud[i].s[c], expected[size_t(i)].s[c]);
        // The generator has moved on by this start's draws.
        QCOMPARE(StartRandom::process().next(), expectedRandom.next());
    }
}

void SineWaveAndNBodyTest::nbodyDrawModeChoosesBetweenClearStepAndNothing()
{
    oglnbody *view = nbody();
    start(view);
    view->draw(0.0f);
    QCOMPARE(nonBlackPixels(view), 0);
    const int frames = view->frameCount;
    view->draw(0.5f);
    view->animate();
    QCOMPARE(view->frameCount, frames);
    QCOMPARE(nonBlackPixels(view), 0);
    view->draw(1.0f);
    QCOMPARE(view->frameCount, frames + 1);
    QVERIFY(countPixels(view, isOrangeToYellow) > 100);
}

void SineWaveAndNBodyTest::smallWorkGroupDeviceGivesOneNBodyReport()
{
    ErrorBoxCatcher boxes;
    Ticker ticker(nbody());
    ClFault::limitWorkGroupSize(128);
    nbody()->setupOpenCl();
    QTRY_COMPARE(boxes.count(), 1);
    ticker.run(50);
    QCOMPARE(boxes.seen(), QStringList("Error!|CL_INVALID_WORK_GROUP_SIZE"));
    QCOMPARE(boxes.mostOpenAtOnce, 1);
    QCOMPARE(ClFault::callCount("clEnqueueNDRangeKernel"), 1);
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(nonBlackPixels(nbody()), 0);
}

QTEST_MAIN(SineWaveAndNBodyTest)
#include "tst_sinewaveandnbody.moc"
