#include "oglnbody.h"

#include <cstdlib>

oglnbody::oglnbody(QWidget *parent)
    : DemoView(parent)
{
    zoom = -0.5f;
}

oglnbody::~oglnbody()
{
    makeCurrent();
    checkStatus(RELEASE_ONLY);
}

void oglnbody::setupOpenCl()
{
    if (!hasSelection() || !selectedDevice())
        return;
    checkStatus(RELEASE_ONLY);
}

bool oglnbody::isReady() const
{
    return kernel && queue && posBuffer && velBuffer && positions;
}

void oglnbody::runKernel()
{
    ++frameCount;
}

void oglnbody::initializeGL()
{
    qglClearColor(Qt::black);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClear(GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

void oglnbody::resizeGL(int w, int h)
{
    glViewport(0, 0, w, h);
}

void oglnbody::paintGL()
{
    clearView();
}

void oglnbody::releaseObjects()
{
    releaseHandle(kernel, clReleaseKernel);
    releaseHandle(program, clReleaseProgram);
    releaseHandle(posBuffer, clReleaseMemObject);
    releaseHandle(velBuffer, clReleaseMemObject);
    releaseHandle(queue, clReleaseCommandQueue);
    releaseHandle(context, clReleaseContext);
    for (cl_float4 **array : { &initialPositions, &initialVelocities, &positions, &velocities }) {
        free(*array);
        *array = nullptr;
    }
}
