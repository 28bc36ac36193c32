// The directory grid over a group of kCards cards: a letter-tab fill, an All
// fill, and start-up until the main window is shown with its first tab
// filled. Each is printed beside the SQLite baseline of the same listing.
// And the peak memory of a program that starts and lists the whole group,
// measured in a process of its own (this program run with kListAllFlag).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QProcess>

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

// A line of this process's status from /proc ("VmRSS", "VmHWM") in MiB.
double statusMiB(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0)
            return std::stod(line.substr(key.size() + 1)) / 1024.0;
    }
    return 0;
}

double residentMiB() { return statusMiB("VmRSS"); }

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

// The peak resident memory of a program that starts and lists the whole
// group, in a process that has done nothing else.
void BM_Grid_ProgramPeakMemory(benchmark::State& state)
{
    double peak = 0;
    for (auto _ : state) {
        QProcess program;
        program.start(QCoreApplication::applicationFilePath(), {QLatin1String(kListAllFlag)});
        if (!program.waitForFinished(60000) || program.exitCode() != 0) {
            state.SkipWithError("the program did not list the whole group");
            break;
        }
        peak = program.readAllStandardOutput().trimmed().toDouble();
    }
    state.counters["VmHWM_MiB"] = peak;
}
BENCHMARK(BM_Grid_ProgramPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int listAllAndTellPeakMemory(int argc, char** argv)
{
    QApplication app(argc, argv);
    auto w = std::make_unique<frmVemo>();
    w->show(); // the load step lists the first tab of Personal
    QApplication::processEvents();
    w->btnAll_Click();
    QApplication::processEvents(); // the view lays out and paints the list once
    if (Module1().intRowCount != kCards)
        return 1;
    std::printf("%.1f\n", statusMiB("VmHWM"));
    std::fflush(stdout);
    return 0;
}

} // namespace numora::bench
