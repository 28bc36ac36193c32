// The record editor driven through the real windows: the main window's Add,
// Edit and Delete, the editor's checks, saving and its own buttons, over a
// real directory file, and over a group on a database server where the two
// behave alike.
#include "tests/mainwin/grid_fixture.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>

#include "editor/FrmNewPhn.h"
#include "platform/core/LockWait.h"
#include "store/DirectoryFile.h"
#include "tests/support/SqliteFile.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace numora::test {
namespace {

// A card's seven values in the table description's order.
using Seven = std::vector<Value>;

class EditorTest : public GridWindowTest {
protected:
    // Cards of all seven columns, straight into the file.
    void insert(const store::Table& table, const std::vector<Seven>& cards)
    {
        std::string names, marks;
        for (const store::Column& c : table.columns) {
            names += std::string(names.empty() ? "" : ", ") + c.name;
            marks += std::string(marks.empty() ? "" : ", ") + "?";
        }
        SqliteFile(path()).runEach(std::string("INSERT INTO ") + table.name + " (" + names + ") VALUES (" + marks + ")",
                                   cards);
    }

    // The group's cards as stored, in the order they were added: in the
    // file, or on the server when the test runs there.
    std::vector<Row> stored(const store::Table& table)
    {
        std::string names;
        for (const store::Column& c : table.columns)
            names += std::string(names.empty() ? "" : ", ") + c.name;
        const std::string sql = "select " + names + " from " + table.name + " order by rowid";
        if (!server_)
            return SqliteFile(path()).rows(sql);
        ado::Connection cn;
        cn.Open(server_->connectionString());
        std::vector<Row> rows;
        for (auto rs = cn.Execute(sql); rs && !rs->Eof(); rs->MoveNext()) {
            Row row;
            for (int f = 0; f < rs->FieldCount(); ++f)
                row.push_back(rs->Field(f));
            rows.push_back(std::move(row));
        }
        return rows;
    }

    // Another program's write to the group's cards, wherever they are.
    void colleague(const std::string& sql)
    {
        if (server_)
            server_->execute(sql);
        else
            SqliteFile(path()).exec(sql);
    }

    FrmNewPhn* editor() const
    {
        FrmNewPhn* e = FrmNewPhn::existingInstance();
        return e && e->isLoaded() ? e : nullptr;
    }

    void type(const QStringList& seven)
    {
        for (int f = 0; f < store::kCardFields; ++f)
            editor()->setBoxText(f, seven.value(f));
    }

    QStringList shown() const
    {
        QStringList texts;
        for (int f = 0; f < store::kCardFields; ++f)
            texts << editor()->boxText(f);
        return texts;
    }

    // Exactly one box was shown since the last look, as given.
    void expectOneBox(const QString& text, int style, const QString& title)
    {
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].text, text);
        EXPECT_EQ(boxes.asked[0].style, style);
        EXPECT_EQ(boxes.asked[0].title, title);
        boxes.asked.clear();
    }

    void click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    void edit(int row)
    {
        clickCell(row, 0);
        click(w->btnEdit);
    }
};

Seven seven(std::initializer_list<Value> values) { return Seven(values); }

// The editor on the directory file and on a server alike. What stays on the
// file alone says why.
using EditorOnBothEngines = OnBothEngines<EditorTest>;

