#pragma once
// Cards between a group of a directory database file and the files other
// address books read and write: vCard (written as 4.0 or 3.0, read as 2.1,
// 3.0 and 4.0, with what older phones add) and CSV (written with a header of
// field names common address books know, read with those, the group's column
// names or the Hebrew names older programs give theirs).
//
// A card in a file is known by what its fields mean (Kind), not by the
// column names of a table: the column Phone is the home telephone in Vemo and
// the work telephone in Work, and a fax number has no place in Work. An
// import maps those meanings onto the group's columns, runs the checks the
// editor runs (store/CardChecks.h) and adds what passes in one transaction.
//
// The database is reached through the data core (store/DirectoryFile.h),
// with the program's own rules for it. Every failure that stops a whole
// export or import throws std::runtime_error with a message for the user that
// names the file.

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/Card.h"
#include "store/Tables.h"

namespace numora::ado {
class Connection;
}

namespace numora::exchange {

// What a field of a card means.
enum class Kind { Name, Home, Mobile, Work, Fax, Dept, Address, Email };
inline constexpr int kKinds = 8;

// What the kind is called in a message: "home number", "department".
const char* describe(Kind k);

struct Card {
    std::array<std::string, kKinds> values; // UTF-8 text; empty when the card has none
    int number = 0;                         // the card's place in its file, from 1
    int line = 0;                           // the file line the card starts on, from 1

