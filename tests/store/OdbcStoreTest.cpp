// The store over a real data source: the column upgrade, re-pointing the data
// source, and listings, filters and look-ups over Hebrew names.

#include "platform/ado/Ado.h"
#include "store/Store.h"
#include "tests/store/SqliteProbe.h"
#include "tests/support/FakeMessageBoxes.h"
#include "tests/support/TestEnv.h"
#include "tools/DbFile.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace numora::test {
namespace {

using store::kConnectionString;

// A listing opened the way the grid opens it: keyset, optimistic, over a
// connection of its own to the data source.
std::unique_ptr<ado::Recordset> openListing(const char* group)
{
    auto rs = std::make_unique<ado::Recordset>();
    rs->setCursorType(ado::adOpenKeyset);
    rs->setLockType(ado::adLockOptimistic);
    rs->Open(store::listingSql(*store::layoutForGroup(group), " ASC").toStdString(), kConnectionString, -1, -1,
             ado::adCmdText);
    return rs;
}

std::vector<std::string> names(ado::Recordset& rs)
{
    std::vector<std::string> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out.push_back(rs.Field("Name").value_or("<Null>"));
    return out;
}

long rowsOver(ado::Connection& cn, const std::string& sql)
{
    long n = 0;
    for (auto rs = cn.Execute(sql); rs && !rs->Eof(); rs->MoveNext())
        ++n;
    return n;
}

TEST(StoreOverOdbc, UpgradeAddsBothColumnsToAnOldFileOnce)
{
    TestEnv env;
    const std::string db = env.dbPath().toStdString();
    dbfile::createOldSample(db, 40);
    env.writeDataSource(store::kDataSourceName, env.dbPath());

    // As at start: the connection is open already when the upgrade runs.
    ado::Connection cn;
    cn.Open(kConnectionString);
    store::UpgradeDatabase(cn);
    EXPECT_EQ(cn.State(), ado::adStateOpen);
    for (const char* table : {"Vemo", "Work"}) {
        const auto columns = sqliteColumns(db, table);
        ASSERT_EQ(columns.size(), 7u) << table;
        EXPECT_EQ(columns[5], "Address");
        EXPECT_EQ(columns[6], "Email");
        EXPECT_EQ(sqliteRows(db, std::string("PRAGMA table_info(") + table + ")").at(6).at(2), "TEXT(20)");
    }
    // The cards that were there read Null in the new columns.
    auto rs = openListing("Work");
    EXPECT_EQ(rs->RecordCount(), 40);
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        EXPECT_TRUE(!rs->Field("Address") && !rs->Field("Email"));

    // The next start finds the columns: every ALTER fails, quietly, and the
    // file stays as it was. A closed connection is opened by the upgrade.
    const auto schema = sqliteRows(db, "select sql from sqlite_master order by name");
    const auto rows = sqliteRows(db, "select * from Vemo order by rowid");
    ado::Connection next;
    EXPECT_NO_THROW(store::UpgradeDatabase(next));
    EXPECT_EQ(next.State(), ado::adStateOpen);
    EXPECT_EQ(sqliteRows(db, "select sql from sqlite_master order by name"), schema);
    EXPECT_EQ(sqliteRows(db, "select * from Vemo order by rowid"), rows);
}

TEST(StoreOverOdbc, PreparingAnotherFolderRepointsTheConnectionAndUpgradesItsFileInItsOwnCase)
{
    TestEnv env;
    FakeMessageBoxes boxes;
    const QString a = env.root() + "/a/";
    const QString b = env.root() + "/b/";
    QDir().mkpath(a);
    QDir().mkpath(b);
    dbfile::createOldSample((a + "VEMO.MDB").toStdString(), 3);
    const std::string copied = (b + "Vemo.mdb").toStdString(); // copied from elsewhere
    dbfile::createOldSample(copied, 5);
    // Somebody else's table that happens to be called Work.
    sqliteExec(copied, "DROP TABLE Work; CREATE TABLE Work (Task TEXT, Due TEXT);");

    // The last start was in a; this one opens before it registers b.
    store::RegisterDataSource(a);
    ado::Connection cn;
    cn.Open(kConnectionString);
    const QString problem = store::PrepareDatabase(cn, b);

    EXPECT_EQ(cn.DatabaseFile(), copied);
    EXPECT_EQ(rowsOver(cn, "select * from Vemo"), 5);
    ado::Connection byName;
    byName.Open(kConnectionString);
    EXPECT_EQ(byName.DatabaseFile(), copied);
    // The upgrade went to b's directory table only; a's file is as it was.
    EXPECT_EQ(sqliteColumns(copied, "Vemo").size(), 7u);
    EXPECT_EQ(sqliteColumns(copied, "Work"), (std::vector<std::string>{"Task", "Due"}));
    EXPECT_EQ(sqliteColumns((a + "VEMO.MDB").toStdString(), "Vemo").size(), 5u);
    EXPECT_EQ(QDir(b).entryList(QDir::Files), QStringList{"Vemo.mdb"}) << "no second file beside it";
    EXPECT_EQ(problem, "The directory file " + b + "Vemo.mdb cannot be used: its table Work is not a directory table.");
    EXPECT_TRUE(boxes.asked.empty());
}

TEST(StoreOverOdbc, ListingIsInNameOrderAndColumnsFollowTheGroup)
{
    TestEnv env;
    const int n = 22 + dbfile::specialCardCount() + 60;
    dbfile::createSample(env.dbPath().toStdString(), n);
    env.writeDataSource(store::kDataSourceName, env.dbPath());

    for (const char* group : {"Personal", "Work"}) {
        SCOPED_TRACE(group);
        const store::GroupLayout& layout = *store::layoutForGroup(group);
        auto rs = openListing(group);
        const auto listed = names(*rs);
        ASSERT_EQ(listed.size(), static_cast<size_t>(n));
        // Code-point order: blanks, digits, Latin, then Hebrew from א to ת.
        EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
        EXPECT_EQ(listed[0], "  בלום עדי  ");
        EXPECT_EQ(listed[1], "144 מודיעין");
        EXPECT_EQ(listed[2], "Orion Tech");
        EXPECT_EQ(listed.back().substr(0, 2), "ת");

        // The card with only a name and a fifth field, read through the layout.
        rs->setFilter(store::nameFilter("פקסון").toStdString());
        ASSERT_EQ(rs->RecordCount(), 1);
        for (size_t col = 1; col <= 3; ++col)
            EXPECT_EQ(rs->Field(layout.fields[col].toStdString()), std::nullopt) << col;
        EXPECT_EQ(rs->Field(layout.fields[4].toStdString()), layout.table == "Vemo" ? "03-5557777" : "כספים");

        // A letter filter lists that letter only; a final form is not its letter.
        rs->setFilter(store::nameFilter("כ").toStdString());
        const auto kaf = names(*rs);
        EXPECT_FALSE(kaf.empty());
        for (const std::string& name : kaf)
            EXPECT_EQ(name.substr(0, 2), "כ") << name;
    }
}

TEST(StoreOverOdbc, NamesWithASingleQuoteAreFilteredFoundAndStored)
{
    TestEnv env;
    dbfile::createSample(env.dbPath().toStdString(), 50);
    env.writeDataSource(store::kDataSourceName, env.dbPath());
    const store::GroupLayout& personal = *store::layoutForGroup("Personal");

    auto rs = openListing("Work");
    rs->setFilter(store::nameFilter("צה'").toStdString());
    EXPECT_EQ(names(*rs), std::vector<std::string>{"צה'ל"});
    // Left unquoted, the quote would end the literal and the filter be refused.
    EXPECT_THROW(rs->setFilter("Name like 'צה'ל*'"), Error);

    ado::Connection cn;
    cn.Open(kConnectionString);
    auto found = cn.Execute(store::lookupSql(*store::layoutForGroup("Work"), "צה'ל").toStdString());
    ASSERT_TRUE(found && !found->Eof());
    EXPECT_EQ(found->Field("Dept"), "פיתוח");

    // A new card with quotes in its name is stored and found like any other.
    const std::string name = "ג'ורג' בן-שושן";
    auto list = openListing("Personal");
    list->AddNew();
    list->setField("Name", name);
    list->setField("Fax", std::string("03-5554321"));
    list->Update();
    auto stored = cn.Execute(store::lookupSql(personal, QString::fromStdString(name)).toStdString());
    ASSERT_TRUE(stored && !stored->Eof());
    EXPECT_EQ(stored->Field("Fax"), "03-5554321");
    auto relisted = openListing("Personal");
    relisted->setFilter(store::nameFilter("ג'ו").toStdString());
    EXPECT_EQ(names(*relisted), std::vector<std::string>{name});
}

} // namespace
} // namespace numora::test
