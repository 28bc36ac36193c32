#include "platform/odbc/Odbc.h"

#include <QLoggingCategory>

#include <vector>

namespace numora::odbc {
namespace {

Q_LOGGING_CATEGORY(lcOdbc, "numora.odbc", QtInfoMsg)

} // namespace

std::optional<Diagnostic> firstDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle)
{
    if (handle == SQL_NULL_HANDLE)
        return std::nullopt;
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::vector<SQLCHAR> text(1024);
    SQLRETURN rc = SQLGetDiagRec(handleType, handle, 1, state, &native, text.data(),
                                 static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
        text.resize(static_cast<std::size_t>(length) + 1);
        rc = SQLGetDiagRec(handleType, handle, 1, state, &native, text.data(), static_cast<SQLSMALLINT>(text.size()),
                           &length);
    }
    if (!SQL_SUCCEEDED(rc))
        return std::nullopt;
    Diagnostic d;
    d.state = reinterpret_cast<const char*>(state);
    d.native = native;
    d.text = cleanMessage(reinterpret_cast<const char*>(text.data()), native);
    return d;
}

void throwDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, const char* operation)
{
    if (const auto d = firstDiagnostic(handleType, handle)) {
        const long number = d->native != 0 ? d->native : kGenericFailure;
        // The engine only says "database is locked"; the user needs to know
        // that it is someone else holding the file, and that waiting helps.
        if (isLockedByAnother(number))
            throw Error(number, "[" + d->state + "] The database file is in use by another program (" + d->text +
                                    "). Try again when that program has finished with it.");
        throw Error(number, "[" + d->state + "] " + d->text);
    }
    throw Error(kGenericFailure, std::string(operation) + " failed without a message from the driver.");
}

bool checkedOnTheWayOut(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* operation) noexcept
{
    if (SQL_SUCCEEDED(rc))
        return true;
    try {
        const auto d = firstDiagnostic(handleType, handle);
        qCWarning(lcOdbc).noquote() << operation << "failed:"
                                    << QString::fromStdString(d ? "[" + d->state + "] " + d->text
                                                                : std::string("no message from the driver"));
    } catch (const std::exception&) {
        // Not even the message could be read; the caller goes on regardless.
    }
    return false;
}

bool isLockedByAnother(long number) { return number == kEngineBusy || number == kEngineLocked; }

std::string cleanMessage(std::string text, long native)
{
    while (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos)
            break;
        text.erase(0, close + 1);
    }
    const std::string code = " (" + std::to_string(native) + ")";
    if (text.size() > code.size() && text.compare(text.size() - code.size(), code.size(), code) == 0)
        text.erase(text.size() - code.size());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

Statement::Statement(SQLHDBC dbc)
{
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_))) {
        handle_ = SQL_NULL_HSTMT;
        throwDiagnostic(SQL_HANDLE_DBC, dbc, "Allocating a statement");
    }
}

Statement::~Statement()
{
    if (handle_ != SQL_NULL_HSTMT)
        checkedOnTheWayOut(SQLFreeHandle(SQL_HANDLE_STMT, handle_), SQL_HANDLE_STMT, handle_, "Releasing a statement");
}

} // namespace numora::odbc
