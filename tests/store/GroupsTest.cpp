// The group mapping and the SQL and filter texts every window builds on.

#include "store/Store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace numora::test {
namespace {

// The columns of a table as name, heading and declared type, in order.
std::vector<std::string> described(const store::Table& table)
{
    std::vector<std::string> out;
    for (const store::Column& c : table.columns)
        out.push_back(std::string(c.name) + "|" + c.heading + "|" + c.type + (c.mayBeNull ? "" : "|not null") +
                      (c.addedAtStart ? "|added" : ""));
    return out;
}

TEST(Groups, GroupTextSelectsTableAndColumnsExactly)
{
    EXPECT_EQ(store::tableForGroup("Personal"), &store::kPersonalTable);
    EXPECT_EQ(store::tableForGroup("Work"), &store::kWorkTable);
    EXPECT_EQ(store::kPersonalTable.name, std::string("Vemo"));
    EXPECT_EQ(described(store::kPersonalTable),
              (std::vector<std::string>{"Name|שם/חברה|TEXT|not null", "Phone|טל' בבית|TEXT", "Mobil|פלאפון|TEXT",
                                        "Line|טל' בעבודה|TEXT", "Fax|פקס|TEXT", "Address||TEXT|added",
                                        "Email||TEXT(20)|added"}));
    // Phone is the work telephone in Work and lands in column 3, not 1.
    EXPECT_EQ(store::kWorkTable.name, std::string("Work"));
    EXPECT_EQ(described(store::kWorkTable),
              (std::vector<std::string>{"Name|שם/חברה|TEXT|not null", "Home|טל' בבית|TEXT", "Mobil|פלאפון|TEXT",
                                        "Phone|טל' בעבודה|TEXT", "Dept|מחלקה|TEXT", "Address||TEXT|added",
                                        "Email||TEXT(20)|added"}));

    for (const char* other : {"", "personal", "WORK", "Work ", " Personal", "Vemo"})
        EXPECT_EQ(store::tableForGroup(QString::fromUtf8(other)), nullptr) << other;

    // Two blanks before the direction: the text ends in "Name " and the sort
    // order brings its own leading blank.
    EXPECT_EQ(store::listingSql(store::kWorkTable, " ASC"), "select * from Work order by Name  ASC");
}

TEST(Groups, NamesAreQuotedInSqlAndFilters)
{
    EXPECT_EQ(store::quoted("צה'ל"), "צה''ל");
    EXPECT_EQ(store::quoted("'a''b'"), "''a''''b''");
    EXPECT_EQ(store::nameFilter("ל"), "Name like 'ל*'");
    EXPECT_EQ(store::nameFilter("צה'"), "Name like 'צה''*'");
    EXPECT_EQ(store::lookupSql(store::kWorkTable, "צה'ל"), "select * from Work where Name = 'צה''ל'");
}

} // namespace
} // namespace numora::test
