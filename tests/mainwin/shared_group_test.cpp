// The Work group on a database server in the running main window: what a
// colleague changes there appears without a restart, and a server that goes
// away and comes back loses neither the list nor what the editor holds.
#include "tests/mainwin/grid_fixture.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QToolButton>

#include <functional>
#include <utility>

#include "platform/ado/Ado.h"
#include "report/DataReport1.h"
#include "search/SearchFrm.h"
#include "store/Server.h"
#include "tests/support/FakeFileDialogs.h"
#include "tests/support/TestServer.h"

namespace numora::test {
namespace {

class SharedWorkGroup : public GridWindowTest {
protected:
    void TearDown() override
    {
        GridWindowTest::TearDown();
        store::setGroupDataSource(store::kWorkTable, {});
    }

    static void click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    FakeFileDialogs dialogs;

    static FrmNewPhn* editor()
    {
        FrmNewPhn* e = FrmNewPhn::existingInstance();
        return e && e->isLoaded() ? e : nullptr;
    }
};

TEST_F(SharedWorkGroup, ColleaguesChangesAppearAndAServerGoingAwayLosesNothing)
{
    const PrivateServer own; // stopped and started under the window: not the run's shared one
    std::string whyNot;
    const std::optional<ServerAddress> address = own.address(&whyNot);
    if (!address)
        GTEST_SKIP() << "no database server for this test: " << whyNot;
    const ServerSchema office(env, "Office", *address);
    {
        ado::Connection cn;
        cn.Open(office.connectionString());
        store::createServerTable(cn, store::kWorkTable);
    }
    office.execute("INSERT INTO work (name, home, dept) VALUES ('לנדאו שירה', '03-5551001', 'פיתוח'), "
                   "('אורן עמרי', '03-5551011', 'כספים'), ('לרנר תמר', '03-5551021', 'שיווק')");
    store::setGroupDataSource(store::kWorkTable, "Office");
    start();
    chooseGroup("Work");
    click(w->btnAll);
    EXPECT_EQ(listedNames(), QStringList({heb("אורן עמרי"), heb("לנדאו שירה"), heb("לרנר תמר")}));

    // Import DB and Export DB copy whole files: for a group on a server they
    // say so and ask for no file; the directory file stays as it was.
    const std::string before = fileBytes(env.dbPath());
    for (QAction* command : {w->mnuImportDB, w->mnuExportDB}) {
        command->trigger();
        const QStringList told = said();
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].startsWith("The Work group lives on a database server (data source \"Office\")"))
            << told[0].toStdString();
    }
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(fileBytes(env.dbPath()), before);

    // Nothing changed: the check reads no cards.
    const store::Listing* listed = Module1().rsDirectory.get();
    w->checkColleaguesChanges();
    EXPECT_EQ(Module1().rsDirectory.get(), listed);

    // A colleague adds, changes and deletes; the window shows it within its
    // check's interval, without a command.
    office.execute("INSERT INTO work (name, dept) VALUES ('אבן גיל', 'רכש')");
    office.execute("UPDATE work SET name = 'לרנר תמר ב' WHERE name = 'לרנר תמר'");
    office.execute("DELETE FROM work WHERE name = 'אורן עמרי'");
    const QStringList changed{heb("אבן גיל"), heb("לנדאו שירה"), heb("לרנר תמר ב")};
    EXPECT_TRUE(QTest::qWaitFor([&] { return listedNames() == changed; }, 3 * frmVemo::kChangeCheckMs));
    EXPECT_EQ(listedNames(), changed);

    // The server goes away with the editor open: Add says so and keeps what
    // was typed, and a fill keeps the list.
    click(w->btnAdd);
    ASSERT_NE(editor(), nullptr);
    editor()->setBoxText(0, heb("כהן דנה"));
    editor()->setBoxText(1, QStringLiteral("03-5550000"));
    own.pause();
    click(editor()->btnAdd);
    QStringList boxesShown = said();
    ASSERT_EQ(boxesShown.size(), 1);
    EXPECT_TRUE(boxesShown[0].startsWith("The database server of the Work group (data source \"Office\") cannot be "
                                         "reached"))
        << boxesShown[0].toStdString();
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->boxText(0), heb("כהן דנה"));
    // Every action that needs the server says so in those words, never the
    // driver's, and the list stays.
    const QString gone = QStringLiteral("The database server of the Work group (data source \"Office\") cannot be "
                                        "reached: ");
    const QString cardsFile = env.root() + QStringLiteral("/cards.vcf");
    ASSERT_TRUE(writeFileBytes(cardsFile, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Gil\r\nTEL:1\r\nEND:VCARD\r\n"));
    const std::pair<const char*, std::function<void()>> actions[] = {
        {"a fill", [&] { w->RefreshGrid(); }},
        {"a letter", [&] { chooseTab(1); }},
        {"Print", [&] { w->mnuPrint->trigger(); }},
        {"Delete",
         [&] {
             clickCell(1, 0);
             click(w->btnDelete);
         }},
        {"Export Cards",
         [&] {
             dialogs.choose(env.root() + QStringLiteral("/out.vcf"));
             w->mnuExportCards->trigger();
         }},
        {"Import Cards",
         [&] {
             dialogs.choose(cardsFile);
             w->mnuImportCards->trigger();
         }},
        {"the search",
         [&] {
             click(w->btnSearch);
             QTest::keyClicks(SearchFrm::instance().TxtStr, QStringLiteral("a"));
         }},
    };
    for (const auto& [action, run] : actions) {
        run();
        boxesShown = said();
        ASSERT_FALSE(boxesShown.isEmpty()) << action;
        EXPECT_TRUE(boxesShown.last().startsWith(gone)) << action << ": " << boxesShown.last().toStdString();
        EXPECT_EQ(listedNames(), changed) << action;
    }
    SearchFrm::instance().close();
    if (DataReport1* report = DataReport1::existingInstance())
        report->close();

    // Back again: the next Add connects afresh and stores the card.
    own.resume();
    click(editor()->btnAdd);
    EXPECT_EQ(said(), QStringList{"A new record has been added"});
    EXPECT_EQ(editor(), nullptr);
    EXPECT_TRUE(listedNames().contains(heb("כהן דנה")));
}

// A start with the server down shows the window and says so at once; the
// group in the file is listed as ever.
TEST_F(SharedWorkGroup, StartWithTheServerDownShowsTheWindowAndSaysSo)
{
    const PrivateServer own;
    std::string whyNot;
    const std::optional<ServerAddress> address = own.address(&whyNot);
    if (!address)
        GTEST_SKIP() << "no database server for this test: " << whyNot;
    const ServerSchema office(env, "Office", *address);
    store::setGroupDataSource(store::kWorkTable, "Office");
    insertCards(path(), store::kPersonalTable, personalCards());
    own.pause();
    QElapsedTimer clock;
    clock.start();
    start();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(w->isVisible());
    const QStringList shown = said();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith("The database server of the Work group")) << shown[0].toStdString();
    EXPECT_FALSE(listedNames().isEmpty());
    // The Work group, chosen, lists nothing and says it once more.
    chooseGroup("Work");
    const QStringList again = said();
    ASSERT_EQ(again.size(), 1);
    EXPECT_TRUE(again[0].startsWith("The database server of the Work group")) << again[0].toStdString();
    own.resume();
}

} // namespace
} // namespace numora::test
