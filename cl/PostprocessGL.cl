/*
 * postprocess: glow filter. Each pixel becomes the average of a disc of
 * the given radius around it, where samples brighter than the threshold
 * count highlight times. Pixels are 32-bit words; the three low bytes are
 * colour channels that keep their byte positions, the alpha byte becomes 0.
 * Each work-group caches its block and a border of radius pixels in sdata.
 */
uint fetchPixel(__global const uint *img, int x, int y, int w, int h)
{
    x = clamp(x, 0, w - 1);
    y = clamp(y, 0, h - 1);
    return img[y * w + x];
}

__kernel void postprocess(__global const uint *g_data,
                          __global uint *g_odata,
                          int imgw,
                          int imgh,
                          int tilew,
                          int radius,
                          float threshold,
                          float highlight,
                          __local uint *sdata)
{
    const int tx = get_local_id(0);
    const int ty = get_local_id(1);
    const int bw = get_local_size(0);
    const int bh = get_local_size(1);
    const int x = get_global_id(0);
    const int y = get_global_id(1);

    sdata[(radius + ty) * tilew + radius + tx] = fetchPixel(g_data, x, y, imgw, imgh);
    if (tx < radius) {
        sdata[(radius + ty) * tilew + tx] = fetchPixel(g_data, x - radius, y, imgw, imgh);
        sdata[(radius + ty) * tilew + radius + bw + tx] = fetchPixel(g_data, x + bw, y, imgw, imgh);
    }
    if (ty < radius) {
        sdata[ty * tilew + radius + tx] = fetchPixel(g_data, x, y - radius, imgw, imgh);
        sdata[(radius + bh + ty) * tilew + radius + tx] = fetchPixel(g_data, x, y + bh, imgw, imgh);
    }
    if (tx < radius && ty < radius) {
        sdata[ty * tilew + tx] = fetchPixel(g_data, x - radius, y - radius, imgw, imgh);
        sdata[(radius + bh + ty) * tilew + tx] = fetchPixel(g_data, x - radius, y + bh, imgw, imgh);
        sdata[ty * tilew + radius + bw + tx] = fetchPixel(g_data, x + bw, y - radius, imgw, imgh);
        sdata[(radius + bh + ty) * tilew + radius + bw + tx] = fetchPixel(g_data, x + bw, y + bh, imgw, imgh);
    }

    barrier(CLK_LOCAL_MEM_FENCE);

    if (x >= imgw || y >= imgh)
        return;

    float3 sum = (float3)(0.0f, 0.0f, 0.0f);
    float samples = 0.0f;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            if (dx * dx + dy * dy > radius * radius)
                continue;
            uint p = sdata[(radius + ty + dy) * tilew + radius + tx + dx];
            float3 c = (float3)((float)(p & 0xff),
                                (float)((p >> 8) & 0xff),
                                (float)((p >> 16) & 0xff));
            float luminance = (c.x + c.y + c.z) * 0.001307189542f;
            if (luminance > threshold)
                c *= highlight;
            sum += c;
            samples += 1.0f;
        }
    }

    float3 average = clamp(sum / samples, 0.0f, 255.0f);
    uint c0 = (uint) average.x;
    uint c1 = (uint) average.y;
    uint c2 = (uint) average.z;
    g_odata[y * imgw + x] = c2 * 65536 + c1 * 256 + c0;
}
