// The store on both engines a group may live on: the directory file and a
// database server. The same cards give the same listing, filter, look-ups,
// writes and refusals on both; what only a server has (its table made and
// upgraded, copying a group there and back) is tested on the server.

#include "platform/ado/Ado.h"
#include "store/Card.h"
#include "store/Listing.h"
#include "store/Server.h"
#include "store/Store.h"
#include "tests/store/listing_texts.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestServer.h"
#include "tools/DbFile.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

namespace numora::test {
namespace {

enum class Engine { File, Server };

store::Listing whole(const store::Table& table) { return store::listCards(table, std::nullopt, " ASC"); }

store::Fields card(const std::string& name, const std::string& second = {})
{
    return {name, second, "", "", "", "", ""};
}

class StoreOnBothEngines : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::Server)
            NUMORA_REQUIRE_SERVER();
    }
    void TearDown() override
    {
        for (const store::Table* table : store::kTables)
            store::setGroupDataSource(*table, {});
    }

    // The directory with cards generated per group; on the server engine
    // both groups live on the server, holding the same cards.
    void makeDirectory(int cardsPerGroup)
    {
        dbfile::createSample(env.dbPath().toStdString(), cardsPerGroup);
        env.writeDataSource(store::kDataSourceName, env.dbPath());
        if (GetParam() != Engine::Server)
            return;
        server = std::make_unique<ServerSchema>(env, QStringLiteral("Office Server"));
        ado::Connection cn;
        cn.Open(server->connectionString());
        for (const store::Table* table : store::kTables) {
            store::createServerTable(cn, *table);
            store::copyGroup(*table, store::GroupPlace::parse(env.dbPath().toStdString()),
                             store::GroupPlace::parse("dsn:Office Server"));
            store::setGroupDataSource(*table, server->dataSource());
        }
    }

    // A statement another program runs on the group's table meanwhile.
    void colleague(const std::string& sql) const
    {
        if (server)
            server->execute(sql);
        else
            SqliteFile(env.dbPath().toStdString()).exec(sql);
    }

    TestEnv env;
    std::unique_ptr<ServerSchema> server;
};

// Names that quoting, escaping, pattern characters or a locale's order would
// treat differently: both engines list them in code-point order, filter them
// by the same prefix rule, and find each by its exact name.
TEST_P(StoreOnBothEngines, HostileNamesAreListedFilteredAndFoundAlike)
{
    makeDirectory(22 + dbfile::specialCardCount());
    const store::Table& work = store::kWorkTable;
    const std::vector<std::string> hostile = {"O'Brien",   "back\\slash", "back\\", "100% sure", "under_score",
                                              "tab\there", "abc",         "ABD",    "Ärzte",     "aé",
                                              "Zeta",      "ג'ורג'",      "א' ב'"};
    {
        store::LookUp lookUp;
        const store::Listing listed = whole(work);
        for (const std::string& name : hostile)
            ASSERT_EQ(store::addCard(listed, work, card(name, "1"), lookUp), store::Written::Card) << name;
    }

    const store::Listing all = whole(work);
    ASSERT_FALSE(all.failure);
    std::vector<std::string> listed = names(all);
    std::vector<std::string> sorted = listed;
    std::sort(sorted.begin(), sorted.end()); // bytes of UTF-8: code-point order
    EXPECT_EQ(listed, sorted);
    EXPECT_EQ(listed[0], "  בלום עדי  ");

    // The letter filter compares Latin letters without regard to case, and
    // nothing else.
    store::Listing a = whole(work);
    a.narrowTo("a");
    EXPECT_EQ(names(a), (std::vector<std::string>{"ABD", "abc", "aé"}));
    store::Listing percent = whole(work);
    percent.narrowTo("100%");
    EXPECT_EQ(names(percent), std::vector<std::string>{"100% sure"});

    // The look-up writes the name into its query text: each name finds
    // itself alone, and a backslash ends no quoted text.
    ado::Connection cn;
    cn.Open(store::groupConnectionString(work));
    for (const std::string& name : hostile) {
        const store::Listing found = store::cardsNamed(cn, work, QString::fromStdString(name));
        ASSERT_EQ(found.count(), 1) << name;
        EXPECT_EQ(text(found, 0, "Name"), name);
    }
    EXPECT_EQ(store::cardsNamed(cn, work, "back\\' or '1'='1").count(), 0);
    // The look-up compares exactly: case and a trailing blank count.
    EXPECT_EQ(store::cardsNamed(cn, work, "o'brien").count(), 0);

    // The edit-buffer demonstration reads its card by name over a connection of its own.
    const std::optional<store::NameEdit> edit = store::NameEdit::open(store::kPersonalTable, "  בלום עדי  ");
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->name(), "  בלום עדי  ");
}

