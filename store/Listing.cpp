// The listing service over the recordsets of the ODBC layer: a listing holds
// the client copy of its rows, and a card taken from it a copy of its row.

#include "store/Listing.h"

#include "platform/ado/Ado.h"
#include "platform/odbc/Text.h"
#include "store/Server.h"
#include "store/Store.h"

namespace numora::store {

Listing::Listing() : rs_(std::make_unique<ado::Recordset>()) {}
Listing::~Listing() = default;
Listing::Listing(Listing&&) noexcept = default;
Listing& Listing::operator=(Listing&&) noexcept = default;

bool Listing::isOpen() const { return rs_ && rs_->State() == ado::adStateOpen; }

long Listing::count() const { return isOpen() ? rs_->RecordCount() : 0; }

int Listing::findColumn(std::string_view name) const
{
    for (int i = 0; i < rs_->FieldCount(); ++i) {
        if (odbc::equalsIgnoringLatinCase(rs_->FieldName(i), name))
            return i;
    }
    return -1;
}

int Listing::column(std::string_view name) const
{
    if (const int found = findColumn(name); found >= 0)
        return found;
    (void)rs_->Field(std::string(name)); // fails as the recordset fails for such a name
    throw Error(ado::adErrItemNotFound, "no column " + std::string(name));
}

std::optional<std::string_view> Listing::text(long row, int column) const { return rs_->FieldViewAt(row, column); }

void Listing::narrowTo(const QString& prefix) { rs_->setFilter(nameFilter(prefix).toStdString()); }

std::optional<Card> Listing::cardAt(int gridRow) const
{
    rs_->MoveFirst();
    rs_->Move(gridRow - 1);
    if (rs_->Eof())
        return std::nullopt;
    return Card(rs_->CopyCurrentRow());
}

Card Listing::card(int gridRow) const
{
    rs_->MoveFirst();
    rs_->Move(gridRow - 1);
    return Card(rs_->CopyCurrentRow());
}

Listing listCards(const Table& table, const std::optional<QString>& letter, const QString& sortOrder,
                  ado::Connection* over)
{
    Listing listing;
    listing.sql = listingSql(table, sortOrder);
    ado::Recordset& rs = *listing.rs_;
    rs.setLockType(ado::adLockOptimistic);
    rs.setCursorType(ado::adOpenKeyset);
    try {
        if (over)
            rs.Open(listing.sql.toStdString(), *over, -1, -1, ado::adCmdText);
        else
            rs.Open(listing.sql.toStdString(), groupConnectionString(table), -1, -1, ado::adCmdText);
        if (letter)
            listing.narrowTo(*letter);
    } catch (const Error& e) {
        // A file missing, locked or not a database lists nothing; a refused
        // filter leaves the whole group listed.
        listing.failure = e;
    }
    listing.queryText =
        letter ? listing.sql + QStringLiteral(" \\\\ ") + QString::fromStdString(rs.Filter()) : listing.sql;
    return listing;
}

Listing cardsNamed(ado::Connection& cn, const Table& table, const QString& name)
{
    Listing listing;
    listing.sql = lookupTrimmedSql(table, name);
    listing.queryText = listing.sql;
    if (std::unique_ptr<ado::Recordset> rs = cn.Execute(listing.sql.toStdString()))
        listing.rs_ = std::move(rs);
    return listing;
}

Listing storedCards(ado::Connection& cn, const Table& table)
{
    Listing listing;
    listing.sql = tableSql(table);
    listing.queryText = listing.sql;
    listing.rs_->Open(listing.sql.toStdString(), cn, ado::adOpenKeyset, ado::adLockOptimistic, ado::adCmdText);
    return listing;
}

} // namespace numora::store
