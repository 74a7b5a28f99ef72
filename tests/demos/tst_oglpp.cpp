#include "clerrorname.h"
#include "clfault.h"
#include "errorboxcatcher.h"
#include "oglpp.h"
#include "viewharness.h"

#include <CL/cl_gl.h>
#include <GL/glu.h>

#include <QtTest>

#include <cmath>
#include <memory>

// Xlib's macros clash with Qt's names: after every Qt header.
#include <GL/glx.h>

namespace {

const QSize viewSize(240, 180);   // the height is not a multiple of 16

enum class Path { HostStaged, Sharing };

// 32-bit words as the view's pixel buffers hold them: blue in bits 0-7,
// green 8-15, red 16-23, rows bottom-up.
struct Words
{
    int width = 0;
    int height = 0;
    QVector<quint32> pixels;

    quint32 at(int x, int y) const { return pixels[y * width + x]; }
};

int channel(quint32 p, int i)
{
    return int((p >> (8 * i)) & 0xff);
}

// The glow filter from its description, independent of the kernel.
Words hostFilter(const Words &in)
{
    const int radius = 4;
    Words out{ in.width, in.height, QVector<quint32>(in.pixels.size()) };
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            int sum[3] = { 0, 0, 0 };
            int samples = 0;
            for (int dy = -radius; dy <= radius; ++dy) {
                for (int dx = -radius; dx <= radius; ++dx) {
                    if (dx * dx + dy * dy > radius * radius)
                        continue;
                    const quint32 p = in.at(qBound(0, x + dx, in.width - 1), qBound(0, y + dy, in.height - 1));
                    const int weight = channel(p, 0) + channel(p, 1) + channel(p, 2) > 612 ? 4 : 1;
                    for (int i = 0; i < 3; ++i)
                        sum[i] += weight * channel(p, i);
                    ++samples;
                }
            }
            quint32 result = 0;
            for (int i = 0; i < 3; ++i)
                result |= quint32(qMin(255, sum[i] / samples)) << (8 * i);
            out.pixels[y * in.width + x] = result;
        }
    }
    return out;
}

// The view's frame buffer as words, bottom row first like OpenGL's.
Words frameOf(QGLWidget *view)
{
    const QImage image = view->grabFrameBuffer().convertToFormat(QImage::Format_RGB32);
    Words words{ image.width(), image.height(), QVector<quint32>(image.width() * image.height()) };
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(image.height() - 1 - y));
        for (int x = 0; x < image.width(); ++x)
            words.pixels[y * image.width() + x] = line[x] & 0xffffff;
    }
    return words;
}

// The three spheres as the view describes them, drawn in the view's own
// context but by the test, and read back without any filter.
Words unfilteredScene(OGLPP *view)
{
    const int w = view->width();
    const int h = view->height();
    view->makeCurrent();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, double(w) / double(h), 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, view->zoom);
    glRotatef(view->xRot, 1.0f, 0.0f, 0.0f);
    glRotatef(view->yRot, 0.0f, 1.0f, 0.0f);
    glRotatef(view->zRot, 0.0f, 0.0f, 1.0f);
    glViewport(0, 0, w, h);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    const GLfloat white[] = { 1.0f, 1.0f, 1.0f, 1.0f };
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 60.0f);
    const GLfloat colours[3][4] = { { 1.0f, 0.1f, 0.1f, 1.0f }, { 0.1f, 1.0f, 0.1f, 1.0f },
                                    { 0.1f, 0.1f, 1.0f, 1.0f } };
    const GLfloat steps[3][3] = { { 0.5f, 0.0f, 0.0f }, { -0.47f, 0.5f, 0.0f }, { -0.5f, -0.5f, 0.0f } };
    GLUquadric *quadric = gluNewQuadric();
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricTexture(quadric, GL_TRUE);
    for (int i = 0; i < 3; ++i) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, colours[i]);
        glTranslatef(steps[i][0], steps[i][1], steps[i][2]);
        gluSphere(quadric, 0.3, 100, 100);
    }
    gluDeleteQuadric(quadric);

    Words words{ w, h, QVector<quint32>(w * h) };
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, words.pixels.data());
    for (quint32 &p : words.pixels)
        p &= 0xffffff;
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    return words;
}

