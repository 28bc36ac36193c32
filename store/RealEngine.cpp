// The overloads that register through the real database engine.

#include "store/Store.h"

#include "platform/dao/DBEngine.h"

namespace numora::store {

void RegisterDataSource(const QString& dataFolder) { RegisterDataSource(dataFolder, dao::DBEngine()); }

QString PrepareDatabase(ado::Connection& cn, const QString& dataFolder)
{
    return PrepareDatabase(cn, dataFolder, dao::DBEngine());
}

} // namespace numora::store
