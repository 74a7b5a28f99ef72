#ifndef OGLNBODY_H
#define OGLNBODY_H

#include "demoview.h"
#include "nbodywork.h"

// Third tab: 1024 point masses under mutual gravity, advanced every frame
// by the kernel nbody_sim and drawn as additive orange points.
class oglnbody : public DemoView
{
    Q_OBJECT

public:
    explicit oglnbody(QWidget *parent);
    ~oglnbody() override;

    bool isReady() const override;

    // The cloud the current start began from (null when nothing is held).
    const cl_float4 *startPositions() const { return initialPositions; }
    // What the view draws: the positions after its latest step.
    const cl_float4 *drawnPositions() const { return positions; }
    int bodyCount() const { return numBodies; }

protected:
    void start() override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void releaseObjects() override;

private:
    bool allocateArrays();
    bool createBuffers();
    bool setStateArgs();
    void runKernel();
    void drawBodies() const;

    int numBodies = NBodyWork::bodies;
    size_t groupSize = NBodyWork::largestGroup;
    cl_float4 *initialPositions = nullptr;
    cl_float4 *initialVelocities = nullptr;
    cl_float4 *positions = nullptr;
    cl_float4 *velocities = nullptr;
    // Each step reads the state in posBuffer/velBuffer and writes the next
    // one into newPosBuffer/newVelBuffer; the pairs then change places, so
    // posBuffer always holds the newest positions.
    cl_mem posBuffer = nullptr;
    cl_mem velBuffer = nullptr;
    cl_mem newPosBuffer = nullptr;
    cl_mem newVelBuffer = nullptr;
};

#endif