// Where a point of the scene lands in the view, in OpenGL window pixels.
QPoint projected(const QSize &size, float x, float y, float z)
{
    const double f = 1.0 / std::tan(30.0 * M_PI / 180.0);
    const double aspect = double(size.width()) / size.height();
    const double nx = f / aspect * x / -z;
    const double ny = f * y / -z;
    return QPoint(int((nx + 1.0) / 2.0 * size.width()), int((ny + 1.0) / 2.0 * size.height()));
}

QString errorName(cl_int status)
{
    char name[256] = "";
    clErrorName(status, name, sizeof name);
    return QString::fromLatin1(name);
}

bool isBlackWord(quint32 p)
{
    return (p & 0xffffff) == 0;
}

int litPixels(QGLWidget *view)
{
    return countPixels(view, [](QRgb p) { return !isBlack(p); });
}

} // namespace

Q_DECLARE_METATYPE(Path)

// The post-processing view as a user meets it: black until started, then
// the three spheres softly blurred with glowing highlights, on a device
// that shares buffers with OpenGL or one that does not, surviving resizes
// and reporting every failure once.
class PostprocessViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Before a start
    void neverStartedViewIsBlack();
    void startWithoutSelectionHoldsNothing();

    // What a start shows
    void frameIsTheHostFilteredScene();
    void spheresAreRedGreenAndBlueWhereTheyStand();
    void eachTickTurnsTheSceneAndFiltersOneFrame();
    void drawModesClearOrLeaveTheFrame();
    void restartHoldsOneSetOfObjects();

    // Sharing with OpenGL, or staging through the host
    void deviceWithoutSharingGetsAnOrdinaryContext();
    void sharingDeviceNamesTheCurrentGlContext();
    void bothPathsShowTheSameFrame();

    // Sizes
    void resizeWhileRunningKeepsItRunning_data();
    void resizeWhileRunningKeepsItRunning();
    void zeroHeightPaintsNothingAndAllocatesSomething();
    void viewNeverShownStartsAndRunsOnceShown();

    // Failures
    void failureIsReportedOnceAndReleasesEverything_data();
    void failureIsReportedOnceAndReleasesEverything();
    void smallWorkGroupsReadInvalidWorkGroupSize();
    void failingBuildReadsBuildProgramFailure();
    void failureWhileTheTimerFiresRaisesOneBox();

    void cleanupTestCase();

private:
    void start(Path path);
    QStringList recordCalls(Path path, const QString &operation);
    void perform(const QString &operation);
    void prepare(Path path, const QString &operation);

    std::unique_ptr<ViewHarness<OGLPP>> harness;
    OGLPP *view = nullptr;
    ErrorBoxCatcher *boxes = nullptr;
    int staleBefore = 0;
};

void PostprocessViewTest::initTestCase()
{
    DemoView::checkGlErrors = true;
    harness.reset(new ViewHarness<OGLPP>(viewSize));
    view = harness->view;
    boxes = new ErrorBoxCatcher(this);
}

void PostprocessViewTest::init()
{
    ClFault::reset();
    boxes->clear();
    staleBefore = ClFault::staleHandleUses();
    view->resize(viewSize);
    view->xRot = view->yRot = view->zRot = 0.0f;
    view->zoom = -2.0f;
    view->platformIndex = 0;
    view->deviceIndex = 0;
}

void PostprocessViewTest::cleanup()
{
    view->checkStatus(DemoView::RELEASE_ONLY);
    view->drawMode = 0.0f;
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(ClFault::staleHandleUses(), staleBefore);
    QCOMPARE(ClFault::sharingCallsWithoutExtension(), 0);
    view->updateGL();   // collects what OpenGL flagged since the last frame
    QCOMPARE(DemoView::glErrors, 0);
}

void PostprocessViewTest::cleanupTestCase()
{
    harness.reset();
    QCOMPARE(ClFault::liveObjects(), 0);
}

