// glIsBuffer straight from the GL library, before any header includes GL.
#define GL_GLEXT_PROTOTYPES
#include "clerrorname.h"
#include "clfault.h"
#include "errorboxcatcher.h"
#include "glowfilter.h"
#include "oglnbody.h"
#include "oglpp.h"
#include "oglwdgt.h"
#include "viewharness.h"

#include <CL/cl_gl.h>
#include <GL/glu.h>

#include <QtTest>

#include <algorithm>
#include <cmath>

// Xlib's macros clash with Qt's names: after every Qt header.
#include <GL/glx.h>

using namespace GlowFilter;

namespace {

enum ViewKind { SineWave, PostProcessing, NBody };
const char *const tabNames[] = { "Tab Sine Wave", "Tab Post-processing", "Tab N-Body" };
const QSize viewSize(240, 180);   // the height is not a multiple of the filter's 16-pixel groups

bool isGreen(QRgb p) { return qRed(p) == 0 && qGreen(p) > 200 && qBlue(p) > 100 && qBlue(p) < 160; }
// Additive orange: one point is (255, 153, 0), overlaps saturate to yellow.
bool isOrangeToYellow(QRgb p) { return qRed(p) > 240 && qGreen(p) >= 140 && qBlue(p) < 20; }

// The pixel (rows from the top) of an eye-space point at (x, y) and depth
// in front of the camera, under a 60-degree vertical field of view.
QRect pixelAt(double x, double y, double depth)
{
    const double f = 1.0 / std::tan(M_PI / 6.0), aspect = double(viewSize.width()) / viewSize.height();
    return QRect(int(std::floor((1.0 + f * x / (aspect * depth)) * viewSize.width() / 2.0)),
                 int(std::floor((1.0 - f * y / depth) * viewSize.height() / 2.0)), 1, 1);
}

int glBuffers(QGLWidget *view)
{
    view->makeCurrent();
    int count = 0;
    for (GLuint name = 1; name <= 256; ++name)
        count += glIsBuffer(name) ? 1 : 0;
    return count;
}

// The view's frame buffer as words, bottom row first like OpenGL's.
Image frameOf(QGLWidget *view)
{
    const QImage image = view->grabFrameBuffer().convertToFormat(QImage::Format_RGB32).mirrored();
    const auto *bits = reinterpret_cast<const quint32 *>(image.constBits());
    return Image{ image.width(), image.height(), QVector<quint32>(bits, bits + image.width() * image.height()) };
}

bool isBlack(QRgb p) { return qRed(p) == 0 && qGreen(p) == 0 && qBlue(p) == 0; }

int countPixels(QGLWidget *view, bool (*predicate)(QRgb))
{
    const Image frame = frameOf(view);
    return int(std::count_if(frame.pixels.begin(), frame.pixels.end(), predicate));
}

int nonBlackPixels(QGLWidget *view) { return countPixels(view, [](QRgb p) { return !isBlack(p); }); }

// Rows from the top, as the camera's pixels are counted.
QRect litBox(QGLWidget *view)
{
    const Image frame = frameOf(view);
    QRect box;
    for (int i = 0; i < frame.pixels.size(); ++i)
        box |= isBlack(frame.pixels[i]) ? QRect() : QRect(i % frame.width, frame.height - 1 - i / frame.width, 1, 1);
    return box;
}

// The three spheres 2 in front of the camera, turned 10 degrees about x and
// 24 about y, drawn by the test in the post-processing view's own context
// and read back without any filter.
Image unfilteredScene(OGLPP *view)
{
    view->makeCurrent();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, double(view->width()) / view->height(), 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.0f);
    glRotatef(10.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(24.0f, 0.0f, 1.0f, 0.0f);
    glViewport(0, 0, view->width(), view->height());
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    const GLfloat white[] = { 1.0f, 1.0f, 1.0f, 1.0f };
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
    // Colour, then the step from the previous sphere's centre.
    const GLfloat spheres[3][6] = { { 1.0f, 0.1f, 0.1f, 1.0f, 0.5f, 0.0f }, { 0.1f, 1.0f, 0.1f, 1.0f, -0.47f, 0.5f },
                                    { 0.1f, 0.1f, 1.0f, 1.0f, -0.5f, -0.5f } };
    GLUquadric *quadric = gluNewQuadric();
    for (const GLfloat *sphere : spheres) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, sphere);
        glTranslatef(sphere[4], sphere[5], 0.0f);
        gluSphere(quadric, 0.3, 100, 100);
    }
    gluDeleteQuadric(quadric);
    return frameOf(view);
}

} // namespace

