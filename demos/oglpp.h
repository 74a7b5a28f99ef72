#ifndef OGLPP_H
#define OGLPP_H

#include "demoview.h"
#include "glentrypoints.h"
#include "glowfilterwork.h"

#include <GL/glu.h>

#include <functional>

// Second tab: three lit spheres rendered by OpenGL, filtered by the kernel
// postprocess and shown as a texture over the whole view.
//
// The image travels through two pixel buffer objects: the scene is read
// into the first, the kernel writes the second, and the second is uploaded
// into the texture. A device that offers cl_khr_gl_sharing and can share
// the view's GL context works on the two buffers in place; any other device
// gets two ordinary OpenCL buffers, which each frame stages through the
// mapped pixel buffers.
class OGLPP : public DemoView
{
    Q_OBJECT

public:
    explicit OGLPP(QWidget *parent);
    ~OGLPP() override;

    bool isReady() const override;
    void animate() override;

    // True after a start on a device whose buffers OpenCL and OpenGL share.
    bool sharesGlBuffers() const { return sharing; }

protected:
    void start() override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void releaseObjects() override;

private:
    void runKernel();

    bool deviceOffersGlSharing();
    bool openSharingOrPlainSession();
    bool createImages();
    bool setImageArgs();
    void createPixelBuffer(GLuint &buffer);
    void allocatePixelBuffer(GLuint buffer);
    void createResultTexture();
    void defineTextureImage(int w, int h);
    void deletePixelBuffer(GLuint &buffer);

    bool stageSceneIn();
    bool stageResultOut();
    bool throughMappedBuffer(GLenum target, GLenum access, const char *step,
                             const std::function<cl_int(void *)> &transfer);
    size_t filteredBytes() const;
    void setProjection(int w, int h);
    void compileSphere();
    void renderScene();
    void showResult();

    size_t imageBytes() const;
    bool hasImage() const { return imageWidth > 0 && imageHeight > 0; }

    GlEntryPoints glFuncs = {};
    int imageWidth = 0;
    int imageHeight = 0;
    cl_mem sceneImage = nullptr;
    cl_mem resultImage = nullptr;
    GLuint sceneBuffer = 0;
    GLuint resultBuffer = 0;
    GLuint resultTexture = 0;
    GLuint sphereList = 0;
    bool sharing = false;
    GlowFilterWork::Launch launch;
};

#endif
