#ifndef OGLNBODY_H
#define OGLNBODY_H

#include "demoview.h"

// Third tab: 1024 point masses under mutual gravity, advanced every frame
// by the kernel nbody_sim and drawn as additive orange points.
class oglnbody : public DemoView
{
    Q_OBJECT

public:
    explicit oglnbody(QWidget *parent);
    ~oglnbody() override;

    void setupOpenCl() override;
    bool isReady() const override;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void releaseObjects() override;

private:
    void runKernel();

    int numBodies = 1024;
    cl_float4 *initialPositions = nullptr;
    cl_float4 *initialVelocities = nullptr;
    cl_float4 *positions = nullptr;
    cl_float4 *velocities = nullptr;
    float deltaTime = 0.005f;
    float epsSqr = 50.0f;
    cl_mem posBuffer = nullptr;
    cl_mem velBuffer = nullptr;
};

#endif
