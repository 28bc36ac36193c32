// The overloads that register through the real database engine.

#include "store/Store.h"

#include "platform/dao/DBEngine.h"

namespace numora::store {

std::vector<dao::EngineError> RegisterDataSource(const QString& dataFolder)
{
    return RegisterDataSource(dataFolder, dao::DBEngine());
}

Preparation PrepareDatabase(ado::Connection& cn, const QString& dataFolder)
{
    return PrepareDatabase(cn, dataFolder, dao::DBEngine());
}

} // namespace numora::store
