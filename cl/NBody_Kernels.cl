/*
 * nbody_sim: one integration step of numBodies point masses under mutual
 * gravity (G = 1, masses in the w components, softened by epsSqr).
 * Positions are staged through local memory one work-group-sized tile at a
 * time. The step reads pos/vel and writes newPos/newVel, so its result does
 * not depend on the order in which work-groups run.
 *
 * Why it is shaped this way:
 * - The tile is kept as four component arrays (x, y, z, mass) in the same
 *   local buffer, so sixteen bodies at a time load straight into vector
 *   lanes with vload16, with no shuffling of float4 records. A GPU reads
 *   the same addresses in every work-item, which its local memory
 *   broadcasts.
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
    const unsigned int tileSize = get_local_size(0);
    const unsigned int numTiles = (unsigned int) numBodies / tileSize;
    __local float *tileX = (__local float *) localPos;
    __local float *tileY = tileX + tileSize;
    __local float *tileZ = tileY + tileSize;
    __local float *tileM = tileZ + tileSize;

    const float4 p = pos[g];
    float4 a = (float4)(0.0f, 0.0f, 0.0f, 0.0f);

    for (unsigned int k = 0; k < numTiles; ++k) {
        const float4 q = pos[k * tileSize + t];
        tileX[t] = q.x;
        tileY[t] = q.y;
        tileZ[t] = q.z;
        tileM[t] = q.w;
        barrier(CLK_LOCAL_MEM_FENCE);

        float16 ax = 0.0f, ay = 0.0f, az = 0.0f, aw = 0.0f;
        unsigned int j = 0;
        for (; j + 16 <= tileSize; j += 16) {
            const float16 m = vload16(0, tileM + j);
            const float16 rx = vload16(0, tileX + j) - p.x;
            const float16 ry = vload16(0, tileY + j) - p.y;
            const float16 rz = vload16(0, tileZ + j) - p.z;
            const float16 d2 = rx * rx + ry * ry + rz * rz + epsSqr;
            const float16 s = native_divide(m, d2 * native_sqrt(d2));
            ax += s * rx;
            ay += s * ry;
            az += s * rz;
            aw += s * (m - p.w);
        }
        /* Work-groups whose size is not a multiple of 16. */
        for (; j < tileSize; ++j) {
            const float4 r = (float4)(tileX[j], tileY[j], tileZ[j], tileM[j]) - p;
            const float d2 = r.x * r.x + r.y * r.y + r.z * r.z + epsSqr;
            a += native_divide(tileM[j], d2 * native_sqrt(d2)) * r;
        }
        const float8 sx = ax.lo + ax.hi, sy = ay.lo + ay.hi, sz = az.lo + az.hi, sw = aw.lo + aw.hi;
        const float4 tx = sx.lo + sx.hi, ty = sy.lo + sy.hi, tz = sz.lo + sz.hi, tw = sw.lo + sw.hi;
        a += (float4)(tx.x + tx.y + tx.z + tx.w, ty.x + ty.y + ty.z + ty.w,
                      tz.x + tz.y + tz.z + tz.w, tw.x + tw.y + tw.z + tw.w);
        barrier(CLK_LOCAL_MEM_FENCE);
    }

    const float4 v = vel[g];
    float4 np = p + v * deltaTime + a * 0.5f * deltaTime * deltaTime;
    np.w = p.w;
    newPos[g] = np;
    newVel[g] = v + a * deltaTime;
}
