#include "bench/BenchEnv.h"

#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "platform/dao/DBEngine.h"
#ifdef NUMORA_HAVE_DBFILE
#include "tools/DbFile.h"
#endif

namespace numora::bench {
namespace {

std::unique_ptr<QTemporaryDir> g_dir;
BenchEnv g_env;

#ifndef NUMORA_HAVE_DBFILE
// Without the database tool: the same tables, filled with plain generated cards.
void createSampleHere(const std::string& path, int cards)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + path);
    const char* schema =
        "CREATE TABLE Vemo (Name TEXT NOT NULL, Phone TEXT, Mobil TEXT, Line TEXT, Fax TEXT, Address TEXT, "
        "Email TEXT(20)); CREATE INDEX VemoName ON Vemo (Name);"
        "CREATE TABLE Work (Name TEXT NOT NULL, Home TEXT, Mobil TEXT, Phone TEXT, Dept TEXT, Address TEXT, "
        "Email TEXT(20)); CREATE INDEX WorkName ON Work (Name); BEGIN;";
    sqlite3_exec(db, schema, nullptr, nullptr, nullptr);
    for (const char* table : {"Vemo", "Work"}) {
        sqlite3_stmt* st = nullptr;
        const std::string sql = std::string("INSERT INTO ") + table + " VALUES (?, ?, ?, ?, ?, ?, ?)";
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
        for (int i = 0; i < cards; ++i) {
            char text[64];
            std::snprintf(text, sizeof text, "שם %05d", (i * 7919) % cards);
            sqlite3_bind_text(st, 1, text, -1, SQLITE_TRANSIENT);
            for (int c = 2; c <= 5; ++c) {
                std::snprintf(text, sizeof text, "0%d-%07d", c, i);
                sqlite3_bind_text(st, c, text, -1, SQLITE_TRANSIENT);
            }
            sqlite3_bind_text(st, 6, "רחוב הרצל 1, תל אביב", -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 7, "card@example.org", -1, SQLITE_STATIC);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}
#endif

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

#ifdef NUMORA_HAVE_DBFILE
    dbfile::createSample(g_env.dbPath, cards);
#else
    createSampleHere(g_env.dbPath, cards);
#endif
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
