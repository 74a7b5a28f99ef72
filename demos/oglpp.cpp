#include "oglpp.h"

#include "clbuild.h"
#include "glowfilterwork.h"
#include "glsharing.h"

#include <CL/cl_gl.h>

#include <QByteArray>
#include <QVector>

namespace {

struct Sphere
{
    GLfloat diffuse[4];
    GLfloat offset[3];   // from the previous sphere's centre
};

const Sphere spheres[3] = {
    { { 1.0f, 0.1f, 0.1f, 1.0f }, { 0.5f, 0.0f, 0.0f } },
    { { 0.1f, 1.0f, 0.1f, 1.0f }, { -0.47f, 0.5f, 0.0f } },
    { { 0.1f, 0.1f, 1.0f, 1.0f }, { -0.5f, -0.5f, 0.0f } },
};

bool namesExtension(const QByteArray &extensions, const char *name)
{
    return extensions.simplified().split(' ').contains(QByteArray(name));
}

} // namespace

OGLPP::OGLPP(QWidget *parent)
    : DemoView(parent)
{
    zoom = -2.0f;
}

OGLPP::~OGLPP()
{
    makeCurrent();
    checkStatus(RELEASE_ONLY);
    if (sphereList)
        glDeleteLists(sphereList, 1);
}

void OGLPP::start()
{
    checkStatus(RELEASE_ONLY);
    if (!hasSelection() || !selectedDevice())
        return;
    if (!glFuncs.glGenBuffers)
        loadGlEntryPoints(glFuncs, this);   // a view never shown has had no initializeGL

    createPixelBuffer(sceneBuffer);
    createPixelBuffer(resultBuffer);
    createResultTexture();

    if (!deviceOffersGlSharing())
        return;
    sharing = sharing && currentGlContextSharesWith(selectedPlatform(), selectedDevice());
    if (!openSharingOrPlainSession() || !createImages())
        return;
    if (!buildKernel(GlowFilterWork::sourceFile, GlowFilterWork::kernelName)
        || !check(GlowFilterWork::chooseLaunch(kernel, selectedDevice(), kernelShape(), launch)))
        return;
    loadGlEntryPoints(glFuncs, this);
    if (!setImageArgs())
        return;
    draw(1.0f);
}

bool OGLPP::isReady() const
{
    return kernel && queue && sceneImage && resultImage && sceneBuffer && resultBuffer
           && resultTexture;
}

void OGLPP::animate()
{
    // The scene turns only while it is shown filtered; a view at rest, or
    // with a report open (a repaint would then be recursive), stays still.
    if (!isRunning())
        return;
    yRot += 2.0f;
    repaintNow();
}

// Decided from the device's own extension list and nothing else: a driver
// without the extension may accept the sharing properties silently and then
// fail (or end the process) at the first sharing call.
bool OGLPP::deviceOffersGlSharing()
{
    const cl_device_id device = selectedDevice();
    size_t size = 0;
    cl_int s = clGetDeviceInfo(device, CL_DEVICE_EXTENSIONS, 0, nullptr, &size);
    if (s == CL_SUCCESS && size > maxClTextSize)
        s = CL_INVALID_VALUE;   // as the inventory refuses it
    if (!check(s, "clGetDeviceInfo"))
        return false;
    QByteArray extensions(int(size), '\0');
    if (!check(clGetDeviceInfo(device, CL_DEVICE_EXTENSIONS, size, extensions.data(), nullptr),
               "clGetDeviceInfo"))
        return false;
    sharing = namesExtension(QByteArray(extensions.constData()), "cl_khr_gl_sharing");
    return true;
}

// A driver may list the current GL context's devices and still refuse to
// share it; the host-staged path then does the same work without a report.
bool OGLPP::openSharingOrPlainSession()
{
    if (sharing) {
        const QVector<cl_context_properties> properties = glSharingProperties(selectedPlatform());
        const ClCall call = openContextAndQueue(properties.constData(), selectedDevice(), context, queue);
        if (call.ok() || context)
            return check(call.status, call.name);
        sharing = false;
    }
    return openSession(platformProperties().constData());
}

bool OGLPP::createImages()
{
    auto create = [this](cl_mem_flags flags, GLuint buffer, cl_mem &image) {
        cl_int s = CL_SUCCESS;
        image = sharing ? clCreateFromGLBuffer(context, flags, buffer, &s)
                        : clCreateBuffer(context, flags, imageBytes(), nullptr, &s);
        return check(s, sharing ? "clCreateFromGLBuffer" : "clCreateBuffer");
    };
    return create(CL_MEM_READ_ONLY, sceneBuffer, sceneImage)
           && create(CL_MEM_WRITE_ONLY, resultBuffer, resultImage);
}

