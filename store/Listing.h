#pragma once
// The listing service: the cards of one group in name order, all of them or
// only the names that begin with one letter, with the query texts that say
// what was asked. Every window lists through it (the grid, the search
// window, the report) and takes a card from it as a value (store/Card.h);
// none of them sees the query or the rows behind it.

#include <QString>

#include <memory>
#include <optional>
#include <string_view>

#include "platform/core/Error.h"
#include "store/Card.h"
#include "store/Tables.h"

namespace numora::ado {
class Connection;
class Recordset;
} // namespace numora::ado

namespace numora::store {

class Listing {
public:
    Listing(); // nothing listed
    ~Listing();
    Listing(Listing&&) noexcept;
    Listing& operator=(Listing&&) noexcept;

    QString sql;       // the query text sent
    QString queryText; // sql, then " \\ " and the filter as it reads back; sql alone for a whole group
    // What went wrong, if anything: opening the listing (nothing is listed)
    // or setting the letter filter (the whole group is listed).
    std::optional<Error> failure;

    bool isOpen() const;
    // The cards listed: 0 when nothing could be opened.
    long count() const;

    // The index of a column of the listed cards by its name (Latin letters
    // compared without regard to case); -1 when there is none of that name.
    int findColumn(std::string_view name) const;
    // The same, failing (item not found) when there is none.
    int column(std::string_view name) const;
    // A column's text of the card listed at row (from 0), Null as nullopt,
    // valid until the listing is narrowed, replaced or released.
    std::optional<std::string_view> text(long row, int column) const;

    // Lists only the names that begin with prefix ("Name like '<prefix>*'",
    // which compares Latin letters without regard to case and names
    // untrimmed). Error when the filter is refused: the whole listing stays.
    void narrowTo(const QString& prefix);

    // The card at a grid row (1 = the first card listed), as a value of its
    // own that stays valid when the listing goes; none for the empty row
    // after the last card. Error when nothing is listed or the row is
    // neither.
    std::optional<Card> cardAt(int gridRow) const;
    // The same, with the empty row after the last card an error too.
    Card card(int gridRow) const;

private:
    friend Listing listCards(const Table&, const std::optional<QString>&, const QString&, ado::Connection*);
    friend Listing cardsNamed(ado::Connection&, const Table&, const QString&);
    friend Listing storedCards(ado::Connection&, const Table&);
    friend struct Writer;
    std::unique_ptr<ado::Recordset> rs_; // never null; closed when nothing could be listed
};

// The cards of table in name order (the query text ends in sortOrder), read
// over a connection of the listing's own to the data source, with a keyset
// cursor and optimistic locking, so a card taken from it can be written
// back. letter: only the names that begin with it (Listing::narrowTo);
// std::nullopt lists the whole group. A failure never leaves by exception:
// it is returned with the listing.
// over: read over that open connection instead (the report reads over the
// shared one); a closed one lists nothing and says so.
Listing listCards(const Table& table, const std::optional<QString>& letter, const QString& sortOrder,
                  ado::Connection* over = nullptr);

// The cards of table whose name is name once the blanks around it are gone,
// as every window shows names, read over cn ("select * from <table> where
// trim(Name) = '<name>'"). Error when they cannot be read.
Listing cardsNamed(ado::Connection& cn, const Table& table, const QString& name);

// Every card of table in the order stored, read over cn ("select * from
// <table>") so that a card taken from it can be written back: for a tool
// that compares the whole group and changes a few cards, where the name
// order would only cost. Error when they cannot be read.
Listing storedCards(ado::Connection& cn, const Table& table);

} // namespace numora::store
