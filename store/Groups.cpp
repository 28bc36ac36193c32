// The group-to-table mapping and the SQL and filter texts built from it.

#include "store/Store.h"

namespace numora::store {
namespace {

const GroupLayout& personal()
{
    static const GroupLayout layout{
        QStringLiteral("Personal"),
        QStringLiteral("Vemo"),
        {QStringLiteral("Name"), QStringLiteral("Phone"), QStringLiteral("Mobil"), QStringLiteral("Line"),
         QStringLiteral("Fax")},
        QStringLiteral("פקס"),
    };
    return layout;
}

const GroupLayout& work()
{
    // Phone is the work telephone here (the home one in Vemo), so it sits in
    // grid column 3, not 1.
    static const GroupLayout layout{
        QStringLiteral("Work"),
        QStringLiteral("Work"),
        {QStringLiteral("Name"), QStringLiteral("Home"), QStringLiteral("Mobil"), QStringLiteral("Phone"),
         QStringLiteral("Dept")},
        QStringLiteral("מחלקה"),
    };
    return layout;
}

} // namespace

const GroupLayout* layoutForGroup(const QString& groupText)
{
    // Exact comparison: "personal" or "Work " select no table.
    if (groupText == personal().group)
        return &personal();
    if (groupText == work().group)
        return &work();
    return nullptr;
}

const std::array<QString, 4>& commonHeadings()
{
    static const std::array<QString, 4> headings{
        QStringLiteral("שם/חברה"),
        QStringLiteral("טל' בבית"),
        QStringLiteral("פלאפון"),
        QStringLiteral("טל' בעבודה"),
    };
    return headings;
}

QString listingSql(const GroupLayout& layout, const QString& sortOrder)
{
    return QStringLiteral("select * from ") + layout.table + QStringLiteral(" order by Name ") + sortOrder;
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

QString lookupSql(const GroupLayout& layout, const QString& name)
{
    return QStringLiteral("select * from ") + layout.table + QStringLiteral(" where Name = '") + quoted(name) +
           QStringLiteral("'");
}

} // namespace numora::store
