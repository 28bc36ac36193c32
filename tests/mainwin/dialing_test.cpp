// Dialing from the grid's popup and the Option menu: which number, which
// dialer, and what the user is told when it fails.
#include "tests/mainwin/grid_fixture.h"

#include <QMenu>

#include "tests/support/FakeTasks.h"
#include "tools/dialer/NumberBox.h"

namespace numora::test {
namespace {

class DialingTest : public GridWindowTest {
protected:
    void SetUp() override
    {
        GridWindowTest::SetUp();
        insertCards(path(), store::kPersonalTable, personalCards());
        start();
    }

    void rightClick(int gridRow, int col)
    {
        QTest::mousePress(grid().viewport(), Qt::RightButton, {}, cellCentre(gridRow, col));
        w->popFile->close();
    }
};

TEST_F(DialingTest, ThePopupAndTheMenuDialTheChosenTelephoneCellAndNothingElse)
{
    FakeTasks tasks;
    // Row 1 (the name stored with trailing blanks): mobile 050-5550011, work
    // 03-5550012. The right click elsewhere moves nothing: the clicked mobile
    // is what the popup dials.
    clickCell(1, 2);
    rightClick(1, 3);
    w->popDialing->trigger();
    EXPECT_EQ(tasks.started, QStringList{QStringLiteral("dialer.exe")});
    EXPECT_EQ(tasks.activated, std::vector<long long>{tasks.nextTask});
    EXPECT_EQ(tasks.typed, QStringList{QStringLiteral("050-5550011")});

    clickCell(1, 3);
    w->mnuDialingNum->trigger();
    EXPECT_EQ(tasks.typed.last(), QStringLiteral("03-5550012"));

    // The name column, an empty cell (row 2 has no mobile), the heading row.
    clickCell(1, 0);
    w->mnuDialingNum->trigger();
    rightClick(1, 0);
    w->popDialing->trigger();
    clickCell(2, 2);
    w->mnuDialingNum->trigger();
    grid().setRow(0);
    grid().setCol(1);
    w->mnuDialingNum->trigger();
    EXPECT_EQ(tasks.started.size(), 2);
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(DialingTest, OnlyWhatTheDialerTakesOfAVeryLongValueIsTyped)
{
    // An imported card's mobile number of 10,000 characters.
    const std::string endless(10000, '5');
    SqliteFile(path()).run("UPDATE Vemo SET Mobil = ? WHERE Name = 'ארבל מיכל'", {endless});
    w->RefreshGrid();
    FakeTasks tasks;
    clickCell(2, 2);
    w->mnuDialingNum->trigger();
    EXPECT_EQ(tasks.typed, QStringList{QString(dialer::kNumberLength, '5')});
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(DialingTest, TheDialerIsChosenByTheWindowsFolderAsSpelt)
{
    FakeTasks tasks;
    clickCell(1, 2);
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("C:\\WINNT"), QStringLiteral("C:\\Program Files\\Windows NT\\dialer.exe")},
        {QStringLiteral("c:\\windows"), QStringLiteral("c:\\windows\\dialer.exe")},
        {QStringLiteral("C:\\Win95"), QStringLiteral("C:\\Win95\\dialer.exe")},
        {QStringLiteral("C:\\WINDOWS\\"), QStringLiteral("dialer.exe")},
        {env.root() + QStringLiteral("/windows"), QStringLiteral("dialer.exe")},
    };
    for (const auto& [folder, commandLine] : cases) {
        Module1().strWindowsFolder = folder;
        w->mnuDialingNum->trigger();
        EXPECT_EQ(tasks.started.last(), commandLine) << folder.toStdString();
    }
}

TEST_F(DialingTest, AFailureIsShownOnceWithTheLastErrorAndNothingIsTypedElsewhere)
{
    clickCell(3, 1);
    // No such dialer: the real start fails, nothing is activated or typed.
    Module1().strWindowsFolder = QStringLiteral("C:\\WINNT");
    w->mnuDialingNum->trigger();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, QStringLiteral("File not found: C:\\Program Files\\Windows NT\\dialer.exe"));
    EXPECT_EQ(boxes.asked[0].style, ui::vbOKOnly | ui::vbExclamation);
    EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Numora"));

    // A dialer whose window never comes: the number is not typed into
    // whatever window happens to be active.
    FakeTasks tasks;
    tasks.activateFailure = Error(5, "The window of the started program (task 4242) could not be activated");
    w->mnuDialingNum->trigger();
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[1].text.toStdString(), tasks.activateFailure->description());
    EXPECT_TRUE(tasks.typed.isEmpty());
}

} // namespace
} // namespace numora::test
