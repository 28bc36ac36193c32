// Reading a group's listing of kCards cards and walking it as the grid fill
// does, against reading the same rows with SQLite's own API.

#include <benchmark/benchmark.h>

#include "bench/BenchEnv.h"
#include "platform/ado/Ado.h"

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

void BM_Listing_Ado(benchmark::State& state)
{
    static const char* const kGridFields[] = {"Name", "Phone", "Mobil", "Line", "Fax"};
    std::size_t bytes = 0;
    long rows = 0;
    for (auto _ : state) {
        ado::Recordset rs;
        rs.setLockType(ado::adLockOptimistic);
        rs.setCursorType(ado::adOpenKeyset);
        rs.Open(kListingSql, kConnectionString, -1, -1, ado::adCmdText);
        bytes = 0;
        rows = 0;
        for (; !rs.Eof(); rs.MoveNext()) {
            for (const char* field : kGridFields) {
                if (const ado::Value v = rs.Field(field))
                    bytes += v->size();
            }
            ++rows;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Listing_Ado)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace numora::bench
