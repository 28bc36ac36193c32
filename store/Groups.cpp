// The group-to-table mapping, the SQL and filter texts built from it, and
// the rule for texts moved between a column and a box or a cell.

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

QString tableSql(const Table& table) { return QStringLiteral("select * from ") + QLatin1String(table.name); }

QString listingSql(const Table& table, const QString& sortOrder)
{
    return tableSql(table) + QStringLiteral(" order by Name ") + sortOrder;
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
    return tableSql(table) + QStringLiteral(" where Name = '") + quoted(name) + QStringLiteral("'");
}

QString lookupTrimmedSql(const Table& table, const QString& name)
{
    return tableSql(table) + QStringLiteral(" where trim(Name) = '") + quoted(name) + QStringLiteral("'");
}

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return (begin == 0 && end == text.size()) ? text : text.mid(begin, end - begin);
}

QString fieldText(const ado::Value& value)
{
    return value ? QString::fromUtf8(value->data(), static_cast<qsizetype>(value->size())) : QString();
}

} // namespace numora::store
