#include "glowfilterwork.h"
#include "kernelsource.h"
#include "kernelshape.h"
#include "nbodywork.h"
#include "sinewavework.h"

#include <QtTest>

namespace {

const char *const compiler = "clang-15";
const char *const builtins = "/usr/lib/clc/gfx906-amdgcn-mesa-mesa3d.bc";
// Every GPU offers at least this much local memory a work-group.
const int localBytesEverywhere = 32 * 1024;

// What the AMD GPU back end reports for kernelName, by name: "VGPRs",
// "ScratchSize [bytes/lane]", "Occupancy [waves/SIMD]", "VGPRs Spill", "LDS
// Size [bytes/block]" and the rest; empty when it says nothing of it.
QMap<QString, int> resourceUsage(const QString &remarks, const QString &kernelName)
{
    QMap<QString, int> usage;
    const int start = remarks.indexOf("Function Name: " + kernelName + " ");
    if (start < 0)
        return usage;
    const int end = remarks.indexOf("Function Name: ", start + 1);
    const QRegularExpression line("remark: +([^:\\n]+): (\\d+) ");
    for (auto it = line.globalMatch(remarks.mid(start, end < 0 ? -1 : end - start)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        usage[m.captured(1)] = m.captured(2).toInt();
    }
    return usage;
}

} // namespace

// The GPU shape of each kernel as a GPU compiler sees it: built with the
// program's own source and options for an AMD gfx906, whose back end counts
// the registers a work-item needs and so how many waves stay resident.
class GpuShapeTest : public QObject
{
    Q_OBJECT

private slots:
    void gpuShapeKeepsItsWavesResident_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("kernelName");
        QTest::addColumn<int>("mostVgprs");
        QTest::addColumn<int>("leastWaves");
        QTest::addColumn<int>("argumentLocalBytes");   // what the host passes as __local arguments
        QTest::newRow("sine_wave") << SineWaveWork::sourceFile << SineWaveWork::kernelName << 24 << 10 << 0;
        QTest::newRow("nbody_sim") << NBodyWork::sourceFile << NBodyWork::kernelName << 32 << 8
                                   << int(NBodyWork::tileBytes(KernelShape::Gpu, NBodyWork::largestGroup));
        QTest::newRow("postprocess") << GlowFilterWork::sourceFile << GlowFilterWork::kernelName << 32 << 8
                                     << int(GlowFilterWork::gpuLayout.tileBytes());
    }

    void gpuShapeKeepsItsWavesResident()
    {
        QFETCH(QString, source);
        QFETCH(QString, kernelName);
        QFETCH(int, mostVgprs);
        QFETCH(int, leastWaves);
        QFETCH(int, argumentLocalBytes);
        if (QStandardPaths::findExecutable(compiler).isEmpty() || !QFile::exists(builtins))
            QSKIP(qPrintable(QString("skipped: %1 or %2 is missing").arg(compiler, builtins)));
        QByteArray text;
        QVERIFY(readKernelSource(qPrintable(source), text));
        QStringList arguments = { "-x", "cl", "-cl-std=CL1.2", "-target", "amdgcn-mesa-mesa3d", "-mcpu=gfx906",
                                  "-nogpulib", "-O3", "-Xclang", "-finclude-default-header", "-Xclang",
                                  "-mlink-builtin-bitcode", "-Xclang", builtins,
                                  "-Rpass-analysis=kernel-resource-usage", "-c", "-", "-o", "/dev/null" };
        arguments += QString::fromLatin1(kernelBuildOptions(KernelShape::Gpu)).split(' ', Qt::SkipEmptyParts);
        QProcess clang;
        clang.start(compiler, arguments);
        clang.write(text);
        clang.closeWriteChannel();
        QVERIFY(clang.waitForFinished(60000));
        const QString remarks = QString::fromLocal8Bit(clang.readAllStandardError());
        QVERIFY2(clang.exitCode() == 0, qPrintable(remarks));

        const QMap<QString, int> usage = resourceUsage(remarks, kernelName);
        const int localBytes = usage.value("LDS Size [bytes/block]") + argumentLocalBytes;
        const QString figures = QString("%1 VGPRs (at most %2), %3 waves a SIMD (at least %4), %5 bytes of "
                                        "scratch, %6 VGPRs spilled, %7 bytes of local memory (at most %8)")
                                    .arg(usage.value("VGPRs", -1)).arg(mostVgprs)
                                    .arg(usage.value("Occupancy [waves/SIMD]", -1)).arg(leastWaves)
                                    .arg(usage.value("ScratchSize [bytes/lane]", -1))
                                    .arg(usage.value("VGPRs Spill", -1))
                                    .arg(localBytes).arg(localBytesEverywhere);
        QVERIFY2(usage.contains("VGPRs") && usage["VGPRs"] <= mostVgprs
                     && usage.value("Occupancy [waves/SIMD]") >= leastWaves
                     && usage.value("ScratchSize [bytes/lane]", -1) == 0 && usage.value("VGPRs Spill", -1) == 0
                     && localBytes <= localBytesEverywhere,
                 qPrintable(figures));
        qInfo("%s: %s", qPrintable(kernelName), qPrintable(figures));
    }
};

QTEST_MAIN(GpuShapeTest)
#include "tst_gpushape.moc"
