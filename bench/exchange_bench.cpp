// Trading a whole group of kCards cards with other address books: the
// Personal group exported to a vCard and to a CSV file, and each file
// imported into an empty directory file (read, checked and added in one
// transaction), as numora-dbtool does. Each prints its cards per second.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/BenchEnv.h"
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

void BM_Exchange_Export(benchmark::State& state, Format format)
{
    std::size_t cards = 0;
    for (auto _ : state) {
        cards = exchange::exportGroup(benchEnv().dbPath, store::kPersonalTable, format, exchangeFile(format)).cards;
        benchmark::DoNotOptimize(cards);
    }
    cardsPerSecond(state, cards);
}

void BM_Exchange_Import(benchmark::State& state, Format format)
{
    exchange::exportGroup(benchEnv().dbPath, store::kPersonalTable, format, exchangeFile(format));
    const std::string target = benchEnv().root + "/imported.mdb";
    std::size_t added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(target.c_str());
        dbfile::createEmpty(target);
        state.ResumeTiming();
        added = exchange::importFile(target, store::kPersonalTable, format, exchangeFile(format), false).toAdd.size();
    }
    std::remove(target.c_str());
    cardsPerSecond(state, added);
}

BENCHMARK_CAPTURE(BM_Exchange_Export, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Export, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Import, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Import, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace numora::bench
