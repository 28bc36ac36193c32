// Start-up preparation of the database file: the columns older files lack.

#include "store/Store.h"

#include "platform/ado/Ado.h"
#include "platform/core/Error.h"

namespace numora::store {

void UpgradeDatabase(ado::Connection& cn)
{
    // Normally open already; the second open fails and that is fine.
    resumeNext([&] { cn.Open(kConnectionString, {}, {}, -1); });

    // Each statement fails on a file that has the column already; the others
    // still run, so old and new files both end up with both columns.
    static constexpr const char* kStatements[] = {
        "ALTER TABLE Vemo ADD COLUMN Address TEXT;",
        "ALTER TABLE Work ADD COLUMN Address TEXT;",
        "ALTER TABLE Vemo ADD COLUMN Email TEXT(20);",
        "ALTER TABLE Work ADD COLUMN Email TEXT(20);",
    };
    for (const char* statement : kStatements)
        resumeNext([&] { cn.Execute(statement, nullptr, -1); });
}

void PrepareDatabase(ado::Connection& cn, const QString& dataFolder, dao::Engine& engine)
{
    UpgradeDatabase(cn);
    RegisterDataSource(dataFolder, engine);
}

} // namespace numora::store
