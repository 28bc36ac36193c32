// The store over a real data source: the column upgrade, re-pointing the data
// source, and listings, filters and look-ups over Hebrew names.

#include "platform/ado/Ado.h"
#include "store/Listing.h"
#include "store/Store.h"
#include "tests/store/listing_texts.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"
#include "tools/DbFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace numora::test {
namespace {

using store::kConnectionString;

// A group's whole listing, as the grid's All lists it.
store::Listing openListing(const store::Table& table) { return store::listCards(table, std::nullopt, " ASC"); }

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
        const auto columns = SqliteFile(db).columns(table);
        ASSERT_EQ(columns.size(), 7u) << table;
        EXPECT_EQ(columns[5], "Address");
        EXPECT_EQ(columns[6], "Email");
        EXPECT_EQ(SqliteFile(db).rows(std::string("PRAGMA table_info(") + table + ")").at(6).at(2), "TEXT(20)");
    }
    // The cards that were there read Null in the new columns.
    const store::Listing work = openListing(store::kWorkTable);
    EXPECT_EQ(work.count(), 40);
    for (long row = 0; row < work.count(); ++row)
        EXPECT_TRUE(!work.text(row, work.column("Address")) && !work.text(row, work.column("Email")));

    // The next start finds the columns: every ALTER fails, quietly, and the
    // file stays as it was. A closed connection is opened by the upgrade.
    const auto schema = SqliteFile(db).rows("select sql from sqlite_master order by name");
    const auto rows = SqliteFile(db).rows("select * from Vemo order by rowid");
    ado::Connection next;
    EXPECT_NO_THROW(store::UpgradeDatabase(next));
    EXPECT_EQ(next.State(), ado::adStateOpen);
    EXPECT_EQ(SqliteFile(db).rows("select sql from sqlite_master order by name"), schema);
    EXPECT_EQ(SqliteFile(db).rows("select * from Vemo order by rowid"), rows);
}

TEST(StoreOverOdbc, PreparingAnotherFolderRepointsTheConnectionAndUpgradesItsFileInItsOwnCase)
{
    TestEnv env;
    const QString a = env.root() + "/a/";
    const QString b = env.root() + "/b/";
    QDir().mkpath(a);
    QDir().mkpath(b);
    dbfile::createOldSample((a + "VEMO.MDB").toStdString(), 3);
    const std::string copied = (b + "Vemo.mdb").toStdString(); // copied from elsewhere
    dbfile::createOldSample(copied, 5);
    // Somebody else's table that happens to be called Work.
    SqliteFile(copied).exec("DROP TABLE Work; CREATE TABLE Work (Task TEXT, Due TEXT);");

    // The last start was in a; this one opens before it registers b.
    store::RegisterDataSource(a);
    ado::Connection cn;
    cn.Open(kConnectionString);
    const store::Preparation prepared = store::PrepareDatabase(cn, b);

    EXPECT_EQ(cn.DatabaseFile(), copied);
    EXPECT_EQ(rowsOver(cn, "select * from Vemo"), 5);
    ado::Connection byName;
    byName.Open(kConnectionString);
    EXPECT_EQ(byName.DatabaseFile(), copied);
    // The upgrade went to b's directory table only; a's file is as it was.
    EXPECT_EQ(SqliteFile(copied).columns("Vemo").size(), 7u);
    EXPECT_EQ(SqliteFile(copied).columns("Work"), (std::vector<std::string>{"Task", "Due"}));
    EXPECT_EQ(SqliteFile((a + "VEMO.MDB").toStdString()).columns("Vemo").size(), 5u);
    EXPECT_EQ(QDir(b).entryList(QDir::Files), QStringList{"Vemo.mdb"}) << "no second file beside it";
    EXPECT_EQ(prepared.unusable,
              "The directory file " + b + "Vemo.mdb cannot be used: its table Work is not a directory table.");
    EXPECT_TRUE(prepared.registrationErrors.empty());
}

TEST(StoreOverOdbc, ListingIsInNameOrderAndColumnsFollowTheGroup)
{
    TestEnv env;
    const int n = 22 + dbfile::specialCardCount() + 60;
    dbfile::createSample(env.dbPath().toStdString(), n);
    env.writeDataSource(store::kDataSourceName, env.dbPath());

    for (const store::Table* table : store::kTables) {
        SCOPED_TRACE(table->name);
        const store::Listing all = store::listCards(*table, std::nullopt, " ASC");
        EXPECT_FALSE(all.failure);
        EXPECT_EQ(all.count(), n);
        EXPECT_EQ(all.queryText, all.sql); // a whole group has no filter to tell
        const auto listed = names(all);
        ASSERT_EQ(listed.size(), static_cast<size_t>(n));
        // Code-point order: blanks, digits, Latin, then Hebrew from א to ת.
        EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
        EXPECT_EQ(listed[0], "  בלום עדי  ");
        EXPECT_EQ(listed[1], "144 מודיעין");
        EXPECT_EQ(listed[2], "Orion Tech");
        EXPECT_EQ(listed.back().substr(0, 2), "ת");

        // The card with only a name and a fifth field, read through the description.
        const store::Listing faxOnly = store::listCards(*table, QStringLiteral("פקסון"), " ASC");
        ASSERT_EQ(faxOnly.count(), 1);
        for (size_t col = 1; col <= 3; ++col)
            EXPECT_EQ(faxOnly.text(0, faxOnly.column(table->columns[col].name)), std::nullopt) << col;
        EXPECT_EQ(text(faxOnly, 0, table->columns[4].name), table == &store::kPersonalTable ? "03-5557777" : "כספים");

        // A letter lists that letter only, through the recordset's filter; a
        // final form is not its letter.
        const store::Listing kaf = store::listCards(*table, QStringLiteral("כ"), " ASC");
        EXPECT_EQ(kaf.sql, QStringLiteral("select * from %1 order by Name  ASC").arg(table->name));
        EXPECT_EQ(kaf.queryText, kaf.sql + QStringLiteral(" \\\\ Name like 'כ*'"));
        const auto kafNames = names(kaf);
        EXPECT_EQ(static_cast<long>(kafNames.size()), kaf.count());
        EXPECT_FALSE(kafNames.empty());
        for (const std::string& name : kafNames)
            EXPECT_EQ(name.substr(0, 2), "כ") << name;
    }

    // A file that cannot be opened lists nothing, and says why.
    ASSERT_TRUE(QFile::rename(env.dbPath(), env.dbPath() + ".gone"));
    const store::Listing none = store::listCards(store::kWorkTable, QStringLiteral("כ"), " ASC");
    EXPECT_TRUE(none.failure);
    EXPECT_EQ(none.count(), 0);
    EXPECT_EQ(none.queryText, none.sql + QStringLiteral(" \\\\ "));
}