TEST_P(EditorOnBothEngines, ChecksStopAtTheFirstFailureAndValuesAtTheirLimitsAreStoredTrimmed)
{
    start();
    click(w->btnAdd);
    FrmNewPhn* e = editor();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->windowTitle(), QStringLiteral("Add New Phone Number"));
    EXPECT_EQ(e->lblHeader->text(), QStringLiteral("Add Record"));
    EXPECT_EQ(e->Label4->text(), heb(": פקס"));
    EXPECT_FALSE(e->btnAdd->isHidden());
    EXPECT_FALSE(e->btnClr->isHidden());
    EXPECT_TRUE(e->btnUpdate->isHidden());
    EXPECT_TRUE(e->btnUndo->isHidden());
    EXPECT_EQ(e->focusWidget(), e->TxtName);

    // Hebrew names and addresses count characters, not bytes.
    const QString name20(20, QChar(0x05E9)), addr50(50, QChar(0x05DB));
    const QStringList atLimits = {name20,           QString(10, '1'), QString(11, '2'), QString(11, '3'),
                                  QString(10, '4'), addr50,           QString(20, 'e')};
    struct Case {
        int field;
        QString value;
        const char* message;
    };
    const Case cases[] = {
        {0, QStringLiteral("    "), "The field Name cannot be empty"},
        {0, name20 + QChar(0x05E9), "The length of the 'Name' field is too long"},
        {1, QString(11, '1'), "The length of the 'Phone' field is too long"},
        {2, QString(12, '2'), "The length of the 'Mobile' field is too long"},
        {3, QString(12, '3'), "The length of the 'Line' field is too long"},
        {4, QString(11, '4'), "The length of the 'Fax' field is too long"},
        {5, addr50 + QChar(0x05DB), "The length of the 'Address' field is too long"},
        {6, QString(21, 'e'), "The length of the 'Email' field is too long"},
    };
    for (const Case& c : cases) {
        QStringList typed = atLimits;
        typed[c.field] = c.value;
        type(typed);
        click(e->btnAdd);
        EXPECT_EQ(said(), QStringList{QLatin1String(c.message)}) << c.message;
        EXPECT_EQ(shown(), typed) << "add mode keeps every box as typed";
    }
    // No number at all, even with an address and an e-mail address.
    type({QStringLiteral("אבי"), "", "  ", "", "", QStringLiteral("רחוב 1"), QStringLiteral("a@b.c")});
    click(e->btnAdd);
    EXPECT_EQ(said(), QStringList{QStringLiteral("There is no phone/fax/line/mobile number")});
    // Only the first of several failures is told.
    type({"", QString(11, '1'), QString(12, '2'), "", "", "", QString(21, 'e')});
    boxes.asked.clear();
    click(e->btnAdd);
    expectOneBox(QStringLiteral("The field Name cannot be empty"), ui::vbOKOnly | ui::vbCritical,
                 QStringLiteral("Error Message"));
    EXPECT_TRUE(stored(store::kPersonalTable).empty());

    // Every value at its limit, with blanks around it that do not count,
    // goes into the empty table trimmed.
    QStringList padded;
    for (const QString& v : atLimits)
        padded << QStringLiteral("  ") + v + QStringLiteral("  ");
    type(padded);
    click(e->btnAdd);
    expectOneBox(QStringLiteral("A new record has been added"), ui::vbOKOnly, QStringLiteral("Numora"));
    EXPECT_EQ(editor(), nullptr) << "a saved card closes the editor";
    Row want;
    for (const QString& v : atLimits)
        want.push_back(v.toStdString());
    EXPECT_EQ(stored(store::kPersonalTable), std::vector<Row>{want});
}

TEST_P(EditorOnBothEngines, ANameIsUsedOnlyOnceInAGroupComparedTrimmedAndExactly)
{
    insert(store::kPersonalTable,
           {seven({"אלון דוד  ", "1", "", "", "", {}, {}}), seven({"orbit", "2", "", "", "", {}, {}})});
    start();
    const auto add = [&](const QString& name) {
        click(w->btnAdd);
        type({name, QStringLiteral("03-5550000")});
        click(editor()->btnAdd);
        return said();
    };
    EXPECT_EQ(add(heb("  אלון דוד")), QStringList{QStringLiteral("The current name is used all-ready")});
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->TxtName->text(), heb("  אלון דוד")) << "the typed name stays";
    EXPECT_EQ(Module1().strLookupSql, QStringLiteral("select * from Vemo"));
    click(editor()->btnRtn);
    EXPECT_EQ(add(QStringLiteral("Orbit")), QStringList{QStringLiteral("A new record has been added")});
    EXPECT_EQ(add(QStringLiteral("O'Hara")), QStringList{QStringLiteral("A new record has been added")});
    EXPECT_EQ(add(QStringLiteral("O'Hara ")), QStringList{QStringLiteral("The current name is used all-ready")});
    click(editor()->btnRtn);
    EXPECT_EQ(stored(store::kPersonalTable).size(), 4u);

    // The other group has names of its own.
    chooseGroup(QStringLiteral("Work"));
    EXPECT_EQ(add(heb("אלון דוד")), QStringList{QStringLiteral("A new record has been added")});
    EXPECT_EQ(stored(store::kWorkTable).size(), 1u);
    EXPECT_EQ(stored(store::kWorkTable)[0][0], Value("אלון דוד"));
}

