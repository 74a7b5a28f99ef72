/*
 * sine_wave: positions of a width x height grid of points forming a
 * travelling sine-wave surface. One work-item per grid point; the global
 * size must equal the grid size.
 *
 * The sines are evaluated here with a short polynomial instead of the
 * built-in sin and cos: a CPU driver reduces their arguments one lane at a
 * time, while this form is plain arithmetic that vectorises across
 * work-items and costs a GPU a few fused multiply-adds. It stays within
 * about 1e-7 of the true sine for |x| up to 10000. Results
 * are written as scalars because a float4 store keeps a CPU compiler from
 * vectorising across work-items.
 */

/* sin(r) for |r| <= pi/2: odd polynomial fitted on that interval. */
float sinNear(float r)
{
    const float r2 = r * r;
    return r + r * r2 * (-1.6666657318e-01f + r2 * (8.3330218785e-03f
                       + r2 * (-1.9806902105e-04f + r2 * 2.6006147166e-06f)));
}

/* sin(x + shift * pi) for shift 0 or 0.5, pi split in three parts so that
   subtracting multiples of it loses no bits for moderate x. */
float sinShifted(float x, float shift)
{
    const float k = floor(x * 0.318309886183790672f + shift + 0.5f);
    const float m = k - shift;
    float r = x - m * 3.140625f;
    r = r - m * 9.67502593994140625e-4f;
    r = r - m * 1.509957990978376432e-7f;
    const float s = sinNear(r);
    return ((int) k & 1) ? -s : s;
}

__kernel void sine_wave(__global float4 *pos,
                        unsigned int width,
                        unsigned int height,
                        float time,
                        float freq)
{
    unsigned int x = get_global_id(0);
    unsigned int y = get_global_id(1);

    float u = x / (float) width;
    float v = y / (float) height;
    u = u * 2.0f - 1.0f;
    v = v * 2.0f - 1.0f;

    float w = sinShifted(u * freq + time, 0.0f) * sinShifted(v * freq + time, 0.5f) * 0.5f;

    __global float *p = (__global float *) pos + 4 * (y * width + x);
    p[0] = u;
    p[1] = w;
    p[2] = v;
    p[3] = 1.0f;
}
