#pragma once
// The listing service: the cards of one group in name order, all of them or
// only the names that begin with one letter (or with the search window's
// text), with the query texts that say what was asked. The grid lists what it gets; nothing here touches a widget.

#include <QString>

#include <memory>
#include <optional>

#include "platform/ado/Ado.h"
#include "store/Tables.h"

namespace numora::store {

struct Listing {
    // The listed cards, the letter filter applied, standing on the first of
    // them. Closed when the listing could not be opened.
    std::unique_ptr<ado::Recordset> recordset;
    QString sql;       // the query text sent
    QString queryText; // sql, then " \\ " and the filter as it reads back; sql alone for a whole group
    // What went wrong, if anything: opening the listing (nothing is listed)
    // or setting the letter filter (the whole group is listed).
    std::optional<Error> failure;

    // The cards listed: 0 when nothing could be opened.
    long count() const;
};

// The cards of table in name order (the query text ends in sortOrder), read
// over a connection of the recordset's own to the data source, with a keyset
// cursor and optimistic locking, so the recordset can write them back.
// letter: only the names that begin with it, through the recordset's filter
// (never in the SQL; it compares Latin letters without regard to case and
// names untrimmed, so a caller wanting an exact match compares again);
// std::nullopt lists the whole group. A failure never
// leaves by exception: it is returned with the listing.
// over: read over that open connection instead (the report reads over the
// shared one); a closed one lists nothing and says so.
Listing listCards(const Table& table, const std::optional<QString>& letter, const QString& sortOrder,
                  ado::Connection* over = nullptr);

} // namespace numora::store
