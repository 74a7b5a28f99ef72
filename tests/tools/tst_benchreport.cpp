#include "benchreport.h"

#include <QtTest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The table and the JSON that korvane-bench prints.
class BenchReportTest : public QObject
{
    Q_OBJECT

private slots:
    void ratioIsHostTimeOverDeviceTime();
    void peakIsAnEstimateFromTheDeviceProperties();
    void tableShowsBothSidesOfEachFigure();
    void tableExplainsAFigureThatFailed();
    void jsonCarriesTheSameFigures();
    void jsonStringsAreEscaped();
    void guiTableShowsFramesBesideKernelRuns();

private:
    static DeviceReport sampleReport();
};

namespace {

RunStats stats(int runs, double median, double min, double max)
{
    RunStats s;
    s.runs = runs;
    s.median = median;
    s.min = min;
    s.max = max;
    s.total = median * runs;
    return s;
}

} // namespace

DeviceReport BenchReportTest::sampleReport()
{
    DeviceReport report;
    report.platformIndex = 0;
    report.deviceIndex = 1;
    report.platformName = "Some Platform";
    report.deviceName = "Some \"quoted\" device";
    report.computeUnits = 2;
    report.clockMHz = 2500;
    report.floatVectorWidth = 8;
    report.hostThreads = 2;

    Figure figure;
    figure.kernel = "nbody_sim";
    figure.size = "1024 bodies";
    figure.work = "one step + read-back of the positions";
    figure.device = stats(40, 0.002, 0.0015, 0.004);
    figure.host = stats(40, 0.001, 0.0009, 0.003);
    figure.rates.push_back(Rate{ "GFLOP/s", 10.5, 21.0 });
    figure.maxDifference = 3.5e-6;
    figure.differenceUnit = "(position)";
    report.figures.push_back(figure);

    Figure failed;
    failed.kernel = "postprocess";
    failed.size = "730x400";
    failed.work = "upload + kernel + read";
    failed.error = "running postprocess failed: CL_INVALID_WORK_GROUP_SIZE";
    report.figures.push_back(failed);
    return report;
}

void BenchReportTest::ratioIsHostTimeOverDeviceTime()
{
    Figure figure;
    figure.device = stats(3, 0.004, 0.004, 0.004);
    figure.host = stats(3, 0.001, 0.001, 0.001);
    QCOMPARE(figure.ratio(), 0.25);
    figure.device = RunStats();
    QCOMPARE(figure.ratio(), 0.0);
}

void BenchReportTest::peakIsAnEstimateFromTheDeviceProperties()
{
    const DeviceReport report = sampleReport();
    // 2 compute units x 2500 MHz x 8 lanes x 2 flops (multiply-add).
    QCOMPARE(report.estimatedPeakGflops(), 80.0);
}

void BenchReportTest::tableShowsBothSidesOfEachFigure()
{
    const QString table = QString::fromStdString(formatDeviceTable(sampleReport()));
    QVERIFY(table.startsWith(QLatin1String("Device 0:1  Some \"quoted\" device")));
    QVERIFY(table.contains(QLatin1String("estimated single-precision peak: 80.0 GFLOP/s")));
    const QStringList lines = table.split(QLatin1Char('\n'));
    int deviceLine = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String("nbody_sim")))
            deviceLine = i;
    }
    QVERIFY(deviceLine >= 0);
    const QString device = lines[deviceLine].simplified();
    QVERIFY2(device.contains(QLatin1String("1024 bodies device 40 2.000 1.500 4.000 10.5 GFLOP/s 0.50x 3.5e-06 (position)")),
             qPrintable(device));
    const QString host = lines[deviceLine + 1].simplified();
    QVERIFY2(host.startsWith(QLatin1String("host 40 1.000 0.900 3.000 21 GFLOP/s")), qPrintable(host));
    QVERIFY(table.contains(QLatin1String("nbody_sim = one step + read-back of the positions")));
}

void BenchReportTest::tableExplainsAFigureThatFailed()
{
    const QString table = QString::fromStdString(formatDeviceTable(sampleReport()));
    QVERIFY(table.contains(QLatin1String("not measured: running postprocess failed: CL_INVALID_WORK_GROUP_SIZE")));
}

void BenchReportTest::jsonCarriesTheSameFigures()
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromStdString(formatJson({ sampleReport() }, nullptr)), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject device = document.object().value("devices").toArray().at(0).toObject();
    QCOMPARE(device.value("device").toInt(), 1);
    QCOMPARE(device.value("deviceName").toString(), QStringLiteral("Some \"quoted\" device"));
    QCOMPARE(device.value("estimatedPeakGflops").toDouble(), 80.0);
    QVERIFY(!document.object().contains("gui"));

    const QJsonArray figures = device.value("figures").toArray();
    QCOMPARE(figures.size(), 2);
    const QJsonObject nbody = figures.at(0).toObject();
    QCOMPARE(nbody.value("kernel").toString(), QStringLiteral("nbody_sim"));
    QCOMPARE(nbody.value("device").toObject().value("medianMs").toDouble(), 2.0);
    QCOMPARE(nbody.value("host").toObject().value("minMs").toDouble(), 0.9);
    QCOMPARE(nbody.value("ratio").toDouble(), 0.5);
    QCOMPARE(nbody.value("maxDifference").toDouble(), 3.5e-6);
    QCOMPARE(nbody.value("rates").toArray().at(0).toObject().value("host").toDouble(), 21.0);
    QCOMPARE(figures.at(1).toObject().value("error").toString(),
             QStringLiteral("running postprocess failed: CL_INVALID_WORK_GROUP_SIZE"));
}

void BenchReportTest::jsonStringsAreEscaped()
{
    QCOMPARE(QString::fromStdString(jsonString("a\"b\\c\nd\te\x01")),
             QStringLiteral("\"a\\\"b\\\\c\\nd\\te\\u0001\""));
    // Driver text is Latin-1.
    QCOMPARE(QString::fromStdString(jsonString("\xe9")), QStringLiteral("\"\\u00e9\""));
}

void BenchReportTest::guiTableShowsFramesBesideKernelRuns()
{
    GuiReport report;
    report.deviceName = "cpu";
    GuiFigure figure;
    figure.tab = "OpenCL N-Body Physics Simulation";
    figure.kernel = "nbody_sim";
    figure.size = "1024 bodies";
    figure.frameSamples = { 90, 95, 93, 94 };
    figure.framesPerSecond = 93.5;
    figure.kernelRunsPerSecond = 1500.0;
    report.figures.push_back(figure);
    const QString table = QString::fromStdString(formatGuiTable(report)).simplified();
    QVERIFY2(table.contains(QLatin1String("OpenCL N-Body Physics Simulation nbody_sim 1024 bodies 93.5 1500.0 90 95 93 94")),
             qPrintable(table));

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromStdString(formatJson({}, &report)), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject view = document.object().value("gui").toObject().value("views").toArray().at(0).toObject();
    QCOMPARE(view.value("framesPerSecond").toDouble(), 93.5);
    QCOMPARE(view.value("frameSamples").toArray().size(), 4);
}

QTEST_APPLESS_MAIN(BenchReportTest)
#include "tst_benchreport.moc"
