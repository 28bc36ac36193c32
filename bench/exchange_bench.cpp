// Trading a whole group of kCards cards with other address books: the
// Personal group exported to a vCard and to a CSV file, and each file
// imported into an empty directory file (read, checked and added in one
// transaction), as numora-dbtool does through the data core; and the same
// work done the way it was done through SQLite's own API (OldWay), which
// the core must not be slower than. Each prints its cards per second.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/BenchEnv.h"
#include "bench/OldExchange.h"
#include "store/Tables.h"
#include "tools/DbFile.h"
#include "tools/exchange/Exchange.h"

namespace numora::bench {
namespace {

using exchange::Format;

std::string exchangeFile(Format format)
{
    return benchEnv().root + (format == Format::VCard ? "/group.vcf" : "/group.csv");
}

void cardsPerSecond(benchmark::State& state, std::size_t cards)
{
    state.counters["cards"] = static_cast<double>(cards);
    state.counters["cards_per_s"] =
        benchmark::Counter(static_cast<double>(cards), benchmark::Counter::kIsIterationInvariantRate);
}

using ExportFunction = exchange::ExportResult (*)(const std::string&, const store::Table&, Format, const std::string&,
                                                  const exchange::Progress&);
using ImportFunction = exchange::ImportPlan (*)(const std::string&, const store::Table&, Format, const std::string&,
                                                bool, const exchange::Progress&);

void exportCards(benchmark::State& state, Format format, ExportFunction exportGroup)
{
    std::size_t cards = 0;
    for (auto _ : state) {
        cards = exportGroup(benchEnv().dbPath, store::kPersonalTable, format, exchangeFile(format), {}).cards;
        benchmark::DoNotOptimize(cards);
    }
    cardsPerSecond(state, cards);
}

void importCards(benchmark::State& state, Format format, ImportFunction importFile)
{
    exchange::exportGroup(benchEnv().dbPath, store::kPersonalTable, format, exchangeFile(format));
    const std::string target = benchEnv().root + "/imported.mdb";
    std::size_t added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(target.c_str());
        dbfile::createEmpty(target);
        state.ResumeTiming();
        added = importFile(target, store::kPersonalTable, format, exchangeFile(format), false, {}).toAdd.size();
    }
    std::remove(target.c_str());
    if (added == 0)
        state.SkipWithError("the import added nothing");
    cardsPerSecond(state, added);
}

void BM_Exchange_Export(benchmark::State& state, Format format) { exportCards(state, format, exchange::exportGroup); }
void BM_Exchange_ExportOldWay(benchmark::State& state, Format format)
{
    exportCards(state, format, oldway::exportGroup);
}
void BM_Exchange_Import(benchmark::State& state, Format format) { importCards(state, format, exchange::importFile); }
void BM_Exchange_ImportOldWay(benchmark::State& state, Format format)
{
    importCards(state, format, oldway::importFile);
}

BENCHMARK_CAPTURE(BM_Exchange_Export, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_ExportOldWay, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Export, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_ExportOldWay, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Import, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_ImportOldWay, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Import, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_ImportOldWay, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace numora::bench
