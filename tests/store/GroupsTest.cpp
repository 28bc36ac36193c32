// The group mapping and the SQL and filter texts every window builds on.

#include "store/Store.h"

#include <gtest/gtest.h>

namespace numora::test {
namespace {

using store::layoutForGroup;

TEST(Groups, GroupTextSelectsTableAndColumnsExactly)
{
    const store::GroupLayout* personal = layoutForGroup("Personal");
    ASSERT_NE(personal, nullptr);
    EXPECT_EQ(personal->table, "Vemo");
    EXPECT_EQ(personal->fields, (std::array<QString, 5>{"Name", "Phone", "Mobil", "Line", "Fax"}));
    EXPECT_EQ(personal->fifthHeading, "פקס");

    // Phone is the work telephone in Work and lands in column 3, not 1.
    const store::GroupLayout* work = layoutForGroup("Work");
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(work->table, "Work");
    EXPECT_EQ(work->fields, (std::array<QString, 5>{"Name", "Home", "Mobil", "Phone", "Dept"}));
    EXPECT_EQ(work->fifthHeading, "מחלקה");

    for (const char* other : {"", "personal", "WORK", "Work ", " Personal", "Vemo"})
        EXPECT_EQ(layoutForGroup(QString::fromUtf8(other)), nullptr) << other;

    EXPECT_EQ(store::commonHeadings(), (std::array<QString, 4>{"שם/חברה", "טל' בבית", "פלאפון", "טל' בעבודה"}));
}

TEST(Groups, SqlAndFilterTextsQuoteNamesSafely)
{
    const auto& personal = *layoutForGroup("Personal");
    const auto& work = *layoutForGroup("Work");
    // Two blanks between Name and the direction: the text ends in "Name " and
    // the sort order brings its own leading blank.
    EXPECT_EQ(store::listingSql(personal, " ASC"), "select * from Vemo order by Name  ASC");
    EXPECT_EQ(store::listingSql(work, " ASC"), "select * from Work order by Name  ASC");

    EXPECT_EQ(store::quoted("כהן"), "כהן");
    EXPECT_EQ(store::quoted("צה'ל"), "צה''ל");
    EXPECT_EQ(store::quoted("'a''b'"), "''a''''b''");
    EXPECT_EQ(store::quoted(""), "");

    EXPECT_EQ(store::nameFilter("ל"), "Name like 'ל*'");
    EXPECT_EQ(store::nameFilter("צה'"), "Name like 'צה''*'");
    EXPECT_EQ(store::lookupSql(work, "צה'ל"), "select * from Work where Name = 'צה''ל'");
    EXPECT_EQ(store::lookupSql(personal, "כהן דוד"), "select * from Vemo where Name = 'כהן דוד'");
}

} // namespace
} // namespace numora::test
