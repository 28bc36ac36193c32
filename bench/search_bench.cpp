// One keystroke in the search window over a group of kCards cards: the list
// rebuilt from the group's whole listing, for a text every name begins with
// (the longest list) and for one letter.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>

#include "bench/BenchEnv.h"
#include "bench/StartedWindow.h"
#include "platform/controls/ListBox.h"
#include "search/SearchFrm.h"

namespace numora::bench {
namespace {

void keystrokes(benchmark::State& state, const QString& text)
{
    const StartedWindow started;
    (*started).btnSearch_Click();
    SearchFrm& search = SearchFrm::instance();
    search.TxtStr->setText(text);
    for (auto _ : state) {
        search.TxtStr_Change();
        benchmark::DoNotOptimize(search.LstSearch->ListCount());
    }
    state.counters["listed"] = search.LstSearch->ListCount();
    if (search.LstSearch->ListCount() == 0)
        state.SkipWithError("the search listed nothing");
    search.close(); // and released, list and all, before the next benchmark
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_Search_KeystrokeListingAll(benchmark::State& state) { keystrokes(state, QString()); }
BENCHMARK(BM_Search_KeystrokeListingAll)->Unit(benchmark::kMillisecond);

void BM_Search_KeystrokeOneLetter(benchmark::State& state) { keystrokes(state, QString(QChar(u'\u05D0'))); }
BENCHMARK(BM_Search_KeystrokeOneLetter)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace numora::bench
