#pragma once
// Reading the ODBC configuration as the installer library sees it: the data
// sources (the user file, $ODBCINI or ~/.odbc.ini, over the system one) and
// the installed drivers.

#include <string>

namespace numora::odbc {

inline constexpr char kDataSources[] = "ODBC.INI";
inline constexpr char kDrivers[] = "ODBCINST.INI";

// The value of key in section of one of the two lists above; empty when
// there is none.
std::string profileString(const char* list, const std::string& section, const char* key);

// unixODBC keeps what it read of odbc.ini and odbcinst.ini for up to twenty
// seconds per process and looks entries up by section and key only, not by
// file. A data source re-pointed (or an ODBCINI changed) within that time
// would still be served from the stale copy, so every connect and every
// registration starts by dropping the cache. This reaches the installer
// library's copy, through which the program and the driver read the data
// source; the driver manager's own copy cannot be reached (see the ADO
// layer's connect).
void forgetCachedDataSources();

} // namespace numora::odbc
