#pragma once
// Small helpers over the ODBC C API shared by the connection, the recordset
// and the data-source registration: turning diagnostics into numora::Error,
// owning statement handles, and forgetting what the driver manager has cached
// of the data-source files.

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <string>

#include "platform/core/Error.h"

namespace numora::ado::detail {

struct Diagnostic {
    std::string state;  // SQLSTATE, five characters
    long native = 0;    // the engine's own error code
    std::string text;   // the message without the driver manager's and driver's tags
};

// The first diagnostic record of a handle, if there is one.
std::optional<Diagnostic> firstDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle);

// The engine's own numbers for a file locked by another connection.
inline constexpr long kEngineBusy = 5;   // the file is locked
inline constexpr long kEngineLocked = 6; // a table is locked
bool isLockedByAnother(long number);

// "[SQLSTATE] message" with the engine's native error as number (or the
// generic provider failure when it has none); a lock held by another program
// is named as such. Without a diagnostic record the description names the
// operation that failed.
[[noreturn]] void throwDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, const char* operation);

// Removes the "[vendor][component]" tags in front of a message and the
// engine's own " (code)" behind it, leaving the engine's text.
std::string cleanMessage(std::string text, long native);

// unixODBC keeps what it read of odbc.ini and odbcinst.ini for up to twenty
// seconds per process and looks entries up by section and key only, not by
// file. A data source re-pointed (or an ODBCINI changed) within that time
// would still be served from the stale copy, so every connect and every
// registration starts by dropping the cache. This reaches the installer
// library's copy, through which the program and the driver read the data
// source; the driver manager's own copy cannot be reached (see connect()).
void forgetCachedDataSources();

// Owns one statement handle of a connection.
class Statement {
public:
    explicit Statement(SQLHDBC dbc);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    SQLHSTMT get() const { return handle_; }

private:
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

} // namespace numora::ado::detail
