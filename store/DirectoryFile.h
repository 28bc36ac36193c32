#pragma once
// A directory database file reached by its path, as the tools reach one:
// over a connection of its own through the same ODBC driver as the
// program's data source, with the program's busy wait, column upgrade and
// duplicate test. Making a new file, reading a group's cards, and adding
// many cards at once (parameter arrays, one transaction).
//
// Every failure throws numora::Error (a std::runtime_error) whose text
// names the file and says what went wrong in the user's terms.

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/Card.h"
#include "store/Tables.h"

namespace numora::ado {
class Connection;
}

namespace numora::store {

enum class FileFormat {
    Current,               // both tables with every column of the description
    BeforeAddressAndEmail, // without the columns files gain at start
};

// The cards a new file's table is made with: how many, and each card's
// field at an index of the table description (nullopt: Null). Fields the
// format lacks are not asked for.
struct NewCards {
    std::size_t count = 0;
    std::function<std::optional<std::string_view>(std::size_t card, std::size_t field)> field;
};

// Makes a directory database file at path, both tables in the format (each
// with an index on Name), holding the cards cardsOf gives each table. Never
// over an existing file, not even truncating it; a file this started is
// removed again when making it fails.
void makeDirectoryFile(const std::string& path, FileFormat format,
                       const std::function<NewCards(const Table&)>& cardsOf = {});

// Told now and then how many of the cards a long step has done.
using CardProgress = std::function<void(std::size_t done, std::size_t total)>;

class DirectoryFile {
public:
    // Opens the directory database file at path. Error when it cannot be:
    // missing, a folder, not a database, damaged, or held by another
    // program for longer than the busy wait.
    explicit DirectoryFile(const std::string& path);
    ~DirectoryFile();
    DirectoryFile(const DirectoryFile&) = delete;
    DirectoryFile& operator=(const DirectoryFile&) = delete;

    // The group's cards in the order they were added, each as its fields in
    // the order of the table description, trimmed; Null and a column the
    // file lacks (the older format) read as the empty text. The texts are
    // valid during the call only. counted, when given, is told how many
    // cards there are before the first is visited.
    using CardTexts = std::array<std::string_view, kCardFields>;
    void readCards(const Table& table, const std::function<void(const CardTexts&)>& visit,
                   const std::function<void(std::size_t count)>& counted = {});

    // The names of the group's cards, trimmed.
    std::vector<std::string> names(const Table& table);

    // Adds cards to the group, all of them or none, in one transaction that
    // holds the file's write lock from its start: the group's names are read
    // and handed to choose, which returns the cards to add, so that no other
    // program adds a name between the test and the write. A file of the
    // older format gains the columns it lacks first, as the program gives
    // them at start. Returns what choose returned. Called from within
    // changing(), it joins that transaction instead.
    std::vector<Fields>
    addCards(const Table& table,
             const std::function<std::vector<Fields>(const std::vector<std::string>& names)>& choose,
             const CardProgress& progress = {});

    // For a tool that keeps data of its own in the file beside the cards.
    // reading runs read over the connection; changing runs change in one
    // transaction that holds the write lock from its start, after the
    // columns an older file lacks are added: all of it or none. An engine
    // error in either throws naming the file.
    void reading(const std::function<void(ado::Connection&)>& read);
    void changing(const std::function<void(ado::Connection&)>& change);

private:
    std::string path_;
    std::unique_ptr<ado::Connection> cn_;
    bool changing_ = false; // within changing()
};

} // namespace numora::store
