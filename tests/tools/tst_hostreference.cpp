#include "glowfilter.h"
#include "hostreference.h"

#include <QtTest>

#include <random>

// The benchmark prints how far each kernel lies from its host reference
// without judging it, so a wrong reference would go unseen. The glow's is
// the one with index arithmetic of its own (prefix sums of edge-padded rows,
// per-task row ranges); it is held to the direct filter with the view's
// parameters.
class HostReferenceTest : public QObject
{
    Q_OBJECT

private slots:
    void glowMatchesTheDirectFilter_data();
    void glowMatchesTheDirectFilter();
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
    HostReference::glow(in.pixels.constData(), out.data(), in.width, in.height, 4, 0.8f, 4.0f);
    QCOMPARE(out.toList(), GlowFilter::filtered(in).pixels.toList());
}

QTEST_APPLESS_MAIN(HostReferenceTest)
#include "tst_hostreference.moc"
