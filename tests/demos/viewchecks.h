#ifndef VIEWCHECKS_H
#define VIEWCHECKS_H

// What the sine-wave and N-body view tests check in the same way: what the
// view shows, which GL buffers it holds, and how one failure plays out
// while the animation timer keeps firing.

#include "clerrorname.h"
#include "clfault.h"
#include "errorboxcatcher.h"
#include "viewharness.h"

#include <QtTest>
#include <QGLContext>
#include <QGLWidget>
#include <QTimer>

#include <GL/gl.h>
#include <GL/glext.h>

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

} // namespace ViewChecks

#endif
