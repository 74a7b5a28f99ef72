#include "glowfilter.h"
#include "oglpp.h"
#include "viewchecks.h"

#include <CL/cl_gl.h>
#include <GL/glu.h>

#include <QtTest>

#include <memory>

// Xlib's macros clash with Qt's names: after every Qt header.
#include <GL/glx.h>

using namespace GlowFilter;
using namespace ViewChecks;

namespace {

const QSize viewSize(240, 180);   // the height is not a multiple of 16

enum class Path { HostStaged, Sharing };

// The view's frame buffer as words, bottom row first like OpenGL's.
Image frameOf(QGLWidget *view)
{
    const QImage image = view->grabFrameBuffer().convertToFormat(QImage::Format_RGB32);
    Image words{ image.width(), image.height(), QVector<quint32>(image.width() * image.height()) };
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(image.height() - 1 - y));
        for (int x = 0; x < image.width(); ++x)
            words.pixels[y * image.width() + x] = line[x] & 0xffffff;
    }
    return words;
}

// The three spheres as the view describes them, drawn in the view's own
// context but by the test, and read back without any filter.
Image unfilteredScene(OGLPP *view)
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

    Image words{ w, h, QVector<quint32>(w * h) };
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, words.pixels.data());
    for (quint32 &p : words.pixels)
        p &= 0xffffff;
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    return words;
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

    void viewIsBlackAndIdleBeforeStartAndWithoutAUsableSelection();
    void frameIsTheHostFilteredSceneAtEverySize_data() { addPaths(); }
    void frameIsTheHostFilteredSceneAtEverySize();
    void eachTickTurnsTheSceneAndFiltersOneFrame();
    void drawModesClearOrLeaveTheFrame();
    void onlyASharingDeviceGetsTheGlContextAndSharingCalls_data() { addPaths(); }
    void onlyASharingDeviceGetsTheGlContextAndSharingCalls();
    void emptyOrNeverShownViewStartsWithoutAReport();
    void smallWorkGroupsReadInvalidWorkGroupSize();
    void anyFailingCallIsReportedOnceAndReleasesEverything_data();
    void anyFailingCallIsReportedOnceAndReleasesEverything();

    void cleanupTestCase();

private:
    static void addPaths()
    {
        QTest::addColumn<Path>("path");
        QTest::newRow("host-staged") << Path::HostStaged;
        QTest::newRow("sharing") << Path::Sharing;
    }
    void start(Path path);
    void prepare(const QString &operation);
    void perform(const QString &operation);

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

void PostprocessViewTest::viewIsBlackAndIdleBeforeStartAndWithoutAUsableSelection()
{
    ViewHarness<OGLPP> fresh(QSize(96, 64));
    checkBlackAndIdleBeforeStart(fresh.view);
    checkUnusableSelectionsDoNothing(fresh.view);
}

void PostprocessViewTest::frameIsTheHostFilteredSceneAtEverySize()
{
    QFETCH(Path, path);
    view->yRot = 24.0f;
    view->xRot = 10.0f;
    start(path);
    QCOMPARE(view->sharesGlBuffers(), path == Path::Sharing);
    QVERIFY(nonBlackPixels(view) > 0);
    for (const QSize &size : { viewSize, QSize(131, 77), QSize(320, 240), QSize(16, 16) }) {
        view->resize(size);
        view->updateGL();
        QVERIFY(view->isReady());
        const Image expected = filtered(unfilteredScene(view));
        view->updateGL();
        const Image frame = frameOf(view);
        QCOMPARE(QSize(frame.width, frame.height), size);

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
        QVERIFY2(worst <= 2 && differing <= frame.pixels.size() / 100,
                 qPrintable(QString("%1 pixels differ, by up to %2").arg(differing).arg(worst)));
    }
    QCOMPARE(ClFault::liveObjects("mem"), 2);
    QCOMPARE(boxes->count(), 0);
}

void PostprocessViewTest::eachTickTurnsTheSceneAndFiltersOneFrame()
{
    start(Path::HostStaged);
    start(Path::HostStaged);
    // Context, queue, program, kernel and the two images, once.
    QCOMPARE(ClFault::liveObjects(), 6);
    view->framecount();
    const QVector<quint32> before = frameOf(view).pixels;
    view->animate();
    view->animate();
    QCOMPARE(view->yRot, 4.0f);
    QCOMPARE(view->frameCount, 2);
    QVERIFY(frameOf(view).pixels != before);
    QCOMPARE(boxes->count(), 0);
}

void PostprocessViewTest::drawModesClearOrLeaveTheFrame()
{
    start(Path::HostStaged);
    QVERIFY(nonBlackPixels(view) > 0);
    const int frames = view->frameCount;
    view->draw(0.5f);
    QCOMPARE(view->frameCount, frames);
    view->draw(0.0f);
    QCOMPARE(nonBlackPixels(view), 0);
    QCOMPARE(view->frameCount, frames);
    view->draw(1.0f);
    QVERIFY(nonBlackPixels(view) > 0);
    QCOMPARE(view->frameCount, frames + 1);
}

