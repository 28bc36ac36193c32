// Another program on the same directory file, for the tests: it holds the
// engine's locks, writes, and reads through the program's own ODBC layer as a
// second running instance would. One command a line on standard input, one
// reply line for each ("ok", the values asked for, or "error <text>"):
//
//   open FILE     an engine connection of its own to FILE (no busy wait)
//   sql SQL       runs SQL on it (BEGIN EXCLUSIVE, an INSERT, COMMIT, ...)
//   rows SQL      the first column of every row, separated by tabs
//   odbc STRING   an ODBC connection as the program opens one ("DSN=...")
//   oexec SQL     runs SQL over it; a query replies as rows does
//   quit
#include <sqlite3.h>

#include <iostream>
#include <memory>
#include <string>

#include "platform/ado/Ado.h"

namespace {

std::string firstColumn(numora::ado::Recordset& rs)
{
    std::string out;
    for (; !rs.Eof(); rs.MoveNext())
        out += (out.empty() ? "" : "\t") + rs.Field(0).value_or("");
    return out;
}

} // namespace

int main()
{
    sqlite3* db = nullptr;
    std::unique_ptr<numora::ado::Connection> odbc;
    std::string line;
    while (std::getline(std::cin, line)) {
        const auto space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
        std::string reply = "ok";
        try {
            if (command == "quit") {
                break;
            } else if (command == "open") {
                sqlite3_close(db);
                if (sqlite3_open_v2(arg.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
                    reply = std::string("error ") + sqlite3_errmsg(db);
            } else if (command == "sql") {
                if (sqlite3_exec(db, arg.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
                    reply = std::string("error ") + sqlite3_errmsg(db);
            } else if (command == "rows") {
                sqlite3_stmt* st = nullptr;
                reply.clear();
                if (sqlite3_prepare_v2(db, arg.c_str(), -1, &st, nullptr) != SQLITE_OK) {
                    reply = std::string("error ") + sqlite3_errmsg(db);
                } else {
                    int rc = SQLITE_ROW;
                    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                        reply += (reply.empty() ? "" : "\t") + std::string(text ? text : "");
                    }
                    if (rc != SQLITE_DONE)
                        reply = std::string("error ") + sqlite3_errmsg(db);
                }
                sqlite3_finalize(st);
            } else if (command == "odbc") {
                odbc = std::make_unique<numora::ado::Connection>();
                odbc->Open(arg);
            } else if (command == "oexec") {
                if (auto rs = odbc->Execute(arg))
                    reply = firstColumn(*rs);
            } else {
                reply = "error unknown command " + command;
            }
        } catch (const numora::Error& e) {
            reply = "error " + e.description();
        }
        std::cout << reply << std::endl;
    }
    odbc.reset();
    sqlite3_close(db);
    return 0;
}