// A write reaches the card as it was read and no other; one a colleague
// changed or deleted meanwhile fails with the same error and writes
// nothing; a name the group holds is refused for a new card and a renamed one.
TEST_P(StoreOnBothEngines, WritesMatchTheCardAsReadAndRefuseUsedNames)
{
    makeDirectory(0);
    const store::Table& personal = store::kPersonalTable;
    store::LookUp lookUp;
    {
        const store::Listing listed = whole(personal);
        for (const char* name : {"אבי", "דנה", "רון"})
            ASSERT_EQ(store::addCard(listed, personal, card(name, "1"), lookUp), store::Written::Card);
    }
    const store::Listing listed = whole(personal);
    store::Card avi = *listed.cardAt(1);
    store::Card dana = *listed.cardAt(2);
    store::Card ron = *listed.cardAt(3);
    const QString byName = store::listingSql(personal, " ASC");

    EXPECT_EQ(store::updateCard(avi, personal, card("אבי", "11"), std::nullopt, lookUp), store::Written::Card);
    EXPECT_EQ(store::updateCard(dana, personal, card("רון", "2"), byName, lookUp), store::Written::NameUsed);
    EXPECT_EQ(store::addCard(listed, personal, card("דנה", "5"), lookUp), store::Written::NameUsed);

    colleague("UPDATE Vemo SET Phone = '3' WHERE Name = 'דנה'");
    colleague("DELETE FROM Vemo WHERE Name = 'רון'");
    for (const auto& write : std::vector<std::function<void()>>{
             [&] { store::updateCard(dana, personal, card("דנה", "4"), std::nullopt, lookUp); },
             [&] { store::updateCard(dana, personal, card("דנה ב", "4"), byName, lookUp); },
             [&] { store::deleteCard(dana); },
             [&] { store::updateCard(ron, personal, card("רון", "4"), std::nullopt, lookUp); }}) {
        try {
            write();
            ADD_FAILURE() << "a card changed or deleted since it was read was written";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), ado::adErrRowChangedOrMissing) << e.description();
        }
    }
    // The card a colleague left alone is written after all that.
    store::deleteCard(avi);
    const store::Listing after = whole(personal);
    EXPECT_EQ(names(after), std::vector<std::string>{"דנה"});
    EXPECT_EQ(text(after, 0, "Phone"), "3");
}

