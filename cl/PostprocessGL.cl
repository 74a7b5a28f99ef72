/*
 * postprocess: glow filter. Each pixel becomes the average of a disc of
 * the given radius around it, where samples brighter than the threshold
 * count highlight times. Pixels are 32-bit words; the three low bytes are
 * colour channels that keep their byte positions, the alpha byte becomes 0.
 * Each work-group caches its block and a border of radius pixels in sdata.
 *
 * Why it is shaped this way:
 * - The brightness test is made once per cached pixel, not once per
 *   sample: the tile keeps the three channels and replaces the alpha byte
 *   with 0xff for a bright pixel, 0 otherwise. The samples are then summed
 *   as integers, two channels per word (49 samples of at most 255 fit in
 *   16 bits), and the highlight is applied once to the sum of the bright
 *   samples. With integer channel values the sums are exact.
 * - Radius 4, the view's, has its disc unrolled; other radii take a general
 *   loop after a second barrier. Keeping the two apart, with no loop and no
 *   value carried over a barrier in the unrolled part, lets a CPU compiler
 *   run the unrolled part for many work-items at once in vector lanes.
 * - The average adds half a sample before dividing: for integer sums the
 *   truncated quotient is unchanged, and a fast division can no longer
 *   drop an exact quotient to the integer below.
 */

uint fetchPixel(__global const uint *img, int x, int y, int w, int h)
{
    x = clamp(x, 0, w - 1);
    y = clamp(y, 0, h - 1);
    return img[y * w + x];
}

uint markBright(uint p, float threshold)
{
    const uint channelSum = (p & 0xff) + ((p >> 8) & 0xff) + ((p >> 16) & 0xff);
    const float luminance = (float) channelSum * 0.001307189542f;
    return (p & 0xffffff) | (luminance > threshold ? 0xff000000u : 0u);
}

#define CACHE(cell, px, py) \
    sdata[cell] = markBright(fetchPixel(g_data, px, py, imgw, imgh), threshold)

void loadTile(__global const uint *g_data, int imgw, int imgh, int tilew, int radius,
              float threshold, __local uint *sdata)
{
    const int tx = get_local_id(0);
    const int ty = get_local_id(1);
    const int bw = get_local_size(0);
    const int bh = get_local_size(1);
    const int x = get_global_id(0);
    const int y = get_global_id(1);

    CACHE((radius + ty) * tilew + radius + tx, x, y);
    if (tx < radius) {
        CACHE((radius + ty) * tilew + tx, x - radius, y);
        CACHE((radius + ty) * tilew + radius + bw + tx, x + bw, y);
    }
    if (ty < radius) {
        CACHE(ty * tilew + radius + tx, x, y - radius);
        CACHE((radius + bh + ty) * tilew + radius + tx, x, y + bh);
    }
    if (tx < radius && ty < radius) {
        CACHE(ty * tilew + tx, x - radius, y - radius);
        CACHE((radius + bh + ty) * tilew + tx, x - radius, y + bh);
        CACHE(ty * tilew + radius + bw + tx, x + bw, y - radius);
        CACHE((radius + bh + ty) * tilew + radius + bw + tx, x + bw, y + bh);
    }
}

void writeAverage(__global uint *g_odata, int imgw, int imgh,
                  float sum0, float sum1, float sum2, float samples)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= imgw || y >= imgh)
        return;
    const float scale = 1.0f / samples;
    const uint c0 = (uint) clamp((sum0 + 0.5f) * scale, 0.0f, 255.0f);
    const uint c1 = (uint) clamp((sum1 + 0.5f) * scale, 0.0f, 255.0f);
    const uint c2 = (uint) clamp((sum2 + 0.5f) * scale, 0.0f, 255.0f);
    g_odata[y * imgw + x] = c2 * 65536 + c1 * 256 + c0;
}

/* Adds the cached pixel at offset from the centre: channels 0 and 2 in the
   two halves of one word, channel 1 alone, and the same again for bright
   pixels only (the alpha byte, 0xff or 0, widened to a mask). */
#define SAMPLE(offset)                                      \
    {                                                       \
        const uint cell = centre[(offset) * unrolled];      \
        const uint pair = cell & 0x00ff00ffu;               \
        const uint middle = (cell >> 8) & 0xffu;            \
        const uint bright = (uint) ((int) cell >> 31);      \
        all02 += pair;                                      \
        all1 += middle;                                     \
        bright02 += pair & bright;                          \
        bright1 += middle & bright;                         \
    }
/* Column by column: neighbouring cells of one row would invite a CPU
   compiler to pack them into one work-item's vector, which stops it from
   packing work-items instead. t is the tile's row length. */
#define COLUMN1(dx) SAMPLE(dx)
#define COLUMN5(dx) SAMPLE(dx - 2 * t) SAMPLE(dx - t) SAMPLE(dx) SAMPLE(dx + t) SAMPLE(dx + 2 * t)
#define COLUMN7(dx) COLUMN5(dx) SAMPLE(dx - 3 * t) SAMPLE(dx + 3 * t)
#define COLUMN9(dx) COLUMN7(dx) SAMPLE(dx - 4 * t) SAMPLE(dx + 4 * t)

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
    loadTile(g_data, imgw, imgh, tilew, radius, threshold, sdata);
    barrier(CLK_LOCAL_MEM_FENCE);

    /* The disc of radius 4: columns of 1, 5, 7, 7, 9, 7, 7, 5 and 1 samples.
       For another radius every read stays on the work-item's own cell and
       nothing is written. The ids are asked for again after the barrier. */
    {
        const int unrolled = radius == 4;
        const int t = tilew;
        __local const uint *centre =
            sdata + (radius + (int) get_local_id(1)) * tilew + radius + (int) get_local_id(0);
        uint all02 = 0, all1 = 0, bright02 = 0, bright1 = 0;
        COLUMN1(-4) COLUMN5(-3) COLUMN7(-2) COLUMN7(-1) COLUMN9(0)
        COLUMN7(1) COLUMN7(2) COLUMN5(3) COLUMN1(4)
        const float extra = highlight - 1.0f;
        if (unrolled)
            writeAverage(g_odata, imgw, imgh,
                         (float) (all02 & 0xffff) + extra * (float) (bright02 & 0xffff),
                         (float) all1 + extra * (float) bright1,
                         (float) (all02 >> 16) + extra * (float) (bright02 >> 16), 49.0f);
    }

    barrier(CLK_LOCAL_MEM_FENCE);

    if (radius != 4) {
        const int tx = get_local_id(0);
        const int ty = get_local_id(1);
        float sum0 = 0.0f, sum1 = 0.0f, sum2 = 0.0f, samples = 0.0f;
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx) {
                if (dx * dx + dy * dy > radius * radius)
                    continue;
                const uint cell = sdata[(radius + ty + dy) * tilew + radius + tx + dx];
                const float weight = (int) cell < 0 ? highlight : 1.0f;
                sum0 += (float) (cell & 0xff) * weight;
                sum1 += (float) ((cell >> 8) & 0xff) * weight;
                sum2 += (float) ((cell >> 16) & 0xff) * weight;
                samples += 1.0f;
            }
        }
        writeAverage(g_odata, imgw, imgh, sum0, sum1, sum2, samples);
    }
}