TEST_P(EditorOnBothEngines, EditOpensTheChosenRowOfAFilteredListAndUndoPutsBackEveryBox)
{
    insert(store::kWorkTable, {
                                  seven({"לוי", "1", "2", "3", "a", "", ""}),
                                  seven({"אורן עמרי", "1", "2", "3", "b", "", ""}),
                                  seven({"לנדאו", "1", "2", "3", "c", "", ""}),
                                  seven({"לרנר תמר ", " 03-1 ", "050-2", "03-3", "שיווק", " הרצל 5 ", {}}),
                                  seven({"לב", "1", "2", "3", "d", "", ""}),
                              });
    start();
    chooseGroup(QStringLiteral("Work"));
    chooseTab(11); // ל: לב, לוי, לנדאו, לרנר תמר
    ASSERT_EQ(listedNames(), QStringList({heb("לב"), heb("לוי"), heb("לנדאו"), heb("לרנר תמר")}));
    edit(4);
    expectOneBox(QStringLiteral("Do you want updating this record?"), ui::vbOKCancel | ui::vbQuestion,
                 QStringLiteral("System Message"));
    FrmNewPhn* e = editor();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->windowTitle(), QStringLiteral("Update Phone Number"));
    EXPECT_EQ(e->lblHeader->text(), QStringLiteral("Modify Record"));
    EXPECT_TRUE(e->btnAdd->isHidden());
    EXPECT_TRUE(e->btnClr->isHidden());
    EXPECT_FALSE(e->btnUpdate->isHidden());
    EXPECT_FALSE(e->btnUndo->isHidden());
    EXPECT_EQ(e->Label4->text(), heb(": מחלקה"));
    // Home in the home box, the work telephone (Phone) in the work box, the
    // department in the fourth; blanks gone, a missing e-mail left empty.
    const QStringList loaded = {heb("לרנר תמר"), "03-1", "050-2", "03-3", heb("שיווק"), heb("הרצל 5"), ""};
    EXPECT_EQ(shown(), loaded);
    EXPECT_TRUE(said().isEmpty());

    type({"x", "9", "9", "9", "9", "9", "9"});
    click(e->btnUndo);
    EXPECT_EQ(shown(), loaded);

    // A failed check in update mode puts the stored name back, whichever it was.
    type({"x", QString(11, '1'), "050-2", "03-3", heb("שיווק"), "", ""});
    click(e->btnUpdate);
    EXPECT_EQ(said(), QStringList{QStringLiteral("The length of the 'Phone' field is too long")});
    EXPECT_EQ(e->TxtName->text(), heb("לרנר תמר"));
    EXPECT_EQ(e->TxtHome->text(), QString(11, '1'));
    type({heb("לוי"), "03-1", "050-2", "03-3", heb("שיווק"), "", ""});
    click(e->btnUpdate);
    EXPECT_EQ(said(), QStringList{QStringLiteral("The current name is used all-ready")});
    EXPECT_EQ(e->TxtName->text(), heb("לרנר תמר"));

    // Renamed to a free name: that card alone changes, empty boxes as empty
    // texts, and the list is read again under the same letter.
    type({heb("לרנר תמרה"), "03-1", "", "03-3", heb("שיווק"), "", ""});
    click(e->btnUpdate);
    EXPECT_EQ(said(), QStringList{QStringLiteral("The current record has been updated")});
    EXPECT_EQ(editor(), nullptr);
    const std::vector<Row> rows = stored(store::kWorkTable);
    EXPECT_EQ(rows[3], (Row{"לרנר תמרה", "03-1", "", "03-3", "שיווק", "", ""}));
    EXPECT_EQ(rows[0], (Row{"לוי", "1", "2", "3", "a", "", ""}));
    EXPECT_EQ(listedNames(), QStringList({heb("לב"), heb("לוי"), heb("לנדאו"), heb("לרנר תמרה")}));

    // Reopened, the emptied boxes come back empty and without complaint.
    edit(4);
    EXPECT_EQ(said(), QStringList{QStringLiteral("Do you want updating this record?")});
    EXPECT_EQ(shown(), QStringList({heb("לרנר תמרה"), "03-1", "", "03-3", heb("שיווק"), "", ""}));
}