// Eight programs adding and updating cards of one group at once: every
// increment of a shared card survives (a write that met another's retries
// on the card as it is now), every name is there once, and every card a
// writer added is there with what it wrote.
TEST_P(StoreOnBothEngines, EightWritersAtOnceLoseNothingAndNeverDoubleAName)
{
    makeDirectory(0);
    const store::Table& work = store::kWorkTable;
    {
        store::LookUp lookUp;
        ASSERT_EQ(store::addCard(whole(work), work, card("counter", "0"), lookUp), store::Written::Card);
    }
    constexpr int kWriters = 8;
    constexpr int kIncrements = 12;
    constexpr int kOwnCards = 6;
    constexpr int kSharedNames = 6;

    // A writer's own work, in a process of its own; its exit status says
    // whether each step came out as it should.
    const auto writer = [&](int w) -> int {
        try {
            store::LookUp lookUp;
            for (int i = 0; i < kOwnCards; ++i) {
                if (store::addCard(whole(work), work,
                                   card("writer " + std::to_string(w) + "." + std::to_string(i), std::to_string(w)),
                                   lookUp) != store::Written::Card)
                    return 2;
            }
            for (int i = 0; i < kSharedNames; ++i)
                store::addCard(whole(work), work, card("shared " + std::to_string(i), std::to_string(w)), lookUp);
            ado::Connection cn;
            cn.Open(store::groupConnectionString(work));
            for (int i = 0; i < kIncrements; ++i) {
                for (int attempt = 0;; ++attempt) {
                    const store::Listing found = store::cardsNamed(cn, work, "counter");
                    store::Card counter = found.card(1);
                    const int value = std::stoi(*counter.field("Home"));
                    try {
                        store::updateCard(counter, work, card("counter", std::to_string(value + 1)), std::nullopt,
                                          lookUp);
                        break;
                    } catch (const Error& e) {
                        if (e.number() != ado::adErrRowChangedOrMissing || attempt > 500)
                            throw;
                    }
                }
            }
            return 0;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "writer %d: %s\n", w, e.what());
            return 3;
        }
    };
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            ::_exit(writer(w));
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed: " << status;
    }

    const store::Listing all = whole(work);
    const std::vector<std::string> listed = names(all);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()).size(), listed.size()) << "a name twice";
    EXPECT_EQ(all.count(), 1 + kWriters * kOwnCards + kSharedNames);
    for (long row = 0; row < all.count(); ++row) {
        const std::string name = text(all, row, "Name");
        if (name == "counter") {
            EXPECT_EQ(text(all, row, "Home"), std::to_string(kWriters * kIncrements));
        } else if (name.starts_with("writer ")) {
            EXPECT_EQ(text(all, row, "Home"), name.substr(7, name.find('.') - 7)) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreOnBothEngines, ::testing::Values(Engine::File, Engine::Server),
                         [](const ::testing::TestParamInfo<Engine>& engine) {
                             return engine.param == Engine::File ? "File" : "Server";
                         });

// The server's table: made by init, given the columns it lacks once (a
// second start adds nothing), used only over standard-conforming strings.
TEST(StoreOnServer, TableIsMadeUpgradedOnceAndRefusedWithoutStandardStrings)
{
    NUMORA_REQUIRE_SERVER();
    TestEnv env;
    ServerSchema server(env, "Office");
    server.execute("CREATE TABLE work (rowid bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                   "name text COLLATE \"C\" NOT NULL, home text, mobil text, phone text, dept text)");
    server.execute("INSERT INTO work (name, home) VALUES ('אבי', '1')");
    store::setGroupDataSource(store::kWorkTable, "Office");
    for (int start = 0; start < 2; ++start) {
        ado::Connection cn;
        EXPECT_EQ(store::prepareServerGroup(cn, store::kWorkTable), QString());
    }
    const store::Listing listed = whole(store::kWorkTable);
    ASSERT_EQ(listed.count(), 1);
    EXPECT_EQ(listed.findColumn("Email"), 6);
    EXPECT_EQ(listed.findColumn("rowid"), -1) << "the key is no column of a card";
    EXPECT_EQ(listed.text(0, listed.column("Address")), std::nullopt);

    // A table of that name there already is not made again.
    ado::Connection cn;
    cn.Open(server.connectionString());
    EXPECT_THROW(store::createServerTable(cn, store::kWorkTable), Error);

    // A server whose strings take backslashes as escapes is not used.
    ado::Connection loose;
    try {
        loose.Open(server.connectionString() + ";ConnSettings={SET standard_conforming_strings TO off}");
        ADD_FAILURE() << "a server without standard-conforming strings was used";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("standard_conforming_strings is off"), std::string::npos) << e.description();
    }
    store::setGroupDataSource(store::kWorkTable, {});
}

// A full group goes from a file to a server and back whole: every value as
// stored, Null and blanks included, in the order the cards were added; a
// target that holds cards is refused and keeps them.
TEST(StoreOnServer, CopyMovesAFullGroupBothWaysUnchanged)
{
    NUMORA_REQUIRE_SERVER();
    TestEnv env;
    ServerSchema server(env, "Office");
    const std::string from = env.dbPath().toStdString();
    dbfile::createSample(from, 32'766);
    const std::string back = (env.root() + "/back.mdb").toStdString();
    dbfile::createEmpty(back);
    {
        ado::Connection cn;
        cn.Open(server.connectionString());
        store::createServerTable(cn, store::kWorkTable);
    }
    const auto office = store::GroupPlace::parse("dsn:Office");
    EXPECT_EQ(store::copyGroup(store::kWorkTable, store::GroupPlace::parse(from), office), 32'766u);
    EXPECT_EQ(store::copyGroup(store::kWorkTable, office, store::GroupPlace::parse(back)), 32'766u);
    const std::string all = "select Name, Home, Mobil, Phone, Dept, Address, Email from Work order by rowid";
    EXPECT_EQ(SqliteFile(back).rows(all), SqliteFile(from).rows(all));

    try {
        store::copyGroup(store::kWorkTable, store::GroupPlace::parse(from), office);
        ADD_FAILURE() << "a group was copied over cards";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("holds cards of the Work group already"), std::string::npos);
    }
}

} // namespace
} // namespace numora::test
