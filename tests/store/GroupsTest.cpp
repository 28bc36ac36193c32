// The group mapping and the SQL and filter texts every window builds on.

#include "store/Store.h"

#include <gtest/gtest.h>

namespace numora::test {
namespace {

TEST(Groups, GroupTextSelectsTableAndColumnsExactly)
{
    const store::GroupLayout* personal = store::layoutForGroup("Personal");
    const store::GroupLayout* work = store::layoutForGroup("Work");
    ASSERT_TRUE(personal && work);
    EXPECT_EQ(personal->table, "Vemo");
    EXPECT_EQ(personal->fields, (std::array<QString, 5>{"Name", "Phone", "Mobil", "Line", "Fax"}));
    // Phone is the work telephone in Work and lands in column 3, not 1.
    EXPECT_EQ(work->table, "Work");
    EXPECT_EQ(work->fields, (std::array<QString, 5>{"Name", "Home", "Mobil", "Phone", "Dept"}));
    EXPECT_EQ(work->fifthHeading, "מחלקה");

    for (const char* other : {"", "personal", "WORK", "Work ", " Personal", "Vemo"})
        EXPECT_EQ(store::layoutForGroup(QString::fromUtf8(other)), nullptr) << other;

    // Two blanks before the direction: the text ends in "Name " and the sort
    // order brings its own leading blank.
    EXPECT_EQ(store::listingSql(*work, " ASC"), "select * from Work order by Name  ASC");
}

TEST(Groups, NamesAreQuotedInSqlAndFilters)
{
    EXPECT_EQ(store::quoted("צה'ל"), "צה''ל");
    EXPECT_EQ(store::quoted("'a''b'"), "''a''''b''");
    EXPECT_EQ(store::nameFilter("ל"), "Name like 'ל*'");
    EXPECT_EQ(store::nameFilter("צה'"), "Name like 'צה''*'");
    EXPECT_EQ(store::lookupSql(*store::layoutForGroup("Work"), "צה'ל"), "select * from Work where Name = 'צה''ל'");
}

} // namespace
} // namespace numora::test