bool OGLPP::setImageArgs()
{
    return check(GlowFilterWork::setImageArgs(kernel, sceneImage, resultImage, imageWidth, imageHeight),
                 "clSetKernelArg");
}

// Storage is never empty: a view not yet laid out (0 x 0) or squeezed to
// no height still gets one pixel, since drivers refuse empty buffers.
size_t OGLPP::imageBytes() const
{
    return size_t(qMax(imageWidth, 1)) * size_t(qMax(imageHeight, 1)) * sizeof(cl_uint);
}

void OGLPP::createPixelBuffer(GLuint &buffer)
{
    glFuncs.glGenBuffers(1, &buffer);
    allocatePixelBuffer(buffer);
}

void OGLPP::allocatePixelBuffer(GLuint buffer)
{
    glFuncs.glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glFuncs.glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(imageBytes()), nullptr, GL_DYNAMIC_DRAW);
    glFuncs.glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void OGLPP::createResultTexture()
{
    glGenTextures(1, &resultTexture);
    glBindTexture(GL_TEXTURE_2D, resultTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    defineTextureImage(imageWidth, imageHeight);
}

void OGLPP::defineTextureImage(int w, int h)
{
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, qMax(w, 1), qMax(h, 1), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
}

void OGLPP::deletePixelBuffer(GLuint &buffer)
{
    if (!buffer)
        return;
    glFuncs.glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glFuncs.glDeleteBuffers(1, &buffer);
    buffer = 0;
}

void OGLPP::runKernel()
{
    ++frameCount;
    const cl_mem images[2] = { sceneImage, resultImage };
    if (sharing) {
        // The extension asks for the GL work on the buffers to be complete,
        // not merely issued, before OpenCL acquires them.
        glFinish();
        if (!check(clEnqueueAcquireGLObjects(queue, 2, images, 0, nullptr, nullptr),
                   "clEnqueueAcquireGLObjects"))
            return;
    } else if (!stageSceneIn()) {
        return;
    }
    endPart(&FrameParts::transfers);

    if (!check(GlowFilterWork::setFilterArgs(kernel, launch), "clSetKernelArg")
        || !check(GlowFilterWork::enqueue(queue, kernel, launch, imageWidth, imageHeight), "clEnqueueNDRangeKernel"))
        return;
    if (sharing
        && !check(clEnqueueReleaseGLObjects(queue, 2, images, 0, nullptr, nullptr), "clEnqueueReleaseGLObjects"))
        return;
    if (!check(clFinish(queue), "clFinish"))
        return;
    endPart(&FrameParts::kernel);
    if (!sharing)
        stageResultOut();
    endPart(&FrameParts::transfers);
}

// Without sharing the scene goes through host memory: the pixel buffer the
// scene was just read into (still bound for packing) is mapped, which waits
// for the read, and written to the kernel's input.
bool OGLPP::stageSceneIn()
{
    return throughMappedBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY, "clEnqueueWriteBuffer", [this](void *pixels) {
        return clEnqueueWriteBuffer(queue, sceneImage, CL_TRUE, 0, filteredBytes(), pixels, 0, nullptr,
                                    nullptr);
    });
}

// The kernel's output is read straight into the mapped result buffer, from
// which the texture is then filled as on the sharing path.
bool OGLPP::stageResultOut()
{
    glFuncs.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, resultBuffer);
    return throughMappedBuffer(GL_PIXEL_UNPACK_BUFFER, GL_WRITE_ONLY, "clEnqueueReadBuffer", [this](void *pixels) {
        return clEnqueueReadBuffer(queue, resultImage, CL_TRUE, 0, filteredBytes(), pixels, 0, nullptr,
                                   nullptr);
    });
}

// Maps the pixel buffer bound to target for one blocking OpenCL transfer;
// it is unmapped again before a failure is reported and everything released.
bool OGLPP::throughMappedBuffer(GLenum target, GLenum access, const char *step,
                                const std::function<cl_int(void *)> &transfer)
{
    void *pixels = glFuncs.glMapBuffer(target, access);
    if (!pixels)
        return check(CL_MAP_FAILURE, "glMapBuffer");
    const cl_int s = transfer(pixels);
    glFuncs.glUnmapBuffer(target);
    return check(s, step);
}

size_t OGLPP::filteredBytes() const
{
    return size_t(imageWidth) * size_t(imageHeight) * sizeof(cl_uint);
}