    std::string& operator[](Kind k) { return values[static_cast<std::size_t>(k)]; }
    const std::string& operator[](Kind k) const { return values[static_cast<std::size_t>(k)]; }
};

// Things worth telling about a file's cards (a field left out, a number of
// several chosen), each told once with the number of cards it concerns.
class Notes {
public:
    void add(const std::string& what);
    // A note on the file as a whole, told without a count.
    void aboutFile(const std::string& what);
    // Each of one card's notes, once however often that card gave it.
    void addCard(const Notes& card);
    // "what (N cards)", in the order first noted.
    std::vector<std::string> lines() const;
    bool empty() const { return order_.empty(); }

private:
    std::vector<std::string> order_;
    std::map<std::string, std::size_t> counts_;
};

struct Skipped {
    int number = 0; // the card's place in the file, from 1
    int line = 0;   // the file line it starts on
    std::string name;
    std::string reason;
};

struct ReadResult {
    std::vector<Card> cards;
    Notes notes;
    std::vector<Skipped> unreadable; // cards that could not be read at all
};

enum class Format { VCard, Csv };

struct ReadOptions {
    // The file's encoding as iconv names it ("windows-1255", "UTF-16LE");
    // empty: UTF-8, or UTF-16 with a byte-order mark, and text that is not
    // UTF-8 read as Windows-1255 with a note.
    std::string encoding;
};

struct WriteOptions {
    // The vCard version written: "4.0", or "3.0" for phones and address
    // books that read no later one.
    std::string vcardVersion = "4.0";
};

// ---- formats ------------------------------------------------------------------

// Every card of the text; cards with undecodable values go to unreadable.
// Throws when the text holds no card at all.
ReadResult readVcard(std::string_view bytes, const ReadOptions& options = {});
// Throws when the header names no name field, or the text is in no encoding
// known (see ReadOptions) or ends inside a quoted field.
ReadResult readCsv(std::string_view bytes, const ReadOptions& options = {});

// vCard 4.0 (or 3.0), CRLF line ends, lines folded at 75 octets, N as well
// as FN. What a vCard cannot carry (control characters) is left out and
// noted.
std::string writeVcard(std::span<const Card> cards, const store::Table& table, Notes& notes,
                       const WriteOptions& options = {});
// RFC 4180: a header of field names other address books know (csvHeader),
// then one record per card. A cell that a spreadsheet would take for a
// formula (it begins with =, +, -, @, a tab or a CR) is written after a
// single quote, which readCsv takes off again.
std::string writeCsv(std::span<const Card> cards, const store::Table& table, bool withHeader = true);
std::string csvHeader(const store::Table& table);

// The field names a CSV header may use, by what they mean ("home phone",
// "mobile", ...); besides them the column names and the Hebrew headings of
// either table are understood.
const std::vector<std::pair<const char*, Kind>>& csvHeaderNames();

// ---- a group's cards ------------------------------------------------------------

// What the column of the table at index holds.
Kind kindOfColumn(const store::Table& table, int column);

using Row = store::Fields; // in the table's column order

struct ImportPlan {
    std::vector<Row> toAdd; // trimmed, in file order
    std::vector<Skipped> skipped;
    // Cards added whole with a field longer than the editor allows; reason
    // names the field and the limit. The editor asks for it shorter on the
    // next Update.
    std::vector<Skipped> longFields;
    Notes notes;
};

// The cards read, checked as the editor checks a card (trimmed; a name not
// used in the group, nor by an earlier card of the file), in the table's
// columns. existingNames are the group's names, trimmed.
// Values are trimmed of every blank and cleared of control characters, and
// numbers written as the directory writes them (text::dialable). A card is
// refused only for having no name, no number, or a name already used; one
// with a field longer than the editor allows is added whole and listed in
// longFields.
ImportPlan planImport(ReadResult read, const store::Table& table, const std::vector<std::string>& existingNames);
// The cards read checked against the names of a group on a database server
// and added in one transaction over cn; a name a colleague adds meanwhile is
// refused by the server, and then no card is added (numora::Error).
ImportPlan importCards(ado::Connection& cn, const store::Table& table, ReadResult read);

// ---- the database file and the exchanged file -------------------------------------

// Called now and then with how far a long step is.
using Progress = std::function<void(const char* step, std::size_t done, std::size_t total)>;

// The group's cards in the order they were added.
std::vector<Card> readGroup(const std::string& database, const store::Table& table);
// The same of a group on a database server, over the connection kept for it.
std::vector<Card> readGroup(ado::Connection& cn, const store::Table& table);
// The whole file; throws when it cannot be read or is larger than an
// address book file can sensibly be.
std::string readFile(const std::string& path);
// Replaces path with the bytes as a whole (files::replaceWhole), so path is
// whole, old or new, whatever happens. Refuses to replace a folder or a
// database file.
void writeFileSafely(const std::string& path, const std::string& bytes);

// The cards as the whole of a file of the format, made a thousand cards at a
// time, each thousand told to progress ("writing").
std::string writeCards(std::span<const Card> cards, const store::Table& table, Format format, Notes& notes,
                       const Progress& progress = {}, const WriteOptions& options = {});
// Every card of a file of the format; throws naming the file when it cannot
// be read or holds no cards of the format.
ReadResult readCardsFile(const std::string& file, Format format);
ReadResult readCardsFile(const std::string& file, Format format, const ReadOptions& options);

struct ExportResult {
    std::size_t cards = 0;
    Notes notes;
};
ExportResult exportGroup(const std::string& database, const store::Table& table, Format format, const std::string& file,
                         const Progress& progress = {});
ExportResult exportGroup(const std::string& database, const store::Table& table, Format format, const std::string& file,
                         const Progress& progress, const WriteOptions& options);

// The file's cards checked against the group's names and added in one
// transaction that also holds the write lock while the names are read, so
// that no other program adds a name in between. A file of the format before
// Address and Email gains those columns first, as the program gives them at
// start. With dryRun the plan is made and nothing is written.
ImportPlan importFile(const std::string& database, const store::Table& table, Format format, const std::string& file,
                      bool dryRun, const Progress& progress = {});
ImportPlan importFile(const std::string& database, const store::Table& table, Format format, const std::string& file,
                      bool dryRun, const Progress& progress, const ReadOptions& options);

} // namespace numora::exchange
