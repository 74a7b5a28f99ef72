/*
 * nbody_sim: one integration step of numBodies point masses under mutual
 * gravity (G = 1, masses in the w components, softened by epsSqr). One
 * work-item per body. Positions are staged through local memory one tile
 * at a time. The step reads pos/vel and writes newPos/newVel, so its result
 * does not depend on the order in which work-groups run.
 *
 * Two shapes of the same arithmetic, chosen by the build options:
 * - The GPU shape (KORVANE_SHAPE_GPU defined) takes one body of the tile at
 *   a time, kept as float4 records: one local read a body, the same
 *   address in every work-item, which local memory broadcasts. A GPU runs
 *   work-items in SIMD lanes already; what it needs is few registers a
 *   work-item, so that many waves stay resident to hide the latency of
 *   memory and of each other's instructions.
 * - The CPU shape takes LANES = 16 bodies of the tile at a time in vector
 *   lanes. A CPU driver runs a work-group as a loop over its work-items,
 *   and explicit vectors are what keeps its vector units full.
 * The tile holds max(work-group size, LANES) bodies, so that a group
 * smaller than LANES loads several bodies a work-item; numBodies must be a
 * multiple of the tile, and the host passes a tile of that many float4s.
 * The accumulators start each tile holding the sum so far (lanesSumming):
 * four registers fewer in the GPU shape than a separate sum per tile.
 *
 * Why the CPU shape is shaped this way:
 * - The tile is kept as four component arrays (x, y, z, mass) in the same
 *   local buffer, so sixteen bodies at a time load straight into vector
 *   lanes with vload16, with no shuffling of float4 records.
 * - The accumulators are vectors too. They are summed across their lanes
 *   into one float4 at the end of each tile: a CPU driver keeps what lives
 *   across a barrier in memory, one copy a work-item, and a float4 is
 *   cheaper to keep there than four float16s.
 * - Plain a * b + c expressions, not mad(), let the compiler fuse them where
 *   the hardware can (a CPU driver was seen to keep mad() as a separate
 *   multiply and add).
 * - m / (d2 * sqrt(d2)) is m * rsqrt(d2)^3 with one square root, one
 *   multiply and one division, two multiplies fewer. The native_ forms keep
 *   the relaxed-math build from turning it into an estimate refined by
 *   several more multiplies, which was slower on a CPU; a GPU runs them as
 *   its fast hardware instructions.
 * - On x86 without AVX-512, clang warns that float16 values passed to and
 *   from built-ins change the calling convention; they are all inlined, so
 *   the warning only adds noise to the build log.
 */
#pragma clang diagnostic ignored "-Wpsabi"

#ifdef KORVANE_SHAPE_GPU
#define LANES 1
typedef float Lanes;
typedef struct { Lanes x, y, z, m; } Bodies;

void storeBody(__local float4 *tile, unsigned int i, unsigned int tileSize, float4 q)
{
    tile[i] = q;
}

Bodies bodiesAt(__local const float4 *tile, unsigned int j, unsigned int tileSize)
{
    const float4 q = tile[j];
    return (Bodies) { q.x, q.y, q.z, q.w };
}

float sumLanes(Lanes v)
{
    return v;
}

Lanes lanesSumming(float x)
{
    return x;
}
#else
#define LANES 16
typedef float16 Lanes;
typedef struct { Lanes x, y, z, m; } Bodies;

void storeBody(__local float4 *tile, unsigned int i, unsigned int tileSize, float4 q)
{
    __local float *x = (__local float *) tile;
    x[i] = q.x;
    x[tileSize + i] = q.y;
    x[2 * tileSize + i] = q.z;
    x[3 * tileSize + i] = q.w;
}

Bodies bodiesAt(__local const float4 *tile, unsigned int j, unsigned int tileSize)
{
    __local const float *x = (__local const float *) tile + j;
    return (Bodies) { vload16(0, x), vload16(0, x + tileSize), vload16(0, x + 2 * tileSize), vload16(0, x + 3 * tileSize) };
}

float sumLanes(Lanes v)
{
    const float8 s8 = v.lo + v.hi;
    const float4 s4 = s8.lo + s8.hi;
    return s4.x + s4.y + s4.z + s4.w;
}

Lanes lanesSumming(float x)
{
    return (float16)(x, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
}
#endif

__kernel void nbody_sim(__global const float4 *pos,
                        __global const float4 *vel,
                        int numBodies,
                        float deltaTime,
                        float epsSqr,
                        __local float4 *localPos,
                        __global float4 *newPos,
                        __global float4 *newVel)
{
    const unsigned int g = get_global_id(0);
    const unsigned int t = get_local_id(0);
    const unsigned int groupSize = get_local_size(0);
    const unsigned int tileSize = max(groupSize, (unsigned int) LANES);
    const unsigned int numTiles = (unsigned int) numBodies / tileSize;

    const float4 p = pos[g];
    float4 a = (float4)(0.0f, 0.0f, 0.0f, 0.0f);

    for (unsigned int k = 0; k < numTiles; ++k) {
        for (unsigned int i = t; i < tileSize; i += groupSize)
            storeBody(localPos, i, tileSize, pos[k * tileSize + i]);
        barrier(CLK_LOCAL_MEM_FENCE);

        Lanes ax = lanesSumming(a.x), ay = lanesSumming(a.y), az = lanesSumming(a.z), aw = lanesSumming(a.w);
        for (unsigned int j = 0; j < tileSize; j += LANES) {
            const Bodies b = bodiesAt(localPos, j, tileSize);
            const Lanes rx = b.x - p.x;
            const Lanes ry = b.y - p.y;
            const Lanes rz = b.z - p.z;
            const Lanes d2 = rx * rx + ry * ry + rz * rz + epsSqr;
            const Lanes s = native_divide(b.m, d2 * native_sqrt(d2));
            ax += s * rx;
            ay += s * ry;
            az += s * rz;
            aw += s * (b.m - p.w);
        }
        a = (float4)(sumLanes(ax), sumLanes(ay), sumLanes(az), sumLanes(aw));
        barrier(CLK_LOCAL_MEM_FENCE);
    }

    const float4 v = vel[g];
    float4 np = p + v * deltaTime + a * 0.5f * deltaTime * deltaTime;
    np.w = p.w;
    newPos[g] = np;
    newVel[g] = v + a * deltaTime;
}
