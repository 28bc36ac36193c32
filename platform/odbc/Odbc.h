#pragma once
// Small helpers over the ODBC C API shared by the connection, the recordset
// and the data-source registration: turning diagnostics into numora::Error
// and owning statement handles.

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Error.h"

namespace numora::odbc {

// The number of a failure the driver gave no number of its own for.
inline constexpr long kGenericFailure = -2147467259;

struct Diagnostic {
    std::string state; // SQLSTATE, five characters
    long native = 0;   // the engine's own error code
    std::string text;  // the message without the driver manager's and driver's tags
};

// The first diagnostic record of a handle, if there is one.
std::optional<Diagnostic> firstDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle);

// The engine's own numbers for a file locked by another connection.
inline constexpr long kEngineBusy = 5;   // the file is locked
inline constexpr long kEngineLocked = 6; // a table is locked
bool isLockedByAnother(long number);

// "[SQLSTATE] message" with the engine's native error as number (or the
// generic failure when it has none); a lock held by another program is named
// as such. Without a diagnostic record the description names the operation
// that failed.
[[noreturn]] void throwDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, const char* operation);

// For a call on the way out (a release, a rollback, a reset in a destructor),
// which has no caller to fail: a failure is logged under numora.odbc with the
// handle's first diagnostic. Returns whether the call succeeded.
bool checkedOnTheWayOut(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* operation) noexcept;

// Removes the "[vendor][component]" tags in front of a message and the
// engine's own " (code)" behind it, leaving the engine's text.
std::string cleanMessage(std::string text, long native);

// An integer attribute value as the attribute setters take it.
inline SQLPOINTER attrValue(SQLULEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(v)); }

// SQL text as the API takes it (it does not write to it).
inline SQLCHAR* sqlText(const std::string& s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str())); }

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

} // namespace numora::odbc
