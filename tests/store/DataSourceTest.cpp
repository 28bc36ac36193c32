// The data source's attribute text and what a failed registration returns.

#include "platform/dao/DBEngine.h"
#include "store/Store.h"
#include "tests/support/FakeDBEngine.h"
#include "tests/support/FakeMessageBoxes.h"

#include <gtest/gtest.h>

namespace numora::test {
namespace {

TEST(DataSource, RegistersSevenAttributesSilently)
{
    FakeDBEngine engine;
    EXPECT_TRUE(store::RegisterDataSource("/home/dana/טלפונים/", engine).empty());
    ASSERT_EQ(engine.registrations.size(), 1u);
    const FakeDBEngine::Registration& r = engine.registrations[0];
    EXPECT_EQ(r.dsn, "Numora Database");
    EXPECT_EQ(r.driver, "Microsoft Access Driver (*.mdb)");
    EXPECT_TRUE(r.silent);
    EXPECT_EQ(r.attributes, "DBQ=/home/dana/טלפונים/VEMO.MDB\rDescription=App Data Source\r"
                            "Driver=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll\rDriverId=25\rFIL=MS Access\r"
                            "SafeTransactions=0\rUID=");
}

TEST(DataSource, FailedRegistrationReturnsTheEngineErrorsAndShowsNothing)
{
    FakeMessageBoxes boxes;
    FakeDBEngine engine;
    engine.failWith = {{3, "Description one"}, {11, "תיאור שני"}};

    const auto errors = store::RegisterDataSource("/data/", engine);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].Number, 3);
    EXPECT_EQ(errors[1].Description, "תיאור שני");
    EXPECT_EQ(engine.registrations.size(), 1u); // nothing is retried
    EXPECT_TRUE(boxes.asked.empty());           // the window tells the user
}

} // namespace
} // namespace numora::test
