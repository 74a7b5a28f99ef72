#include "demoview.h"

#include "clbuild.h"
#include "clerrorname.h"
#include "display.h"

#include <QLCDNumber>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cstring>

bool DemoView::checkGlErrors = false;
int DemoView::glErrors = 0;
bool DemoView::timeFrameParts = false;

// Only the view needs a window of its own. Made in its parent, its window
// would make every ancestor a window too: surfaces without content, under
// which a compositor (Wayland's) shows nothing of the view.
DemoView::DemoView(QWidget *parent)
    : QGLWidget(nullptr, nullptr, Qt::WindowFlags())
{
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setParent(parent);
    std::memset(&inventory, 0, sizeof inventory);
    // A failed scan leaves the record empty as far as the views can tell:
    // selectedDevice() then finds nothing at any index.
    if (scanOpenClInventory(inventory) != CL_SUCCESS)
        releaseOpenClInventory(inventory);
}

DemoView::~DemoView()
{
    releaseOpenClInventory(inventory);
}

void DemoView::setupOpenCl()
{
    if (makeGlContextCurrent()) {
        start();
        return;
    }
    // A driver that failed to load leaves the view without a context: it
    // would stay black, with no word of why.
    failedStep = noGlContextText();
    reporting = true;
    report(QStringLiteral("No OpenGL context"), failureDetails());
    failedStep = nullptr;
}

bool DemoView::makeGlContextCurrent()
{
    if (!isValid())
        return false;
    makeCurrent();
    return QGLContext::currentContext() == QGLWidget::context();
}

cl_int DemoView::checkStatus(cl_int s)
{
    if (s >= 0)
        return s;
    if (s != RELEASE_ONLY) {
        clErrorName(s, errorText, sizeof errorText);
        const QString text = QString::fromLatin1(errorText);
        const QString details = failureDetails();
        reporting = true;
        if (inFrame) {
            // A modal box opened inside a frame would paint the view
            // recursively; it opens as soon as the frame has ended, with
            // the view already released.
            QMetaObject::invokeMethod(this, [this, text, details] { report(text, details); },
                                      Qt::QueuedConnection);
        } else {
            report(text, details);
        }
    }
    failedStep = nullptr;
    buildLog.clear();
    makeCurrent();
    releaseObjects();
    // A released view shows the cleared background, and no tick repaints
    // it any more.
    update();
    return s;
}

// Called with reporting set by checkStatus, which covers the wait for a
// box that opens after the frame as well. The box says no more than the
// status; what a user needs to act on it waits behind "Show Details...".
void DemoView::report(const QString &text, const QString &details)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error!"), text, QMessageBox::Ok, this);
    box.setDetailedText(details);
    box.exec();
    reporting = false;
}

QString DemoView::failureDetails() const
{
    const char *activity = inFrame ? "drawing a frame" : resizing ? "resizing the view" : "starting the view";
    QString details;
    if (!accessibleName().isEmpty())
        details += QStringLiteral("Tab: %1\n").arg(accessibleName());
    const cl_device_id device = inventoryDevice(inventory, platformIndex, deviceIndex);
    if (device)
        details += QStringLiteral("Device: %1\n")
                       .arg(QString::fromLatin1(inventory.platforms[platformIndex].devices[deviceIndex].name));
    details += QStringLiteral("Failed step: %1, while %2\n")
                   .arg(QLatin1String(failedStep ? failedStep : "unknown"), QLatin1String(activity));
    if (!buildLog.isEmpty())
        details += QStringLiteral("Build options (%1 shape): %2\n\nBuild log:\n")
                       .arg(kernelShapeName(shape), QString::fromLatin1(kernelBuildOptions(shape)))
                   + QString::fromLatin1(buildLog);
    return details;
}

void DemoView::draw(float fxx)
{
    drawMode = fxx;
    updateGL();
}

