#include "startcloud.h"

StartRandom &StartRandom::process()
{
    static StartRandom random(1);
    return random;
}

namespace {

// Two draws, taken in this order, make one value: a small spread of
// `near` plus a wide one of `far`.
float twoDraws(StartRandom &random, double near, double far)
{
    const int first = random.next();
    const int second = random.next();
    return float((1.0 - first / double(StartRandom::MAX_DRAW)) * near
                 + (second / double(StartRandom::MAX_DRAW)) * far);
}

} // namespace

void generateStartCloud(StartRandom &random, cl_float4 *positions, cl_float4 *velocities, int count)
{
    for (int i = 0; i < count; ++i) {
        cl_float4 &p = positions[i];
        p.s[0] = twoDraws(random, 3.0, 50.0);
        p.s[1] = twoDraws(random, 3.0, 50.0);
        p.s[2] = twoDraws(random, 3.0, 50.0);
        p.s[3] = twoDraws(random, 1.0, 1000.0);
        for (int c = 0; c < 4; ++c)
            velocities[i].s[c] = 0.0f;
    }
}
