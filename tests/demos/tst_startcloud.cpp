#include "startcloud.h"

#include <QtTest>

#include <cstdint>
#include <vector>

// The start state of the N-body view: the program's own generator of draws
// and the cloud made from them.
class StartCloudTest : public QObject
{
    Q_OBJECT

private slots:
    // Runs first: nothing else in this program has drawn from the process
    // generator yet.
    void processGeneratorStartsFromSeedOne();

    void drawsFollowTheClassicSequence();
    void drawsStayInZeroTo32767();
    void firstCloudIsTheReferenceCloud();
    void cloudStaysInsideItsBounds();
    void consecutiveStartsGiveDifferentClouds();

private:
    struct Cloud
    {
        std::vector<cl_float4> pos = std::vector<cl_float4>(BODIES);
        std::vector<cl_float4> vel = std::vector<cl_float4>(BODIES);
    };
    static Cloud generated(StartRandom &random)
    {
        Cloud cloud;
        generateStartCloud(random, cloud.pos.data(), cloud.vel.data(), BODIES);
        return cloud;
    }
    static const int BODIES = 1024;
};

namespace {

// The reference generator, written out independently: 32-bit state kept in
// 64-bit arithmetic and reduced explicitly.
class Reference
{
public:
    int next()
    {
        x = (x * 214013u + 2531011u) % 4294967296u;
        return int((x / 65536u) % 32768u);
    }

private:
    std::uint64_t x = 1;
};

float value(Reference &reference, double near, double far)
{
    const double d1 = reference.next();
    const double d2 = reference.next();
    return float((1.0 - d1 / 32767.0) * near + (d2 / 32767.0) * far);
}

} // namespace

void StartCloudTest::processGeneratorStartsFromSeedOne()
{
    StartRandom &process = StartRandom::process();
    QCOMPARE(&process, &StartRandom::process());
    Reference reference;
    for (int i = 0; i < 100; ++i)
        QCOMPARE(process.next(), reference.next());
}

void StartCloudTest::drawsFollowTheClassicSequence()
{
    // The well-known first draws of this generator from seed 1.
    const int known[] = { 41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464 };
    StartRandom random;
    for (int expected : known)
        QCOMPARE(random.next(), expected);

    StartRandom seeded(1);
    Reference reference;
    for (int i = 0; i < 100000; ++i)
        QCOMPARE(seeded.next(), reference.next());
}

void StartCloudTest::drawsStayInZeroTo32767()
{
    StartRandom random(12345);
    int lowest = 32767, highest = 0;
    for (int i = 0; i < 200000; ++i) {
        const int d = random.next();
        lowest = qMin(lowest, d);
        highest = qMax(highest, d);
    }
    QCOMPARE(lowest, 0);
    QCOMPARE(highest, 32767);
}

void StartCloudTest::firstCloudIsTheReferenceCloud()
{
    StartRandom random(1);
    const Cloud cloud = generated(random);
    Reference reference;
    for (int i = 0; i < BODIES; ++i) {
        // x, y, z, then the mass: two draws each, in this order.
        QCOMPARE(cloud.pos[i].s[0], value(reference, 3.0, 50.0));
        QCOMPARE(cloud.pos[i].s[1], value(reference, 3.0, 50.0));
        QCOMPARE(cloud.pos[i].s[2], value(reference, 3.0, 50.0));
        QCOMPARE(cloud.pos[i].s[3], value(reference, 1.0, 1000.0));
    }
    // Eight draws per body: the generator has moved on by exactly 8192.
    QCOMPARE(random.next(), reference.next());
}

void StartCloudTest::cloudStaysInsideItsBounds()
{
    StartRandom random(1);
    for (int start = 0; start < 4; ++start) {
        const Cloud cloud = generated(random);
        for (int i = 0; i < BODIES; ++i) {
            for (int c = 0; c < 3; ++c) {
                QVERIFY(cloud.pos[i].s[c] >= 0.0f);
                QVERIFY(cloud.pos[i].s[c] <= 53.0f);
            }
            QVERIFY(cloud.pos[i].s[3] >= 0.0f);
            QVERIFY(cloud.pos[i].s[3] <= 1001.0f);
            for (int c = 0; c < 4; ++c)
                QCOMPARE(cloud.vel[i].s[c], 0.0f);
        }
    }
}

void StartCloudTest::consecutiveStartsGiveDifferentClouds()
{
    StartRandom random(1);
    const Cloud first = generated(random);
    const Cloud second = generated(random);
    int same = 0;
    for (int i = 0; i < BODIES; ++i)
        same += first.pos[i].s[0] == second.pos[i].s[0] ? 1 : 0;
    QVERIFY(same < 10);
}

QTEST_APPLESS_MAIN(StartCloudTest)
#include "tst_startcloud.moc"
