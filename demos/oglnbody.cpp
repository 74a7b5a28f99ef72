#include "oglnbody.h"

#include "nbodywork.h"
#include "startcloud.h"

#include <GL/glu.h>

#include <cstdlib>
#include <cstring>
#include <utility>

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

void oglnbody::start()
{
    if (!selectedDevice())
        return;
    checkStatus(RELEASE_ONLY);

    if (!allocateArrays())
        return;
    generateStartCloud(StartRandom::process(), initialPositions, initialVelocities, numBodies);
    std::memcpy(positions, initialPositions, size_t(numBodies) * sizeof(cl_float4));
    std::memcpy(velocities, initialVelocities, size_t(numBodies) * sizeof(cl_float4));

    if (!openSession(platformProperties().constData()))
        return;
    if (!buildKernel(NBodyWork::sourceFile, NBodyWork::kernelName))
        return;
    if (!createBuffers())
        return;
    if (!check(NBodyWork::chooseGroupSize(kernel, selectedDevice(), numBodies, groupSize),
               "clGetKernelWorkGroupInfo")
        || !setStateArgs()
        || !check(NBodyWork::setConstantArgs(kernel, numBodies, groupSize, kernelShape()), "clSetKernelArg"))
        return;

    // The repaint runs the first step.
    draw(1.0f);
}

bool oglnbody::allocateArrays()
{
    const size_t bytes = size_t(numBodies) * sizeof(cl_float4);
    for (cl_float4 **array : { &initialPositions, &initialVelocities, &positions, &velocities }) {
        *array = static_cast<cl_float4 *>(malloc(bytes));
        if (!*array)
            return false;
    }
    return true;
}

bool oglnbody::createBuffers()
{
    // The start state is copied in; afterwards the state lives on the
    // device, and only the newest positions come back into `positions`.
    const size_t bytes = size_t(numBodies) * sizeof(cl_float4);
    const cl_mem_flags copied = CL_MEM_READ_WRITE | CL_MEM_COPY_HOST_PTR;
    cl_int s = CL_SUCCESS;
    posBuffer = clCreateBuffer(context, copied, bytes, positions, &s);
    if (!check(s, "clCreateBuffer"))
        return false;
    velBuffer = clCreateBuffer(context, copied, bytes, velocities, &s);
    if (!check(s, "clCreateBuffer"))
        return false;
    newPosBuffer = clCreateBuffer(context, CL_MEM_READ_WRITE, bytes, nullptr, &s);
    if (!check(s, "clCreateBuffer"))
        return false;
    newVelBuffer = clCreateBuffer(context, CL_MEM_READ_WRITE, bytes, nullptr, &s);
    return check(s, "clCreateBuffer");
}

bool oglnbody::setStateArgs()
{
    return check(NBodyWork::setStateArgs(kernel, posBuffer, velBuffer, newPosBuffer, newVelBuffer),
                 "clSetKernelArg");
}

bool oglnbody::isReady() const
{
    return kernel && queue && posBuffer && velBuffer && newPosBuffer && newVelBuffer && positions;
}

void oglnbody::runKernel()
{
    if (!canRun())
        return;
    ++frameCount;
    if (!check(NBodyWork::enqueue(queue, kernel, numBodies, groupSize), "clEnqueueNDRangeKernel"))
        return;
    if (!check(clFinish(queue), "clFinish"))
        return;
    endPart(&FrameParts::kernel);

    std::swap(posBuffer, newPosBuffer);
    std::swap(velBuffer, newVelBuffer);
    if (!setStateArgs())
        return;

    cl_event read = nullptr;
    if (!check(clEnqueueReadBuffer(queue, posBuffer, CL_TRUE, 0, size_t(numBodies) * sizeof(cl_float4),
                                   positions, 0, nullptr, &read),
               "clEnqueueReadBuffer"))
        return;
    const cl_int waited = clWaitForEvents(1, &read);
    if (waited != CL_SUCCESS) {
        // The report releases everything the view holds; the event is
        // not among its members.
        clReleaseEvent(read);
        check(waited, "clWaitForEvents");
        return;
    }
    if (check(clReleaseEvent(read), "clReleaseEvent"))
        endPart(&FrameParts::transfers);
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
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The first resize can be 0 x 0.
    const double aspect = (w > 0 && h > 0) ? double(w) / double(h) : 1.0;
    gluPerspective(60.0, aspect, 0.1, 1000.0);
    gluLookAt(0.0, 0.0, -2.0, 0.0, 0.0, 1.0, 0.0, 1.0, 0.0);
}

void oglnbody::paintGL()
{
    if (drawMode == 0.0f || (drawMode == 1.0f && !canRun())) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        clearView();
        return;
    }
    if (drawMode != 1.0f)
        return;

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    clearView();
    glPointSize(1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    glColor3f(1.0f, 0.6f, 0.0f);

    startFrameParts();
    runKernel();
    // A failed step has released the arrays: this frame stays cleared.
    if (!isReady())
        return;
    applyModelView();
    drawBodies();
    glFlush();
    endPart(&FrameParts::finalDraw);
}

void oglnbody::drawBodies() const
{
    glBegin(GL_POINTS);
    for (int i = 0; i < numBodies; ++i) {
        const cl_float4 &p = positions[i];
        glVertex3f(p.s[0] / 300.0f, p.s[1] / 300.0f, p.s[2] / 300.0f);
    }
    glEnd();
}

void oglnbody::releaseObjects()
{
    releaseHandle(kernel, clReleaseKernel);
    releaseHandle(program, clReleaseProgram);
    releaseHandle(posBuffer, clReleaseMemObject);
    releaseHandle(velBuffer, clReleaseMemObject);
    releaseHandle(newPosBuffer, clReleaseMemObject);
    releaseHandle(newVelBuffer, clReleaseMemObject);
    releaseHandle(queue, clReleaseCommandQueue);
    releaseHandle(context, clReleaseContext);
    for (cl_float4 **array : { &initialPositions, &initialVelocities, &positions, &velocities }) {
        free(*array);
        *array = nullptr;
    }
}
