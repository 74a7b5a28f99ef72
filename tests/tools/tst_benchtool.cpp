#include "benchoptions.h"
#include "benchreport.h"
#include "benchstats.h"

#include <QtTest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <numeric>
#include <string>
#include <thread>
#include <vector>

// korvane-bench's command line, its summary of repeated timings and the
// table and JSON it prints.
class BenchToolTest : public QObject
{
    Q_OBJECT

private slots:
    void acceptedArguments_data();
    void acceptedArguments();
    void refusedArguments_data();
    void refusedArguments();

    void summaryOfRuns_data();
    void summaryOfRuns();
    void sidesRunAlternatelyAfterTheWarmUp();
    void measurementRunsUntilEachSideHasItsTime();
    void failureEndsTheMeasurement();

    void tableShowsBothSidesOfEachFigure();
    void jsonCarriesTheSameFigures();
    void guiTableShowsFramesBesideKernelRuns();
};

namespace {

std::vector<std::string> toStd(const QStringList &arguments)
{
    std::vector<std::string> list;
    for (const QString &argument : arguments)
        list.push_back(argument.toStdString());
    return list;
}

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

DeviceReport sampleReport()
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

} // namespace

void BenchToolTest::acceptedArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("platform"); // -1: every device
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("flags");
    QTest::newRow("none") << QStringList{} << -1 << -1 << QString();
    QTest::newRow("separate value") << QStringList{ "--device", "1:2" } << 1 << 2 << QString();
    QTest::newRow("inline, leading zeros") << QStringList{ "--device=007:01" } << 7 << 1 << QString();
    QTest::newRow("last one wins") << QStringList{ "--device", "3:3", "--device", "0:1" } << 0 << 1 << QString();
    QTest::newRow("flags combine") << QStringList{ "--json", "--quick", "--gui", "--device", "0:1" } << 0 << 1
                                   << "json quick gui";
    QTest::newRow("help") << QStringList{ "-h" } << -1 << -1 << "help";
    QTest::newRow("kernels") << QStringList{ "--kernels", "/tmp/edited kernels" } << -1 << -1
                             << "kernels:/tmp/edited kernels";
}

void BenchToolTest::acceptedArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, platform);
    QFETCH(int, device);
    QFETCH(QString, flags);
    BenchOptions options;
    std::string error;
    QVERIFY2(parseBenchArguments(toStd(arguments), options, error), error.c_str());
    QCOMPARE(options.allDevices(), platform < 0);
    if (platform >= 0) {
        QCOMPARE(options.platformIndex, platform);
        QCOMPARE(options.deviceIndex, device);
    }
    QStringList set;
    for (const auto &flag : { std::make_pair("json", options.json), std::make_pair("quick", options.quick),
                              std::make_pair("gui", options.gui), std::make_pair("help", options.help) }) {
        if (flag.second)
            set << QLatin1String(flag.first);
    }
    if (!options.kernelDir.empty())
        set << QStringLiteral("kernels:") + QString::fromStdString(options.kernelDir);
    QCOMPARE(set.join(QLatin1Char(' ')), flags);
}

void BenchToolTest::refusedArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    for (const char *value : { "", "1", ":1", "1:x", "-1:0", "1:2:3", " 1:2", "+1:2", "1.0:2", "1234567890:0" })
        QTest::newRow(*value ? value : "empty") << QStringList{ "--device", value } << QStringLiteral("--device");
    QTest::newRow("no value") << QStringList{ "--quick", "--device" }
                              << QStringLiteral("option --device needs a value");
    QTest::newRow("value to a flag") << QStringList{ "--json=yes" } << QStringLiteral("option --json takes no value");
    QTest::newRow("empty folder") << QStringList{ "--kernels=" } << QStringLiteral("--kernels");
    for (const char *argument : { "--fast", "-q", "quick", "--JSON", "-" })
        QTest::newRow(argument) << QStringList{ argument } << QStringLiteral("unknown argument \"%1\"").arg(argument);
}

void BenchToolTest::refusedArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    BenchOptions options;
    std::string message;
    QVERIFY(!parseBenchArguments(toStd(arguments), options, message));
    QVERIFY2(QString::fromStdString(message).contains(error), message.c_str());
    QVERIFY2(QString::fromStdString(message).contains(arguments.last().section(QLatin1Char('='), 0, 0)),
             message.c_str());
}

void BenchToolTest::summaryOfRuns_data()
{
    QTest::addColumn<QVector<double>>("runs");
    QTest::addColumn<double>("median");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::newRow("odd count") << QVector<double>{ 3.0, 1.0, 2.0, 10.0, 0.5 } << 2.0 << 0.5 << 10.0;
    QTest::newRow("even count") << QVector<double>{ 4.0, 1.0, 3.0, 2.0 } << 2.5 << 1.0 << 4.0;
    QTest::newRow("one run") << QVector<double>{ 0.25 } << 0.25 << 0.25 << 0.25;
    QTest::newRow("none") << QVector<double>{} << 0.0 << 0.0 << 0.0;
}

void BenchToolTest::summaryOfRuns()
{
    QFETCH(QVector<double>, runs);
    QFETCH(double, median);
    QFETCH(double, min);
    QFETCH(double, max);
    const RunStats stats = summarizeRuns(std::vector<double>(runs.begin(), runs.end()));
    QCOMPARE(stats.runs, runs.size());
    QCOMPARE(stats.median, median);
    QCOMPARE(stats.min, min);
    QCOMPARE(stats.max, max);
    QCOMPARE(stats.total, std::accumulate(runs.begin(), runs.end(), 0.0));
}

