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
        int columns[store::kGridColumns];
        for (int c = 0; c < store::kGridColumns; ++c)
            columns[c] = listing.column(store::kPersonalTable.columns[static_cast<std::size_t>(c)].name);
        bytes = 0;
        rows = listing.count();
        for (long row = 0; row < rows; ++row) {
            for (const int column : columns) {
                if (const auto v = listing.text(row, column))
                    bytes += v->size();
            }
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Listing_Core)->Unit(benchmark::kMillisecond);

// Reads sql straight through the ODBC C API with block fetch, binding the
// first `columns` result columns, over a connection of its own by the
// connection string; returns the bytes read.
std::size_t readRaw(const std::string& connection, const std::string& sql, SQLUSMALLINT columns,
                    benchmark::State& state)
{
    constexpr SQLULEN kRows = 512; // as the listing's block fetch
    constexpr SQLLEN kWidth = 256;
    auto attr = [](SQLULEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(v)); };
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, attr(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string cs = connection;
    std::size_t bytes = 0;
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS, nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT))) {
        state.SkipWithError("cannot connect");
    } else {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        SQLULEN fetched = 0;
        SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, attr(kRows), 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        std::string text = sql;
        SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        std::vector<char> buffer(columns * kRows * static_cast<std::size_t>(kWidth));
        std::vector<SQLLEN> indicator(columns * kRows);
        for (SQLUSMALLINT c = 0; c < columns; ++c)
            SQLBindCol(st, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, buffer.data() + c * kRows * kWidth, kWidth,
                       indicator.data() + c * kRows);
        while (SQL_SUCCEEDED(SQLFetchScroll(st, SQL_FETCH_NEXT, 0))) {
            for (std::size_t i = 0; i < columns * kRows; ++i) {
                if (i % kRows < fetched && indicator[i] > 0)
                    bytes += static_cast<std::size_t>(indicator[i]);
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return bytes;
}

// What a listing reads, straight through ODBC: the reference.
void BM_Listing_RawOdbc(benchmark::State& state)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = readRaw(kListingConnection, kListingSqlWithRowId, 1 + store::kCardFields, state);
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
        bytes = readRaw(kConnectionString, kListingSql, store::kGridColumns, state);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Listing_RawOdbcGridFields)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace numora::bench
