#include "oglwdgt.h"

#include <GL/glu.h>

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

void OGLWdgt::start()
{
    if (!selectedDevice())
        return;
    checkStatus(RELEASE_ONLY);

    if (!openSession(platformProperties().constData()))
        return;
    if (!buildKernel(SineWaveWork::sourceFile, SineWaveWork::kernelName))
        return;
    if (!createVertexBuffer())
        return;

    cl_int s = CL_SUCCESS;
    posBuffer = clCreateBuffer(context, CL_MEM_WRITE_ONLY, meshBytes(), nullptr, &s);
    if (!check(s, "clCreateBuffer"))
        return;
    if (!check(SineWaveWork::setMeshArgs(kernel, posBuffer, meshWidth, meshHeight), "clSetKernelArg"))
        return;

    runKernel();
    // Even after a failed first frame: the view then shows the cleared
    // background until the next start.
    draw(1.0f);
}

bool OGLWdgt::createVertexBuffer()
{
    // Started from a button: another view's context may be current.
    makeCurrent();
    loadGlEntryPoints(glFuncs, this);
    glFuncs.glGenBuffers(1, &vbo);
    glFuncs.glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glFuncs.glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(meshBytes()), nullptr, GL_STREAM_DRAW);
    return vbo != 0;
}

bool OGLWdgt::isReady() const
{
    return kernel && queue && posBuffer && vbo;
}

void OGLWdgt::animate()
{
    // While a report is open nothing runs on the objects it is about to
    // release, and a released view has no frame to run.
    if (!isRunning())
        return;
    animTime += timeStep;
    asFrame([this] { runKernel(); });
    repaintNow();
}

void OGLWdgt::runKernel()
{
    if (!canRun())
        return;
    ++frameCount;
    startFrameParts();
    if (!check(SineWaveWork::setWaveArgs(kernel, animTime, freq), "clSetKernelArg")
        || !check(SineWaveWork::enqueue(queue, kernel, meshWidth, meshHeight), "clEnqueueNDRangeKernel"))
        return;
    endPart(&FrameParts::kernel);

    // The result goes straight from the device into the mapped vertex
    // buffer, in one blocking read.
    makeCurrent();
    glFuncs.glBindBuffer(GL_ARRAY_BUFFER, vbo);
    void *vertices = glFuncs.glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY);
    // A buffer that could not be mapped is what the driver would reject
    // the read for, so it is reported as such without asking it.
    const cl_int s = vertices ? clEnqueueReadBuffer(queue, posBuffer, CL_TRUE, 0, meshBytes(), vertices,
                                                    0, nullptr, nullptr)
                              : CL_INVALID_VALUE;
    // Unmapped before the report: the release that follows a failure
    // deletes the buffer, and a buffer must not be deleted while mapped.
    if (vertices)
        glFuncs.glUnmapBuffer(GL_ARRAY_BUFFER);
    if (check(s, "clEnqueueReadBuffer"))
        endPart(&FrameParts::transfers);
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
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The first resize can be 0 x 0.
    const double aspect = (w > 0 && h > 0) ? double(w) / double(h) : 1.0;
    gluPerspective(60.0, aspect, 0.1, 10.0);
}

void OGLWdgt::paintGL()
{
    if (drawMode == 0.0f || (drawMode == 1.0f && !canRun())) {
        clearView();
        return;
    }
    if (drawMode != 1.0f)
        return;

    clearView();
    applyModelView();
    glFuncs.glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glVertexPointer(4, GL_FLOAT, 0, nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
    glColor3f(0.0f, 1.0f, 0.5f);
    glDrawArrays(GL_POINTS, 0, GLsizei(meshWidth * meshHeight));
    glDisableClientState(GL_VERTEX_ARRAY);
    endPart(&FrameParts::finalDraw);
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