void PostprocessViewTest::start(Path path)
{
    ClFault::reset();
    ClFault::emulateGlSharing(path == Path::Sharing);
    view->setupOpenCl();
}

void PostprocessViewTest::neverStartedViewIsBlack()
{
    ViewHarness<OGLPP> fresh(QSize(96, 64));
    fresh.view->updateGL();
    QCOMPARE(litPixels(fresh.view), 0);
    QVERIFY(!fresh.view->isReady());
    QCOMPARE(ClFault::liveObjects(), 0);
}

void PostprocessViewTest::startWithoutSelectionHoldsNothing()
{
    start(Path::HostStaged);
    QVERIFY(view->isReady());
    view->deviceIndex = -1;
    start(Path::HostStaged);
    QVERIFY(!view->isReady());
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(ClFault::callCount("clCreateContext"), 0);
    QCOMPARE(boxes->count(), 0);
}

void PostprocessViewTest::frameIsTheHostFilteredScene()
{
    start(Path::HostStaged);
    view->yRot = 24.0f;
    view->xRot = 10.0f;
    const Words expected = hostFilter(unfilteredScene(view));
    view->updateGL();
    const Words frame = frameOf(view);
    QCOMPARE(frame.width, expected.width);
    QCOMPARE(frame.height, expected.height);

    // The same rasteriser draws both scenes; allow it a little freedom.
    int differing = 0;
    int worst = 0;
    for (int i = 0; i < frame.pixels.size(); ++i) {
        int difference = 0;
        for (int c = 0; c < 3; ++c)
            difference = qMax(difference, qAbs(channel(frame.pixels[i], c) - channel(expected.pixels[i], c)));
        differing += difference > 0 ? 1 : 0;
        worst = qMax(worst, difference);
    }
    QVERIFY2(worst <= 2, qPrintable(QString("largest channel difference %1").arg(worst)));
    QVERIFY2(differing <= frame.pixels.size() / 100, qPrintable(QString("%1 pixels differ").arg(differing)));
    QVERIFY(std::count_if(frame.pixels.cbegin(), frame.pixels.cend(), isBlackWord) < frame.pixels.size());
}

void PostprocessViewTest::spheresAreRedGreenAndBlueWhereTheyStand()
{
    start(Path::HostStaged);
    const Words frame = frameOf(view);
    struct Expected
    {
        const char *name;
        int dominant;   // channel index: 2 red, 1 green, 0 blue
        float x, y;
    };
    const Expected spheres[] = { { "red", 2, 0.5f, 0.0f }, { "green", 1, 0.03f, 0.5f },
                                 { "blue", 0, -0.47f, 0.0f } };
    for (const Expected &sphere : spheres) {
        // A ring inside the sphere's outline, clear of the white highlight
        // at its centre.
        const QPoint centre = projected(viewSize, sphere.x, sphere.y, -2.0f);
        const QPoint edge = projected(viewSize, sphere.x + 0.3f, sphere.y, -2.0f);
        const int r = edge.x() - centre.x();
        int dominated = 0;
        int samples = 0;
        for (int a = 0; a < 360; a += 15) {
            const double angle = a * M_PI / 180.0;
            const int x = centre.x() + int(0.6 * r * std::cos(angle));
            const int y = centre.y() + int(0.6 * r * std::sin(angle));
            const quint32 p = frame.at(x, y);
            const int mine = channel(p, sphere.dominant);
            bool dominant = mine > 60;
            for (int c = 0; c < 3; ++c)
                dominant = dominant && (c == sphere.dominant || mine > channel(p, c) + 30);
            dominated += dominant ? 1 : 0;
            ++samples;
        }
        QVERIFY2(dominated >= samples * 3 / 4, sphere.name);
        // The highlight glows where the sphere faces the light and the
        // viewer, its point nearest the viewer: bright in every channel.
        const QPoint front = projected(viewSize, sphere.x, sphere.y, -2.0f + 0.3f);
        const quint32 glow = frame.at(front.x(), front.y());
        QVERIFY2(channel(glow, 0) > 100 && channel(glow, 1) > 100 && channel(glow, 2) > 100,
                 qPrintable(QString("%1: 0x%2").arg(sphere.name).arg(glow, 6, 16, QChar('0'))));
    }
    // The corners are empty.
    QVERIFY(isBlackWord(frame.at(0, 0)));
    QVERIFY(isBlackWord(frame.at(viewSize.width() - 1, viewSize.height() - 1)));
}

