#include "glowfilter.h"
#include "hostreference.h"
#include "threadpool.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <vector>

// The benchmark prints how far each kernel lies from its host reference
// without judging it, so a wrong reference would go unseen but for these
// checks against direct arithmetic, with the views' parameters.
class HostReferenceTest : public QObject
{
    Q_OBJECT

private slots:
    void glowMatchesTheDirectFilter_data();
    void glowMatchesTheDirectFilter();
    void nbodyStepMatchesDoubleIntegration();
};

void HostReferenceTest::glowMatchesTheDirectFilter_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("37 x 23") << QSize(37, 23);
    QTest::newRow("1 x 1") << QSize(1, 1);
    QTest::newRow("3 x 50, narrower than the disc") << QSize(3, 50);
    QTest::newRow("17 x 1") << QSize(17, 1);
}

void HostReferenceTest::glowMatchesTheDirectFilter()
{
    QFETCH(QSize, size);
    GlowFilter::Image in{ size.width(), size.height(), QVector<quint32>(size.width() * size.height()) };
    std::mt19937 noise{ quint32(in.pixels.size()) };
    for (quint32 &p : in.pixels) {
        // Plenty of samples on both sides of the brightness threshold.
        if (((p = noise()) >> 24) < 64)
            p |= 0xe0e0e0;
    }
    QVector<quint32> out(in.pixels.size(), 0xdeadbeef);
    ThreadPool pool(2);
    postprocessReference(in.pixels.constData(), out.data(), in.width, in.height, 4, 0.8f, 4.0f, pool);
    QCOMPARE(out.toList(), GlowFilter::filtered(in).pixels.toList());
}

void HostReferenceTest::nbodyStepMatchesDoubleIntegration()
{
    const int bodies = 300;
    const double dt = 0.005;
    std::mt19937 generator(1);
    std::uniform_real_distribution<float> coordinate(0, 53), mass(0, 1001), speed(-3, 3);
    std::vector<Float4> pos(bodies), vel(bodies), newPos(bodies), newVel(bodies);
    for (int i = 0; i < bodies; ++i) {
        pos[i] = { coordinate(generator), coordinate(generator), coordinate(generator), mass(generator) };
        vel[i] = { speed(generator), speed(generator), speed(generator), 0 };
    }
    ThreadPool pool(2);
    nbodyReference(pos.data(), vel.data(), newPos.data(), newVel.data(), bodies, float(dt), 50.0f, pool);

    double largest = 0, accelerationError = 0, positionError = 0;
    for (int i = 0; i < bodies; ++i) {
        double a[3] = { 0, 0, 0 };
        for (int j = 0; j < bodies; ++j) {
            const double r[3] = { pos[j].x - pos[i].x, pos[j].y - pos[i].y, pos[j].z - pos[i].z };
            const double d2 = r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + 50.0;
            for (int k = 0; k < 3; ++k)
                a[k] += pos[j].w / (d2 * std::sqrt(d2)) * r[k];
        }
        const float *p = &pos[i].x, *v = &vel[i].x, *np = &newPos[i].x, *nv = &newVel[i].x;
        for (int k = 0; k < 3; ++k) {
            largest = std::max(largest, std::fabs(a[k]));
            accelerationError = std::max(accelerationError, std::fabs((nv[k] - v[k]) / dt - a[k]));
            positionError = std::max(positionError, std::fabs(np[k] - (p[k] + v[k] * dt + a[k] * 0.5 * dt * dt)));
        }
        QCOMPARE(newPos[i].w, pos[i].w);
    }
    QVERIFY(largest > 1.0);
    // Fast square roots and float sums; coordinates near 50 carry their
    // own single-precision rounding.
    QVERIFY2(accelerationError < 1e-4 * largest + 1e-3
                 && positionError < 53.0 * 4e-7 + 1e-4 * largest * 0.5 * dt * dt,
             qPrintable(QString("acceleration off by %1 of %2, position by %3")
                            .arg(accelerationError).arg(largest).arg(positionError)));
}

QTEST_APPLESS_MAIN(HostReferenceTest)
#include "tst_hostreference.moc"
