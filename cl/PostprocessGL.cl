/*
 * postprocess: glow filter. Each pixel becomes the average of the disc of
 * the given radius around it, where samples brighter than the threshold
 * count highlight times. Pixels are 32-bit words; the three low bytes are
 * colour channels that keep their byte positions, the alpha byte becomes 0.
 *
 * Each work-item makes a run of W neighbouring pixels of one row, in vector
 * lanes; a work-group of lx x ly work-items makes a block W * lx pixels wide
 * and ly rows tall, and stages that block with a border of R pixels in local
 * memory. The staged rows are whole runs: the block's and as many more as
 * hold the border on both sides (BORDER_RUNS). The host passes their length,
 * tilew = W * (lx + BORDER_RUNS).
 *
 * Two shapes of the same arithmetic, chosen by the build options:
 * - The GPU shape (KORVANE_SHAPE_GPU defined) makes one pixel a work-item
 *   (W = 1): a GPU runs work-items in SIMD lanes already, and what it needs
 *   is few registers a work-item, so that many waves stay resident to hide
 *   the latency of memory and of each other's instructions.
 * - The CPU shape makes runs of W = 16 pixels a work-item.
 *
 * Why the CPU shape is shaped this way:
 * - Explicit vectors, not one pixel per work-item: a CPU driver runs a
 *   work-group as loops over its work-items, and whether it manages to put
 *   work-items in vector lanes depends on details of the source that are
 *   hard to keep (a loop, a branch or a pointer that lives across a barrier
 *   is enough to lose it, and with it most of the speed). Vector types are
 *   vectors on every driver.
 * - Runs of 16 pixels rather than 8: what a run costs besides its vector
 *   work (index arithmetic, the driver's loop over work-items) is shared by
 *   twice the pixels, and the kernel takes a fifth to a half less time.
 * - Runs are read and written as a member of a word-aligned packed struct,
 *   not with vload16 and vstore16, which a CPU driver breaks into pieces of
 *   two words: the struct access is one unaligned vector access, and it
 *   takes the kernel's time down by a third. The struct tells a GPU
 *   compiler no more than that words are word-aligned.
 *
 * Why both shapes compute this way:
 * - Each staged pixel is weighted once: channels 0 and 2 in the two halves
 *   of one word, channel 1 in another, each multiplied by highlight when the
 *   pixel is bright. Sums of weighted channels are then plain integer sums:
 *   exact, and a disc's sum (at most 49 * 255 * 5) still fits 16 bits, so the
 *   two halves of a word never carry into each other. Sums of several words
 *   may wrap on the way, but only the final sum is split, and it fits.
 * - The disc of radius 4 is a 7 x 7 square less its four corners, plus the
 *   four tips at distance 4. The second stage adds every staged column over
 *   seven rows once; each output pixel then adds seven of those column sums,
 *   four tips and takes off four corners: 15 reads instead of 49. On a CPU
 *   driver that halves the kernel's time, the extra stage and barrier
 *   included.
 * - The brightness test keeps the float comparison of the plain filter, made
 *   once per launch to find the largest channel sum that is not bright; the
 *   per-pixel test is then an integer comparison.
 * - The average adds half a sample before multiplying by 1/49: for integer
 *   sums the truncated quotient is unchanged, and the rounded reciprocal can
 *   no longer drop an exact quotient to the integer below.
 * - Another radius, a highlight that is not a whole number from 0 to 5, or a
 *   tilew that does not match the work-group takes a plain loop over the disc
 *   from global memory with clamped coordinates: correct for any launch,
 *   slow, and it never touches local memory whose size it cannot know.
 */

#define R 4

#ifdef KORVANE_SHAPE_GPU
#define W 1
typedef uint Words;
typedef int Ints;
typedef float Floats;

Words toWords(Floats f) { return convert_uint(f); }
Floats toFloats(Words u) { return convert_float(u); }
Ints asInts(Words u) { return as_int(u); }
Ints laneOffsets(void) { return 0; }
Words gather(__global const uint *row, Ints xs) { return row[xs]; }
void storeFirst(__global uint *out, int count, Words run)
{
    if (count > 0)
        out[0] = run;
}
#else
#define W 16
typedef uint16 Words;
typedef int16 Ints;
typedef float16 Floats;

