#include "clfault.h"
#include "clinventory.h"
#include "glreport.h"
#include "inforeport.h"

#include <QtTest>
#include <QProcess>

#include <cstring>

// korvane-info run as a user runs it, against the machine's drivers: its
// text must be what the dialogs show, with or without a display.
class KorvaneInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void helpSucceedsAndAnUnknownArgumentFailsWithUsage();
    void withoutDisplayPrintsPlatformsAndSaysOpenGlNeedsOne();
    void withDisplayAddsTheOpenGlStrings();

private:
    struct Run
    {
        int exitCode;
        QString out;
        QString err;
    };
    static Run run(const QStringList &arguments, bool withDisplay);

    QString expectedOpenCl;
};

void KorvaneInfoTest::initTestCase()
{
    ClFault::reset();
    ClInventory inventory;
    std::memset(&inventory, 0, sizeof inventory);
    const cl_int status = scanOpenClInventory(inventory);
    QCOMPARE(status, CL_SUCCESS);
    expectedOpenCl = InfoReport::openCl(inventory, status);
    releaseOpenClInventory(inventory);
}

KorvaneInfoTest::Run KorvaneInfoTest::run(const QStringList &arguments, bool withDisplay)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!withDisplay)
        environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KORVANE_INFO_PATH), arguments);
    if (!process.waitForFinished(60000))
        return { -1, QString(), QStringLiteral("did not finish") };
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
             QString::fromLocal8Bit(process.readAllStandardOutput()),
             QString::fromLocal8Bit(process.readAllStandardError()) };
}

void KorvaneInfoTest::helpSucceedsAndAnUnknownArgumentFailsWithUsage()
{
    Run result = run({ "--help" }, false);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, InfoReport::usage());
    QVERIFY(result.out.startsWith("Usage: korvane-info"));
    QCOMPARE(run({ "-h" }, false).out, InfoReport::usage());

    result = run({ "--verbose" }, false);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.out.isEmpty());
    QVERIFY(result.err.contains("unknown argument \"--verbose\""));
    QVERIFY(result.err.contains("Usage: korvane-info"));
}

void KorvaneInfoTest::withoutDisplayPrintsPlatformsAndSaysOpenGlNeedsOne()
{
    const Run result = run({}, false);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, expectedOpenCl + InfoReport::openGlWithoutDisplay());

    // The rows stand indented by their depth in the tree.
    const QStringList lines = result.out.split('\n');
    QCOMPARE(lines[0], QStringLiteral("Portable Computing Language"));
    QVERIFY(lines[1].startsWith("  Version: OpenCL"));
    QVERIFY(lines[4].startsWith("  Extensions:\t"));
    const int device = lines.indexOf(QRegularExpression("^  Device: .+"));
    QVERIFY(device > 4);
    QVERIFY(lines[device + 1].startsWith("    Vendor: "));
    QVERIFY(lines.contains(QStringLiteral("    Type: CL_DEVICE_TYPE_CPU")));
}

void KorvaneInfoTest::withDisplayAddsTheOpenGlStrings()
{
    QVERIFY(qEnvironmentVariableIsSet("DISPLAY"));
    const Run result = run({}, true);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.startsWith(expectedOpenCl));
    const QString openGl = result.out.mid(expectedOpenCl.size());
    QCOMPARE(openGl, InfoReport::openGl(queryGlStrings()));
    QVERIFY(openGl.contains("\n  Version: "));
    QVERIFY(!openGl.contains(GlFormat::unavailable()));
}

QTEST_MAIN(KorvaneInfoTest)
#include "tst_korvaneinfo.moc"