void PostprocessViewTest::eachTickTurnsTheSceneAndFiltersOneFrame()
{
    start(Path::HostStaged);
    view->framecount();
    const QVector<quint32> before = frameOf(view).pixels;
    view->animate();
    view->animate();
    QCOMPARE(view->yRot, 4.0f);
    QCOMPARE(view->frameCount, 2);
    QVERIFY(frameOf(view).pixels != before);
    view->framecount();
    QCOMPARE(view->frameCount, 0);
}

void PostprocessViewTest::drawModesClearOrLeaveTheFrame()
{
    start(Path::HostStaged);
    QVERIFY(litPixels(view) > 0);
    const int frames = view->frameCount;
    view->draw(0.5f);
    QCOMPARE(view->frameCount, frames);
    view->draw(0.0f);
    QCOMPARE(litPixels(view), 0);
    QCOMPARE(view->frameCount, frames);
    view->draw(1.0f);
    QVERIFY(litPixels(view) > 0);
    QCOMPARE(view->frameCount, frames + 1);
}

void PostprocessViewTest::restartHoldsOneSetOfObjects()
{
    start(Path::HostStaged);
    // Context, queue, program, kernel and the two images.
    QCOMPARE(ClFault::liveObjects(), 6);
    start(Path::HostStaged);
    QCOMPARE(ClFault::liveObjects(), 6);
    QCOMPARE(ClFault::liveObjects("mem"), 2);
    QCOMPARE(boxes->count(), 0);
}

void PostprocessViewTest::deviceWithoutSharingGetsAnOrdinaryContext()
{
    start(Path::HostStaged);
    view->animate();
    view->resize(200, 150);
    view->animate();
    QVERIFY(view->isReady());
    QVERIFY(!view->sharesGlBuffers());
    cl_platform_id platform = nullptr;
    clGetPlatformIDs(1, &platform, nullptr);
    const QVector<cl_context_properties> ordinary{ CL_CONTEXT_PLATFORM, cl_context_properties(platform), 0 };
    QCOMPARE(ClFault::lastContextProperties(), ordinary);
    for (const char *sharingCall : { "clCreateFromGLBuffer", "clEnqueueAcquireGLObjects",
                                     "clEnqueueReleaseGLObjects" })
        QCOMPARE(ClFault::callCount(sharingCall), 0);
    QCOMPARE(ClFault::sharingCallsWithoutExtension(), 0);
    QCOMPARE(boxes->count(), 0);
}

void PostprocessViewTest::sharingDeviceNamesTheCurrentGlContext()
{
    start(Path::Sharing);
    QCOMPARE(boxes->texts, QStringList());
    QVERIFY(view->isReady());
    QVERIFY(view->sharesGlBuffers());

    view->makeCurrent();
    cl_platform_id platform = nullptr;
    clGetPlatformIDs(1, &platform, nullptr);
    const QVector<cl_context_properties> sharing{
        CL_GL_CONTEXT_KHR, cl_context_properties(glXGetCurrentContext()),
        CL_GLX_DISPLAY_KHR, cl_context_properties(glXGetCurrentDisplay()),
        CL_CONTEXT_PLATFORM, cl_context_properties(platform), 0
    };
    QVERIFY(glXGetCurrentContext());
    QCOMPARE(ClFault::lastContextProperties(), sharing);
    QCOMPARE(ClFault::callCount("clCreateFromGLBuffer"), 2);
    QCOMPARE(ClFault::callCount("clCreateBuffer"), 0);
    // One frame: both buffers acquired and released once, nothing staged.
    QCOMPARE(ClFault::callCount("clEnqueueAcquireGLObjects"), 1);
    QCOMPARE(ClFault::callCount("clEnqueueReleaseGLObjects"), 1);
    QCOMPARE(ClFault::callCount("clEnqueueWriteBuffer"), 0);
    QCOMPARE(ClFault::callCount("clEnqueueReadBuffer"), 0);
    QVERIFY(litPixels(view) > 0);
}

