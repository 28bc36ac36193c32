// Reading a group's listing of kCards cards and walking it as the grid fill
// does, against reading the same rows with SQLite's own API.

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <vector>

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

// The same rows straight through the ODBC C API with block fetch, without
// the recordset: what the driver manager and the driver cost by themselves.
void BM_Listing_RawOdbc(benchmark::State& state)
{
    constexpr SQLULEN kRows = 512;
    constexpr SQLLEN kWidth = 256;
    auto attr = [](SQLULEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(v)); };
    std::size_t bytes = 0;
    for (auto _ : state) {
        SQLHENV env = SQL_NULL_HENV;
        SQLHDBC dbc = SQL_NULL_HDBC;
        SQLHSTMT st = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, attr(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::string cs = kConnectionString;
        if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS, nullptr,
                                            0, nullptr, SQL_DRIVER_NOPROMPT))) {
            state.SkipWithError("cannot connect");
            break;
        }
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        SQLULEN fetched = 0;
        SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, attr(kRows), 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        std::string sql = kListingSql;
        SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
        std::vector<char> buffer(5 * kRows * static_cast<std::size_t>(kWidth));
        std::vector<SQLLEN> indicator(5 * kRows);
        for (SQLUSMALLINT c = 0; c < 5; ++c)
            SQLBindCol(st, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, buffer.data() + c * kRows * kWidth, kWidth,
                       indicator.data() + c * kRows);
        bytes = 0;
        while (SQL_SUCCEEDED(SQLFetchScroll(st, SQL_FETCH_NEXT, 0))) {
            for (std::size_t i = 0; i < 5 * kRows; ++i) {
                if (i % kRows < fetched && indicator[i] > 0)
                    bytes += static_cast<std::size_t>(indicator[i]);
            }
        }
        benchmark::DoNotOptimize(bytes);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Listing_RawOdbc)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace numora::bench
