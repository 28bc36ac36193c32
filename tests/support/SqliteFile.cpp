#include "tests/support/SqliteFile.h"

#include <stdexcept>

namespace numora::test {
namespace {

// Owns one prepared statement.
class Prepared {
public:
    Prepared(sqlite3* db, const std::string& sql, bool& ok)
    {
        ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) == SQLITE_OK;
    }
    ~Prepared() { sqlite3_finalize(stmt_); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace

SqliteFile::SqliteFile(const std::string& path) : path_(path)
{
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
        const std::string msg = path + ": cannot open: " + sqlite3_errmsg(db_);
        sqlite3_close(db_);
        throw std::runtime_error(msg);
    }
}

SqliteFile::~SqliteFile() { sqlite3_close(db_); }

void SqliteFile::fail(const std::string& sql) const
{
    throw std::runtime_error(path_ + ": " + sql + ": " + sqlite3_errmsg(db_));
}

void SqliteFile::exec(const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string msg = path_ + ": " + sql + ": " + (error ? error : sqlite3_errmsg(db_));
        sqlite3_free(error);
        throw std::runtime_error(msg);
    }
}

void SqliteFile::run(const std::string& sql, const Row& values)
{
    bool ok = false;
    const Prepared st(db_, sql, ok);
    if (!ok)
        fail(sql);
    bindAndStep(st.get(), sql, values);
}

void SqliteFile::runEach(const std::string& sql, const std::vector<Row>& rows)
{
    bool ok = false;
    const Prepared st(db_, sql, ok);
    if (!ok)
        fail(sql);
    exec("BEGIN");
    try {
        for (const Row& values : rows) {
            sqlite3_reset(st.get());
            bindAndStep(st.get(), sql, values);
        }
    } catch (const std::exception&) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    exec("COMMIT");
}

void SqliteFile::bindAndStep(sqlite3_stmt* st, const std::string& sql, const Row& values)
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int at = static_cast<int>(i) + 1;
        if (values[i])
            sqlite3_bind_text(st, at, values[i]->data(), static_cast<int>(values[i]->size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(st, at);
    }
    if (sqlite3_step(st) != SQLITE_DONE)
        fail(sql);
}

std::vector<Row> SqliteFile::rows(const std::string& sql)
{
    bool ok = false;
    const Prepared st(db_, sql, ok);
    if (!ok)
        fail(sql);
    std::vector<Row> out;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        Row& row = out.emplace_back();
        for (int c = 0; c < sqlite3_column_count(st.get()); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), c));
            row.push_back(text ? Value(std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(st.get(), c))))
                               : std::nullopt);
        }
    }
    if (rc != SQLITE_DONE)
        fail(sql);
    return out;
}

Value SqliteFile::one(const std::string& sql)
{
    const auto r = rows(sql);
    return r.empty() || r[0].empty() ? std::nullopt : r[0][0];
}

long SqliteFile::count(const std::string& sql) { return std::stol(one(sql).value_or("0")); }

std::vector<std::string> SqliteFile::columns(const std::string& table)
{
    std::vector<std::string> names;
    for (const Row& r : rows("PRAGMA table_info(" + table + ")"))
        names.push_back(r.at(1).value_or(""));
    return names;
}

} // namespace numora::test
