/*
 * The device's own yardsticks, which korvane-bench sets its kernels'
 * figures against.
 *
 * fma_peak: eight independent chains of multiply-adds on vectors of
 * PEAK_WIDTH floats per work-item, so that every arithmetic pipeline has
 * work whatever its latency and nothing but arithmetic runs inside the
 * loop. Vectors, because a CPU driver does not spread a work-item loop that
 * holds a loop of its own over its vector lanes; a GPU runs the lanes as
 * plain scalar work. The width comes from the build options: korvane-bench
 * measures 8 and 16 and keeps the faster, since a vector wider than a CPU's
 * registers (16 floats without AVX-512) is split through memory, and one
 * narrower leaves part of each register idle. The lanes start apart, so
 * that no compiler can do one lane's work for all. The sum is stored so
 * that no chain can be left out. Each iteration is 8 x PEAK_WIDTH x 2
 * floating-point operations.
 *
 * stream_copy: one float4 read and one written per work-item.
 */

#ifndef PEAK_WIDTH
#define PEAK_WIDTH 16
#endif
#define JOIN(a, b) a##b
#define WITH_WIDTH(name, width) JOIN(name, width)
typedef WITH_WIDTH(float, PEAK_WIDTH) Vector;

__constant float laneStarts[16] = { 0.0f,  0.01f, 0.02f, 0.03f, 0.04f, 0.05f, 0.06f, 0.07f,
                                    0.08f, 0.09f, 0.10f, 0.11f, 0.12f, 0.13f, 0.14f, 0.15f };

__kernel void fma_peak(__global float *out, int iterations, float b, float c)
{
    const Vector x = (Vector)((float) get_global_id(0) * 1e-9f) + WITH_WIDTH(vload, PEAK_WIDTH)(0, laneStarts);
    Vector a0 = x, a1 = x + 0.1f, a2 = x + 0.2f, a3 = x + 0.3f;
    Vector a4 = x + 0.4f, a5 = x + 0.5f, a6 = x + 0.6f, a7 = x + 0.7f;
    for (int i = 0; i < iterations; ++i) {
        a0 = a0 * b + c;
        a1 = a1 * b + c;
        a2 = a2 * b + c;
        a3 = a3 * b + c;
        a4 = a4 * b + c;
        a5 = a5 * b + c;
        a6 = a6 * b + c;
        a7 = a7 * b + c;
    }
    const Vector sum = ((a0 + a1) + (a2 + a3)) + ((a4 + a5) + (a6 + a7));
    const float *lanes = (const float *) &sum;
    float total = 0.0f;
    for (int i = 0; i < PEAK_WIDTH; ++i)
        total += lanes[i];
    out[get_global_id(0)] = total;
}

__kernel void stream_copy(__global const float4 *in, __global float4 *out)
{
    out[get_global_id(0)] = in[get_global_id(0)];
}