TEST(StoreOverOdbc, NamesWithASingleQuoteAreFilteredFoundAndStored)
{
    TestEnv env;
    dbfile::createSample(env.dbPath().toStdString(), 50);
    env.writeDataSource(store::kDataSourceName, env.dbPath());
    const store::Table& personal = store::kPersonalTable;

    store::Listing work = openListing(store::kWorkTable);
    work.narrowTo("צה'");
    EXPECT_EQ(names(work), std::vector<std::string>{"צה'ל"});

    ado::Connection cn;
    cn.Open(kConnectionString);
    const store::Listing found = store::cardsNamed(cn, store::kWorkTable, "צה'ל");
    ASSERT_EQ(found.count(), 1);
    EXPECT_EQ(text(found, 0, "Dept"), "פיתוח");

    // A new card with quotes in its name is stored and found like any other.
    const std::string name = "ג'ורג' בן-שושן";
    store::LookUp lookUp;
    ASSERT_EQ(store::addCard(openListing(personal), personal, {name, "", "", "", "03-5554321", "", ""}, lookUp),
              store::Written::Card);
    const store::Listing stored = store::cardsNamed(cn, personal, QString::fromStdString(name));
    ASSERT_EQ(stored.count(), 1);
    EXPECT_EQ(text(stored, 0, "Fax"), "03-5554321");
    store::Listing relisted = openListing(store::kPersonalTable);
    relisted.narrowTo("ג'ו");
    EXPECT_EQ(names(relisted), std::vector<std::string>{name});
}

// A card is written back only as it was read: one that another program
// changed since is neither updated nor deleted, a twin of it stays as it is,
// and a name the group has already is refused in the write's transaction.
TEST(StoreOverOdbc, CardsAreChangedOnlyAsTheyWereRead)
{
    TestEnv env;
    const std::string db = env.dbPath().toStdString();
    dbfile::createEmpty(db);
    env.writeDataSource(store::kDataSourceName, env.dbPath());
    SqliteFile file(db);
    file.exec("INSERT INTO Vemo (Name, Phone) VALUES ('אבי', '1'), ('אבי', '1'), ('דנה', '2')");
    const store::Table& personal = store::kPersonalTable;
    const auto phones = [&] { return file.rows("select Name, Phone from Vemo order by rowid"); };
    const store::Listing listed = openListing(personal);
    store::Card twin = *listed.cardAt(1);
    store::Card otherTwin = *listed.cardAt(2);
    store::Card dana = *listed.cardAt(3);
    EXPECT_FALSE(listed.cardAt(4)) << "the empty row after the last card holds none";
    store::LookUp lookUp;

    EXPECT_EQ(store::updateCard(twin, personal, {"אבי", "11", "", "", "", "", ""}, std::nullopt, lookUp),
              store::Written::Card);
    store::deleteCard(otherTwin);
    EXPECT_EQ(phones(), (std::vector<Row>{{"אבי", "11"}, {"דנה", "2"}}));

    const QString byName = store::listingSql(personal, " ASC");
    EXPECT_EQ(store::updateCard(dana, personal, {"אבי", "2", "", "", "", "", ""}, byName, lookUp),
              store::Written::NameUsed);
    EXPECT_EQ(lookUp.sql, byName);
    file.exec("UPDATE Vemo SET Phone = '3' WHERE Name = 'דנה'");
    for (const auto& write : std::vector<std::function<void()>>{
             [&] {
                 store::updateCard(dana, personal, {"דנה", "4", "", "", "", "", ""}, std::nullopt, lookUp);
             },
             [&] {
                 store::updateCard(dana, personal, {"דנה ב", "4", "", "", "", "", ""}, byName, lookUp);
             },
             [&] { store::deleteCard(dana); }}) {
        try {
            write();
            ADD_FAILURE() << "a card changed since it was read was written";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), ado::adErrRowChangedOrMissing) << e.description();
        }
    }
    EXPECT_EQ(phones(), (std::vector<Row>{{"אבי", "11"}, {"דנה", "3"}}));

    EXPECT_EQ(store::addCard(listed, personal, {"דנה", "5", "", "", "", "", ""}, lookUp), store::Written::NameUsed);
    EXPECT_EQ(lookUp.sql, "select * from Vemo");
    EXPECT_EQ(store::addCard(listed, personal, {"רון", "5", "", "", "", "", ""}, lookUp), store::Written::Card);
    EXPECT_EQ(phones(), (std::vector<Row>{{"אבי", "11"}, {"דנה", "3"}, {"רון", "5"}}));
}

} // namespace
} // namespace numora::test
