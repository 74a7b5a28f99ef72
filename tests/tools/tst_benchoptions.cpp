#include "benchoptions.h"

#include <QtTest>

#include <string>
#include <vector>

// What korvane-bench makes of its command line.
class BenchOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void noArgumentsMeansEveryDevice();
    void deviceSelectsOnePlatformAndDevice_data();
    void deviceSelectsOnePlatformAndDevice();
    void malformedDeviceIsRefused_data();
    void malformedDeviceIsRefused();
    void deviceWithoutValueIsRefused();
    void flagsCombine();
    void flagsTakeNoValue();
    void unknownArgumentIsRefused();
    void kernelsNamesAFolder();
    void helpIsRecognised();
    void usageNamesEveryOption();
};

namespace {

bool parse(const std::vector<std::string> &arguments, BenchOptions &options, std::string &error)
{
    return parseBenchArguments(arguments, options, error);
}

} // namespace

void BenchOptionsTest::noArgumentsMeansEveryDevice()
{
    BenchOptions options;
    std::string error;
    QVERIFY(parse({}, options, error));
    QVERIFY(options.allDevices());
    QVERIFY(!options.json && !options.quick && !options.gui && !options.help);
    QVERIFY(options.kernelDir.empty());
}

void BenchOptionsTest::deviceSelectsOnePlatformAndDevice_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("platform");
    QTest::addColumn<int>("device");
    QTest::newRow("separate value") << QStringList{ "--device", "1:2" } << 1 << 2;
    QTest::newRow("inline value") << QStringList{ "--device=0:0" } << 0 << 0;
    QTest::newRow("several digits") << QStringList{ "--device", "12:305" } << 12 << 305;
    QTest::newRow("leading zeros") << QStringList{ "--device", "007:01" } << 7 << 1;
    QTest::newRow("last one wins") << QStringList{ "--device", "3:3", "--device", "0:1" } << 0 << 1;
}

void BenchOptionsTest::deviceSelectsOnePlatformAndDevice()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, platform);
    QFETCH(int, device);
    std::vector<std::string> list;
    for (const QString &argument : arguments)
        list.push_back(argument.toStdString());
    BenchOptions options;
    std::string error;
    QVERIFY2(parse(list, options, error), error.c_str());
    QVERIFY(!options.allDevices());
    QCOMPARE(options.platformIndex, platform);
    QCOMPARE(options.deviceIndex, device);
}

void BenchOptionsTest::malformedDeviceIsRefused_data()
{
    QTest::addColumn<QString>("value");
    for (const char *value : { "", "1", "1:", ":1", "a:b", "1:x", "-1:0", "0:-1", "1:2:3", " 1:2",
                               "1 :2", "+1:2", "1.0:2", "1234567890:0" })
        QTest::newRow(value[0] ? value : "empty") << QString::fromLatin1(value);
}

void BenchOptionsTest::malformedDeviceIsRefused()
{
    QFETCH(QString, value);
    BenchOptions options;
    std::string error;
    QVERIFY(!parse({ "--device", value.toStdString() }, options, error));
    QVERIFY(error.find("--device") != std::string::npos);
    QVERIFY(error.find(value.toStdString()) != std::string::npos);
    int platform = 9, device = 9;
    QVERIFY(!parseDeviceIndexes(value.toStdString(), platform, device));
    QCOMPARE(platform, 9);
    QCOMPARE(device, 9);
}

void BenchOptionsTest::deviceWithoutValueIsRefused()
{
    BenchOptions options;
    std::string error;
    QVERIFY(!parse({ "--quick", "--device" }, options, error));
    QCOMPARE(QString::fromStdString(error), QStringLiteral("option --device needs a value"));
}

void BenchOptionsTest::flagsCombine()
{
    BenchOptions options;
    std::string error;
    QVERIFY(parse({ "--json", "--quick", "--gui", "--device", "0:1" }, options, error));
    QVERIFY(options.json);
    QVERIFY(options.quick);
    QVERIFY(options.gui);
    QVERIFY(!options.help);
    QCOMPARE(options.deviceIndex, 1);
}

void BenchOptionsTest::flagsTakeNoValue()
{
    BenchOptions options;
    std::string error;
    QVERIFY(!parse({ "--json=yes" }, options, error));
    QCOMPARE(QString::fromStdString(error), QStringLiteral("option --json takes no value"));
}

void BenchOptionsTest::unknownArgumentIsRefused()
{
    for (const char *argument : { "--fast", "-q", "quick", "--JSON", "-" }) {
        BenchOptions options;
        std::string error;
        QVERIFY2(!parse({ argument }, options, error), argument);
        QCOMPARE(QString::fromStdString(error),
                 QStringLiteral("unknown argument \"%1\"").arg(QLatin1String(argument)));
    }
}

void BenchOptionsTest::kernelsNamesAFolder()
{
    BenchOptions options;
    std::string error;
    QVERIFY(parse({ "--kernels", "/tmp/edited kernels" }, options, error));
    QCOMPARE(QString::fromStdString(options.kernelDir), QStringLiteral("/tmp/edited kernels"));
    QVERIFY(!parse({ "--kernels=" }, options, error));
    QVERIFY(!parse({ "--kernels" }, options, error));
}

void BenchOptionsTest::helpIsRecognised()
{
    for (const char *argument : { "--help", "-h" }) {
        BenchOptions options;
        std::string error;
        QVERIFY(parse({ argument }, options, error));
        QVERIFY(options.help);
    }
}

void BenchOptionsTest::usageNamesEveryOption()
{
    const QString usage = QString::fromStdString(benchUsage("korvane-bench"));
    QVERIFY(usage.startsWith(QLatin1String("Usage: korvane-bench ")));
    for (const char *option : { "--device P:D", "--quick", "--json", "--gui", "--kernels DIR", "--help" })
        QVERIFY2(usage.contains(QLatin1String(option)), option);
}

QTEST_APPLESS_MAIN(BenchOptionsTest)
#include "tst_benchoptions.moc"
