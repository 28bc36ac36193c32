#pragma once
// A card as a value, and the changes made to cards: adding one, updating one
// against the card as it was read, deleting one. A card taken from a listing
// holds what its row held when it was read and what finds that row again, so
// that a change reaches that card and no other, and none at all when the card
// was changed or deleted meanwhile (by this program or another). The test
// that a name is not used yet runs in the transaction of the write that
// depends on it.

#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "store/Tables.h"

namespace numora::ado {
class Recordset;
}

namespace numora::store {

class Listing;

using Text = std::optional<std::string>; // UTF-8; std::nullopt is Null

// The texts a card is stored with: its seven fields in the order of the
// table description, each trimmed.
using Fields = std::array<std::string, kCardFields>;

class Card {
public:
    // A column's value as read. Error (item not found) when the card has no
    // column of that name (Latin letters compared without regard to case).
    Text field(std::string_view column) const;
    // The field at index f of table's description, without the blanks
    // around it, Null as the empty text; Error as field().
    QString text(const Table& table, int f) const;

private:
    friend class Listing;
    friend struct Writer;
    explicit Card(std::shared_ptr<ado::Recordset> row);
    // The card's row alone, over the connection it was read through; a write
    // goes back through it, to the row it came from.
    std::shared_ptr<ado::Recordset> row_;
};

// The duplicate test's look-up: the query it ran and the cards it read,
// which the search window's look-ups replace.
struct LookUp {
    QString sql;
    std::unique_ptr<Listing> cards;

    LookUp();
    ~LookUp();
};

enum class Written { Card, NameUsed };

// Adds a card of these fields to table, through the connection `listed` was
// read over, unless a card of the table has that name (trimmed, compared
// exactly): the table's cards are read ("select * from <table>", kept in
// lookUp) and the card is written in one transaction that holds the file's
// write lock from the start, so no other program adds the name in between.
// An empty field is stored as an empty text, never as Null. Error when the
// listing is not open or the write fails; nothing is written then.
Written addCard(const Listing& listed, const Table& table, const Fields& fields, LookUp& lookUp);

// Writes the fields over card, by the columns of table, when the card is
// still as it was read; Error, and nothing written, when it was changed or
// deleted since or the card has no such column. nameTestSql: when given, the
// query whose cards (kept in lookUp) the new name is tested against, in the
// write's transaction; a card keeping its own name needs none.
Written updateCard(Card& card, const Table& table, const Fields& fields, const std::optional<QString>& nameTestSql,
                   LookUp& lookUp);

// Deletes the card, when it is still as it was read: that card alone, a twin
// with the same values stays. Error, and nothing deleted, otherwise.
void deleteCard(Card& card);

// A card's name changed in an edit buffer and then written or dropped: the
// edit-buffer demonstration. The card is read over a connection of its own
// to the data source by its name ("select * from <table> where Name =
// '<name>'").
class NameEdit {
public:
    // The first card of that name; none when the table has no such card.
    // Error when it cannot be read.
    static std::optional<NameEdit> open(const Table& table, const QString& name);
    NameEdit(NameEdit&&) noexcept;
    NameEdit& operator=(NameEdit&&) noexcept;
    ~NameEdit();

    Text name() const;                     // as the buffer holds it
    void setName(const std::string& name); // into the buffer only
    void update();                         // writes the buffer (as the card was read, or Error)
    void cancelUpdate();                   // drops the buffer
    bool editPending() const;
    void close();

private:
    explicit NameEdit(std::unique_ptr<ado::Recordset> rs);
    std::unique_ptr<ado::Recordset> rs_;
};

} // namespace numora::store
