// Reading a group's listing of kCards cards and walking it as the grid fill
// does, against two raw ODBC readers and SQLite's own API:
// - the exact reference reads what a listing reads: the same statement (the
//   row id in front of every column), every column and the row id, over a
//   connection opened with the same keywords;
// - the grid's floor reads only the five grid fields of the listing query.

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/BenchEnv.h"
#include "store/Listing.h"
#include "store/Tables.h"

namespace numora::bench {
namespace {

void BM_Listing_SqliteBaseline(benchmark::State& state)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = readGridFieldsWithSqlite(benchEnv().dbPath);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Listing_SqliteBaseline)->Unit(benchmark::kMillisecond);

// The listing service itself, its grid fields walked as the fill walks them.
void BM_Listing_Core(benchmark::State& state)
{
    std::size_t bytes = 0;
    long rows = 0;
    for (auto _ : state) {
        const store::Listing listing = store::listCards(store::kPersonalTable, std::nullopt, QStringLiteral(" ASC"));
        rows = listing.count();
        bytes = walkGridFields(listing, store::kPersonalTable);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Listing_Core)->Unit(benchmark::kMillisecond);

// What a listing reads, straight through ODBC: the reference.
void BM_Listing_RawOdbc(benchmark::State& state)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = readRawOdbc(kListingConnection, kListingSqlWithRowId, 1 + store::kCardFields, state);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Listing_RawOdbc)->Unit(benchmark::kMillisecond);

// The five grid fields of the listing query alone: the grid's floor.
void BM_Listing_RawOdbcGridFields(benchmark::State& state)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = readRawOdbc(kConnectionString, kListingSql, store::kGridColumns, state);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Listing_RawOdbcGridFields)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace numora::bench
