#pragma once
// The directory store: the data source the program reaches its database file
// through, the start-up preparation of that file, and the one mapping from a
// group to its table (store/Tables.h) that every window goes through. The
// store shows nothing itself: it returns what went wrong, and the windows
// tell the user.

#include <QString>

#include <string_view>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/dao/DBEngine.h"
#include "store/CardChecks.h"
#include "store/Tables.h"

namespace numora::store {

inline constexpr char kDataSourceName[] = "Numora Database";
inline constexpr char kConnectionString[] = "DSN=Numora Database";
inline constexpr char kDatabaseFileName[] = "VEMO.MDB";
inline constexpr char kBackupFileName[] = "Vemo.old"; // the data file as it was before the last import

// ---- data source and start-up preparation ----------------------------------

// The file of that name in the folder (ending in '/'), in the case it has
// there: the program's files are one file whatever the case of their names.
// When the folder holds none, the name as given.
QString fileInFolder(const QString& folder, const QString& name);

// The directory's database file in a data folder.
QString dataFilePath(const QString& dataFolder);

// Whether a path names the data file of the data folder: that file itself,
// through whatever link, or its name in another case in the data folder
// (which would be a second file beside it). A relative path is taken from
// the current folder.
bool namesDataFile(const QString& path, const QString& dataFolder);

// Why a data folder cannot be used, as a sentence to show; empty when it can.
// A folder whose path holds a control character is refused: the character
// would end a line of the data-source entry and start one of its own.
QString dataFolderProblem(const QString& dataFolder);

// The seven attributes of the data source for a data folder (ending in '/'),
// separated by carriage returns.
QString dataSourceAttributes(const QString& dataFolder);

// Adds Address and Email to the directory tables of the file cn is open on
// (opening cn first when it is closed). A table without a Name column is not
// a directory table and is left alone, and a column that is there already is
// not added again. Returns, as a sentence to show, why columns could not be
// added when another program holds the file locked; empty otherwise.
QString UpgradeDatabase(ado::Connection& cn);

// Registers (or re-points) the data source at the data file of dataFolder.
// Returns the errors the engine reported when the registration failed, in
// order; none when it succeeded.
std::vector<dao::EngineError> RegisterDataSource(const QString& dataFolder, dao::Engine& engine);
std::vector<dao::EngineError> RegisterDataSource(const QString& dataFolder); // the real engine

// The connection string every connection of the program opens for the rest
// of the run: the data source by name ("DSN=Numora Database"), or, when the
// data source could not be pointed at the data file (its file cannot be
// written), that file directly through the same driver.
std::string connectionString();

// The database file that connectionString() reaches; empty when the data
// source names none.
QString reachedFile();

struct Preparation {
    std::vector<dao::EngineError> registrationErrors; // as RegisterDataSource returns them
    QString unusable;   // why the data file cannot be used, as a sentence to show; empty when it can
    bool inUse = false; // another program holds the data file; unusable says so, and nothing was waited for
};

// Registers the data source, then makes cn serve the file it now names
// (opening it again when it is closed or open on another file), then upgrades
// that file through it. A data file that cannot be used (missing, empty, not
// a database, damaged, without a directory table, locked by another program)
// is told in unusable. When the registration fails, the program reaches the
// data file directly for the rest of the run (connectionString()), unless
// the entry there names that file already: then it needs no writing, and
// nothing is said.
Preparation PrepareDatabase(ado::Connection& cn, const QString& dataFolder, dao::Engine& engine);
Preparation PrepareDatabase(ado::Connection& cn, const QString& dataFolder);

// What PrepareDatabase does once the data source is registered: makes cn
// serve the data file (opening it afresh when it is closed or on another
// file), upgrades that file, and returns why it cannot be used, as a sentence
// naming it; empty when it can. A data file another program holds is found
// with a short look first and left alone (inUse, when given, is set then),
// so that no window waits for the full busy wait. Removes what copies cut
// short left beside the file. The import uses it on the file it copied in.
QString ServeDataFile(ado::Connection& cn, const QString& dataFolder, bool* inUse = nullptr);

// The statements that give the directory tables of the file cn is open on
// the columns they lack (Address and Email, to files made before them), in
// the order they run: column by column, each to both tables. A table
// without a Name column is not a directory table and gains none. Error when
// the tables cannot be read.
std::vector<std::string> missingColumns(ado::Connection& cn);

// The columns a table has, as the engine names them (a server table's key
// is none of them); Error when it cannot be read.
std::vector<std::string> columnsOf(ado::Connection& cn, const std::string& table);
// Whether columns holds name, Latin letters compared without regard to case.
bool hasColumn(const std::vector<std::string>& columns, const char* name);

// ---- what went wrong with a file ---------------------------------------------------

// What an engine error says of the file it came from, for the sentence each
// front end words it in.
enum class FileFault {
    InUse,        // another program holds it locked
    NotADatabase, // not a database at all
    Damaged,      // a database, damaged
    NoTable,      // a database without one of the directory tables
    Other,
};
FileFault faultOf(const Error& e);
// The engine's own message in an error, without its "[SQLSTATE] " tag.
QString engineText(const Error& e);

// A transaction of the caller's on an open connection, begun at once with
// the file's write lock (waiting the busy timeout for another program's
// write, then failing), and rolled back unless committed. On a server it
// takes no lock up front: the table's unique index on the name keeps a
// check and the write that depends on it from being split by another
// client's add.
class Transaction {
public:
    explicit Transaction(ado::Connection& cn);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit(); // a commit that fails rolls back, and throws

private:
    ado::Connection& cn_;
    bool done_ = false;
};

// ---- the data file as a whole, through the engine's own API ---------------------

enum class FileUse { Reading, Writing };

// Whether another program holds the file locked so that it cannot be read
// now (Writing: written). A short look (waitMs; by default
// locks::glanceMs()), never the full busy wait. A file that is missing or no
// database is not in use.
bool fileInUse(const QString& file, FileUse use = FileUse::Reading, int waitMs = -1);

// Puts the content of the database file `from` into the data file, in place:
// every connection open on it, in this program or another, goes on with the
// new content. The engine's exclusive lock on the data file is taken first
// (waiting the busy timeout for another program's write to end) and kept
// until the new content is in; when backup is not empty, what the data file
// held is first copied there, as a whole. Returns why nothing was replaced,
// as a sentence naming the file; empty when it was. inUse, when given, says
// whether that was another program holding the data file.
QString replaceDataFile(const QString& from, const QString& dataFile, const QString& backup, bool* inUse = nullptr);

// Copies the data file to `to` as the engine reads it, under its shared
// lock: a write another program commits meanwhile is in the copy whole or
// not at all. The copy is made beside `to` and put in place whole; with
// failIfExists a file there is refused (number EEXIST) and never replaced.
// Throws Error with a sentence naming the file; nothing is changed then.
void copyDataFile(const QString& dataFile, const QString& to, bool failIfExists);

// Removes the hidden copies (".VEMO.MDB.XXXXXX", ".Vemo.old.XXXXXX") that a
// replacement or a copy cut short left in the data folder, when no other
// program holds the data file (one that does may be making one now).
void removeLeftovers(const QString& dataFolder);

// Why a file that is to take the data file's place cannot be used as one,
// as a sentence naming it: missing, empty, not a database, damaged, cut
// short, or without the two directory tables. Empty when it can. The file is
// read over a connection of its own and not changed.
QString databaseFileProblem(const QString& file);

// ---- groups and the SQL texts built on their tables ---------------------------

// The table of a group text, compared exactly; nullptr for any other text.
const Table* tableForGroup(const QString& groupText);

// "select * from <table>": every card of the table, in no order.
QString tableSql(const Table& table);

// "select * from <table> order by Name " followed by sortOrder.
QString listingSql(const Table& table, const QString& sortOrder);

// A text placed between single quotes in SQL or a filter, with every embedded
// quote doubled so it cannot end the literal early.
QString quoted(const QString& text);

// The recordset filter for names beginning with prefix: Name like '<prefix>*'.
QString nameFilter(const QString& prefix);

// "select * from <table> where Name = '<name>'", the name quoted as above.
QString lookupSql(const Table& table, const QString& name);
// The same for "trim(Name)": the cards whose name is name once the blanks
// around it are gone, as every window shows names.
QString lookupTrimmedSql(const Table& table, const QString& name);

// ---- card texts -------------------------------------------------------------

// The text without its leading and trailing blanks (spaces only), as every
// text moved between a column and a box or a grid cell is.
QString trimBlanks(const QString& text); // and over UTF-8 text in store/CardChecks.h

// A column's value as text; Null as the empty text.
QString fieldText(const ado::Value& value);

} // namespace numora::store
