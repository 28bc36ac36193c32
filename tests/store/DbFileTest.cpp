// The database file library: formats, the generated sample, and refusing to
// overwrite or leave half-made files behind.

#include "tools/DbFile.h"
#include "store/Tables.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace numora::test {
namespace {

// The columns the table description gives a file of either format.
std::vector<std::string> describedColumns(const store::Table& table, bool withNewColumns)
{
    std::vector<std::string> names;
    for (const store::Column& column : table.columns) {
        if (withNewColumns || !column.addedAtStart)
            names.push_back(column.name);
    }
    return names;
}

std::string path(const TestEnv& env, const char* name) { return (env.root() + "/" + name).toStdString(); }

std::string fileBytes(const std::string& p) { return test::fileBytes(QString::fromStdString(p)); }

TEST(DbFile, FormatsHaveTheirColumnsInOrder)
{
    TestEnv env;
    const std::string empty = path(env, "empty.mdb");
    const std::string old = path(env, "old.mdb");
    dbfile::createEmpty(empty);
    dbfile::createOldSample(old, 50);

    for (const store::Table* table : store::kTables) {
        EXPECT_EQ(SqliteFile(empty).columns(table->name), describedColumns(*table, true));
        EXPECT_EQ(SqliteFile(old).columns(table->name), describedColumns(*table, false));
    }
    EXPECT_EQ(SqliteFile(empty).count("select count(*) from Work"), 0);
    const auto info = SqliteFile(empty).rows("PRAGMA table_info(Vemo)");
    EXPECT_EQ(info.at(6).at(2), "TEXT(20)"); // Email keeps its declared length
    EXPECT_EQ(info.at(0).at(3), "1");        // Name refuses Null

    EXPECT_EQ(SqliteFile(old).columns("Vemo").size(), 5u);
    EXPECT_EQ(SqliteFile(old).count("select count(*) from Vemo"), 50);
}

TEST(DbFile, RefusesToOverwriteAndCleansUpAfterFailure)
{
    TestEnv env;
    const std::string existing = path(env, "VEMO.MDB");
    {
        std::ofstream(existing) << "precious";
    }
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
    EXPECT_EQ(SqliteFile(fresh).count("select count(*) from Work"), 3);
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
            return SqliteFile(p).count("select count(*) from " + t + " where " + where);
        };
        EXPECT_EQ(count("1"), n);
        EXPECT_EQ(SqliteFile(p).count("select count(distinct Name) from " + t), n);
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
    EXPECT_EQ(SqliteFile(p).count("select count(*) from Work where Dept glob '*[0-9]*'"), 0);
}

TEST(DbFile, SampleIsTheSameEveryTimeAtFullSize)
{
    TestEnv env;
    const std::string a = path(env, "a.mdb");
    const std::string b = path(env, "b.mdb");
    dbfile::createSample(a, 32766);
    dbfile::createSample(b, 32766);

    EXPECT_EQ(SqliteFile(a).count("select count(*) from Vemo"), 32766);
    EXPECT_EQ(SqliteFile(a).count("select count(*) from Work"), 32766);
    EXPECT_EQ(fileBytes(a), fileBytes(b));
}

} // namespace
} // namespace numora::test
