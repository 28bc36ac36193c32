// The database file library: formats, the generated sample, and refusing to
// overwrite or leave half-made files behind.

#include "tests/store/SqliteProbe.h"
#include "tests/support/TestEnv.h"
#include "tools/DbFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace numora::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kVemo = {"Name", "Phone", "Mobil", "Line", "Fax", "Address", "Email"};
const std::vector<std::string> kWork = {"Name", "Home", "Mobil", "Phone", "Dept", "Address", "Email"};
const char* const kTabLetters[] = {"א", "ב", "ג", "ד", "ה", "ו", "ז", "ח", "ט", "י", "כ",
                                   "ל", "מ", "נ", "ס", "ע", "פ", "צ", "ק", "ר", "ש", "ת"};

std::string path(const TestEnv& env, const char* name) { return (env.root() + "/" + name).toStdString(); }

std::string fileBytes(const std::string& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

long count(const std::string& p, const std::string& sql) { return std::stol(*sqliteRows(p, sql).at(0).at(0)); }

TEST(DbFile, FormatsHaveTheirColumnsInOrderAndNoRows)
{
    TestEnv env;
    const std::string empty = path(env, "empty.mdb");
    const std::string old = path(env, "old.mdb");
    dbfile::createEmpty(empty);
    dbfile::createOldFormat(old);

    EXPECT_EQ(sqliteColumns(empty, "Vemo"), kVemo);
    EXPECT_EQ(sqliteColumns(empty, "Work"), kWork);
    EXPECT_EQ(sqliteColumns(old, "Vemo"), std::vector<std::string>(kVemo.begin(), kVemo.begin() + 5));
    EXPECT_EQ(sqliteColumns(old, "Work"), std::vector<std::string>(kWork.begin(), kWork.begin() + 5));
    EXPECT_EQ(count(empty, "select count(*) from Vemo"), 0);
    EXPECT_EQ(count(empty, "select count(*) from Work"), 0);

    // Email keeps its declared length; Name refuses Null.
    const auto info = sqliteRows(empty, "PRAGMA table_info(Vemo)");
    EXPECT_EQ(info.at(6).at(2), "TEXT(20)");
    EXPECT_EQ(info.at(0).at(3), "1");
}

TEST(DbFile, RefusesToOverwriteAndCleansUpAfterFailure)
{
    TestEnv env;
    const std::string existing = path(env, "VEMO.MDB");
    { std::ofstream(existing) << "precious"; }
    try {
        dbfile::createSample(existing, 10);
        FAIL() << "an existing file was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(existing), std::string::npos) << e.what();
    }
    EXPECT_THROW(dbfile::createEmpty(existing), std::runtime_error);
    EXPECT_THROW(dbfile::createOldFormat(existing), std::runtime_error);
    EXPECT_EQ(fileBytes(existing), "precious");

    EXPECT_THROW(dbfile::createEmpty(path(env, "no-such-folder/VEMO.MDB")), std::runtime_error);

    // A refused count leaves no file behind, so a second attempt can succeed.
    const std::string fresh = path(env, "fresh.mdb");
    EXPECT_THROW(dbfile::createSample(fresh, -1), std::runtime_error);
    EXPECT_FALSE(fs::exists(fresh));
    dbfile::createSample(fresh, 3);
    EXPECT_EQ(count(fresh, "select count(*) from Work"), 3);
}

TEST(DbFile, SampleCoversLettersAndUnusualNamesInBothGroups)
{
    TestEnv env;
    const int n = 22 + dbfile::specialCardCount() + 100;
    const std::string p = path(env, "sample.mdb");
    dbfile::createSample(p, n);

    for (const char* table : {"Vemo", "Work"}) {
        SCOPED_TRACE(table);
        const std::string t = table;
        EXPECT_EQ(count(p, "select count(*) from " + t), n);
        EXPECT_EQ(count(p, "select count(*) from " + t + " where Name is null or Name = ''"), 0);

        for (const char* letter : kTabLetters)
            EXPECT_GE(count(p, "select count(*) from " + t + " where Name like '" + letter + "%'"), 2) << letter;
        for (const char* form : {"ך", "ם", "ן", "ף", "ץ"})
            EXPECT_EQ(count(p, "select count(*) from " + t + " where substr(Name,1,1) = '" + form + "'"), 1)
                << form;
        EXPECT_EQ(count(p, "select count(*) from " + t + " where substr(Name,1,1) between 'A' and 'z'"), 1);
        EXPECT_EQ(count(p, "select count(*) from " + t + " where substr(Name,1,1) between '0' and '9'"), 1);
        EXPECT_EQ(count(p, "select count(*) from " + t + " where Name <> trim(Name)"), 1);
        EXPECT_EQ(count(p, "select count(*) from " + t + " where Name = 'צה''ל'"), 1);
        EXPECT_EQ(count(p, "select count(*) from " + t + " where instr(Name, '''') > 0"), 1);

        // Null numbers and Null addresses occur; names are unique.
        EXPECT_GT(count(p, "select count(*) from " + t + " where Mobil is null"), 0);
        EXPECT_GT(count(p, "select count(*) from " + t + " where Address is null"), 0);
        EXPECT_EQ(count(p, "select count(distinct Name) from " + t), n);
        EXPECT_EQ(count(p, "select count(*) from " + t + " where length(Email) > 20"), 0);
    }

    // The card with only a name and its fifth field: a fax in Personal, a
    // Hebrew department in Work.
    const auto personal = sqliteRows(p, "select Phone, Mobil, Line, Fax from Vemo where Name = 'פקסון מיכל'");
    ASSERT_EQ(personal.size(), 1u);
    EXPECT_EQ(personal[0], (Row{std::nullopt, std::nullopt, std::nullopt, "03-5557777"}));
    const auto work = sqliteRows(p, "select Home, Mobil, Phone, Dept from Work where Name = 'פקסון מיכל'");
    ASSERT_EQ(work.size(), 1u);
    EXPECT_EQ(work[0], (Row{std::nullopt, std::nullopt, std::nullopt, "כספים"}));

    // Departments are Hebrew words, never numbers; numbers look like numbers.
    EXPECT_EQ(count(p, "select count(*) from Work where Dept glob '*[0-9]*'"), 0);
    EXPECT_EQ(count(p, "select count(*) from Vemo where Mobil <> '' and Mobil not glob '05[0-9]-555[0-9][0-9][0-9][0-9]'"), 0);
    EXPECT_EQ(count(p, "select count(*) from Vemo where Phone <> '' and Phone not glob '0[0-9]-555[0-9][0-9][0-9][0-9]'"), 0);
}

TEST(DbFile, SampleIsTheSameEveryTimeAndFastAtFullSize)
{
    TestEnv env;
    const std::string a = path(env, "a.mdb");
    const std::string b = path(env, "b.mdb");
    const auto start = std::chrono::steady_clock::now();
    dbfile::createSample(a, 32766);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    dbfile::createSample(b, 32766);

    EXPECT_EQ(count(a, "select count(*) from Vemo"), 32766);
    EXPECT_EQ(count(a, "select count(*) from Work"), 32766);
    EXPECT_EQ(fileBytes(a), fileBytes(b));
    // Well under a second on an ordinary machine; the bound leaves room for
    // sanitizer builds and a busy machine, and still catches a commit per card.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 5000);

    // A smaller file starts with the same cards as the bigger one.
    const std::string small = path(env, "small.mdb");
    dbfile::createSample(small, 40);
    EXPECT_EQ(sqliteRows(small, "select * from Work order by rowid"),
              sqliteRows(a, "select * from Work order by rowid limit 40"));
}

TEST(DbFile, OldSampleHoldsTheSameCardsWithoutTheNewColumns)
{
    TestEnv env;
    const std::string old = path(env, "old.mdb");
    const std::string now = path(env, "now.mdb");
    dbfile::createOldSample(old, 50);
    dbfile::createSample(now, 50);
    EXPECT_EQ(sqliteColumns(old, "Work").size(), 5u);
    EXPECT_EQ(sqliteRows(old, "select * from Vemo order by rowid"),
              sqliteRows(now, "select Name, Phone, Mobil, Line, Fax from Vemo order by rowid"));
}

} // namespace
} // namespace numora::test
