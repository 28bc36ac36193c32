#pragma once
// Reads a directory file straight through SQLite, beside the program's own
// layers, so tests see what really landed in the file.

#include <sqlite3.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace numora::test {

using Row = std::vector<std::optional<std::string>>;

inline std::vector<Row> sqliteRows(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        const std::string msg = path + ": " + sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error(msg);
    }
    std::vector<Row> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        Row& row = rows.emplace_back();
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            row.push_back(text ? std::optional<std::string>(text) : std::nullopt);
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

inline long sqliteCount(const std::string& path, const std::string& sql)
{
    return std::stol(sqliteRows(path, sql).at(0).at(0).value_or("0"));
}

// Runs statements on the file straight through SQLite.
inline void sqliteExec(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    char* error = nullptr;
    const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK;
    const std::string msg = path + ": " + (error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    if (!ok)
        throw std::runtime_error(msg);
}

// The column names of a table, in order.
inline std::vector<std::string> sqliteColumns(const std::string& path, const std::string& table)
{
    std::vector<std::string> names;
    for (const Row& r : sqliteRows(path, "PRAGMA table_info(" + table + ")"))
        names.push_back(r.at(1).value_or(""));
    return names;
}

} // namespace numora::test
