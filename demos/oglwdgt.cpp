#include "oglwdgt.h"

OGLWdgt::OGLWdgt(QWidget *parent)
    : DemoView(parent)
{
    zoom = -2.5f;
}

OGLWdgt::~OGLWdgt()
{
    makeCurrent();
    checkStatus(RELEASE_ONLY);
}

void OGLWdgt::setupOpenCl()
{
    if (!hasSelection() || !selectedDevice())
        return;
    checkStatus(RELEASE_ONLY);
}

bool OGLWdgt::isReady() const
{
    return kernel && queue && posBuffer && vbo;
}

void OGLWdgt::animate()
{
    repaint();
}

void OGLWdgt::runKernel()
{
    ++frameCount;
}

void OGLWdgt::initializeGL()
{
    qglClearColor(Qt::black);
    loadGlEntryPoints(glFuncs, this);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void OGLWdgt::resizeGL(int w, int h)
{
    glViewport(0, 0, w, h);
}

void OGLWdgt::paintGL()
{
    clearView();
}

void OGLWdgt::releaseObjects()
{
    releaseHandle(kernel, clReleaseKernel);
    releaseHandle(program, clReleaseProgram);
    releaseHandle(queue, clReleaseCommandQueue);
    if (vbo) {
        glFuncs.glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glFuncs.glDeleteBuffers(1, &vbo);
        vbo = 0;
    }
    releaseHandle(posBuffer, clReleaseMemObject);
    releaseHandle(context, clReleaseContext);
}