// File only: a server's group admits no twin names.
TEST_F(EditorTest, TwinCardsAreUpdatedAndDeletedOneAtATime)
{
    const Seven twin = seven({"אבי כהן", "03-1", "", "", "", {}, {}});
    insert(store::kPersonalTable, {twin, twin});
    start();
    // Keeping the name skips the duplicate test, which the twin would fail.
    edit(2);
    editor()->TxtHome->setText(QStringLiteral("03-2"));
    click(editor()->btnUpdate);
    EXPECT_EQ(said(), (QStringList{QStringLiteral("Do you want updating this record?"),
                                   QStringLiteral("The current record has been updated")}));
    std::vector<Row> rows = stored(store::kPersonalTable);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[0][1], rows[1][1]);
    EXPECT_TRUE(rows[0][1] == Value("03-2") || rows[1][1] == Value("03-2"));

    clickCell(1, 0); // the grid lists them by name alone; either is the one chosen
    const QString home = grid().TextMatrix(1, 1);
    click(w->btnDelete);
    EXPECT_EQ(said(), (QStringList{heb("Do you want delete 'אבי כהן' from record?"),
                                   QStringLiteral("The record has been deleted")}));
    rows = stored(store::kPersonalTable);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(QString::fromStdString(*rows[0][1]), home);
}

TEST_P(EditorOnBothEngines, UpdateWritesTheLoadedCardOrNothingWhateverHappenedToTheListMeanwhile)
{
    insert(store::kPersonalTable, {seven({"אבי", "1", "", "", "", {}, {}}), seven({"אדם", "2", "", "", "", {}, {}})});
    start();
    // The list read again and moved elsewhere: Update still writes its card.
    edit(1);
    chooseTab(1);
    w->RefreshGrid();
    editor()->TxtHome->setText(QStringLiteral("11"));
    click(editor()->btnUpdate);
    EXPECT_EQ(said().last(), QStringLiteral("The current record has been updated"));
    EXPECT_EQ(stored(store::kPersonalTable)[0][1], Value("11"));
    EXPECT_EQ(stored(store::kPersonalTable)[1][1], Value("2"));

    // Changed by another program after it was loaded: nothing is written and
    // the editor keeps what was typed.
    chooseTab(0);
    edit(2);
    said();
    colleague("update Vemo set Phone = '22' where Name = 'אדם'");
    editor()->TxtHome->setText(QStringLiteral("222"));
    click(editor()->btnUpdate);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains(QStringLiteral("changed or deleted")))
        << boxes.asked[0].text.toStdString();
    EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Error Message"));
    boxes.asked.clear();
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->TxtHome->text(), QStringLiteral("222"));
    EXPECT_EQ(stored(store::kPersonalTable)[1][1], Value("22"));

    // Deleted through the main window while the editor holds it.
    click(editor()->btnRtn);
    chooseTab(0);
    edit(2);
    clickCell(2, 0);
    click(w->btnDelete);
    said();
    editor()->TxtName->setText(heb("אדם חדש"));
    click(editor()->btnUpdate);
    ASSERT_EQ(said().size(), 1);
    EXPECT_EQ(stored(store::kPersonalTable).size(), 1u);
    EXPECT_NE(editor(), nullptr);
}

// File only: a server has no file lock; its going away is the shared group's test.
TEST_F(EditorTest, AWriteMeetingALockedFileFailsAndKeepsWhatWasTyped)
{
    const locks::BusyTimeout shortWait(200);
    start();
    click(w->btnAdd);
    type({heb("אבי"), "03-1"});
    SqliteFile other(path());
    other.exec("BEGIN IMMEDIATE"); // another program is writing
    click(editor()->btnAdd);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].text.contains(QStringLiteral("in use by another program")))
        << boxes.asked[0].text.toStdString();
    EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Error Message"));
    boxes.asked.clear();
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(shown().mid(0, 2), QStringList({heb("אבי"), "03-1"}));
    other.exec("ROLLBACK");

    // Nothing half-done stays behind: the next try stores the card once.
    click(editor()->btnAdd);
    EXPECT_EQ(said(), QStringList{QStringLiteral("A new record has been added")});
    EXPECT_EQ(stored(store::kPersonalTable).size(), 1u);
    EXPECT_EQ(listedNames(), QStringList{heb("אבי")});
}