void OGLPP::initializeGL()
{
    qglClearColor(Qt::black);
    loadGlEntryPoints(glFuncs, this);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glDisable(GL_DEPTH_TEST);
    glViewport(0, 0, width(), height());
    setProjection(width(), height());
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_LIGHT0);

    static const GLfloat diffuse[] = { 1.0f, 0.1f, 0.1f, 1.0f };
    static const GLfloat specular[] = { 1.0f, 1.0f, 1.0f, 1.0f };
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 60.0f);

    // A context made again for the view (the list's name then means
    // nothing in it) needs the sphere again.
    if (!sphereList || !glIsList(sphereList))
        compileSphere();
}

// The sphere never changes: drawn from a list, its 20 000 faces reach the
// driver as one stored batch instead of some 60 000 calls every frame.
// Nothing textures the scene, so it has no texture coordinates.
void OGLPP::compileSphere()
{
    GLUquadric *quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    sphereList = glGenLists(1);
    glNewList(sphereList, GL_COMPILE);
    gluSphere(quadric, 0.3, 100, 100);
    glEndList();
    gluDeleteQuadric(quadric);
}

void OGLPP::resizeGL(int w, int h)
{
    glBindTexture(GL_TEXTURE_2D, resultTexture);
    defineTextureImage(w, h);
    imageWidth = w;
    imageHeight = h;
    // Not started, or a report is open and everything is about to go.
    if (!canRun())
        return;

    allocatePixelBuffer(sceneBuffer);
    allocatePixelBuffer(resultBuffer);
    releaseHandle(sceneImage, clReleaseMemObject);
    releaseHandle(resultImage, clReleaseMemObject);
    if (createImages())
        setImageArgs();
}

void OGLPP::paintGL()
{
    if (drawMode == 0.0f) {
        clearView();
        return;
    }
    if (drawMode != 1.0f)
        return;
    // After a failure the view stays black until the next good start; an
    // empty view has nothing to filter.
    if (!canRun() || imageWidth <= 0 || imageHeight <= 0) {
        clearView();
        return;
    }

    startFrameParts();
    renderScene();
    endPart(&FrameParts::scene);
    glFuncs.glBindBuffer(GL_PIXEL_PACK_BUFFER, sceneBuffer);
    glReadPixels(0, 0, imageWidth, imageHeight, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    endPart(&FrameParts::readBack);
    runKernel();
    if (!isReady()) {
        // The run failed and released everything; the unfiltered scene
        // still in the back buffer must not reach the screen.
        glFuncs.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glFuncs.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        clearView();
        return;
    }
    showResult();
}

void OGLPP::setProjection(int w, int h)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, h > 0 ? double(w) / double(h) : 1.0, 0.1, 10.0);
}

void OGLPP::renderScene()
{
    clearView();
    setProjection(imageWidth, imageHeight);
    applyModelView();
    glViewport(0, 0, imageWidth, imageHeight);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    // The spheres are closed and seen from outside: their far halves are
    // hidden anyway, and a software rasteriser spends half the scene's
    // time on those tiny faces.
    glEnable(GL_CULL_FACE);

    static const GLfloat specular[] = { 1.0f, 1.0f, 1.0f, 1.0f };
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    for (const Sphere &sphere : spheres) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, sphere.diffuse);
        glTranslatef(sphere.offset[0], sphere.offset[1], sphere.offset[2]);
        glCallList(sphereList);
    }
}

void OGLPP::showResult()
{
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    glFuncs.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, resultBuffer);
    glBindTexture(GL_TEXTURE_2D, resultTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, imageWidth, imageHeight, GL_BGRA, GL_UNSIGNED_BYTE,
                    nullptr);
    endPart(&FrameParts::upload);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, imageWidth, imageHeight);

    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.5f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.5f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, 0.5f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, 0.5f);
    glEnd();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glFuncs.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glFuncs.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    endPart(&FrameParts::finalDraw);
}

void OGLPP::releaseObjects()
{
    deletePixelBuffer(sceneBuffer);
    deletePixelBuffer(resultBuffer);
    if (resultTexture) {
        glDeleteTextures(1, &resultTexture);
        resultTexture = 0;
    }
    releaseHandle(kernel, clReleaseKernel);
    releaseHandle(program, clReleaseProgram);
    releaseHandle(sceneImage, clReleaseMemObject);
    releaseHandle(resultImage, clReleaseMemObject);
    releaseHandle(queue, clReleaseCommandQueue);
    releaseHandle(context, clReleaseContext);
    sharing = false;
}
