// Built and run when the project is configured: the two workings of the
// installer library the program leans on beyond its public interface, tried
// against the unixODBC installed here. The program's ODBC layer
// (platform/odbc/Ini.cpp) relies on exactly these.
//   1. _odbcinst_UserINI links, and names the file $ODBCINI names.
//   2. A write to /dev/null succeeds and empties the installer's cache, so an
//      entry changed in the file behind its back is read as it is now.
// Exits 0 when both hold, else prints what did not and exits 1.
#include <odbcinst.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" BOOL _odbcinst_UserINI(char* pszFileName, BOOL bVerify);

namespace {

bool writeFile(const std::string& path, const char* value)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "[probe]\nDriver=none\nValue=%s\n", value);
    return std::fclose(f) == 0;
}

std::string valueRead()
{
    char buffer[64] = {};
    SQLGetPrivateProfileString("probe", "Value", "", buffer, sizeof buffer, "ODBC.INI");
    return buffer;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string file = argv[1];
    setenv("ODBCINI", file.c_str(), 1);
    SQLSetConfigMode(ODBC_USER_DSN);

    char named[8192] = {};
    if (!_odbcinst_UserINI(named, 0) || file != named) {
        std::printf("_odbcinst_UserINI named '%s', not $ODBCINI '%s'\n", named, file.c_str());
        return 1;
    }
    if (!writeFile(file, "first") || valueRead() != "first") {
        std::printf("the installer did not read the probe's data source file\n");
        return 1;
    }
    if (!writeFile(file, "second"))
        return 1;
    if (!SQLWritePrivateProfileString("Numora", nullptr, nullptr, "/dev/null")) {
        std::printf("a write to /dev/null through the installer failed\n");
        return 1;
    }
    if (valueRead() != "second") {
        std::printf("a write to /dev/null did not empty the installer's cache\n");
        return 1;
    }
    return 0;
}