void PostprocessViewTest::bothPathsShowTheSameFrame()
{
    view->yRot = 40.0f;
    start(Path::HostStaged);
    const Words staged = frameOf(view);
    start(Path::Sharing);
    QVERIFY(view->sharesGlBuffers());
    const Words shared = frameOf(view);
    QCOMPARE(boxes->count(), 0);
    QVERIFY(staged.pixels == shared.pixels);
    QVERIFY(std::count_if(shared.pixels.cbegin(), shared.pixels.cend(), isBlackWord) < shared.pixels.size());
}

void PostprocessViewTest::resizeWhileRunningKeepsItRunning_data()
{
    QTest::addColumn<Path>("path");
    QTest::newRow("host-staged") << Path::HostStaged;
    QTest::newRow("sharing") << Path::Sharing;
}

void PostprocessViewTest::resizeWhileRunningKeepsItRunning()
{
    QFETCH(Path, path);
    start(path);
    for (const QSize &size : { QSize(131, 77), QSize(320, 240), QSize(16, 16) }) {
        view->resize(size);
        view->updateGL();
        QVERIFY(view->isReady());
        const Words expected = hostFilter(unfilteredScene(view));
        view->updateGL();
        const Words frame = frameOf(view);
        QCOMPARE(QSize(frame.width, frame.height), size);
        int differing = 0;
        for (int i = 0; i < frame.pixels.size(); ++i)
            differing += frame.pixels[i] != expected.pixels[i] ? 1 : 0;
        QVERIFY2(differing <= frame.pixels.size() / 100, qPrintable(QString::number(differing)));
    }
    QCOMPARE(ClFault::liveObjects("mem"), 2);
    QCOMPARE(boxes->count(), 0);
}

void PostprocessViewTest::zeroHeightPaintsNothingAndAllocatesSomething()
{
    start(Path::HostStaged);
    const int frames = view->frameCount;
    view->resize(viewSize.width(), 0);
    view->updateGL();
    view->resize(0, 0);
    view->updateGL();
    QCOMPARE(boxes->texts, QStringList());
    QVERIFY(view->isReady());
    QCOMPARE(view->frameCount, frames);
    view->resize(viewSize);
    view->updateGL();
    QVERIFY(view->isReady());
    QVERIFY(litPixels(view) > 0);
    QCOMPARE(boxes->count(), 0);
}

void PostprocessViewTest::viewNeverShownStartsAndRunsOnceShown()
{
    OGLPP hidden(nullptr);
    hidden.platformIndex = 0;
    hidden.deviceIndex = 0;
    hidden.setupOpenCl();
    QCOMPARE(boxes->texts, QStringList());   // no empty buffer was asked for
    QVERIFY(hidden.isReady());
    hidden.resize(64, 48);
    hidden.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hidden));
    hidden.updateGL();
    QVERIFY(litPixels(&hidden) > 0);
    QCOMPARE(boxes->count(), 0);
    hidden.checkStatus(DemoView::RELEASE_ONLY);
    QCOMPARE(ClFault::liveObjects(), 0);
}

// Runs the operation once with recording on and lists every call it made
// that can fail (releases cannot be acted on and are left out).
QStringList PostprocessViewTest::recordCalls(Path path, const QString &operation)
{
    prepare(path, operation);
    ClFault::startRecording();
    perform(operation);
    QStringList calls;
    for (const QString &call : ClFault::recordedCalls())
        if (!call.startsWith(QLatin1String("clRelease")))
            calls << call;
    view->checkStatus(DemoView::RELEASE_ONLY);
    return calls;
}

void PostprocessViewTest::prepare(Path path, const QString &operation)
{
    view->resize(viewSize);
    ClFault::reset();
    ClFault::emulateGlSharing(path == Path::Sharing);
    if (operation != QLatin1String("start"))
        view->setupOpenCl();
}

