#pragma once
// Registration of ODBC data sources, over odbcinst (user data sources live in
// ~/.odbc.ini, or the file named by ODBCINI).
//
// The database driver the program was written for maps to the installed
// SQLite3 ODBC driver, and its DBQ attribute to that driver's Database key;
// every other attribute is written as given. A registration under a name that
// exists replaces that entry, keys and all; an entry that already says the
// same is left as it is. The file is only ever replaced whole, so it is never
// found half-written, and no other entry or comment in it changes.

#include <map>
#include <string>
#include <vector>

#include "platform/core/Error.h"
#include "platform/core/Seam.h"

namespace numora::dao {

// The name under which the program asks for its database driver.
inline constexpr char kAccessDriverName[] = "Microsoft Access Driver (*.mdb)";
// The installed driver that stands in for it.
inline constexpr char kSqliteDriverName[] = "SQLite3";

// The installer's number for a failure it has no closer number for.
inline constexpr long kGeneralError = 1;

struct EngineError {
    long Number = 0;
    std::string Description;
};

class Engine {
public:
    virtual ~Engine() = default;
    // attributes: "key=value" entries separated by carriage returns (char 13);
    // an entry holding any other control character is refused. Throws numora::Error on failure; Errors() then holds every error the
    // installer reported, in order.
    virtual void RegisterDatabase(const std::string& dsn, const std::string& driver, bool silent,
                                  const std::string& attributes) = 0;
    // The errors of the last failed call (emptied by the next call).
    virtual const std::vector<EngineError>& Errors() const = 0;
};

// The keys of a data source's entry as the user data-source file holds it,
// read from the file itself: the installer, and the driver manager with it,
// reads no user file that the user may not write. Empty when there is no
// such entry or the file cannot be read.
std::map<std::string, std::string> userDataSourceEntry(const std::string& dsn);

// The engine registrations go through: odbcinst, unless a test installed another.
Seam<Engine>& databaseEngine();
Engine& DBEngine(); // the engine in place now

} // namespace numora::dao
