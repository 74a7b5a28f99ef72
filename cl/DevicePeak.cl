/*
 * The device's own yardsticks, which korvane-bench sets its kernels'
 * figures against.
 *
 * fma_peak: eight independent chains of multiply-adds on float16 vectors
 * per work-item, so that every arithmetic pipeline has work whatever its
 * latency and nothing but arithmetic runs inside the loop. Vectors, because
 * a CPU driver does not spread a work-item loop that holds a loop of its
 * own over its vector lanes; a GPU runs the lanes as plain scalar work.
 * The sum is stored so that no chain can be left out. Each iteration is
 * 8 x 16 x 2 = 256 floating-point operations.
 *
 * stream_copy: one float4 read and one written per work-item.
 */

__kernel void fma_peak(__global float *out, int iterations, float b, float c)
{
    const float16 x = (float16)((float) get_global_id(0) * 1e-9f)
                    + (float16)(0.0f, 0.01f, 0.02f, 0.03f, 0.04f, 0.05f, 0.06f, 0.07f,
                                0.08f, 0.09f, 0.10f, 0.11f, 0.12f, 0.13f, 0.14f, 0.15f);
    float16 a0 = x, a1 = x + 0.1f, a2 = x + 0.2f, a3 = x + 0.3f;
    float16 a4 = x + 0.4f, a5 = x + 0.5f, a6 = x + 0.6f, a7 = x + 0.7f;
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
    const float16 sum = ((a0 + a1) + (a2 + a3)) + ((a4 + a5) + (a6 + a7));
    const float8 s8 = sum.lo + sum.hi;
    const float4 s4 = s8.lo + s8.hi;
    out[get_global_id(0)] = (s4.x + s4.y) + (s4.z + s4.w);
}

__kernel void stream_copy(__global const float4 *in, __global float4 *out)
{
    out[get_global_id(0)] = in[get_global_id(0)];
}
