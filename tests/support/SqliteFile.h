#pragma once
// A directory file reached straight through SQLite, beside the program's own
// layers: tests make their tables and cards with it and see what really
// landed in the file. Every failure throws std::runtime_error naming the file,
// the statement and SQLite's message, so a test fails where it went wrong.

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace numora::test {

using Value = std::optional<std::string>; // std::nullopt is Null
using Row = std::vector<Value>;

class SqliteFile {
public:
    // Opens the file, creating it when it does not exist.
    explicit SqliteFile(const std::string& path);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // Runs one or more statements.
    void exec(const std::string& sql);
    // Runs one statement with values bound in order.
    void run(const std::string& sql, const Row& values);
    // Runs one statement once for each row of values, in one transaction.
    void runEach(const std::string& sql, const std::vector<Row>& rows);

    std::vector<Row> rows(const std::string& sql);
    // The first value of the first row; Null when there is none.
    Value one(const std::string& sql);
    long count(const std::string& sql);
    // The column names of a table, in order.
    std::vector<std::string> columns(const std::string& table);

    sqlite3* handle() const { return db_; }

private:
    void bindAndStep(sqlite3_stmt* st, const std::string& sql, const Row& values);
    [[noreturn]] void fail(const std::string& sql) const;
    std::string path_;
    sqlite3* db_ = nullptr;
};

} // namespace numora::test
