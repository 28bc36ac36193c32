#pragma once
// Reading the ODBC configuration as the installer library sees it: the data
// sources (the user file, $ODBCINI or ~/.odbc.ini, over the system one) and
// the installed drivers.
//
// Two of these lean on the installer library's workings rather than its
// public interface (the user file's location, and the way its cache is
// emptied). Both live in Ini.cpp alone; the build checks them against the
// installed unixODBC when it is configured.

#include <string>

namespace numora::odbc {

inline constexpr char kDataSources[] = "ODBC.INI";
inline constexpr char kDrivers[] = "ODBCINST.INI";

// The value of key in section of one of the two lists above; empty when
// there is none.
std::string profileString(const char* list, const std::string& section, const char* key);

// The user data-source file, as the installer itself locates it ($ODBCINI, or
// .odbc.ini in the home folder of the account, whatever $HOME says); empty
// when the installer cannot name one.
std::string userDataSourceFile();

// unixODBC keeps what it read of odbc.ini and odbcinst.ini for up to twenty
// seconds per process and looks entries up by section and key only, not by
// file. A data source re-pointed (or an ODBCINI changed) within that time
// would still be served from the stale copy, so every connect and every
// registration starts by dropping the cache. This reaches the installer
// library's copy, through which the program and the driver read the data
// source; the driver manager's own copy cannot be reached (see the ADO
// layer's connect). False (and logged) when the cache could not be dropped.
bool forgetCachedDataSources();

} // namespace numora::odbc
