/*
 * nbody_sim: one integration step of numBodies point masses under mutual
 * gravity (G = 1, masses in the w components, softened by epsSqr).
 * Positions are staged through local memory one work-group-sized tile at a
 * time. The step reads pos/vel and writes newPos/newVel, so its result does
 * not depend on the order in which work-groups run.
 */
__kernel void nbody_sim(__global const float4 *pos,
                        __global const float4 *vel,
                        int numBodies,
                        float deltaTime,
                        float epsSqr,
                        __local float4 *localPos,
                        __global float4 *newPos,
                        __global float4 *newVel)
{
    unsigned int g = get_global_id(0);
    unsigned int t = get_local_id(0);
    unsigned int tileSize = get_local_size(0);
    unsigned int numTiles = (unsigned int) numBodies / tileSize;

    float4 p = pos[g];
    float4 a = (float4)(0.0f, 0.0f, 0.0f, 0.0f);

    for (unsigned int k = 0; k < numTiles; ++k) {
        localPos[t] = pos[k * tileSize + t];
        barrier(CLK_LOCAL_MEM_FENCE);

        for (unsigned int j = 0; j < tileSize; ++j) {
            float4 r = localPos[j] - p;
            float distSqr = r.x * r.x + r.y * r.y + r.z * r.z;
            float inv = 1.0f / sqrt(distSqr + epsSqr);
            float s = localPos[j].w * inv * inv * inv;
            a += s * r;
        }
        barrier(CLK_LOCAL_MEM_FENCE);
    }

    float4 v = vel[g];
    float4 np = p + v * deltaTime + a * 0.5f * deltaTime * deltaTime;
    np.w = p.w;
    newPos[g] = np;
    newVel[g] = v + a * deltaTime;
}
