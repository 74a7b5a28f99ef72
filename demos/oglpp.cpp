#include "oglpp.h"

OGLPP::OGLPP(QWidget *parent)
    : DemoView(parent)
{
    zoom = -2.0f;
}

OGLPP::~OGLPP()
{
    makeCurrent();
    checkStatus(RELEASE_ONLY);
    if (quadric)
        gluDeleteQuadric(quadric);
}

void OGLPP::setupOpenCl()
{
    checkStatus(RELEASE_ONLY);
    if (!hasSelection() || !selectedDevice())
        return;
}

bool OGLPP::isReady() const
{
    return kernel && queue && sceneImage && resultImage;
}

void OGLPP::animate()
{
    yRot += 2.0f;
    repaint();
}

void OGLPP::runKernel()
{
    ++frameCount;
}

void OGLPP::initializeGL()
{
    qglClearColor(Qt::black);
    loadGlEntryPoints(glFuncs, this);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void OGLPP::resizeGL(int w, int h)
{
    imageWidth = w;
    imageHeight = h;
}

void OGLPP::paintGL()
{
    clearView();
}

void OGLPP::releaseObjects()
{
    releaseHandle(kernel, clReleaseKernel);
    releaseHandle(program, clReleaseProgram);
    releaseHandle(sceneImage, clReleaseMemObject);
    releaseHandle(resultImage, clReleaseMemObject);
    releaseHandle(queue, clReleaseCommandQueue);
    releaseHandle(context, clReleaseContext);
}
