#ifndef VIEWCHECKS_H
#define VIEWCHECKS_H

// What the three view tests check in the same way: what the view shows,
// which GL buffers it holds, its projection, a start without a usable
// selection, and how one failure at every OpenCL call plays out while the
// animation timer keeps firing.

#include "clerrorname.h"
#include "clfault.h"
#include "demoview.h"
#include "errorboxcatcher.h"
#include "viewharness.h"

#include <QtTest>
#include <QGLContext>
#include <QGLWidget>
#include <QTimer>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <functional>

namespace ViewChecks {

inline bool isGreen(QRgb p)
{
    return qRed(p) == 0 && qGreen(p) > 200 && qBlue(p) > 100 && qBlue(p) < 160;
}

// Additive orange: one point is (255, 153, 0), overlaps saturate to yellow.
inline bool isOrangeToYellow(QRgb p)
{
    return qRed(p) > 240 && qGreen(p) >= 140 && qBlue(p) < 20;
}

inline int nonBlackPixels(QGLWidget *view)
{
    return countPixels(view, [](QRgb p) { return !isBlack(p); });
}

// Buffer names alive in the view's own GL context.
inline int glBuffers(QGLWidget *view)
{
    view->makeCurrent();
    const auto isBuffer = reinterpret_cast<PFNGLISBUFFERPROC>(view->context()->getProcAddress("glIsBuffer"));
    int count = 0;
    for (GLuint name = 1; name <= 256; ++name)
        count += isBuffer(name) ? 1 : 0;
    return count;
}

inline GLenum glError(QGLWidget *view)
{
    view->makeCurrent();
    return glGetError();
}

inline QString expectedText(cl_int status)
{
    char text[256] = "";
    return QString::fromLatin1(clErrorName(status, text, sizeof text));
}

// The OpenCL calls an action makes, as "function#n".
inline QStringList callsOf(const std::function<void()> &action)
{
    ClFault::startRecording();
    action();
    return ClFault::recordedCalls();
}

// Lets the view's 1 ms animation timer run for a while, as the main window's
// does, including while an error box is open.
class Ticker
{
public:
    template <typename View>
    explicit Ticker(View *view)
    {
        QObject::connect(&timer, &QTimer::timeout, view, [view] { view->animate(); });
        timer.start(1);
    }
    void run(int ms) { QTest::qWait(ms); }

private:
    QTimer timer;
};

// Fails the nth call of function (with a status that function can really
// return) while the action runs under a ticking timer, then checks that the
// user saw one box, that the view holds nothing and uses nothing any more,
// and that it shows a cleared view.
template <typename View>
void checkOneFailure(View *view, const char *function, int nth, const std::function<void()> &action)
{
    const cl_int status = ClFault::plausibleFailure(QString::fromLatin1(function));
    QVERIFY(status != CL_SUCCESS);
    const int staleBefore = ClFault::staleHandleUses();
    glError(view);

    ErrorBoxCatcher boxes;
    Ticker ticker(view);
    ClFault::failCall(function, nth, status);
    action();
    QTRY_COMPARE(boxes.count(), 1);
    ticker.run(30);

    QCOMPARE(boxes.seen(), QStringList(QStringLiteral("Error!|") + expectedText(status)));
    QCOMPARE(boxes.mostOpenAtOnce, 1);
    QVERIFY(!view->isReady());
    QCOMPARE(ClFault::liveObjects(), 0);
    QCOMPARE(ClFault::staleHandleUses(), staleBefore);
    QCOMPARE(glBuffers(view), 0);
    QCOMPARE(glError(view), GLenum(GL_NO_ERROR));

    // Until the next start: no OpenCL call, a black view, no further box.
    QCOMPARE(callsOf([&] { ticker.run(30); }), QStringList());
    view->repaint();
    QCOMPARE(nonBlackPixels(view), 0);
    QCOMPARE(boxes.count(), 1);
}

// Before its first start a view makes no OpenCL call, counts no frame and
// shows black.
inline void checkBlackAndIdleBeforeStart(DemoView *view)
{
    QCOMPARE(callsOf([view] {
                 for (int i = 0; i < 5; ++i)
                     view->animate();
             }),
             QStringList());
    QCOMPARE(view->frameCount, 0);
    view->updateGL();
    QCOMPARE(nonBlackPixels(view), 0);
}

// A start on indexes the view's record does not hold creates nothing and
// reports nothing; the view stays black.
inline void checkUnusableSelectionsDoNothing(DemoView *view)
{
    ErrorBoxCatcher boxes;
    for (const QPoint &indexes : { QPoint(-1, 0), QPoint(0, -1), QPoint(-1, -1), QPoint(1, 0), QPoint(0, 7) }) {
        view->platformIndex = indexes.x();
        view->deviceIndex = indexes.y();
        view->setupOpenCl();
        QVERIFY(!view->isReady());
        QCOMPARE(ClFault::callCount("clCreateContext"), 0);
        QCOMPARE(ClFault::liveObjects(), 0);
    }
    view->repaint();
    QCOMPARE(nonBlackPixels(view), 0);
    QCOMPARE(boxes.count(), 0);
}

// The projection keeps the view's proportions, and stays finite when the
// view has no width or no height.
inline void checkProjection(DemoView *view)
{
    auto projection = [view] {
        view->makeCurrent();
        QVector<GLfloat> m(16);
        glGetFloatv(GL_PROJECTION_MATRIX, m.data());
        return m;
    };
    view->resize(400, 200);
    QTRY_COMPARE(view->size(), QSize(400, 200));
    const QVector<GLfloat> m = projection();
    QVERIFY2(std::fabs(m[5] / std::fabs(m[0]) - 2.0f) < 1e-5f, qPrintable(QString::number(m[5] / m[0])));
    for (const QSize &size : { QSize(0, 0), QSize(200, 0), QSize(0, 200) }) {
        view->resize(size);
        view->repaint();
        for (GLfloat value : projection())
            QVERIFY(std::isfinite(value));
    }
}

// The rows of a failure sweep: every call that can fail made by each
// operation, as "operation: function#n", recorded after prepare(operation).
inline void addFailureRows(const QStringList &operations, const std::function<void(const QString &)> &prepare,
                           const std::function<void(const QString &)> &perform)
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("nth");
    ClFault::reset();
    for (const QString &operation : operations) {
        prepare(operation);
        const QStringList calls = callsOf([&] { perform(operation); });
        QVERIFY2(!calls.isEmpty(), qPrintable(operation));
        for (const QString &call : calls) {
            const QString function = call.section('#', 0, 0);
            if (ClFault::plausibleFailure(function) != CL_SUCCESS)
                QTest::newRow(qPrintable(operation + ": " + call))
                    << operation << function.toLatin1() << call.section('#', 1).toInt();
        }
    }
    ClFault::reset();
}

} // namespace ViewChecks

#endif
