#ifndef BENCHSTATS_H
#define BENCHSTATS_H

#include <functional>
#include <vector>

// Summary of repeated timings, in seconds.
struct RunStats
{
    int runs = 0;
    double median = 0.0;
    double min = 0.0;
    double max = 0.0;
    double total = 0.0;
};

// Median (mean of the middle two for an even count), extremes and sum.
// An empty list gives all zeros.
RunStats summarizeRuns(std::vector<double> seconds);

// How much to run before a figure counts.
struct MeasureSettings
{
    int warmupRuns = 2;       // untimed: first launches compile work-group code
    double minSeconds = 0.5;  // of timed runs, for each side
    int minRuns = 5;
    int maxRuns = 100000;

    static MeasureSettings quick() { return MeasureSettings{1, 0.0, 3, 3}; }
};

// One timed side of a comparison; returns false on failure, which ends
// the measurement.
using TimedWork = std::function<bool()>;

struct SideBySide
{
    RunStats first;
    RunStats second;
    bool ok = false;
};

// Runs the two pieces of work alternately, one run each per round, so
// that a busy machine slows both alike and their ratio stays meaningful.
// Stops once each side has at least minRuns runs and minSeconds of runs,
// or after maxRuns rounds.
SideBySide measureSideBySide(const TimedWork &first, const TimedWork &second,
                             const MeasureSettings &settings);

#endif