// A view at rest repaints only when something other than a tick asks it
// to: under a software driver without vsync, repainting an unchanged view
// on every 1 ms tick keeps a core busy. isRunning is false while a report
// is open, whose box a repaint here would reopen recursively.
void DemoView::animate()
{
    if (isRunning())
        repaintNow();
    else
        emit stoppedRunning();
}

void DemoView::framecount()
{
    if (frameDisplay)
        frameDisplay->display(frameCount);
    frameCount = 0;
}

void DemoView::resizeEvent(QResizeEvent *event)
{
    resizing = true;
    QGLWidget::resizeEvent(event);
    resizing = false;
}

void DemoView::mousePressEvent(QMouseEvent *event)
{
    lastMousePos = event->pos();
    repaintNow();
}

void DemoView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint delta = event->pos() - lastMousePos;
    if (height() > 0)
        xRot += 180.0f * delta.y() / height();
    if (width() > 0)
        yRot += 180.0f * delta.x() / width();
    repaintNow();
    lastMousePos = event->pos();
}

void DemoView::wheelEvent(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (delta > 0)
        zoom += 0.1f;
    else if (delta < 0)
        zoom -= 0.1f;
    repaintNow();
}

// A frame counts once it has drawn what the view shows (its final draw has
// grown): a cleared frame would blur the averages.
void DemoView::glDraw()
{
    const double drawnBefore = parts.finalDraw;
    if (timeFrameParts && !frameClock.isValid())
        frameClock.start();
    asFrame([this] { QGLWidget::glDraw(); });
    if (timeFrameParts && parts.finalDraw != drawnBefore) {
        makeCurrent();
        glFinish();
        parts.frame += frameClock.nsecsElapsed() / 1e6;
        ++parts.frames;
    }
    frameClock.invalidate();
    if (!checkGlErrors || !isValid())
        return;
    makeCurrent();
    // Bounded: a broken driver may never clear its error flag.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i)
        ++glErrors;
}

bool DemoView::check(cl_int s, const char *step)
{
    status = s;
    failedStep = step;
    return checkStatus(s) == CL_SUCCESS;
}

cl_platform_id DemoView::selectedPlatform() const
{
    return inventoryPlatform(inventory, platformIndex);
}

cl_device_id DemoView::selectedDevice()
{
    // A driver that failed once at start-up must not leave the tab dead
    // for the whole session.
    if (inventory.numPlatforms == 0 && platformIndex >= 0 && deviceIndex >= 0
        && scanOpenClInventory(inventory) != CL_SUCCESS)
        releaseOpenClInventory(inventory);
    return inventoryDevice(inventory, platformIndex, deviceIndex);
}

QVector<cl_context_properties> DemoView::platformProperties() const
{
    return { CL_CONTEXT_PLATFORM, cl_context_properties(selectedPlatform()), 0 };
}

bool DemoView::openSession(const cl_context_properties *properties)
{
    return check(openContextAndQueue(properties, selectedDevice(), context, queue));
}

bool DemoView::buildKernel(const char *sourceFile, const char *kernelName)
{
    return check(chooseKernelShape(selectedDevice(), shape), "clGetDeviceInfo")
           && check(::buildKernel(context, selectedDevice(), sourceFile, kernelName, shape, program, kernel, buildLog));
}

void DemoView::startFrameParts()
{
    if (!timeFrameParts)
        return;
    partClock.start();
    if (!frameClock.isValid())
        frameClock.start();
}

void DemoView::endPart(double FrameParts::*part)
{
    if (!timeFrameParts)
        return;
    if (queue)
        clFinish(queue);
    glFinish();
    parts.*part += partClock.nsecsElapsed() / 1e6;
    partClock.start();
}

void DemoView::repaintNow()
{
    if (glWidgetsGetPaintEvents() || !isVisible())
        repaint();
    else
        glDraw();
}

void DemoView::clearView()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void DemoView::applyModelView()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, zoom);
    glRotatef(xRot, 1.0f, 0.0f, 0.0f);
    glRotatef(yRot, 0.0f, 1.0f, 0.0f);
    glRotatef(zRot, 0.0f, 0.0f, 1.0f);
}