// File only: eight writers at once on both engines are the store's test.
TEST_F(EditorTest, TwoInstancesAddingOneNameStoreItOnce)
{
    start();
    click(w->btnAdd);
    type({heb("אבי"), "03-1"});
    // Another program adds the same name through the data core, as the
    // database tool does: its write is under way (the group's names read,
    // the file's write lock held) as this Add starts, and commits a moment
    // later.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t other = fork();
    if (other == 0) {
        close(ready[0]);
        int status = 1;
        try {
            store::DirectoryFile file(path());
            file.addCards(store::kPersonalTable, [&](const std::vector<std::string>& names) {
                status = names.empty() && write(ready[1], "w", 1) == 1 ? 0 : 1;
                usleep(300 * 1000);
                return std::vector<store::Fields>{{"אבי", "03-2", "", "", "", "", ""}};
            });
        } catch (const std::exception&) {
            status = 1;
        }
        std::_Exit(status);
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1) << "the other program did not start its write";
    close(ready[0]);
    click(editor()->btnAdd);
    int status = -1;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    EXPECT_EQ(said(), QStringList{QStringLiteral("The current name is used all-ready")});
    EXPECT_EQ(stored(store::kPersonalTable), std::vector<Row>{(Row{"אבי", "03-2", "", "", "", "", ""})});
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(shown().mid(0, 2), QStringList({heb("אבי"), "03-1"}));
}

TEST_P(EditorOnBothEngines, ACardWithAMissingNumberIsToldButShownWholeAndUpdateKeepsItsOtherValues)
{
    insert(store::kPersonalTable, {seven({"אבי", " 03-1 ", {}, "03-3", "03-4", "הרצל 5", "avi@x.il"})});
    start();
    edit(1);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[1].text, QStringLiteral("The current record is non-valid"));
    EXPECT_EQ(boxes.asked[1].style, ui::vbOKOnly | ui::vbCritical);
    EXPECT_EQ(boxes.asked[1].title, QStringLiteral("Error Message"));
    boxes.asked.clear();
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->windowTitle(), QStringLiteral("Update Phone Number"));
    EXPECT_EQ(shown(), QStringList({heb("אבי"), "03-1", "", "03-3", "03-4", heb("הרצל 5"), "avi@x.il"}));

    // Renaming the card keeps the fax, the address and the e-mail it holds.
    editor()->TxtName->setText(heb("אבי לוי"));
    click(editor()->btnUpdate);
    EXPECT_EQ(said(), QStringList{QStringLiteral("The current record has been updated")});
    EXPECT_EQ(stored(store::kPersonalTable),
              std::vector<Row>{(Row{"אבי לוי", "03-1", "", "03-3", "03-4", "הרצל 5", "avi@x.il"})});
}

TEST_F(EditorTest, ClearKeepsTheAddressAndAnOpenEditorKeepsItsModeAndCard)
{
    insert(store::kPersonalTable, {seven({"אבי", "1", "2", "3", "4", "5", "6"})});
    start();
    click(w->btnAdd);
    type({"a", "b", "c", "d", "e", "f", "g"});
    click(editor()->btnClr);
    EXPECT_EQ(shown(), QStringList({"", "", "", "", "", "f", "g"}));
    click(editor()->btnRtn);
    EXPECT_EQ(editor(), nullptr);

    edit(1);
    w->mnuAdd->trigger();
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->windowTitle(), QStringLiteral("Update Phone Number"));
    EXPECT_EQ(shown(), QStringList({heb("אבי"), "1", "2", "3", "4", "5", "6"}));
    EXPECT_FALSE(Module1().blnEditMode) << "the shared state already holds the new request";
}

