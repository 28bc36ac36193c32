#include "platform/odbc/Ini.h"

#include <odbcinst.h>

namespace numora::odbc {

std::string profileString(const char* list, const std::string& section, const char* key)
{
    char buffer[4096] = {};
    const int n = SQLGetPrivateProfileString(section.c_str(), key, "", buffer, sizeof buffer, list);
    return n > 0 ? std::string(buffer) : std::string();
}

void forgetCachedDataSources()
{
    // Writing through the installer is the only public way to drop its cache.
    // Deleting a section of /dev/null changes nothing anywhere and still runs
    // the cache clearing that follows every successful write.
    SQLWritePrivateProfileString("Numora", nullptr, nullptr, "/dev/null");
}

} // namespace numora::odbc
