#include "benchstats.h"

#include <QtTest>

#include <thread>

// The summary of repeated timings and the alternating measurement.
class BenchStatsTest : public QObject
{
    Q_OBJECT

private slots:
    void oddCountTakesTheMiddleValue();
    void evenCountAveragesTheMiddleTwo();
    void orderOfTheRunsDoesNotMatter();
    void singleRunIsItsOwnSummary();
    void noRunsGiveZeros();
    void sidesRunAlternatelyAfterTheWarmUp();
    void quickSettingsTakeAFewRuns();
    void measurementRunsUntilEachSideHasItsTime();
    void failureEndsTheMeasurement();
    void failureDuringWarmUpEndsTheMeasurement();
};

void BenchStatsTest::oddCountTakesTheMiddleValue()
{
    const RunStats stats = summarizeRuns({ 3.0, 1.0, 2.0, 10.0, 0.5 });
    QCOMPARE(stats.runs, 5);
    QCOMPARE(stats.median, 2.0);
    QCOMPARE(stats.min, 0.5);
    QCOMPARE(stats.max, 10.0);
    QCOMPARE(stats.total, 16.5);
}

void BenchStatsTest::evenCountAveragesTheMiddleTwo()
{
    const RunStats stats = summarizeRuns({ 4.0, 1.0, 3.0, 2.0 });
    QCOMPARE(stats.runs, 4);
    QCOMPARE(stats.median, 2.5);
    QCOMPARE(stats.min, 1.0);
    QCOMPARE(stats.max, 4.0);
}

void BenchStatsTest::orderOfTheRunsDoesNotMatter()
{
    const RunStats a = summarizeRuns({ 0.1, 0.7, 0.3, 0.9, 0.5, 0.2 });
    const RunStats b = summarizeRuns({ 0.9, 0.7, 0.5, 0.3, 0.2, 0.1 });
    QCOMPARE(a.median, b.median);
    QCOMPARE(a.median, 0.4);
    QCOMPARE(a.min, b.min);
    QCOMPARE(a.max, b.max);
}

void BenchStatsTest::singleRunIsItsOwnSummary()
{
    const RunStats stats = summarizeRuns({ 0.25 });
    QCOMPARE(stats.runs, 1);
    QCOMPARE(stats.median, 0.25);
    QCOMPARE(stats.min, 0.25);
    QCOMPARE(stats.max, 0.25);
}

void BenchStatsTest::noRunsGiveZeros()
{
    const RunStats stats = summarizeRuns({});
    QCOMPARE(stats.runs, 0);
    QCOMPARE(stats.median, 0.0);
    QCOMPARE(stats.min, 0.0);
    QCOMPARE(stats.max, 0.0);
}

void BenchStatsTest::sidesRunAlternatelyAfterTheWarmUp()
{
    QString order;
    const MeasureSettings settings{ 2, 0.0, 3, 10 };
    const SideBySide result = measureSideBySide([&] { order += 'a'; return true; },
                                                [&] { order += 'b'; return true; }, settings);
    QVERIFY(result.ok);
    QCOMPARE(order, QStringLiteral("ababababab"));
    QCOMPARE(result.first.runs, 3);
    QCOMPARE(result.second.runs, 3);
}

void BenchStatsTest::quickSettingsTakeAFewRuns()
{
    int first = 0, second = 0;
    const SideBySide result = measureSideBySide([&] { ++first; return true; },
                                                [&] { ++second; return true; },
                                                MeasureSettings::quick());
    QVERIFY(result.ok);
    QCOMPARE(result.first.runs, 3);
    QCOMPARE(result.second.runs, 3);
    QCOMPARE(first, 4);   // one warm-up run
    QCOMPARE(second, 4);
}

void BenchStatsTest::measurementRunsUntilEachSideHasItsTime()
{
    // The slow side reaches its time first; the fast side decides the end.
    const MeasureSettings settings{ 0, 0.02, 1, 100000 };
    const SideBySide result = measureSideBySide(
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); return true; },
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); return true; }, settings);
    QVERIFY(result.ok);
    QCOMPARE(result.first.runs, result.second.runs);
    QVERIFY(result.second.total >= 0.02);
    QVERIFY(result.first.total >= 0.02);
    QVERIFY(result.first.min >= 0.005);
    QVERIFY(result.first.median >= result.second.median);
    QVERIFY(result.first.max >= result.first.median && result.first.median >= result.first.min);
}

void BenchStatsTest::failureEndsTheMeasurement()
{
    int calls = 0;
    const SideBySide result = measureSideBySide([&] { return ++calls < 4; },
                                                [] { return true; }, MeasureSettings{ 1, 0.0, 10, 10 });
    QVERIFY(!result.ok);
    QCOMPARE(calls, 4);
}

void BenchStatsTest::failureDuringWarmUpEndsTheMeasurement()
{
    int secondCalls = 0;
    const SideBySide result = measureSideBySide([] { return false; },
                                                [&] { ++secondCalls; return true; },
                                                MeasureSettings{ 2, 0.0, 3, 3 });
    QVERIFY(!result.ok);
    QCOMPARE(secondCalls, 0);
}

QTEST_APPLESS_MAIN(BenchStatsTest)
#include "tst_benchstats.moc"