TEST_P(EditorOnBothEngines, NewCardsAreListedUnderTheLetterInForceOrAllOfTheGroup)
{
    insert(store::kPersonalTable, {seven({"אבי", "1", "", "", "", {}, {}}), seven({"לוי", "2", "", "", "", {}, {}})});
    start();
    const auto add = [&](const QString& name) {
        w->popAdd->trigger();
        type({name, "1"});
        click(editor()->btnAdd);
    };
    add(heb("ברק"));
    EXPECT_EQ(listedNames(), QStringList{heb("אבי")});
    click(w->btnAll);
    add(QStringLiteral("Zed"));
    EXPECT_EQ(listedNames(), QStringList({"Zed", heb("אבי"), heb("ברק"), heb("לוי")}));
    EXPECT_EQ(w->panelText(1), QStringLiteral(" Total Records 4"));
}

// ---- the main window's Edit and Delete ------------------------------------------------

TEST_P(EditorOnBothEngines, DeleteAsksFirstAndTakesOnlyTheCardWhoseStoredNameIsShown)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start(); // אלון דוד (stored with blanks after it), ארבל מיכל, אשכול נועה
    clickCell(2, 0);
    const QString row = w->TxtIndex->text();
    boxes.answer(ui::vbCancel);
    click(w->btnDelete);
    expectOneBox(heb("Do you want delete 'ארבל מיכל' from record?"), ui::vbOKCancel | ui::vbQuestion,
                 QStringLiteral("System Message"));
    EXPECT_EQ(w->TxtIndex->text(), row);
    EXPECT_EQ(stored(store::kPersonalTable).size(), 11u);

    w->popDel->trigger();
    EXPECT_EQ(said(), (QStringList{heb("Do you want delete 'ארבל מיכל' from record?"),
                                   QStringLiteral("The record has been deleted")}));
    EXPECT_TRUE(w->TxtIndex->text().isEmpty());
    EXPECT_EQ(listedNames(), QStringList({heb("אלון דוד"), heb("אשכול נועה")}));
    EXPECT_EQ(stored(store::kPersonalTable).size(), 10u);

    // Shown trimmed, stored with its blanks: not the card shown.
    clickCell(1, 0);
    w->mnuDel->trigger();
    EXPECT_EQ(said(), QStringList{QStringLiteral("There is no record to delete")});
    EXPECT_EQ(stored(store::kPersonalTable).size(), 10u);

    // The empty row under the last card: an error, and nothing else happens.
    clickCell(3, 0);
    click(w->btnDelete);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].style, ui::vbOKOnly | ui::vbExclamation);
    EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Numora"));
    boxes.asked.clear();
    EXPECT_EQ(w->TxtIndex->text(), QStringLiteral("    "));
    EXPECT_EQ(stored(store::kPersonalTable).size(), 10u);

    // Edit there opens an empty update that has no card to write.
    w->popEdit->trigger();
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->windowTitle(), QStringLiteral("Update Phone Number"));
    EXPECT_EQ(shown(), QStringList({"", "", "", "", "", "", ""}));
    type({heb("חדש"), "1"});
    click(editor()->btnUpdate);
    EXPECT_EQ(said(), (QStringList{QStringLiteral("Do you want updating this record?"),
                                   QStringLiteral("There is no record to update")}));
    EXPECT_EQ(stored(store::kPersonalTable).size(), 10u);
}

TEST_F(EditorTest, EditAnsweredWithCancelOpensNothingAndADoubleClickAsks)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start();
    clickCell(3, 2);
    boxes.answer(ui::vbCancel);
    w->mnuEdit->trigger();
    EXPECT_EQ(said(), QStringList{QStringLiteral("Do you want updating this record?")});
    EXPECT_EQ(editor(), nullptr);
    EXPECT_EQ(grid().Col(), 2);
    EXPECT_FALSE(Module1().blnEditMode);

    // That card has no mobile number: the editor says so and opens all the same.
    QTest::mouseDClick(grid().viewport(), Qt::LeftButton, {}, cellCentre(3, 2));
    EXPECT_EQ(said(), (QStringList{QStringLiteral("Do you want updating this record?"),
                                   QStringLiteral("The current record is non-valid")}));
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->TxtName->text(), heb("אשכול נועה"));
    EXPECT_EQ(Module1().intCurrentRow, 3);
}

INSTANTIATE_TEST_SUITE_P(Engines, EditorOnBothEngines, ::testing::Values(Engine::File, Engine::Server), engineName);

} // namespace
} // namespace numora::test
