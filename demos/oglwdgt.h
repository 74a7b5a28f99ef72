#ifndef OGLWDGT_H
#define OGLWDGT_H

#include "demoview.h"
#include "glentrypoints.h"

// First tab: a 256 x 256 grid of points forming a travelling sine-wave
// surface, computed every frame by the kernel sine_wave.
class OGLWdgt : public DemoView
{
    Q_OBJECT

public:
    explicit OGLWdgt(QWidget *parent);
    ~OGLWdgt() override;

    void setupOpenCl() override;
    bool isReady() const override;
    void animate() override;

    float animTime = 0.0f;
    float timeStep = 0.03f;
    float freq = 4.0f;
    bool running = false;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void releaseObjects() override;

private:
    void runKernel();

    GlEntryPoints glFuncs = {};
    cl_uint meshWidth = 256;
    cl_uint meshHeight = 256;
    cl_mem posBuffer = nullptr;
    GLuint vbo = 0;
};

#endif
