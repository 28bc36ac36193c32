// The benchmark program's main: sets up the private environment first, runs
// the benchmarks, then prints each one's median time as a multiple of the raw
// ODBC references measured in the same run, the resident memory, and the
// work through the data core against the same work the old way.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchEnv.h"

namespace {

// What a listing reads, straight through the ODBC C API: the reference.
constexpr char kReference[] = "BM_Listing_RawOdbc";
// The grid's five fields of the listing query alone: the grid's floor.
constexpr char kFloor[] = "BM_Listing_RawOdbcGridFields";
// The listings (the grid's fills, start-up to the first tab, the search's
// keystroke) must stay within this multiple of the reference, and the
// program within this much resident memory with the whole group listed.
constexpr double kTargetRatio = 1.25;
constexpr double kTargetMiB = 50;
// The work through the data core against the same work the old way.
constexpr char kOldWay[] = "OldWay";
// Started anew every time; its time is no listing's.
constexpr char kPeakMemory[] = "BM_Grid_ProgramPeakMemory";

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool isListing(const std::string& name) { return name.rfind("BM_Grid_", 0) == 0 || name.rfind("BM_Search_", 0) == 0; }

// The console output, then each benchmark's median real and CPU time per
// iteration over its repetitions as a multiple of the references' medians in
// the same run (the machines are noisy: run with repetitions and
// --benchmark_enable_random_interleaving), the resident memory reported, and
// each piece of work through the core against the same work the old way.
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
            for (const char* memory : {"VmRSS_MiB", "VmHWM_MiB"}) {
                if (const auto found = run.counters.find(memory); found != run.counters.end()) {
                    t.memory.push_back(found->second.value);
                    t.memoryKind = memory[2] == 'R' ? "resident" : "peak resident (the program alone)";
                }
            }
        }
    }

    void printRatios() const
    {
        const auto reference = times_.find(kReference);
        const auto floor = times_.find(kFloor);
        if (reference == times_.end() || floor == times_.end())
            return;
        const double refReal = median(reference->second.real);
        const double refCpu = median(reference->second.cpu);
        const double floorReal = median(floor->second.real);
        std::printf("\nMedian per iteration, as a multiple of %s (what a listing reads; target for the listings: "
                    "%.2fx)\nand of %s (the grid's five fields):\n",
                    kReference, kTargetRatio, kFloor);
        std::printf("  %-34s %11s %8s %8s %11s %8s  %s\n", "", "real", "ratio", "floor", "CPU", "ratio", "memory");
        for (const std::string& name : order_) {
            const Times& t = times_.at(name);
            const double real = median(t.real);
            const double cpu = median(t.cpu);
            std::printf("  %-34s %8.2f ms %7.2fx %7.2fx %8.2f ms %7.2fx", name.c_str(), real * 1e3, real / refReal,
                        real / floorReal, cpu * 1e3, cpu / refCpu);
            if (!t.memory.empty()) {
                const double mib = median(t.memory);
                const bool peak = t.memoryKind[0] == 'p';
                std::printf("  %.1f MiB %s", mib, t.memoryKind);
                if (peak)
                    std::printf(" (target %.0f)%s", kTargetMiB, mib > kTargetMiB ? " OVER" : "");
            }
            if (isListing(name) && name != kPeakMemory && real / refReal > kTargetRatio)
                std::printf("  OVER");
            std::printf("\n");
        }

        std::printf("\nThrough the data core, as a multiple of the same work through SQLite's own API "
                    "(target: 1.00x at most):\n");
        for (const std::string& name : order_) {
            const std::size_t at = name.find(kOldWay);
            if (at == std::string::npos)
                continue;
            const std::string core = name.substr(0, at) + name.substr(at + std::strlen(kOldWay));
            const auto done = times_.find(core);
            if (done == times_.end())
                continue;
            const double ratio = median(done->second.real) / median(times_.at(name).real);
            std::printf("  %-34s %8.2f ms, the old way %8.2f ms: %5.2fx%s\n", core.c_str(),
                        median(done->second.real) * 1e3, median(times_.at(name).real) * 1e3, ratio,
                        ratio > 1.0 ? "  OVER" : "");
        }
    }

private:
    struct Times {
        std::vector<double> real; // seconds per iteration, one per repetition
        std::vector<double> cpu;
        std::vector<double> memory; // MiB, one per repetition
        const char* memoryKind = "";
    };
    std::map<std::string, Times> times_;
    std::vector<std::string> order_;
};

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc == 2 && std::strcmp(argv[1], numora::bench::kListAllFlag) == 0)
        std::_Exit(numora::bench::listAllAndTellPeakMemory(argc, argv));
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