Words toWords(Floats f) { return convert_uint16(f); }
Floats toFloats(Words u) { return convert_float16(u); }
Ints asInts(Words u) { return as_int16(u); }
Ints laneOffsets(void) { return (int16) (0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15); }
Words gather(__global const uint *row, Ints xs)
{
    return (uint16) (row[xs.s0], row[xs.s1], row[xs.s2], row[xs.s3], row[xs.s4], row[xs.s5],
                     row[xs.s6], row[xs.s7], row[xs.s8], row[xs.s9], row[xs.sa], row[xs.sb],
                     row[xs.sc], row[xs.sd], row[xs.se], row[xs.sf]);
}
void storeFirst(__global uint *out, int count, Words run)
{
    const uint r[W] = { run.s0, run.s1, run.s2, run.s3, run.s4, run.s5, run.s6, run.s7,
                        run.s8, run.s9, run.sa, run.sb, run.sc, run.sd, run.se, run.sf };
    for (int i = 0; i < count; ++i)
        out[i] = r[i];
}
#endif

#define BORDER_RUNS ((2 * R + W - 1) / W)

/* W neighbouring words, at any word boundary. */
typedef struct __attribute__((packed, aligned(4))) {
    Words v;
} Run;

int largestDullSum(float threshold)
{
    int s = clamp((int) floor(threshold * 765.0f), -1, 765);
    if (s >= 0 && (float) s * 0.001307189542f > threshold)
        --s;
    if (s < 765 && !((float) (s + 1) * 0.001307189542f > threshold))
        ++s;
    return s;
}

Words average(Floats sum0, Floats sum1, Floats sum2, float scale)
{
    const Words c0 = toWords(clamp((sum0 + 0.5f) * scale, 0.0f, 255.0f));
    const Words c1 = toWords(clamp((sum1 + 0.5f) * scale, 0.0f, 255.0f));
    const Words c2 = toWords(clamp((sum2 + 0.5f) * scale, 0.0f, 255.0f));
    return c2 << 16 | c1 << 8 | c0;
}

/* W pixels of one row from x on, clamped to the image: a straight read
   unless the run crosses an edge. */
Words fetchRun(__global const uint *row, int x, int w)
{
    if (x >= 0 && x + W <= w)
        return ((__global const Run *) (row + x))->v;
    return gather(row, clamp((Ints) (x) + laneOffsets(), 0, w - 1));
}

#define STAGE(p, r, c) \
    { \
        const Words pair = (p) & 0x00ff00ffu; \
        const Words middle = ((p) >> 8) & 0xffu; \
        const Ints sum = asInts((pair & 0xffffu) + (pair >> 16) + middle); \
        const Words m = select((Words) 1u, weight, sum > (Ints) dull); \
        ((__local Run *) (pixels02 + (r) * tw + (c)))->v = pair * m; \
        ((__local Run *) (pixels1 + (r) * tw + (c)))->v = middle * m; \
    }
