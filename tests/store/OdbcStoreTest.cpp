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

const std::vector<std::string> kVemoColumns = {"Name", "Phone", "Mobil", "Line", "Fax", "Address", "Email"};
const std::vector<std::string> kWorkColumns = {"Name", "Home", "Mobil", "Phone", "Dept", "Address", "Email"};

// Opens a listing the way the grid does: keyset, optimistic, over its own
// connection to the data source.
std::unique_ptr<ado::Recordset> openListing(const store::GroupLayout& layout)
{
    auto rs = std::make_unique<ado::Recordset>();
    rs->setCursorType(ado::adOpenKeyset);
    rs->setLockType(ado::adLockOptimistic);
    rs->Open(store::listingSql(layout, " ASC").toStdString(), kConnectionString, -1, -1, ado::adCmdText);
    return rs;
}

std::vector<std::string> names(ado::Recordset& rs)
{
    std::vector<std::string> out;
    if (rs.RecordCount() == 0)
        return out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out.push_back(rs.Field("Name").value_or("<Null>"));
    return out;
}

long rowsOver(ado::Connection& cn, const std::string& sql)
{
    auto rs = cn.Execute(sql);
    long n = 0;
    for (; rs && !rs->Eof(); rs->MoveNext())
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
    EXPECT_EQ(sqliteColumns(db, "Vemo"), kVemoColumns);
    EXPECT_EQ(sqliteColumns(db, "Work"), kWorkColumns);
    EXPECT_EQ(sqliteRows(db, "PRAGMA table_info(Work)").at(6).at(2), "TEXT(20)");

    // The cards that were there read Null in the new columns.
    for (const char* group : {"Personal", "Work"}) {
        auto rs = openListing(*store::layoutForGroup(group));
        EXPECT_EQ(rs->RecordCount(), 40) << group;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            EXPECT_EQ(rs->Field("Address"), std::nullopt);
            EXPECT_EQ(rs->Field("Email"), std::nullopt);
        }
    }

    // The next start finds the columns: every ALTER fails, quietly, and the
    // file stays as it was.
    const std::string schema = sqliteSchema(db);
    const auto rows = sqliteRows(db, "select * from Vemo order by rowid");
    EXPECT_NO_THROW(store::UpgradeDatabase(cn));
    EXPECT_EQ(sqliteSchema(db), schema);
    EXPECT_EQ(sqliteRows(db, "select * from Vemo order by rowid"), rows);
    EXPECT_EQ(cn.State(), ado::adStateOpen);
}

TEST(StoreOverOdbc, UpgradeLeavesACurrentFileAloneAndSurvivesAMissingOne)
{
    TestEnv env;
    const std::string db = env.dbPath().toStdString();
    dbfile::createSample(db, 30);
    env.writeDataSource(store::kDataSourceName, env.dbPath());
    const std::string schema = sqliteSchema(db);
    const auto rows = sqliteRows(db, "select * from Work order by rowid");

    // A closed connection is opened by the upgrade itself.
    ado::Connection cn;
    EXPECT_NO_THROW(store::UpgradeDatabase(cn));
    EXPECT_EQ(cn.State(), ado::adStateOpen);
    EXPECT_EQ(sqliteSchema(db), schema);
    EXPECT_EQ(sqliteRows(db, "select * from Work order by rowid"), rows);

    // A data source whose file is gone: nothing opens, nothing is thrown, and
    // no empty file appears in its place.
    TestEnv other;
    other.writeDataSource(store::kDataSourceName, other.dbPath());
    ado::Connection none;
    EXPECT_NO_THROW(store::UpgradeDatabase(none));
    EXPECT_EQ(none.State(), ado::adStateClosed);
    EXPECT_FALSE(QFile::exists(other.dbPath()));
}

