#include "bench/BenchEnv.h"

#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "platform/dao/DBEngine.h"
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

void finishBenchEnv() { g_dir.reset(); }

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

} // namespace numora::bench
