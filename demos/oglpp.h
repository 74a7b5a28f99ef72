#ifndef OGLPP_H
#define OGLPP_H

#include "demoview.h"
#include "glentrypoints.h"

#include <GL/glu.h>

// Second tab: three lit spheres rendered by OpenGL, filtered by the kernel
// postprocess and shown as a texture over the whole view.
class OGLPP : public DemoView
{
    Q_OBJECT

public:
    explicit OGLPP(QWidget *parent);
    ~OGLPP() override;

    void setupOpenCl() override;
    bool isReady() const override;
    void animate() override;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void releaseObjects() override;

private:
    void runKernel();

    GlEntryPoints glFuncs = {};
    int imageWidth = 0;
    int imageHeight = 0;
    cl_mem sceneImage = nullptr;
    cl_mem resultImage = nullptr;
    GLuint sceneBuffer = 0;
    GLuint resultBuffer = 0;
    GLuint resultTexture = 0;
    GLUquadric *quadric = nullptr;
};

#endif
