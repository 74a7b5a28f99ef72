#ifndef DEMOVIEW_H
#define DEMOVIEW_H

#include "clbuild.h"
#include "clinventory.h"

#include <CL/cl.h>

#include <QElapsedTimer>
#include <QGLWidget>
#include <QPoint>
#include <QVector>

class QLCDNumber;

// What the three demonstration views have in common: their own OpenCL
// inventory and the selector indexes into it, the OpenCL context, queue,
// program and kernel, the error report that releases everything, the
// frame counter, and turning and zooming with the mouse.
class DemoView : public QGLWidget
{
    Q_OBJECT

public:
    // A status no OpenCL call returns: checkStatus releases without a report.
    static const cl_int RELEASE_ONLY = -500;

    explicit DemoView(QWidget *parent);
    ~DemoView() override;

    // (Re)builds the view's OpenCL objects on the selected device and sets
    // it running. Does nothing while no device is selected. A view without
    // a usable OpenGL context says so in the "Error!" box instead.
    void setupOpenCl();

    // Reports a negative status in the "Error!" box (unless RELEASE_ONLY),
    // then releases every OpenCL and OpenGL object the view holds.
    cl_int checkStatus(cl_int s);

    // True while the view holds the objects a frame needs.
    virtual bool isReady() const = 0;
    // Started, drawing and holding its objects: only such a view's timer
    // ticks can change what it shows.
    bool isRunning() const { return drawMode == 1.0f && canRun(); }

    int platformIndex = -1;
    int deviceIndex = -1;
    QLCDNumber *frameDisplay = nullptr;

    float xRot = 0.0f;
    float yRot = 0.0f;
    float zRot = 0.0f;
    float zoom;
    float drawMode = 0.0f;
    int frameCount = 0;
    cl_int status = CL_SUCCESS;
    char errorText[256] = "";

    // While set, every frame of every view ends with glGetError and counts
    // what it finds; a debugging aid that costs a driver round trip a frame.
    static bool checkGlErrors;
    static int glErrors;

    // Milliseconds spent in each part of the frames drawn while
    // timeFrameParts was on, summed over `frames`. `frame` is the whole
    // frame, from its first part to the end of the paint with the buffer
    // swap; what the parts leave of it is the swap and Qt's own work.
    struct FrameParts
    {
        double scene = 0.0;       // clearing and drawing what the kernel filters
        double readBack = 0.0;    // the scene out of OpenGL
        double transfers = 0.0;   // copies between host and device, or acquire/release
        double kernel = 0.0;      // the kernel, run to completion
        double upload = 0.0;      // the result into OpenGL
        double finalDraw = 0.0;   // drawing what the view shows
        double frame = 0.0;
        int frames = 0;
    };
    FrameParts frameParts() const { return parts; }
    void resetFrameParts() { parts = FrameParts(); }
    // While set, each part of a frame ends by waiting for OpenCL and OpenGL
    // (clFinish, glFinish) to time it, which slows the frame; off, a frame
    // pays nothing for it.
    static bool timeFrameParts;

signals:
    // A tick found the view no longer running (a failure released it): its
    // ticks can stop until it starts again.
    void stoppedRunning();

public slots:
    void draw(float fxx);
    virtual void animate();
    void framecount();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void glDraw() override;

    // The view's own part of setupOpenCl. It runs with the view's OpenGL
    // context current: a button handler calls it, and the GL names it makes
    // (and the context that sharing names) must be the view's.
    virtual void start() = 0;
    // Releases the view's objects in its own order.
    virtual void releaseObjects() = 0;

    // Stores s in status and reports it, naming step (the OpenCL call) in
    // the report's details; true when the caller may go on.
    bool check(cl_int s, const char *step);
    bool check(const ClCall &call) { return check(call.status, call.name); }
    // True while a report is open: frames must not touch the objects
    // being reported, and timer ticks must not raise further reports.
    bool isReporting() const { return reporting; }
    bool canRun() const { return !reporting && isReady(); }

    cl_platform_id selectedPlatform() const;
    // The device at the selector indexes, or null when the view's record
    // does not hold them. A record whose scan failed is scanned again here.
    cl_device_id selectedDevice();
    bool hasSelection() const { return platformIndex >= 0 && deviceIndex >= 0; }

    // The context properties naming the selected platform and nothing else.
    QVector<cl_context_properties> platformProperties() const;
    // Context and queue on the selected device; a failure is reported.
    bool openSession(const cl_context_properties *properties);
    // Builds in the shape chooseKernelShape() gives the selected device,
    // which kernelShape() then holds.
    bool buildKernel(const char *sourceFile, const char *kernelName);
    KernelShape kernelShape() const { return shape; }

    // Runs work that a timer tick does outside paintGL as part of a frame:
    // a failure in it is reported as a frame's, after the frame.
    template <typename Work>
    void asFrame(Work work)
    {
        const bool outer = inFrame;
        inFrame = true;
        work();
        inFrame = outer;
    }

    // Draws a frame now: the repaint a timer tick, the mouse or the wheel asks for.
    void repaintNow();
    void clearView();
    void applyModelView();

    // A frame's first part starts the clocks; each part's end adds the time
    // since the previous end to part, when timing.
    void startFrameParts();
    void endPart(double FrameParts::*part);

    template <typename Handle>
    static void releaseHandle(Handle &handle, cl_int (*release)(Handle))
    {
        if (handle) {
            release(handle);
            handle = nullptr;
        }
    }

    ClInventory inventory;
    QPoint lastMousePos;

    cl_context context = nullptr;
    cl_command_queue queue = nullptr;
    cl_program program = nullptr;
    cl_kernel kernel = nullptr;

private:
    bool makeGlContextCurrent();
    void report(const QString &text, const QString &details);
    QString failureDetails() const;

    bool reporting = false;
    bool inFrame = false;   // in paintGL, or in frame work a timer tick does
    bool resizing = false;
    const char *failedStep = nullptr;
    QByteArray buildLog;
    KernelShape shape = KernelShape::Cpu;
    FrameParts parts;
    QElapsedTimer partClock;
    QElapsedTimer frameClock;
};

#endif
