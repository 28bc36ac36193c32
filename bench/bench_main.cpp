// The benchmark program's main: sets up the private environment first, runs
// the benchmarks, then prints each one's median time as a multiple of the raw
// ODBC reference measured in the same run, and the resident memory.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchEnv.h"

namespace {

// The driver's own floor: the same rows read straight through the ODBC C API.
constexpr char kReference[] = "BM_Listing_RawOdbc";
// The grid's and the search's operations must stay within this multiple of the reference, and
// the program within this much resident memory with the whole group listed.
constexpr double kTargetRatio = 1.25;
constexpr double kTargetMiB = 50;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The console output, then each benchmark's median real and CPU time per
// iteration over its repetitions as a multiple of the reference's median in
// the same run (the machines are noisy: run with repetitions and
// --benchmark_enable_random_interleaving), and the resident memory reported.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            Times& t = times_[name];
            if (t.real.empty())
                order_.push_back(name);
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            t.real.push_back(run.GetAdjustedRealTime() / unit);
            t.cpu.push_back(run.GetAdjustedCPUTime() / unit);
            if (const auto rss = run.counters.find("VmRSS_MiB"); rss != run.counters.end())
                t.rssMiB.push_back(rss->second.value);
        }
    }

    void printRatios() const
    {
        const auto reference = times_.find(kReference);
        if (reference == times_.end())
            return;
        const double refReal = median(reference->second.real);
        const double refCpu = median(reference->second.cpu);
        std::printf("\nMedian per iteration, and as a multiple of %s (target for the grid and the search: %.2fx):\n", kReference,
                    kTargetRatio);
        std::printf("  %-30s %11s %8s %11s %8s  %s\n", "", "real", "ratio", "CPU", "ratio", "memory");
        for (const std::string& name : order_) {
            const Times& t = times_.at(name);
            const double real = median(t.real);
            const double cpu = median(t.cpu);
            const bool grid = name.rfind("BM_Grid_", 0) == 0 || name.rfind("BM_Search_", 0) == 0;
            std::printf("  %-30s %8.2f ms %7.2fx %8.2f ms %7.2fx", name.c_str(), real * 1e3, real / refReal,
                        cpu * 1e3, cpu / refCpu);
            if (!t.rssMiB.empty()) {
                const double rss = median(t.rssMiB);
                std::printf("  %.1f MiB resident (target %.0f)%s", rss, kTargetMiB, rss > kTargetMiB ? " OVER" : "");
            }
            if (grid && real / refReal > kTargetRatio)
                std::printf("  OVER");
            std::printf("\n");
        }
    }

private:
    struct Times {
        std::vector<double> real; // seconds per iteration, one per repetition
        std::vector<double> cpu;
        std::vector<double> rssMiB;
    };
    std::map<std::string, Times> times_;
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
