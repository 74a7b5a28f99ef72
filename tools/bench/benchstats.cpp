#include "benchstats.h"

#include <algorithm>
#include <chrono>

RunStats summarizeRuns(std::vector<double> seconds)
{
    RunStats stats;
    if (seconds.empty())
        return stats;
    std::sort(seconds.begin(), seconds.end());
    const std::size_t n = seconds.size();
    stats.runs = int(n);
    stats.min = seconds.front();
    stats.max = seconds.back();
    stats.median = n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2.0;
    for (double s : seconds)
        stats.total += s;
    return stats;
}

namespace {

bool timeOnce(const TimedWork &work, std::vector<double> &seconds)
{
    const auto start = std::chrono::steady_clock::now();
    const bool ok = work();
    const auto end = std::chrono::steady_clock::now();
    seconds.push_back(std::chrono::duration<double>(end - start).count());
    return ok;
}

double sum(const std::vector<double> &values)
{
    double total = 0.0;
    for (double v : values)
        total += v;
    return total;
}

} // namespace

SideBySide measureSideBySide(const TimedWork &first, const TimedWork &second,
                             const MeasureSettings &settings)
{
    SideBySide result;
    for (int i = 0; i < settings.warmupRuns; ++i) {
        if (!first() || !second())
            return result;
    }

    std::vector<double> firstSeconds;
    std::vector<double> secondSeconds;
    for (int round = 0; round < settings.maxRuns; ++round) {
        if (!timeOnce(first, firstSeconds) || !timeOnce(second, secondSeconds))
            return result;
        const bool enoughRuns = round + 1 >= settings.minRuns;
        const bool enoughTime = sum(firstSeconds) >= settings.minSeconds
                                && sum(secondSeconds) >= settings.minSeconds;
        if (enoughRuns && enoughTime)
            break;
    }
    result.first = summarizeRuns(firstSeconds);
    result.second = summarizeRuns(secondSeconds);
    result.ok = true;
    return result;
}
