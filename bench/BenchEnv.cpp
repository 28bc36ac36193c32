#include "bench/BenchEnv.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/dao/DBEngine.h"
#include "store/Listing.h"
#include "store/Tables.h"
#include "tools/DbFile.h"

namespace numora::bench {
namespace {

std::unique_ptr<QTemporaryDir> g_dir;
BenchEnv g_env;

void setVar(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

} // namespace

void initBenchEnv(int cards)
{
    if (g_dir)
        return;
    g_dir = std::make_unique<QTemporaryDir>();
    if (!g_dir->isValid())
        throw std::runtime_error("cannot make a temporary folder");
    g_env.root = g_dir->path().toStdString();
    g_env.dataFolder = g_env.root + "/data/";
    g_env.dbPath = g_env.dataFolder + "VEMO.MDB";
    for (const char* sub : {"/data", "/config", "/registry", "/windows"}) {
        const std::string dir = g_env.root + sub;
        if (mkdir(dir.c_str(), 0700) != 0)
            throw std::runtime_error("cannot make " + dir);
    }
    setVar("ODBCINI", g_env.root + "/odbc.ini");
    setVar("XDG_CONFIG_HOME", g_env.root + "/config");
    setVar("NUMORA_REGISTRY_DIR", g_env.root + "/registry");
    setVar("WINDIR", g_env.root + "/windows");

    dbfile::createSample(g_env.dbPath, cards);
    // Registered the way the program registers it at every start.
    dao::DBEngine().RegisterDatabase(
        kDataSource, dao::kAccessDriverName, true,
        "DBQ=" + g_env.dbPath +
            "\rDescription=App Data Source\rDriver=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll\rDriverId=25\r"
            "FIL=MS Access\rSafeTransactions=0\rUID=");
    if (chdir(g_env.dataFolder.c_str()) != 0)
        throw std::runtime_error("cannot enter " + g_env.dataFolder);
}

const BenchEnv& benchEnv() { return g_env; }

std::size_t walkGridFields(const store::Listing& listing, const store::Table& table)
{
    int columns[store::kGridColumns];
    for (int c = 0; c < store::kGridColumns; ++c)
        columns[c] = listing.column(table.columns[static_cast<std::size_t>(c)].name);
    std::size_t bytes = 0;
    for (long row = 0; row < listing.count(); ++row) {
        for (const int column : columns) {
            if (const auto v = listing.text(row, column))
                bytes += v->size();
        }
    }
    return bytes;
}

void finishBenchEnv()
{
    stopBenchServer();
    g_dir.reset();
}

// Reads sql straight through the ODBC C API with block fetch, binding the
// first `columns` result columns, over a connection of its own by the
// connection string; returns the bytes read.
std::size_t readRawOdbc(const std::string& connection, const std::string& sql, SQLUSMALLINT columns,
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

std::size_t readGridFieldsWithSqlite(const std::string& dbPath, const std::string& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + dbPath);
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot run " + sql);
    }
    std::size_t bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 5; ++c) {
            if (sqlite3_column_text(st, c))
                bytes += static_cast<std::size_t>(sqlite3_column_bytes(st, c));
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return bytes;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace numora::bench
