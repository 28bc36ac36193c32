// The data source's attribute text and what a failed registration shows.

#include "platform/dao/DBEngine.h"
#include "platform/ui/MsgBox.h"
#include "store/Store.h"
#include "tests/support/FakeMessageBoxes.h"

#include <gtest/gtest.h>

namespace numora::test {
namespace {

// Records each registration and fails it with the errors it is given.
class FakeEngine : public dao::Engine {
public:
    void RegisterDatabase(const std::string& dsn, const std::string& driver, bool silent,
                          const std::string& attributes) override
    {
        calls.push_back(dsn + "|" + driver + "|" + (silent ? "silent" : "dialog") + "|" + attributes);
        errors_ = failWith;
        if (fail)
            throw Error(0, "registration failed");
    }
    const std::vector<dao::EngineError>& Errors() const override { return errors_; }

    std::vector<std::string> calls;
    bool fail = false;
    std::vector<dao::EngineError> failWith;

private:
    std::vector<dao::EngineError> errors_;
};

TEST(DataSource, RegistersSevenAttributesSilently)
{
    FakeMessageBoxes boxes;
    FakeEngine engine;
    store::RegisterDataSource("/home/dana/טלפונים/", engine);
    ASSERT_EQ(engine.calls.size(), 1u);
    EXPECT_EQ(engine.calls[0], "Numora Database|Microsoft Access Driver (*.mdb)|silent|"
                               "DBQ=/home/dana/טלפונים/VEMO.MDB\rDescription=App Data Source\r"
                               "Driver=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll\rDriverId=25\rFIL=MS Access\r"
                               "SafeTransactions=0\rUID=");
    EXPECT_TRUE(boxes.asked.empty());
}

TEST(DataSource, FailedRegistrationShowsOneBoxPerErrorThenGoesOn)
{
    FakeMessageBoxes boxes;
    FakeEngine engine;
    engine.fail = true;
    engine.failWith = {{3, "Description one"}, {11, "תיאור שני"}};
    ASSERT_EQ(ui::appTitle(), "vemo1"); // the title before start-up names the program

    EXPECT_NO_THROW(store::RegisterDataSource("/data/", engine));
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].text, "Error number: 3\rDescription one");
    EXPECT_EQ(boxes.asked[1].text, "Error number: 11\rתיאור שני");
    for (const auto& box : boxes.asked) {
        EXPECT_EQ(box.style, ui::vbOKOnly);
        EXPECT_EQ(box.title, "vemo1");
    }
    EXPECT_EQ(engine.calls.size(), 1u); // nothing is retried

    // A failure without any engine error shows nothing.
    boxes.asked.clear();
    engine.failWith.clear();
    EXPECT_NO_THROW(store::RegisterDataSource("/data/", engine));
    EXPECT_TRUE(boxes.asked.empty());
}

} // namespace
} // namespace numora::test
