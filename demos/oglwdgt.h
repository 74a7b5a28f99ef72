#ifndef OGLWDGT_H
#define OGLWDGT_H

#include "demoview.h"
#include "glentrypoints.h"
#include "sinewavework.h"

// First tab: a 256 x 256 grid of points forming a travelling sine-wave
// surface, computed every frame by the kernel sine_wave and copied straight
// into a GL vertex buffer.
class OGLWdgt : public DemoView
{
    Q_OBJECT

public:
    explicit OGLWdgt(QWidget *parent);
    ~OGLWdgt() override;

    bool isReady() const override;
    void animate() override;

    float animTime = 0.0f;
    float timeStep = SineWaveWork::timeStep;
    float freq = SineWaveWork::frequency;

protected:
    void start() override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void releaseObjects() override;

private:
    void runKernel();
    bool createVertexBuffer();
    size_t meshBytes() const { return SineWaveWork::meshBytes(meshWidth, meshHeight); }

    GlEntryPoints glFuncs = {};
    cl_uint meshWidth = SineWaveWork::meshWidth;
    cl_uint meshHeight = SineWaveWork::meshHeight;
    cl_mem posBuffer = nullptr;
    GLuint vbo = 0;
};

#endif