#define RUN(t, o) (((__local const Run *) ((t) + (o)))->v)

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
    const int lx = get_local_size(0), ly = get_local_size(1);
    const int runsPerRow = lx + BORDER_RUNS;
    const int staged = radius == R && tilew == W * runsPerRow && highlight >= 0.0f
                       && highlight <= 5.0f && highlight == floor(highlight);
    /* Weighted pixels (two words each), then their seven-row column sums. */
    const int tw = W * runsPerRow, th = ly + 2 * R;
    __local uint *pixels02 = sdata;
    __local uint *pixels1 = pixels02 + tw * th;
    __local uint *columns02 = pixels1 + tw * th;
    __local uint *columns1 = columns02 + tw * ly;
    const int lid = get_local_id(1) * lx + get_local_id(0);
    const int items = lx * ly;

    if (staged) {
        const int x0 = get_group_id(0) * W * lx - R, y0 = get_group_id(1) * ly - R;
        const int dull = largestDullSum(threshold);
        const Words weight = (Words) ((uint) highlight);
        /* Two reads from global memory in flight per work-item: the stage
           waits mostly on them. The second one, past the end, reads the
           last run again and stores nothing. */
        for (int k = lid; k < runsPerRow * th; k += 2 * items) {
            const int k2 = min(k + items, runsPerRow * th - 1);
            const int r = k / runsPerRow, c = (k - r * runsPerRow) * W;
            const int r2 = k2 / runsPerRow, c2 = (k2 - r2 * runsPerRow) * W;
            const Words p = fetchRun(g_data + clamp(y0 + r, 0, imgh - 1) * imgw, x0 + c, imgw);
            const Words p2 = fetchRun(g_data + clamp(y0 + r2, 0, imgh - 1) * imgw, x0 + c2, imgw);
            STAGE(p, r, c)
            if (k + items < runsPerRow * th)
                STAGE(p2, r2, c2)
        }
    }
    barrier(CLK_LOCAL_MEM_FENCE);

    if (staged) {
        for (int k = lid; k < runsPerRow * ly; k += items) {
            const int r = k / runsPerRow, c = (k - r * runsPerRow) * W;
            const int o = r * tw + c;
            ((__local Run *) (columns02 + o))->v = (RUN(pixels02, o + tw) + RUN(pixels02, o + 2 * tw) + RUN(pixels02, o + 3 * tw)
                        + RUN(pixels02, o + 4 * tw) + RUN(pixels02, o + 5 * tw)
                        + RUN(pixels02, o + 6 * tw) + RUN(pixels02, o + 7 * tw));
            ((__local Run *) (columns1 + o))->v = (RUN(pixels1, o + tw) + RUN(pixels1, o + 2 * tw) + RUN(pixels1, o + 3 * tw)
                        + RUN(pixels1, o + 4 * tw) + RUN(pixels1, o + 5 * tw)
                        + RUN(pixels1, o + 6 * tw) + RUN(pixels1, o + 7 * tw));
        }
    }
    barrier(CLK_LOCAL_MEM_FENCE);

    const int x = get_global_id(0) * W, y = get_global_id(1);
    if (x >= imgw || y >= imgh)
        return;
    Words result;
    if (staged) {
        /* o: this run's first pixel in the column sums; the same offset in
           the staged pixels is the top of its disc, R rows up. */
        const int o = get_local_id(1) * tw + get_local_id(0) * W + R;
        Words s02 = RUN(columns02, o - 3) + RUN(columns02, o - 2) + RUN(columns02, o - 1)
                    + RUN(columns02, o) + RUN(columns02, o + 1) + RUN(columns02, o + 2)
                    + RUN(columns02, o + 3);
        Words s1 = RUN(columns1, o - 3) + RUN(columns1, o - 2) + RUN(columns1, o - 1)
                   + RUN(columns1, o) + RUN(columns1, o + 1) + RUN(columns1, o + 2)
                   + RUN(columns1, o + 3);
        s02 += RUN(pixels02, o) + RUN(pixels02, o + 8 * tw) + RUN(pixels02, o + 4 * tw - 4)
               + RUN(pixels02, o + 4 * tw + 4);
        s1 += RUN(pixels1, o) + RUN(pixels1, o + 8 * tw) + RUN(pixels1, o + 4 * tw - 4)
              + RUN(pixels1, o + 4 * tw + 4);
        s02 -= RUN(pixels02, o + tw - 3) + RUN(pixels02, o + tw + 3)
               + RUN(pixels02, o + 7 * tw - 3) + RUN(pixels02, o + 7 * tw + 3);
        s1 -= RUN(pixels1, o + tw - 3) + RUN(pixels1, o + tw + 3)
              + RUN(pixels1, o + 7 * tw - 3) + RUN(pixels1, o + 7 * tw + 3);
        result = average(toFloats(s02 & 0xffffu), toFloats(s1), toFloats(s02 >> 16), 1.0f / 49.0f);
    } else {
        Floats sum0 = 0.0f, sum1 = 0.0f, sum2 = 0.0f;
        float samples = 0.0f;
        for (int dy = -radius; dy <= radius; ++dy) {
            __global const uint *row = g_data + clamp(y + dy, 0, imgh - 1) * imgw;
            for (int dx = -radius; dx <= radius; ++dx) {
                if (dx * dx + dy * dy > radius * radius)
                    continue;
                const Words p = fetchRun(row, x + dx, imgw);
                const Floats c0 = toFloats(p & 0xffu);
                const Floats c1 = toFloats((p >> 8) & 0xffu);
                const Floats c2 = toFloats((p >> 16) & 0xffu);
                const Floats w = select((Floats) 1.0f, (Floats) highlight,
                                        (c0 + c1 + c2) * 0.001307189542f > threshold);
                sum0 += c0 * w;
                sum1 += c1 * w;
                sum2 += c2 * w;
                samples += 1.0f;
            }
        }
        result = average(sum0, sum1, sum2, 1.0f / samples);
    }

    __global uint *out = g_odata + y * imgw;
    if (x + W <= imgw) {
        ((__global Run *) (out + x))->v = result;
    } else {
        /* The last run of a row that is not a multiple of W: the words past
           the image belong to someone else. */
        storeFirst(out + x, imgw - x, result);
    }
}