void BenchToolTest::sidesRunAlternatelyAfterTheWarmUp()
{
    QString order;
    const SideBySide result = measureSideBySide([&] { order += 'a'; return true; },
                                                [&] { order += 'b'; return true; }, MeasureSettings{ 2, 0.0, 3, 10 });
    QVERIFY(result.ok);
    QCOMPARE(order, QStringLiteral("ababababab"));
    QCOMPARE(result.first.runs, 3);
    QCOMPARE(result.second.runs, 3);

    order.clear();
    QVERIFY(measureSideBySide([&] { order += 'a'; return true; }, [&] { order += 'b'; return true; },
                              MeasureSettings::quick()).ok);
    QCOMPARE(order, QStringLiteral("abababab")); // one warm-up run, three measured
}

void BenchToolTest::measurementRunsUntilEachSideHasItsTime()
{
    // The slow side reaches its time first; the fast side decides the end.
    const SideBySide result = measureSideBySide(
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); return true; },
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); return true; },
        MeasureSettings{ 0, 0.02, 1, 100000 });
    QVERIFY(result.ok);
    QCOMPARE(result.first.runs, result.second.runs);
    QVERIFY(result.second.total >= 0.02);
    QVERIFY(result.first.min >= 0.005);
    QVERIFY(result.first.median >= result.second.median);
}

void BenchToolTest::failureEndsTheMeasurement()
{
    int calls = 0;
    QVERIFY(!measureSideBySide([&] { return ++calls < 4; }, [] { return true; }, MeasureSettings{ 1, 0.0, 10, 10 }).ok);
    QCOMPARE(calls, 4);

    int secondCalls = 0;
    QVERIFY(!measureSideBySide([] { return false; }, [&] { ++secondCalls; return true; },
                               MeasureSettings{ 2, 0.0, 3, 3 }).ok);
    QCOMPARE(secondCalls, 0); // a failed warm-up ends it too
}

void BenchToolTest::tableShowsBothSidesOfEachFigure()
{
    const QString table = QString::fromStdString(formatDeviceTable(sampleReport()));
    QVERIFY(table.startsWith(QLatin1String("Device 0:1  Some \"quoted\" device")));
    // 2 compute units x 2500 MHz x 8 lanes x 2 flops (multiply-add).
    QVERIFY(table.contains(QLatin1String("estimated single-precision peak: 80.0 GFLOP/s")));
    const QStringList lines = table.split(QLatin1Char('\n'));
    const int deviceLine = lines.indexOf(QRegularExpression(QStringLiteral("^nbody_sim.*")));
    QVERIFY(deviceLine >= 0);
    // The ratio is the host's time over the device's.
    const QString device = lines[deviceLine].simplified();
    QVERIFY2(device.contains(QLatin1String("1024 bodies device 40 2.000 1.500 4.000 10.5 GFLOP/s 0.50x 3.5e-06 (position)")),
             qPrintable(device));
    const QString host = lines[deviceLine + 1].simplified();
    QVERIFY2(host.startsWith(QLatin1String("host 40 1.000 0.900 3.000 21 GFLOP/s")), qPrintable(host));
    QVERIFY(table.contains(QLatin1String("nbody_sim = one step + read-back of the positions")));
    QVERIFY(table.contains(QLatin1String("not measured: running postprocess failed: CL_INVALID_WORK_GROUP_SIZE")));
}

void BenchToolTest::jsonCarriesTheSameFigures()
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
    QCOMPARE(nbody.value("device").toObject().value("medianMs").toDouble(), 2.0);
    QCOMPARE(nbody.value("host").toObject().value("minMs").toDouble(), 0.9);
    QCOMPARE(nbody.value("ratio").toDouble(), 0.5);
    QCOMPARE(nbody.value("maxDifference").toDouble(), 3.5e-6);
    QCOMPARE(nbody.value("rates").toArray().at(0).toObject().value("host").toDouble(), 21.0);
    QCOMPARE(figures.at(1).toObject().value("error").toString(),
             QStringLiteral("running postprocess failed: CL_INVALID_WORK_GROUP_SIZE"));

    QCOMPARE(QString::fromStdString(jsonString("a\"b\\c\nd\te\x01")),
             QStringLiteral("\"a\\\"b\\\\c\\nd\\te\\u0001\""));
    QCOMPARE(QString::fromStdString(jsonString("\xe9")), QStringLiteral("\"\\u00e9\"")); // driver text is Latin-1
}

void BenchToolTest::guiTableShowsFramesBesideKernelRuns()
{
    GuiReport report;
    report.deviceName = "cpu";
    GuiFigure figure;
    figure.tab = "OpenCL N-Body Physics Simulation";
    figure.kernel = "nbody_sim";
    figure.size = "1024 bodies";
    figure.startMs = 85.4;
    figure.frameSamples = { 90, 95, 93, 94 };
    figure.framesPerSecond = 93.5;
    figure.kernelRunsPerSecond = 1500.0;
    report.figures.push_back(figure);
    const QString table = QString::fromStdString(formatGuiTable(report)).simplified();
    QVERIFY2(table.contains(QLatin1String("OpenCL N-Body Physics Simulation nbody_sim 1024 bodies 85 93.5 1500.0 90 95 93 94")),
             qPrintable(table));

    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(formatJson({}, &report)));
    const QJsonObject view = document.object().value("gui").toObject().value("views").toArray().at(0).toObject();
    QCOMPARE(view.value("startMs").toDouble(), 85.4);
    QCOMPARE(view.value("framesPerSecond").toDouble(), 93.5);
    QCOMPARE(view.value("frameSamples").toArray().size(), 4);
}

QTEST_APPLESS_MAIN(BenchToolTest)
#include "tst_benchtool.moc"
