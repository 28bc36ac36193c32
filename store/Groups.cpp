// The group-to-table mapping and the SQL and filter texts built from it.

#include "store/Store.h"

namespace numora::store {

const Table* tableForGroup(const QString& groupText)
{
    // Exact comparison: "personal" or "Work " select no table.
    for (const Table* table : kTables) {
        if (groupText == QLatin1String(table->group))
            return table;
    }
    return nullptr;
}

QString listingSql(const Table& table, const QString& sortOrder)
{
    return QStringLiteral("select * from ") + QLatin1String(table.name) + QStringLiteral(" order by Name ") +
           sortOrder;
}

QString quoted(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString nameFilter(const QString& prefix)
{
    return QStringLiteral("Name like '") + quoted(prefix) + QStringLiteral("*'");
}

QString lookupSql(const Table& table, const QString& name)
{
    return QStringLiteral("select * from ") + QLatin1String(table.name) + QStringLiteral(" where Name = '") +
           quoted(name) + QStringLiteral("'");
}

} // namespace numora::store
