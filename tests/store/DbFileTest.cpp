// The database file library: formats, the generated sample, and refusing to
// overwrite or leave half-made files behind.

#include "tests/store/SqliteProbe.h"
#include "tests/support/TestEnv.h"
#include "tools/DbFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace numora::test {
namespace {

const std::vector<std::string> kVemo = {"Name", "Phone", "Mobil", "Line", "Fax", "Address", "Email"};
const std::vector<std::string> kWork = {"Name", "Home", "Mobil", "Phone", "Dept", "Address", "Email"};

std::string path(const TestEnv& env, const char* name) { return (env.root() + "/" + name).toStdString(); }

std::string fileBytes(const std::string& p)
{
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

TEST(DbFile, FormatsHaveTheirColumnsInOrder)
{
    TestEnv env;
    const std::string empty = path(env, "empty.mdb");
    const std::string old = path(env, "old.mdb");
    dbfile::createEmpty(empty);
    dbfile::createOldSample(old, 50);

    EXPECT_EQ(sqliteColumns(empty, "Vemo"), kVemo);
    EXPECT_EQ(sqliteColumns(empty, "Work"), kWork);
    EXPECT_EQ(sqliteCount(empty, "select count(*) from Work"), 0);
    const auto info = sqliteRows(empty, "PRAGMA table_info(Vemo)");
    EXPECT_EQ(info.at(6).at(2), "TEXT(20)"); // Email keeps its declared length
    EXPECT_EQ(info.at(0).at(3), "1");        // Name refuses Null

    EXPECT_EQ(sqliteColumns(old, "Vemo"), std::vector<std::string>(kVemo.begin(), kVemo.begin() + 5));
    EXPECT_EQ(sqliteColumns(old, "Work"), std::vector<std::string>(kWork.begin(), kWork.begin() + 5));
    EXPECT_EQ(sqliteCount(old, "select count(*) from Vemo"), 50);
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
    EXPECT_FALSE(std::filesystem::exists(fresh));
    dbfile::createSample(fresh, 3);
    EXPECT_EQ(sqliteCount(fresh, "select count(*) from Work"), 3);
}

TEST(DbFile, SampleCoversLettersAndUnusualNamesInBothGroups)
{
    TestEnv env;
    const int n = 22 + dbfile::specialCardCount() + 100;
    const std::string p = path(env, "sample.mdb");
    dbfile::createSample(p, n);

    for (const std::string t : {"Vemo", "Work"}) {
        SCOPED_TRACE(t);
        const auto count = [&](const std::string& where) {
            return sqliteCount(p, "select count(*) from " + t + " where " + where);
        };
        EXPECT_EQ(count("1"), n);
        EXPECT_EQ(sqliteCount(p, "select count(distinct Name) from " + t), n);
        for (const char* letter : {"א", "ב", "ג", "ד", "ה", "ו", "ז", "ח", "ט", "י", "כ",
                                   "ל", "מ", "נ", "ס", "ע", "פ", "צ", "ק", "ר", "ש", "ת"})
            EXPECT_GE(count("Name like '" + std::string(letter) + "%'"), 2) << letter;
        for (const char* form : {"ך", "ם", "ן", "ף", "ץ"})
            EXPECT_EQ(count("substr(Name,1,1) = '" + std::string(form) + "'"), 1) << form;
        EXPECT_EQ(count("substr(Name,1,1) between 'A' and 'z'"), 1);
        EXPECT_EQ(count("substr(Name,1,1) between '0' and '9'"), 1);
        EXPECT_EQ(count("Name <> trim(Name)"), 1);
        EXPECT_EQ(count("Name = 'צה''ל'"), 1);
        EXPECT_EQ(count("instr(Name, '''') > 0"), 1);
        EXPECT_GT(count("Mobil is null"), 0);
        EXPECT_GT(count("Address is null"), 0);
        EXPECT_EQ(count("length(Email) > 20"), 0);
    }
    // Departments are Hebrew words, not numbers.
    EXPECT_EQ(sqliteCount(p, "select count(*) from Work where Dept glob '*[0-9]*'"), 0);
}

TEST(DbFile, SampleIsTheSameEveryTimeAtFullSize)
{
    TestEnv env;
    const std::string a = path(env, "a.mdb");
    const std::string b = path(env, "b.mdb");
    dbfile::createSample(a, 32766);
    dbfile::createSample(b, 32766);

    EXPECT_EQ(sqliteCount(a, "select count(*) from Vemo"), 32766);
    EXPECT_EQ(sqliteCount(a, "select count(*) from Work"), 32766);
    EXPECT_EQ(fileBytes(a), fileBytes(b));
}

} // namespace
} // namespace numora::test
