// The benchmark program's main: sets up the private environment first, runs
// the benchmarks, then prints each one's time as a multiple of the SQLite
// baseline measured in the same run.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchEnv.h"

namespace {

// The console output, plus each benchmark's mean real and CPU time per
// iteration (CPU time is the steadier one on a busy machine).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            Totals& t = totals_[name];
            if (t.count == 0)
                order_.push_back(name);
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            t.real += run.GetAdjustedRealTime() / unit;
            t.cpu += run.GetAdjustedCPUTime() / unit;
            ++t.count;
        }
    }

    void printRatios() const
    {
        const auto baseline = totals_.find(numora::bench::kBaselineName);
        if (baseline == totals_.end())
            return;
        const Totals& b = baseline->second;
        std::printf("\nPer iteration, and as a multiple of %s:\n", numora::bench::kBaselineName);
        std::printf("  %-40s %10s %8s %10s %8s\n", "", "real", "ratio", "CPU", "ratio");
        for (const std::string& name : order_) {
            const Totals& t = totals_.at(name);
            std::printf("  %-40s %7.2f ms %7.2fx %7.2f ms %7.2fx\n", name.c_str(), t.real / t.count * 1e3,
                        (t.real / t.count) / (b.real / b.count), t.cpu / t.count * 1e3,
                        (t.cpu / t.count) / (b.cpu / b.count));
        }
    }

private:
    struct Totals {
        double real = 0; // seconds, summed over repetitions
        double cpu = 0;
        int count = 0;
    };
    std::map<std::string, Totals> totals_;
    std::vector<std::string> order_;
};

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv); // for benchmarks that build widgets
    try {
        numora::bench::initBenchEnv();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark set-up failed: %s\n", e.what());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    // Benchmarks keep program-wide windows in statics, which would be torn
    // down after Qt's own globals at exit; end here instead, with the private
    // folder removed and the output flushed.
    numora::bench::finishBenchEnv();
    std::cout.flush();
    std::fflush(nullptr);
    std::_Exit(0);
}