// Decided by the device's extension list; without sharing no sharing call
// is made at all (cleanup() checks that for every test).
void PostprocessViewTest::onlyASharingDeviceGetsTheGlContextAndSharingCalls()
{
    QFETCH(Path, path);
    const bool sharing = path == Path::Sharing;
    start(path);
    view->animate();
    QVERIFY(view->isReady());
    QCOMPARE(view->sharesGlBuffers(), sharing);

    view->makeCurrent();
    QVERIFY(glXGetCurrentContext());
    cl_platform_id platform = nullptr;
    clGetPlatformIDs(1, &platform, nullptr);
    QVector<cl_context_properties> expected{ CL_CONTEXT_PLATFORM, cl_context_properties(platform), 0 };
    if (sharing)
        expected = QVector<cl_context_properties>{ CL_GL_CONTEXT_KHR, cl_context_properties(glXGetCurrentContext()),
                                                   CL_GLX_DISPLAY_KHR, cl_context_properties(glXGetCurrentDisplay()) }
                   + expected;
    QCOMPARE(ClFault::lastContextProperties(), expected);
    // Two frames: both buffers shared, acquired and released once a frame,
    // nothing staged; or both staged through the host.
    QCOMPARE(ClFault::callCount("clCreateFromGLBuffer"), sharing ? 2 : 0);
    QCOMPARE(ClFault::callCount("clCreateBuffer"), sharing ? 0 : 2);
    QCOMPARE(ClFault::callCount("clEnqueueAcquireGLObjects"), sharing ? 2 : 0);
    QCOMPARE(ClFault::callCount("clEnqueueReleaseGLObjects"), sharing ? 2 : 0);
    QCOMPARE(ClFault::callCount("clEnqueueWriteBuffer"), sharing ? 0 : 2);
    QCOMPARE(ClFault::callCount("clEnqueueReadBuffer"), sharing ? 0 : 2);
}

void PostprocessViewTest::emptyOrNeverShownViewStartsWithoutAReport()
{
    // Drivers refuse empty buffers: a view without height still starts.
    start(Path::HostStaged);
    const int frames = view->frameCount;
    view->resize(viewSize.width(), 0);
    view->updateGL();
    view->resize(0, 0);
    view->updateGL();
    QCOMPARE(boxes->texts, QStringList());
    QCOMPARE(view->frameCount, frames);
    view->resize(viewSize);
    view->updateGL();
    QVERIFY(view->isReady());
    QVERIFY(nonBlackPixels(view) > 0);

    OGLPP hidden(nullptr);
    hidden.platformIndex = 0;
    hidden.deviceIndex = 0;
    hidden.setupOpenCl();
    QCOMPARE(boxes->texts, QStringList());
    QVERIFY(hidden.isReady());
    hidden.resize(64, 48);
    hidden.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hidden));
    hidden.updateGL();
    QVERIFY(nonBlackPixels(&hidden) > 0);
    QCOMPARE(boxes->count(), 0);
}

void PostprocessViewTest::smallWorkGroupsReadInvalidWorkGroupSize()
{
    ClFault::limitWorkGroupSize(128);
    view->setupOpenCl();
    QTRY_COMPARE(boxes->seen(), QStringList{ "Error!|CL_INVALID_WORK_GROUP_SIZE" });
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(nonBlackPixels(view), 0);
}

// Operations are "<path> <start|resize|frame>", each on a view started
// on that path unless it is the start itself.
void PostprocessViewTest::prepare(const QString &operation)
{
    view->checkStatus(DemoView::RELEASE_ONLY);
    view->resize(viewSize);
    start(operation.startsWith(QLatin1String("sharing")) ? Path::Sharing : Path::HostStaged);
    if (operation.endsWith(QLatin1String("start")))
        view->checkStatus(DemoView::RELEASE_ONLY);
}

void PostprocessViewTest::perform(const QString &operation)
{
    if (operation.endsWith(QLatin1String("start")))
        view->setupOpenCl();
    else if (operation.endsWith(QLatin1String("resize")))
        view->resize(viewSize.width() - 37, viewSize.height() + 21);
    else
        view->updateGL();
}

void PostprocessViewTest::anyFailingCallIsReportedOnceAndReleasesEverything_data()
{
    QStringList operations;
    for (const char *path : { "host-staged", "sharing" })
        for (const char *operation : { "start", "resize", "frame" })
            operations << QString("%1 %2").arg(path, operation);
    addFailureRows(operations, [this](const QString &operation) { prepare(operation); },
                   [this](const QString &operation) { perform(operation); });
    view->checkStatus(DemoView::RELEASE_ONLY);
}

void PostprocessViewTest::anyFailingCallIsReportedOnceAndReleasesEverything()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, function);
    QFETCH(int, nth);
    const bool sharing = operation.startsWith(QLatin1String("sharing"));
    prepare(operation);
    QCOMPARE(view->isReady(), !operation.endsWith(QLatin1String("start")));
    checkOneFailure(view, function.constData(), nth, [&] { perform(operation); });
    if (QTest::currentTestFailed())
        return;

    boxes->clear();
    view->resize(viewSize);
    start(sharing ? Path::Sharing : Path::HostStaged);
    QVERIFY(view->isReady());
    QTRY_VERIFY(nonBlackPixels(view) > 0);
    QCOMPARE(boxes->count(), 0);
}

QTEST_MAIN(PostprocessViewTest)

#include "tst_oglpp.moc"
