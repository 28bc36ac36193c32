#pragma once
// The world every benchmark runs in: a temporary folder holding the user
// data-source file (ODBCINI), the settings home, the registry hives, the
// Windows folder and a data folder with a sample VEMO.MDB of kCards cards per
// group, registered as the program's data source. Made once by the benchmark
// main before any benchmark runs, and removed when the program ends.

#include <sql.h>

#include <cstddef>
#include <string>
#include <vector>

namespace benchmark {
class State;
}

namespace numora::store {
class Listing;
struct Table;
} // namespace numora::store

namespace numora::bench {

inline constexpr int kCards = 32766;
inline constexpr char kDataSource[] = "Numora Database";
inline constexpr char kConnectionString[] = "DSN=Numora Database";
inline constexpr char kListingSql[] = "select * from Vemo order by Name  ASC";
// What a listing sends and how it connects: the row id in front of every
// column, and the keywords every connection of the program adds.
inline constexpr char kListingSqlWithRowId[] = "select rowid, * from Vemo order by Name  ASC";
inline constexpr char kListingConnection[] = "DSN=Numora Database;NoCreat=1;Timeout=2000;StepAPI=1";

struct BenchEnv {
    std::string root;
    std::string dataFolder; // ends in '/'; also the process's current folder
    std::string dbPath;     // dataFolder + "VEMO.MDB"
};

// Run with this flag, the benchmark program starts the main window in the
// environment it inherits, lists the whole group, prints its peak resident
// memory in MiB and ends (listAllAndTellPeakMemory).
inline constexpr char kListAllFlag[] = "--list-all-and-tell-peak-memory";
int listAllAndTellPeakMemory(int argc, char** argv);

// Sets the environment up (once); call before anything reads ODBCINI.
void initBenchEnv(int cards = kCards);

// The middle of the measurements (the mean of the middle two of an even
// number); 0 for none.
double median(std::vector<double> v);
const BenchEnv& benchEnv();
// Removes the private folder; the benchmark main calls it before it exits.
void finishBenchEnv();

// Reads sql straight through the ODBC C API with block fetch, binding the
// first `columns` result columns, over a connection of its own by the
// connection string; returns the bytes read.
std::size_t readRawOdbc(const std::string& connection, const std::string& sql, SQLUSMALLINT columns,
                        benchmark::State& state);

// Walks a listing's grid fields as the grid's fill does; returns the bytes read.
std::size_t walkGridFields(const store::Listing& listing, const store::Table& table);

// Stops the database server the server benchmarks started, if they did.
void stopBenchServer();

// Runs sql with SQLite's own API and reads the five grid fields of every row
// as text; returns the number of bytes read.
std::size_t readGridFieldsWithSqlite(const std::string& dbPath, const std::string& sql = kListingSql);

} // namespace numora::bench
