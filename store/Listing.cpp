#include "store/Listing.h"

#include "store/Store.h"

namespace numora::store {

long Listing::count() const
{
    return recordset && recordset->State() == ado::adStateOpen ? recordset->RecordCount() : 0;
}

Listing listCards(const Table& table, const std::optional<QString>& letter, const QString& sortOrder,
                  ado::Connection* over)
{
    Listing listing;
    listing.sql = listingSql(table, sortOrder);
    listing.recordset = std::make_unique<ado::Recordset>();
    ado::Recordset& rs = *listing.recordset;
    rs.setLockType(ado::adLockOptimistic);
    rs.setCursorType(ado::adOpenKeyset);
    try {
        if (over)
            rs.Open(listing.sql.toStdString(), *over, -1, -1, ado::adCmdText);
        else
            rs.Open(listing.sql.toStdString(), connectionString(), -1, -1, ado::adCmdText);
        if (letter)
            rs.setFilter(nameFilter(*letter).toStdString());
    } catch (const Error& e) {
        // A file missing, locked or not a database lists nothing; a refused
        // filter leaves the whole group listed.
        listing.failure = e;
    }
    listing.queryText = letter ? listing.sql + QStringLiteral(" \\\\ ") + QString::fromStdString(rs.Filter())
                               : listing.sql;
    return listing;
}

} // namespace numora::store
