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

// ---- data source and start-up preparation ----------------------------------

// The file of that name in the folder (ending in '/'), in the case it has
// there: the program's files are one file whatever the case of their names.
// When the folder holds none, the name as given.
QString fileInFolder(const QString& folder, const QString& name);

// The directory's database file in a data folder.
QString dataFilePath(const QString& dataFolder);

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

struct Preparation {
    std::vector<dao::EngineError> registrationErrors; // as RegisterDataSource returns them
    QString unusable; // why the data file cannot be used, as a sentence to show; empty when it can
};

// Registers the data source, then makes cn serve the file it now names
// (opening it again when it is closed or open on another file), then upgrades
// that file through it. A data file that cannot be used (missing, empty, not
// a database, damaged, without a directory table, locked by another program)
// is told in unusable.
Preparation PrepareDatabase(ado::Connection& cn, const QString& dataFolder, dao::Engine& engine);
Preparation PrepareDatabase(ado::Connection& cn, const QString& dataFolder);

// What PrepareDatabase does once the data source is registered: makes cn
// serve the data file (opening it afresh when it is closed or on another
// file), upgrades that file, and returns why it cannot be used, as a sentence
// naming it; empty when it can. The import uses it on the file it copied in.
QString ServeDataFile(ado::Connection& cn, const QString& dataFolder);

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
