#include "platform/dao/DBEngine.h"

#include <odbcinst.h>
#include <sql.h>

#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/ado/Filter.h"
#include "platform/ado/OdbcSupport.h"

namespace numora::dao {
namespace {

// The installed driver that stands in for the one the program asks for.
constexpr char kSqliteDriverName[] = "SQLite3";

bool sameKey(std::string_view a, std::string_view b) { return ado::detail::equalsIgnoringLatinCase(a, b); }

std::string userDataSourceFile()
{
    if (const char* ini = std::getenv("ODBCINI"); ini && *ini)
        return ini;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.odbc.ini";
}

// Runs the registration in user mode, whatever mode the process is in: user
// data sources only, never the system-wide file.
class UserConfigMode {
public:
    UserConfigMode()
    {
        if (!SQLGetConfigMode(&saved_))
            saved_ = ODBC_BOTH_DSN;
        SQLSetConfigMode(ODBC_USER_DSN);
    }
    ~UserConfigMode() { SQLSetConfigMode(saved_); }
    UserConfigMode(const UserConfigMode&) = delete;
    UserConfigMode& operator=(const UserConfigMode&) = delete;

private:
    UWORD saved_ = ODBC_BOTH_DSN;
};

std::string installedDriverLibrary(const std::string& driver)
{
    char buffer[1024] = {};
    const int n = SQLGetPrivateProfileString(driver.c_str(), "Driver", "", buffer, sizeof buffer, "ODBCINST.INI");
    return n > 0 ? std::string(buffer) : std::string();
}

std::string readUserKey(const std::string& dsn, const char* key)
{
    char buffer[4096] = {};
    const int n = SQLGetPrivateProfileString(dsn.c_str(), key, "", buffer, sizeof buffer, "ODBC.INI");
    return n > 0 ? std::string(buffer) : std::string();
}

// The data-source file keeps no blanks around a value.
std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

struct Attribute {
    std::string key;
    std::string value;
};

class RealEngine final : public Engine {
public:
    void RegisterDatabase(const std::string& dsn, const std::string& driver, bool /*silent*/,
                          const std::string& attributes) override
    {
        errors_.clear();
        UserConfigMode userMode;

        // Everything is checked before the old entry is touched, so a refused
        // registration leaves the existing data source as it was.
        const std::string target = sameKey(driver, kAccessDriverName) ? std::string(kSqliteDriverName) : driver;
        if (target.empty() || installedDriverLibrary(target).empty())
            refuse(ODBC_ERROR_INVALID_NAME, "Invalid driver name: '" + driver + "' is not an installed ODBC driver.");

        std::vector<Attribute> entries;
        std::size_t start = 0;
        while (start <= attributes.size()) {
            auto end = attributes.find('\r', start);
            if (end == std::string::npos)
                end = attributes.size();
            const std::string entry = attributes.substr(start, end - start);
            start = end + 1;
            if (entry.empty())
                continue;
            const auto eq = entry.find('=');
            if (eq == std::string::npos || eq == 0)
                refuse(ODBC_ERROR_INVALID_KEYWORD_VALUE, "Invalid keyword-value pair: '" + entry + "'.");
            Attribute a{entry.substr(0, eq), entry.substr(eq + 1)};
            // The old driver's library path means nothing here and must not
            // replace the Driver key that names the installed driver.
            if (sameKey(a.key, "Driver"))
                continue;
            if (sameKey(a.key, "DBQ"))
                a.key = "Database";
            entries.push_back(std::move(a));
        }

        // Removing first drops keys of an earlier registration that this one
        // does not write again.
        ado::detail::forgetCachedDataSources();
        SQLRemoveDSNFromIni(dsn.c_str());
        ado::detail::forgetCachedDataSources(); // also empties the installer's error list
        if (!SQLWriteDSNToIni(dsn.c_str(), target.c_str()))
            failWithInstallerErrors("The data source could not be written.");
        for (const Attribute& a : entries) {
            if (!SQLWritePrivateProfileString(dsn.c_str(), a.key.c_str(), a.value.c_str(), "ODBC.INI"))
                failWithInstallerErrors("The data source attribute '" + a.key + "' could not be written.");
        }

        // The installer can report success for a file it never wrote; read
        // the entry back before calling the registration done.
        ado::detail::forgetCachedDataSources();
        bool written = sameKey(readUserKey(dsn, "Driver"), target);
        for (const Attribute& a : entries)
            written = written && trimmed(readUserKey(dsn, a.key.c_str())) == trimmed(a.value);
        if (!written)
            refuse(ODBC_ERROR_REQUEST_FAILED,
                   "The data source '" + dsn + "' could not be written to " + userDataSourceFile() + ".");
    }

    const std::vector<EngineError>& Errors() const override { return errors_; }

private:
    [[noreturn]] void refuse(long number, std::string description)
    {
        errors_.push_back({number, std::move(description)});
        throw Error(errors_.front().Number, errors_.front().Description);
    }

    [[noreturn]] void failWithInstallerErrors(std::string fallback)
    {
        for (WORD i = 1; i <= 8; ++i) {
            DWORD code = 0;
            char message[SQL_MAX_MESSAGE_LENGTH] = {};
            WORD length = 0;
            const RETCODE rc = SQLInstallerError(i, &code, message, sizeof message, &length);
            if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
                break;
            errors_.push_back({static_cast<long>(code), message});
        }
        if (errors_.empty())
            errors_.push_back({ODBC_ERROR_GENERAL_ERR, std::move(fallback)});
        throw Error(errors_.front().Number, errors_.front().Description);
    }

    std::vector<EngineError> errors_;
};

} // namespace

Engine& DBEngine()
{
    static RealEngine engine;
    return engine;
}

} // namespace numora::dao