void PostprocessViewTest::perform(const QString &operation)
{
    if (operation == QLatin1String("start"))
        view->setupOpenCl();
    else if (operation == QLatin1String("resize"))
        view->resize(viewSize.width() - 37, viewSize.height() + 21);
    else
        view->updateGL();
}

void PostprocessViewTest::failureIsReportedOnceAndReleasesEverything_data()
{
    QTest::addColumn<Path>("path");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("nth");
    for (Path path : { Path::HostStaged, Path::Sharing }) {
        for (const char *operation : { "start", "resize", "frame" }) {
            const QStringList calls = recordCalls(path, QLatin1String(operation));
            QVERIFY2(!calls.isEmpty(), operation);
            for (const QString &call : calls) {
                const QString name = QString("%1 %2 %3")
                                         .arg(path == Path::Sharing ? "sharing" : "host-staged", operation, call);
                QTest::newRow(qPrintable(name)) << path << QString::fromLatin1(operation)
                                                << call.section('#', 0, 0) << call.section('#', 1).toInt();
            }
        }
    }
    boxes->clear();
}

void PostprocessViewTest::failureIsReportedOnceAndReleasesEverything()
{
    QFETCH(Path, path);
    QFETCH(QString, operation);
    QFETCH(QString, function);
    QFETCH(int, nth);
    const cl_int status = ClFault::plausibleFailure(function);
    QVERIFY2(status < 0, qPrintable(function));

    prepare(path, operation);
    QVERIFY(operation == QLatin1String("start") || view->isReady());
    ClFault::failCall(function.toLatin1().constData(), nth, status);
    perform(operation);

    QTRY_COMPARE(boxes->seen(), QStringList{ QLatin1String("Error!|") + errorName(status) });
    QVERIFY(!view->isReady());
    QCOMPARE(ClFault::liveObjects(), 0);

    // Later frames neither touch released objects nor report again, and
    // show black.
    view->updateGL();
    view->animate();
    QCOMPARE(litPixels(view), 0);
    QCOMPARE(boxes->count(), 1);
    QCOMPARE(ClFault::staleHandleUses(), staleBefore);

    // The next start works.
    start(path);
    QVERIFY(view->isReady());
    QVERIFY(litPixels(view) > 0);
    QCOMPARE(boxes->count(), 1);
}

void PostprocessViewTest::smallWorkGroupsReadInvalidWorkGroupSize()
{
    ClFault::limitWorkGroupSize(128);
    view->setupOpenCl();
    QTRY_COMPARE(boxes->seen(), QStringList{ "Error!|CL_INVALID_WORK_GROUP_SIZE" });
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(litPixels(view), 0);
}

void PostprocessViewTest::failingBuildReadsBuildProgramFailure()
{
    ClFault::failCall("clBuildProgram", 1, CL_BUILD_PROGRAM_FAILURE);
    view->setupOpenCl();
    QTRY_COMPARE(boxes->seen(), QStringList{ "Error!|CL_BUILD_PROGRAM_FAILURE" });
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(ClFault::callCount("clCreateKernel"), 0);
}

void PostprocessViewTest::failureWhileTheTimerFiresRaisesOneBox()
{
    start(Path::HostStaged);
    QTimer ticks;
    connect(&ticks, &QTimer::timeout, view, &OGLPP::animate);
    ticks.start(1);
    const int runs = ClFault::callCount("clEnqueueNDRangeKernel");
    ClFault::failAlways("clEnqueueNDRangeKernel", CL_OUT_OF_RESOURCES);
    QTest::qWait(300);
    ticks.stop();
    QTRY_COMPARE(boxes->seen(), QStringList{ "Error!|CL_OUT_OF_RESOURCES" });
    QCOMPARE(boxes->mostOpenAtOnce, 1);
    QCOMPARE(ClFault::callCount("clEnqueueNDRangeKernel"), runs + 1);
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(litPixels(view), 0);
}

QTEST_MAIN(PostprocessViewTest)

#include "tst_oglpp.moc"