// The three tabs' views as a user meets them: where the camera puts each
// scene, the filtered frame, turning and zooming, and one box naming the
// status, the tab and the step for any failing call, while the 1 ms
// animation timer keeps firing as the main window's does.
class ViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        DemoView::checkGlErrors = true;
        for (int i = 0; i < 3; ++i)
            views[i]->setAccessibleName(QLatin1String(tabNames[i]));
        connect(&ticker, &QTimer::timeout, this, [this] { ticking ? ticking->animate() : void(); });
        ticker.start(1);
    }

    void init()
    {
        ClFault::reset();
        boxes.clear();
        staleBefore = ClFault::staleHandleUses();
        for (int i = 0; i < 3; ++i) {
            views[i]->resize(viewSize);
            views[i]->xRot = views[i]->yRot = views[i]->zRot = 0.0f;
            views[i]->zoom = initialZoom[i];
            views[i]->platformIndex = views[i]->deviceIndex = 0;
        }
    }

    void cleanup()
    {
        ticking = nullptr;
        releaseAll();
        QCOMPARE(ClFault::liveObjects(), 0);
        QCOMPARE(ClFault::staleHandleUses(), staleBefore);
        QCOMPARE(ClFault::sharingCallsWithoutExtension(), 0);
        QCOMPARE(DemoView::glErrors, 0);
    }

    void startWithoutAUsableSelectionDoesNothing_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<QPoint>("indexes");
        for (int view : { SineWave, PostProcessing, NBody })
            for (const QPoint &at : { QPoint(-1, 0), QPoint(0, -1), QPoint(7, 0), QPoint(0, 7) })
                QTest::addRow("%s, platform %d device %d", tabNames[view], at.x(), at.y()) << view << at;
    }

    void startWithoutAUsableSelectionDoesNothing()
    {
        QFETCH(int, view);
        QFETCH(QPoint, indexes);
        views[view]->platformIndex = indexes.x();
        views[view]->deviceIndex = indexes.y();
        views[view]->setupOpenCl();
        QVERIFY(!views[view]->isReady());
        QCOMPARE(ClFault::callCount("clCreateContext"), 0);
        QCOMPARE(boxes.count(), 0);
    }

    void startShowsTheSceneWhereTheCameraPutsIt_data()
    {
        QTest::addColumn<int>("view");
        QTest::newRow("sine wave") << int(SineWave);
        QTest::newRow("n-body") << int(NBody);
    }

    // Every point the view holds, projected by the test, lies in the lit
    // area's bounding box, and that box is no larger; only the view's colour
    // is lit.
    void startShowsTheSceneWhereTheCameraPutsIt()
    {
        QFETCH(int, view);
        start(view);
        QRect expected;
        // A 256 x 256 grid over [-1, 1) in x and z, its height half the
        // product of sin(4x + t) and cos(4z + t), 2.5 in front of the camera.
        for (int i = 0; view == SineWave && i < 256 * 256; ++i) {
            const double x = i % 256 / 128.0 - 1.0, z = i / 256 / 128.0 - 1.0, t = sine.view->animTime;
            expected |= pixelAt(x, 0.5 * std::sin(4.0 * x + t) * std::cos(4.0 * z + t), 2.5 - z);
        }
        // Seen from z = -2 looking along +z, which mirrors x, the cloud at a
        // 300th of its size moved half a unit towards the camera. One step of
        // 0.005 from rest moves no body by a pixel.
        for (int i = 0; view == NBody && i < nbody.view->bodyCount(); ++i) {
            const cl_float4 &p = nbody.view->startPositions()[i];
            expected |= pixelAt(-p.s[0] / 300.0, p.s[1] / 300.0, 1.5 + p.s[2] / 300.0);
        }
        const QRect lit = litBox(views[view]);
        QString text;
        QDebug(&text) << "lit" << lit << "expected" << expected;
        QVERIFY2((lit.topLeft() - expected.topLeft()).manhattanLength() <= 3
                     && (lit.bottomRight() - expected.bottomRight()).manhattanLength() <= 3,
                 qPrintable(text));
        QCOMPARE(countPixels(views[view], view == SineWave ? isGreen : isOrangeToYellow), nonBlackPixels(views[view]));
    }

    void postprocessingSharesOnlyWhatItCanAndFiltersLikeTheHost_data()
    {
        QTest::addColumn<bool>("emulateSharing");
        QTest::addColumn<QByteArray>("failing");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("shares");
        QTest::addColumn<int>("listPadding");
        QTest::newRow("no sharing extension") << false << QByteArray() << 0 << false << 0;
        QTest::newRow("sharing device") << true << QByteArray() << 0 << true << 0;
        QTest::newRow("GL context of another driver")
            << true << QByteArray("clGetGLContextInfoKHR") << int(CL_INVALID_GL_SHAREGROUP_REFERENCE_KHR) << false << 0;
        QTest::newRow("sharing context refused")
            << true << QByteArray("clCreateContext") << int(CL_INVALID_OPERATION) << false << 0;
        // Written into an array sized by the reported length, the padding
        // would overrun it; read into the handles alone, it is refused.
        QTest::newRow("device list longer than its handles") << true << QByteArray() << 0 << false << 4;
    }

    void postprocessingSharesOnlyWhatItCanAndFiltersLikeTheHost()
    {
        QFETCH(bool, emulateSharing);
        QFETCH(QByteArray, failing);
        QFETCH(int, status);
        QFETCH(bool, shares);
        QFETCH(int, listPadding);
        ClFault::emulateGlSharing(emulateSharing);
        ClFault::padGlDeviceList(listPadding);
        if (!failing.isEmpty())
            ClFault::failCall(failing.constData(), 1, status);
        pp.view->xRot = 10.0f;
        pp.view->yRot = 24.0f;
        sine.view->makeCurrent();   // a start comes from a button, with any context current
        start(PostProcessing);
        QCOMPARE(pp.view->sharesGlBuffers(), shares);
        QCOMPARE(ClFault::callCount("clCreateFromGLBuffer"), shares ? 2 : 0);
        const QVector<cl_context_properties> properties = ClFault::lastContextProperties();
        QCOMPARE(properties.contains(CL_GL_CONTEXT_KHR), shares);
        QCOMPARE(boxes.count(), 0);
        if (shares) {
            // The view's own GL context and display, and the platform, as
            // GLX and the driver name them; in any order.
            pp.view->makeCurrent();
            cl_platform_id platform = nullptr;
            QCOMPARE(clGetPlatformIDs(1, &platform, nullptr), CL_SUCCESS);
            QMap<cl_context_properties, cl_context_properties> keys;
            for (int i = 0; i + 1 < properties.size(); i += 2)
                keys.insert(properties[i], properties[i + 1]);
            QCOMPARE(keys, (QMap<cl_context_properties, cl_context_properties>{
                               { CL_GL_CONTEXT_KHR, cl_context_properties(glXGetCurrentContext()) },
                               { CL_GLX_DISPLAY_KHR, cl_context_properties(glXGetCurrentDisplay()) },
                               { CL_CONTEXT_PLATFORM, cl_context_properties(platform) } }));
            QCOMPARE(properties.size(), 7);
            // The emulated sharing follows the protocol only; its pixels mean nothing.
            pp.view->animate();
            QVERIFY(pp.view->isReady());
            return;
        }
        // Both sizes leave part of a work-group's 64 x 16 block past the image.
        for (const QSize &size : { viewSize, QSize(131, 77) }) {
            // The grab reads the back buffer, which the first swap after a
            // resize replaces.
            pp.view->resize(size);
            pp.view->updateGL();
            const Image expected = filtered(unfilteredScene(pp.view));
            pp.view->updateGL();
            const Image frame = frameOf(pp.view);
            QCOMPARE(QSize(frame.width, frame.height), size);
            // The same rasteriser draws both scenes; allow it a little freedom.
            int differing = 0;
            for (int i = 0; i < frame.pixels.size() * 3; ++i)
                differing += qAbs(channel(frame.pixels[i / 3], i % 3) - channel(expected.pixels[i / 3], i % 3)) > 2;
            QCOMPARE(differing, 0);
        }
        QCOMPARE(boxes.count(), 0);
    }

    // Read no longer than the inventory reads any text: 1 MiB, its NUL included.
    void anExtensionListPastOneMebibyteIsRefused_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("reported");
        QTest::newRow("1 MiB") << 1024 * 1024 - 1 << QStringList();
        QTest::newRow("a byte more") << 1024 * 1024 << QStringList("Error!|CL_INVALID_VALUE");
    }

    void anExtensionListPastOneMebibyteIsRefused()
    {
        QFETCH(int, length);
        QFETCH(QStringList, reported);
        ClFault::overrideDeviceText(CL_DEVICE_EXTENSIONS, QByteArray(length, 'x'));
        pp.view->setupOpenCl();
        QCOMPARE(boxes.seen, reported);
        QCOMPARE(pp.view->isReady(), reported.isEmpty());
    }

    void dragTurnsAndWheelZoomsEvenInAnEmptyView_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<int>("wheel");
        QTest::addColumn<QVector3D>("change");   // x turn, y turn, zoom
        QTest::newRow("drag a full height") << int(SineWave) << viewSize << QPoint(0, 180) << 0 << QVector3D(180, 0, 0);
        QTest::newRow("drag a full width") << int(SineWave) << viewSize << QPoint(240, 0) << 0 << QVector3D(0, 180, 0);
        QTest::newRow("wheel a notch in") << int(SineWave) << viewSize << QPoint() << 120 << QVector3D(0, 0, 0.1f);
        QTest::newRow("wheel four notches at once") << int(NBody) << viewSize << QPoint() << 480 << QVector3D(0, 0, 0.1f);
        QTest::newRow("wheel a fraction out") << int(PostProcessing) << viewSize << QPoint() << -1 << QVector3D(0, 0, -0.1f);
        for (int view : { SineWave, PostProcessing, NBody })
            QTest::addRow("%s, empty", tabNames[view]) << view << QSize(0, 0) << QPoint(10, 10) << 0 << QVector3D();
    }

    void dragTurnsAndWheelZoomsEvenInAnEmptyView()
    {
        QFETCH(int, view);
        QFETCH(QSize, size);
        QFETCH(QPoint, drag);
        QFETCH(int, wheel);
        QFETCH(QVector3D, change);
        DemoView *v = views[view];
        v->resize(size);
        QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
        QMouseEvent move(QEvent::MouseMove, QPoint(1, 1) + drag, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(v, &move);
        QWheelEvent turn(QPointF(1, 1), v->mapToGlobal(QPoint(1, 1)), QPoint(), QPoint(0, wheel), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v, &turn);
        QCOMPARE(v->xRot, change.x());
        QCOMPARE(v->yRot, change.y());
        QCOMPARE(v->zoom, initialZoom[view] + change.z());
        v->makeCurrent();
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        QVERIFY(std::all_of(projection, projection + 16, [](GLfloat value) { return std::isfinite(value); }));
    }

    // Kernels limited to 64 work-items a group and 16 KiB of local memory,
    // the least an early device guarantees.
    // Devices may run as few as one work-item a group: 64 still holds the
    // glow filter's staged group, 16 and 1 do not.
    void everyViewRunsOnASmallDevice_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("items");
        for (int items : { 64, 16, 1 }) {
            const QByteArray limit = " in groups of " + QByteArray::number(items);
            QTest::newRow("sine wave" + limit) << int(SineWave) << items;
            QTest::newRow("post-processing without a tile" + limit) << int(PostProcessing) << items;
            QTest::newRow("n-body" + limit) << int(NBody) << items;
        }
    }

    void everyViewRunsOnASmallDevice()
    {
        QFETCH(int, view);
        QFETCH(int, items);
        ticking = views[view];
        ClFault::limitWorkGroupSize(size_t(items));
        ClFault::limitLocalMemory(16 * 1024);
        views[view]->setupOpenCl();
        QTest::qWait(40);
        QCOMPARE(boxes.seen, QStringList());
        QVERIFY(views[view]->isReady());
        QVERIFY(nonBlackPixels(views[view]) > 0);
    }

    // One row for each function an operation calls, the first time it calls
    // it. A start's calls that its first frame also makes may fail in either.
    void aFailingCallShowsOneBoxNamingTabAndStepAndReleasesEverything_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<QString>("activity");
        const QStringList operations[] = { { "frame", "start" },
                                           { "frame", "sharing frame", "start", "sharing start", "resize" },
                                           { "frame", "start" } };
        for (int view : { SineWave, PostProcessing, NBody }) {
            QSet<QString> covered;
            for (const QString &operation : operations[view]) {
                prepare(view, operation);
                ClFault::startRecording();
                perform(view, operation);
                const QString kind = operation.section(' ', -1);
                for (const QString &call : ClFault::recordedCalls()) {
                    const QString function = call.section('#', 0, 0);
                    if (ClFault::plausibleFailure(function) == CL_SUCCESS || covered.contains(kind + function))
                        continue;
                    covered << kind + function;
                    const QString activity = kind == "frame"                          ? "while drawing a frame"
                                             : kind == "resize"                       ? "while resizing the view"
                                             : covered.contains("frame" + function) ? "while "
                                                                                      : "while starting the view";
                    QTest::addRow("%s %s: %s", tabNames[view], qPrintable(operation), qPrintable(function))
                        << view << operation << function.toLatin1() << activity;
                }
            }
        }
        releaseAll();
    }

    // A build fails for real, with the compiler's log.
    void aFailingCallShowsOneBoxNamingTabAndStepAndReleasesEverything()
    {
        QFETCH(int, view);
        QFETCH(QString, operation);
        QFETCH(QByteArray, function);
        QFETCH(QString, activity);
        DemoView *v = views[view];
        prepare(view, operation);
        const cl_int status = ClFault::plausibleFailure(QString::fromLatin1(function));
        const bool build = function == "clBuildProgram";
        ticking = views[view];
        build ? ClFault::replaceNextProgramSource("__kernel void broken( { }")
              : ClFault::failCall(function.constData(), 1, status);
        perform(view, operation);
        QTRY_COMPARE(boxes.count(), 1);
        QTest::qWait(30);
        // tst_support holds the names to the headers' spelling.
        char name[64];
        QCOMPARE(boxes.seen, QStringList(QStringLiteral("Error!|") + clErrorName(status, name, sizeof name)));
        const QString details = boxes.details.value(0);
        for (const QString &part : { QString(tabNames[view]), QString(function), activity })
            QVERIFY2(details.contains(part), qPrintable(part + " not in: " + details));
        QVERIFY2(!build || (details.contains("Build log") && details.contains("error")), qPrintable(details));
        // A shape forced from outside reaches the build.
        const QString forced = qEnvironmentVariable("KORVANE_KERNEL_SHAPE");
        QVERIFY2(!build || forced.isEmpty() || details.contains("-DKORVANE_SHAPE_GPU") == (forced == "gpu"),
                 qPrintable(details));
        QCOMPARE(ClFault::liveObjects(), 0);
        QCOMPARE(glBuffers(v), 0);

        // Until the next start: no OpenCL call, a black view, no further box.
        ClFault::startRecording();
        QTest::qWait(30);
        QCOMPARE(ClFault::recordedCalls(), QStringList());
        v->repaint();
        QCOMPARE(nonBlackPixels(v), 0);

        ClFault::reset();
        start(view);
        QTest::qWait(20);
        QVERIFY(v->isReady());
        QVERIFY(nonBlackPixels(v) > 0);
        QCOMPARE(boxes.count(), 1);
    }

