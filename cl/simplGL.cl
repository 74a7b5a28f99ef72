/*
 * sine_wave: positions of a width x height grid of points forming a
 * travelling sine-wave surface. One work-item per grid point; the global
 * size must equal the grid size.
 */
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

    float w = sin(u * freq + time) * cos(v * freq + time) * 0.5f;

    pos[y * width + x] = (float4)(u, w, v, 1.0f);
}
