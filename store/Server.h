#pragma once
// Groups that live on a database server. A group may name an ODBC data
// source an administrator set up for a PostgreSQL server (the settings keys
// PersonalDataSource and WorkDataSource, overridden for one run by the
// options --personal-data-source and --work-data-source); without one it
// lives in the data folder's directory file. The program never writes such a
// data source and never keeps a password: signing in is the data source's
// and the server's business.
//
// On a server a group's table has the columns of its description, in lower
// case (the server folds the unquoted names every query uses), each text
// column ordered and compared by code points (collation "C"), as the file
// orders its names; a key column "rowid" the server numbers, which the
// reading layer takes as the row id and never lists; and a unique index on
// the trimmed name, so that two clients adding one name at the same moment
// cannot both succeed.

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

#include "platform/core/Error.h"
#include "store/Tables.h"

namespace numora::ado {
class Connection;
}

namespace numora::store {

inline constexpr char kSettingsApplication[] = "Numora";
inline constexpr char kSettingsSection[] = "Setting";

// The settings key naming a group's data source ("PersonalDataSource").
QString dataSourceKey(const Table& table);

// The folder of vCard files the group is kept in step with (the settings key
// PersonalSyncFolder or WorkSyncFolder), read afresh; empty: none.
QString groupSyncFolder(const Table& table);

// The data source a group lives on for this run; empty: the directory file.
QString groupDataSource(const Table& table);
void setGroupDataSource(const Table& table, const QString& dataSource);

// Chooses where each group lives for this run: the settings keys, then the
// options in arguments (the program's own arguments, without its name).
// Returns what is wrong with the options, as a sentence; empty when nothing.
QString chooseGroupSources(const QStringList& arguments);

// Whether a group lives on a server for this run.
bool onServer(const Table& table);

// The connection string the group's cards are reached through: its data
// source by name on a server, the directory's otherwise (connectionString()).
std::string groupConnectionString(const Table& table);

// ---- the table on a server --------------------------------------------------------

// The statements that make a group's table on a server, in order.
std::vector<std::string> serverTableStatements(const Table& table);

// Makes the group's table on the server cn is open on, in one transaction.
// Error, and nothing made, when the server refuses (a table of that name
// being there already among the reasons).
void createServerTable(ado::Connection& cn, const Table& table);

// Gives the group's table on a server the columns it lacks, each once: a
// column another client adds meanwhile is not added again.
void upgradeServerTable(ado::Connection& cn, const Table& table);

// The table on a server counting the writes to each group's table.
inline constexpr char kChangeTable[] = "numora_changes";

// How many writes the group's table on a server has had, as the server
// counts them for it (a trigger init makes); nullopt for a table without
// one. Error when it cannot be read. One small query: this is what a window
// asks every few seconds to learn whether colleagues changed cards.
std::optional<std::string> changeCount(ado::Connection& cn, const Table& table);

// Opens cn on the group's data source (when it is closed) and makes its
// table ready: it must be there with a Name column, and gains the columns
// it lacks. Returns why the group cannot be used, as a sentence to show;
// empty when it can.
QString prepareServerGroup(ado::Connection& cn, const Table& table);

// ---- what went wrong on a server ------------------------------------------------------

// Whether a failure is the server refusing a name the group holds already
// (its unique index), which a client that tested the name before writing
// meets when another client added it in between.
bool isNameTaken(const Error& e);

// Whether a failure is the connection to the server being lost or not made.
bool isServerUnreachable(const Error& e);

// The sentence that tells the user a group's server cannot be reached.
QString serverUnreachableText(const Table& table, const Error& e);

// ---- copying a group ------------------------------------------------------------------

// Where a group's cards are: a directory file by its path, or a server by
// "dsn:NAME".
struct GroupPlace {
    std::string file;       // a directory file's path; empty for a server
    std::string dataSource; // a server's data source; empty for a file
    static GroupPlace parse(const std::string& text);
    std::string connectionString() const;
    std::string shown() const;
};

// Copies the cards of a group from one place to another, every value as it
// is stored, in the order they were added, in one transaction at the
// target; the target's group must hold no cards yet. Returns the cards
// copied. Error naming the place when a place cannot be used; nothing is
// written then.
std::size_t copyGroup(const Table& table, const GroupPlace& from, const GroupPlace& to);

} // namespace numora::store