private:
    void start(int view)
    {
        views[view]->setupOpenCl();
        QVERIFY(views[view]->isReady());
    }
    void releaseAll()
    {
        for (DemoView *view : views) {
            view->checkStatus(DemoView::RELEASE_ONLY);
            view->updateGL();   // collects what OpenGL flagged since the last frame
        }
    }

    // Operations: "start", "frame" (a started view's tick) and "resize" (of a
    // started view), on the host-staged path or, after "sharing ", sharing.
    void prepare(int view, const QString &operation)
    {
        releaseAll();
        views[view]->resize(viewSize);
        ClFault::reset();
        ClFault::emulateGlSharing(operation.startsWith(QLatin1String("sharing")));
        if (!operation.endsWith(QLatin1String("start")))
            start(view);
    }
    void perform(int view, const QString &operation)
    {
        operation.endsWith("start")   ? views[view]->setupOpenCl()
        : operation.endsWith("frame") ? views[view]->animate()
                                      : views[view]->resize(viewSize + QSize(-37, 21));
    }

    ErrorBoxCatcher boxes;   // first, so that it closes a box a view opens as it is built
    // Built once, with the test program.
    ViewHarness<OGLWdgt> sine{ viewSize };
    ViewHarness<OGLPP> pp{ viewSize };
    ViewHarness<oglnbody> nbody{ viewSize };
    const QVector<DemoView *> views{ sine.view, pp.view, nbody.view };
    const QVector<float> initialZoom{ sine.view->zoom, pp.view->zoom, nbody.view->zoom };
    // The view the 1 ms animation timer animates, as the main window's does.
    QTimer ticker;
    DemoView *ticking = nullptr;
    int staleBefore = 0;
};

QTEST_MAIN(ViewsTest)
#include "tst_views.moc"
