#pragma once
// The directory store: the data source the program reaches its database file
// through, the start-up preparation of that file, and the one mapping from a
// group to its table and columns that every window goes through.

#include <QString>

#include <array>

namespace numora::ado { class Connection; }
namespace numora::dao { class Engine; }

namespace numora::store {

inline constexpr char kDataSourceName[] = "Numora Database";
inline constexpr char kConnectionString[] = "DSN=Numora Database";
inline constexpr char kDatabaseFileName[] = "VEMO.MDB";

// ---- data source and start-up preparation ----------------------------------

// The seven attributes of the data source for a data folder (ending in '/'),
// separated by carriage returns.
QString dataSourceAttributes(const QString& dataFolder);

// Opens cn on the data source (normally open already: that failure is ignored)
// and adds Address and Email to both tables; each failing statement is skipped.
void UpgradeDatabase(ado::Connection& cn);

// Registers (or re-points) the data source at dataFolder + VEMO.MDB. On failure
// shows one box per engine error: "Error number: N" CR description.
void RegisterDataSource(const QString& dataFolder, dao::Engine& engine);
void RegisterDataSource(const QString& dataFolder); // the real engine

// UpgradeDatabase, then RegisterDataSource.
void PrepareDatabase(ado::Connection& cn, const QString& dataFolder, dao::Engine& engine);
void PrepareDatabase(ado::Connection& cn, const QString& dataFolder);

// ---- groups, tables and columns -------------------------------------------

inline constexpr int kGridColumns = 5;

struct GroupLayout {
    QString group;                              // "Personal" or "Work"
    QString table;                              // "Vemo" or "Work"
    std::array<QString, kGridColumns> fields;   // table columns shown in grid columns 0..4
    QString fifthHeading;                       // "פקס" or "מחלקה"
};

// The layout for a group text, compared exactly; nullptr for any other text.
const GroupLayout* layoutForGroup(const QString& groupText);

// The grid headings of columns 0..3 (column 4's comes from the group).
const std::array<QString, 4>& commonHeadings();

// "select * from <table> order by Name " followed by sortOrder.
QString listingSql(const GroupLayout& layout, const QString& sortOrder);

// A text placed between single quotes in SQL or a filter, with every embedded
// quote doubled so it cannot end the literal early.
QString quoted(const QString& text);

// The recordset filter for names beginning with prefix: Name like '<prefix>*'.
QString nameFilter(const QString& prefix);

// "select * from <table> where Name = '<name>'", the name quoted as above.
QString lookupSql(const GroupLayout& layout, const QString& name);

} // namespace numora::store
