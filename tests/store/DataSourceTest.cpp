// The data source's attribute text and what a failed registration shows.

#include "platform/dao/DBEngine.h"
#include "platform/ui/MsgBox.h"
#include "store/Store.h"
#include "tests/support/FakeMessageBoxes.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <stdexcept>

namespace numora::test {
namespace {

// Records each registration and fails it, when told to, with the given errors.
class FakeEngine : public dao::Engine {
public:
    struct Call {
        std::string dsn, driver, attributes;
        bool silent = false;
    };

    void RegisterDatabase(const std::string& dsn, const std::string& driver, bool silent,
                          const std::string& attributes) override
    {
        calls.push_back({dsn, driver, attributes, silent});
        errors_.clear();
        if (failWith.empty() && !failSilently)
            return;
        errors_ = failWith;
        throw Error(errors_.empty() ? 0 : errors_.front().Number, "registration failed");
    }
    const std::vector<dao::EngineError>& Errors() const override { return errors_; }

    std::vector<Call> calls;
    std::vector<dao::EngineError> failWith;
    bool failSilently = false; // fail with an empty error collection

private:
    std::vector<dao::EngineError> errors_;
};

TEST(DataSource, AttributesAreSevenInOrderSeparatedByCarriageReturns)
{
    const QString text = store::dataSourceAttributes("/home/dana/טלפונים/");
    EXPECT_EQ(text, "DBQ=/home/dana/טלפונים/VEMO.MDB\rDescription=App Data Source\r"
                    "Driver=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll\rDriverId=25\rFIL=MS Access\r"
                    "SafeTransactions=0\rUID=");
    EXPECT_EQ(text.split('\r').size(), 7);
}

TEST(DataSource, RegistrationPassesNameDriverAndAttributesSilently)
{
    FakeMessageBoxes boxes;
    FakeEngine engine;
    store::RegisterDataSource("/data/", engine);
    ASSERT_EQ(engine.calls.size(), 1u);
    EXPECT_EQ(engine.calls[0].dsn, "Numora Database");
    EXPECT_EQ(engine.calls[0].driver, "Microsoft Access Driver (*.mdb)");
    EXPECT_TRUE(engine.calls[0].silent);
    EXPECT_EQ(engine.calls[0].attributes, store::dataSourceAttributes("/data/").toStdString());
    EXPECT_TRUE(boxes.asked.empty());
}

TEST(DataSource, FailedRegistrationShowsOneBoxPerErrorThenGoesOn)
{
    FakeMessageBoxes boxes;
    FakeEngine engine;
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
    engine.failSilently = true;
    EXPECT_NO_THROW(store::RegisterDataSource("/data/", engine));
    EXPECT_TRUE(boxes.asked.empty());
}

} // namespace
} // namespace numora::test
