// The directory grid over a group of kCards cards: a letter-tab fill, an All
// fill, and start-up until the main window is shown with its first tab
// filled. Each is printed beside the SQLite baseline of the same listing.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <fstream>
#include <memory>
#include <string>

#include "bench/BenchEnv.h"
#include "bench/StartedWindow.h"
#include "mainwin/Module1.h"
#include "mainwin/frmVemo.h"
#include "platform/controls/FlexGrid.h"
#include "platform/controls/LetterTabStrip.h"

namespace numora::bench {
namespace {

// Resident memory of this process in MiB, from /proc.
double residentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

void BM_Grid_LetterTabFill(benchmark::State& state)
{
    const StartedWindow started;
    frmVemo& w = *started;
    w.TabVemo->setCurrentIndex(0);
    for (auto _ : state) {
        w.TabVemo_Click(0);
        benchmark::DoNotOptimize(Module1().intRowCount);
    }
    state.counters["listed"] = Module1().intRowCount;
}
BENCHMARK(BM_Grid_LetterTabFill)->Unit(benchmark::kMillisecond);

void BM_Grid_AllFill(benchmark::State& state)
{
    const StartedWindow started;
    frmVemo& w = *started;
    for (auto _ : state) {
        w.btnAll_Click();
        benchmark::DoNotOptimize(Module1().intRowCount);
    }
    QApplication::processEvents(); // let the view lay out and paint the list once
    state.counters["listed"] = Module1().intRowCount;
    state.counters["VmRSS_MiB"] = residentMiB();
    if (Module1().intRowCount != kCards)
        state.SkipWithError("All did not list the whole group");
}
BENCHMARK(BM_Grid_AllFill)->Unit(benchmark::kMillisecond);

void BM_Grid_StartUpToFirstTab(benchmark::State& state)
{
    for (auto _ : state) {
        auto w = std::make_unique<frmVemo>();
        w->show(); // the load step fills the first tab of Personal
        QApplication::processEvents();
        benchmark::DoNotOptimize(w->MSFlexGrid1->Rows());

        state.PauseTiming();
        frmVemo::Form_Terminate();
        w.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Grid_StartUpToFirstTab)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace numora::bench
