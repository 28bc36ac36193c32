#include "platform/odbc/Ini.h"

#include <odbcinst.h>

#include <QLoggingCategory>

// The installer's own lookup of the user data-source file; exported by
// libodbcinst, though its header keeps it for the installer's own sources.
extern "C" BOOL _odbcinst_UserINI(char* pszFileName, BOOL bVerify);

namespace numora::odbc {
namespace {

Q_LOGGING_CATEGORY(lcIni, "numora.odbc", QtInfoMsg)

} // namespace

std::string profileString(const char* list, const std::string& section, const char* key)
{
    char buffer[4096] = {};
    const int n = SQLGetPrivateProfileString(section.c_str(), key, "", buffer, sizeof buffer, list);
    return n > 0 ? std::string(buffer) : std::string();
}

std::string userDataSourceFile()
{
    char buffer[8192] = {};
    if (!_odbcinst_UserINI(buffer, 0)) { // 0: only name it, do not create it
        qCWarning(lcIni) << "the ODBC installer names no user data-source file";
        return {};
    }
    return buffer;
}

bool forgetCachedDataSources()
{
    // Writing through the installer is the only public way to drop its cache.
    // Deleting a section of /dev/null changes nothing anywhere and still runs
    // the cache clearing that follows every successful write.
    if (SQLWritePrivateProfileString("Numora", nullptr, nullptr, "/dev/null"))
        return true;
    qCWarning(lcIni) << "the ODBC installer's cache of data sources could not be dropped; an entry changed in the "
                        "last twenty seconds may be read as it was";
    return false;
}

} // namespace numora::odbc