TEST(StoreOverOdbc, RegistrationRepointsTheDataSourceAtTheNewFolder)
{
    TestEnv env;
    FakeMessageBoxes boxes;
    const QString a = env.root() + "/a/";
    const QString b = env.root() + "/b/";
    QDir().mkpath(a);
    QDir().mkpath(b);
    dbfile::createSample((a + "VEMO.MDB").toStdString(), 3);
    dbfile::createSample((b + "VEMO.MDB").toStdString(), 5);

    store::RegisterDataSource(a);
    ado::Connection first;
    first.Open(kConnectionString);
    EXPECT_EQ(rowsOver(first, "select * from Vemo"), 3);

    // A start in another folder: the open connection keeps its file, every
    // new one by the data-source name reaches the new folder's file.
    store::RegisterDataSource(b);
    ado::Connection second;
    second.Open(kConnectionString);
    EXPECT_EQ(rowsOver(second, "select * from Vemo"), 5);
    EXPECT_EQ(rowsOver(first, "select * from Vemo"), 3);
    EXPECT_EQ(openListing(*store::layoutForGroup("Work"))->RecordCount(), 5);
    EXPECT_TRUE(boxes.asked.empty());

    // Preparing both at once, as start-up does, upgrades and re-points.
    const QString c = env.root() + "/c/";
    QDir().mkpath(c);
    dbfile::createOldSample((c + "VEMO.MDB").toStdString(), 4);
    store::RegisterDataSource(c);
    ado::Connection cn;
    cn.Open(kConnectionString);
    store::PrepareDatabase(cn, c);
    EXPECT_EQ(sqliteColumns((c + "VEMO.MDB").toStdString(), "Vemo"), kVemoColumns);
    EXPECT_EQ(openListing(*store::layoutForGroup("Personal"))->RecordCount(), 4);
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
        auto rs = openListing(layout);
        const auto listed = names(*rs);
        ASSERT_EQ(listed.size(), static_cast<size_t>(n));
        // Code-point order: blanks and digits, Latin, then Hebrew from א to ת.
        EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
        EXPECT_EQ(listed.front(), "  בלום עדי  ");
        EXPECT_EQ(listed[1], "144 מודיעין");
        EXPECT_EQ(listed[2], "Orion Tech");
        EXPECT_EQ(listed.back().substr(0, 2), "ת");

        // The card with only its name and fifth field, read through the layout.
        rs->setFilter(store::nameFilter("פקסון").toStdString());
        ASSERT_EQ(rs->RecordCount(), 1);
        for (int col = 1; col <= 3; ++col)
            EXPECT_EQ(rs->Field(layout.fields[static_cast<size_t>(col)].toStdString()), std::nullopt) << col;
        EXPECT_EQ(rs->Field(layout.fields[4].toStdString()),
                  layout.table == "Vemo" ? std::string("03-5557777") : std::string("כספים"));

        // A letter filter lists that letter only, final forms not included.
        rs->setFilter(store::nameFilter("ל").toStdString());
        const auto lamed = names(*rs);
        EXPECT_FALSE(lamed.empty());
        for (const std::string& name : lamed)
            EXPECT_EQ(name.substr(0, 2), "ל") << name;
        rs->setFilter(store::nameFilter("כ").toStdString());
        for (const std::string& name : names(*rs))
            EXPECT_NE(name, "ךרמון גדי");
    }
}

TEST(StoreOverOdbc, NamesWithASingleQuoteAreFilteredFoundAndStored)
{
    TestEnv env;
    dbfile::createSample(env.dbPath().toStdString(), 50);
    env.writeDataSource(store::kDataSourceName, env.dbPath());
    const store::GroupLayout& work = *store::layoutForGroup("Work");
    const store::GroupLayout& personal = *store::layoutForGroup("Personal");

    auto rs = openListing(work);
    rs->setFilter(store::nameFilter("צה'").toStdString());
    EXPECT_EQ(names(*rs), std::vector<std::string>{"צה'ל"});
    // Left unquoted, the quote would end the literal and the filter be refused.
    EXPECT_THROW(rs->setFilter("Name like 'צה'ל*'"), Error);

    ado::Connection cn;
    cn.Open(kConnectionString);
    auto found = cn.Execute(store::lookupSql(work, "צה'ל").toStdString());
    ASSERT_TRUE(found && !found->Eof());
    EXPECT_EQ(found->Field("Name"), "צה'ל");
    EXPECT_EQ(found->Field("Dept"), "פיתוח");

    // A new card with quotes in its name is stored and comes back the same.
    auto list = openListing(personal);
    list->AddNew();
    list->setField("Name", std::string("ג'ורג' בן-שושן"));
    list->setField("Fax", std::string("03-5554321"));
    list->Update();
    auto stored = cn.Execute(store::lookupSql(personal, "ג'ורג' בן-שושן").toStdString());
    ASSERT_TRUE(stored && !stored->Eof());
    EXPECT_EQ(stored->Field("Fax"), "03-5554321");
    auto relisted = openListing(personal);
    relisted->setFilter(store::nameFilter("ג'ו").toStdString());
    EXPECT_EQ(names(*relisted), std::vector<std::string>{"ג'ורג' בן-שושן"});
}

} // namespace
} // namespace numora::test
