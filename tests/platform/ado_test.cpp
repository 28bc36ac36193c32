// Connection and Recordset over the real driver manager and SQLite driver,
// on small tables written with SQLite directly and checked there afterwards.

#include "platform/ado/Ado.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>
#include <sqlext.h>

#include <QDir>
#include <QFile>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The statement setting the driver refuses (0: none). The test program is
// linked with --wrap=SQLSetStmtAttr, so every such call of the program's own
// code comes through here.
static SQLINTEGER g_refusedAttribute = 0;
extern "C" SQLRETURN __real_SQLSetStmtAttr(SQLHSTMT st, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
extern "C" SQLRETURN __wrap_SQLSetStmtAttr(SQLHSTMT st, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length)
{
    return attribute == g_refusedAttribute ? SQL_ERROR : __real_SQLSetStmtAttr(st, attribute, value, length);
}

namespace numora::test {
namespace {

using ado::Connection;
using ado::Recordset;
using ado::Value;

constexpr char kVemo[] = "CREATE TABLE Vemo (Name TEXT, Phone TEXT(10), Mobil TEXT(10), Line TEXT(10), "
                         "Fax TEXT(10), Address TEXT, Email TEXT(20));";

long errorNumber(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

std::string errorText(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.description();
    }
    return "(no error)";
}

// A database file VEMO.MDB in the test's data folder, registered as "Test".
class AdoTest : public ::testing::Test {
protected:
    AdoTest() : path(env.dbPath().toStdString())
    {
        SqliteFile(path).exec(kVemo);
        env.writeDataSource("Test", env.dbPath());
    }
    void addCard(const std::vector<Value>& values)
    {
        SqliteFile(path).run("INSERT INTO Vemo (Name, Phone, Mobil, Line, Fax, Address, Email) VALUES (?,?,?,?,?,?,?)",
                             values);
    }
    std::unique_ptr<Recordset> listing(const std::string& sql = "select * from Vemo order by Name  ASC")
    {
        auto rs = std::make_unique<Recordset>();
        rs->setLockType(ado::adLockOptimistic);
        rs->setCursorType(ado::adOpenKeyset);
        rs->Open(sql, "DSN=Test", -1, -1, ado::adCmdText);
        return rs;
    }

    TestEnv env;
    std::string path;
};

TEST_F(AdoTest, ConnectionOpensOnlyAnExistingDatabaseOfARegisteredDataSource)
{
    Connection cn;
    cn.Open("DSN=Test");
    EXPECT_EQ(cn.State(), ado::adStateOpen);
    EXPECT_EQ(errorNumber([&] { cn.Open("DSN=Test"); }), ado::adErrObjectOpen);
    cn.Close();
    EXPECT_EQ(cn.State(), ado::adStateClosed);
    EXPECT_EQ(errorNumber([&] { cn.Close(); }), ado::adErrObjectClosed);

    Connection unknown;
    EXPECT_NE(errorText([&] { unknown.Open("DSN=Nowhere"); }).find("[IM002]"), std::string::npos);
    EXPECT_EQ(unknown.State(), ado::adStateClosed);

    // A data source whose file is gone fails, and the file is not created.
    const QString missing = env.dataFolder() + "Gone.mdb";
    env.writeDataSource("Gone", missing);
    Connection gone;
    EXPECT_NE(errorNumber([&] { gone.Open("DSN=Gone"); }), 0);
    EXPECT_FALSE(QFile::exists(missing));
    Recordset rs;
    EXPECT_NE(errorNumber([&] { rs.Open("select * from Vemo", "DSN=Gone"); }), 0);
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(rs.State(), ado::adStateClosed);

    // Nor does a file that is not a database pass for an empty one.
    const QString junk = env.dataFolder() + "Junk.mdb";
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    env.writeDataSource("Junk", junk);
    Connection bad;
    EXPECT_NE(errorText([&] { bad.Open("DSN=Junk"); }).find("not a database"), std::string::npos);
    EXPECT_EQ(bad.State(), ado::adStateClosed);
}

TEST_F(AdoTest, DataSourceRewrittenInTheSameProcessIsSeenAtTheNextConnect)
{
    // The driver manager would otherwise answer from its copy of odbc.ini.
    SqliteFile(path).exec("INSERT INTO Vemo (Name) VALUES ('first')");
    EXPECT_EQ(listing()->Field("Name"), "first");

    // The new file also lies in a folder with a Hebrew name, as a user's may.
    ASSERT_TRUE(QDir(env.root()).mkpath("טלפונים"));
    const QString other = env.root() + "/טלפונים/VEMO.MDB";
    SqliteFile(other.toStdString()).exec(std::string(kVemo) + "INSERT INTO Vemo (Name) VALUES ('second');");
    QFile::remove(env.odbcIni());
    env.writeDataSource("Test", other);
    EXPECT_EQ(listing()->Field("Name"), "second");
}

TEST_F(AdoTest, HebrewTextRoundTripsThroughReadAndWrite)
{
    addCard({"דוד כהן", "03-5551234", std::nullopt, std::nullopt, "פקס", "רחוב הרצל 1, תל אביב", "d@x.il"});
    auto rs = listing();
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Field("Name"), "דוד כהן");
    EXPECT_EQ(rs->Field("Address"), "רחוב הרצל 1, תל אביב");
    EXPECT_EQ(rs->Field("Mobil"), std::nullopt);

    rs->setField("Name", "שרה לוי");
    rs->Update();
    rs->AddNew();
    rs->setField("Name", "אבי");
    rs->setField("Fax", "");
    rs->Update();

    SqliteFile db(path);
    EXPECT_EQ(db.one("SELECT Name FROM Vemo WHERE Phone = '03-5551234'"), "שרה לוי");
    EXPECT_EQ(db.one("SELECT count(*) FROM Vemo WHERE Name = 'אבי' AND Fax = '' AND Phone IS NULL"), "1");
}

// Many rows go in through parameter arrays (many rows to a set, many sets to
// a call, one transaction) and come back whole across the reader's blocks.
TEST_F(AdoTest, ManyRowsGoInThroughParameterArraysAndComeBackWholeAcrossBlocks)
{
    // 2000 Hebrew letters are 4000 bytes: far beyond any first buffer size,
    // and in a later block than the first.
    std::string address;
    for (int i = 0; i < 2000; ++i)
        address += "ש";
    const std::string longName(300, 'N'); // longer than its declared-size buffer
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 2500; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "card %04d", i);
        rows.push_back({i == 2499 ? longName : std::string(name), std::to_string(i),
                        i == 1700 ? Value(address) : std::nullopt, i % 3 ? Value("") : std::nullopt});
    }
    const auto value = [&](std::size_t row, std::size_t column) -> std::optional<std::string_view> {
        const Value& v = rows[row][column];
        return v ? std::optional<std::string_view>(*v) : std::nullopt;
    };
    const std::vector<std::string> columns{"Name", "Phone", "Address", "Email"};
    Connection cn;
    cn.Open("DSN=Test");
    EXPECT_EQ(cn.InsertRows("Vemo", columns, rows.size(), value), 2500u);

    // A row the engine refuses in a later set leaves none of the rows stored,
    // the sets before it included; so does a driver that refuses the arrays.
    SqliteFile(path).exec("CREATE TRIGGER refuse BEFORE INSERT ON Vemo WHEN NEW.Phone = '200' "
                          "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    EXPECT_NE(errorText([&] { cn.InsertRows("Vemo", columns, 300, value); }).find("disk I/O error"), std::string::npos);
    g_refusedAttribute = SQL_ATTR_PARAMSET_SIZE;
    const std::string arraysRefused = errorText([&] { cn.InsertRows("Vemo", columns, 300, value); });
    g_refusedAttribute = 0;
    EXPECT_NE(arraysRefused.find("Setting up the values of many rows"), std::string::npos) << arraysRefused;
    EXPECT_EQ(SqliteFile(path).count("select count(*) from Vemo"), 2500);

    auto rs = listing("select * from Vemo order by rowid");
    EXPECT_EQ(rs->RecordCount(), 2500);
    int seen = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        EXPECT_EQ(rs->Field("Phone"), std::to_string(seen));
        EXPECT_EQ(rs->Field("Email"), seen % 3 ? Value("") : std::nullopt) << seen;
        if (seen == 1700)
            EXPECT_EQ(rs->Field("Address"), address);
        else
            EXPECT_EQ(rs->Field("Address"), std::nullopt);
        ++seen;
    }
    EXPECT_EQ(seen, 2500);
    rs->Move(-1);
    EXPECT_EQ(rs->Field("Name"), longName);
    rs->Move(-1);
    EXPECT_EQ(rs->Field("Name"), "card 2498");

    // Without the count of rows each block fetched, every block would look
    // empty: a driver that refuses it fails the listing instead.
    for (const SQLINTEGER refused : {SQL_ATTR_ROWS_FETCHED_PTR, SQL_ATTR_ROW_ARRAY_SIZE}) {
        g_refusedAttribute = refused;
        const std::string failure = errorText([&] { listing(); });
        g_refusedAttribute = 0;
        EXPECT_NE(failure.find("Setting up the reading of rows"), std::string::npos) << refused << ": " << failure;
    }
}

TEST_F(AdoTest, FilterKeepsNamesStartingWithThePrefix)
{
    for (const char* name : {"אבי", "אבנר", "בני", "alice", "Alex", "bob", "O'Brien", " אורי"})
        addCard({name, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    addCard({std::nullopt, "no name", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    auto rs = listing();
    auto names = [&] {
        std::vector<std::string> out;
        for (; !rs->Eof(); rs->MoveNext())
            out.push_back(rs->Field("Name").value_or("(null)"));
        return out;
    };

    rs->setFilter("Name like 'א*'");
    EXPECT_EQ(rs->Filter(), "Name like 'א*'");
    EXPECT_EQ(names(), (std::vector<std::string>{"אבי", "אבנר"})); // " אורי" is stored with a blank

    rs->setFilter("name LIKE 'AL%'"); // Latin letters match either case
    EXPECT_EQ(names(), (std::vector<std::string>{"Alex", "alice"}));

    rs->setFilter("Name like 'O''B*'");
    EXPECT_EQ(names(), (std::vector<std::string>{"O'Brien"}));

    rs->setFilter("Name like 'bob'"); // no wildcard: the whole name
    EXPECT_EQ(rs->RecordCount(), 1);

    rs->setFilter("Name like '*'"); // everything but the Null name
    EXPECT_EQ(rs->RecordCount(), 8);

    rs->setFilter("Name like 'ת*'");
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->RecordCount(), 0);

    rs->setFilter("");
    EXPECT_EQ(rs->RecordCount(), 9);
}

TEST_F(AdoTest, RefusedFilterFailsAndLeavesTheRowsUnfiltered)
{
    for (const char* name : {"אבי", "בני", "O'Brien"})
        addCard({name, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    auto rs = listing();
    for (const char* bad : {"Name like 'O'B*'", "Name = 'בני'", "Nmae like 'a*'", "Name like 'a*b'", "Name like 'a"}) {
        rs->setFilter("Name like 'ב*'");
        ASSERT_EQ(rs->RecordCount(), 1);
        EXPECT_EQ(errorNumber([&] { rs->setFilter(bad); }), ado::adErrInvalidArgument) << bad;
        EXPECT_EQ(rs->Filter(), "") << bad;
        EXPECT_EQ(rs->RecordCount(), 3) << bad;
        EXPECT_EQ(rs->Field("Name"), "O'Brien") << bad; // on the first row
    }
}

TEST_F(AdoTest, MovesStopAtTheEndsAndFieldsNeedACurrentRow)
{
    for (const char* name : {"a", "b", "c"})
        addCard({name, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    auto rs = listing();
    EXPECT_FALSE(rs->Bof());
    EXPECT_EQ(errorNumber([&] { rs->Field("Nope"); }), ado::adErrItemNotFound);
    EXPECT_EQ(errorNumber([&] { rs->Field(7); }), ado::adErrItemNotFound);
    EXPECT_EQ(rs->Field("NAME"), "a"); // field names ignore case

    rs->Move(2);
    EXPECT_EQ(rs->Field("Name"), "c");
    rs->Move(1); // exactly onto EOF
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(errorNumber([&] { rs->Field("Name"); }), ado::adErrNoCurrentRecord);
    EXPECT_EQ(errorNumber([&] { rs->MoveNext(); }), ado::adErrNoCurrentRecord);
    EXPECT_TRUE(rs->Eof());

    rs->MoveFirst();
    EXPECT_EQ(errorNumber([&] { rs->Move(4); }), ado::adErrNoCurrentRecord); // beyond EOF
    EXPECT_EQ(rs->Field("Name"), "a");                                       // and nothing moved
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    EXPECT_EQ(errorNumber([&] { rs->MovePrevious(); }), ado::adErrNoCurrentRecord);

    rs->setFilter("Name like 'z*'");
    EXPECT_TRUE(rs->Eof() && rs->Bof());
    EXPECT_EQ(errorNumber([&] { rs->MoveFirst(); }), ado::adErrNoCurrentRecord);

    rs->Close();
    EXPECT_EQ(errorNumber([&] { rs->Eof(); }), ado::adErrObjectClosed);
    EXPECT_EQ(errorNumber([&] { rs->Close(); }), ado::adErrObjectClosed);
}

TEST_F(AdoTest, AddUpdateAndDeleteReachTheFile)
{
    addCard({"Dana", "1", "2", "3", "4", std::nullopt, std::nullopt});
    addCard({"Eli", "5", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    SqliteFile db(path);
    auto rs = listing();

    // Update of the current row; the client copy shows the write.
    rs->setCollect("Phone", "111");
    EXPECT_TRUE(rs->EditPending());
    EXPECT_EQ(rs->Collect("Phone"), "111");
    rs->Update();
    EXPECT_FALSE(rs->EditPending());
    EXPECT_EQ(rs->Field("Phone"), "111");
    EXPECT_EQ(db.one("SELECT Phone FROM Vemo WHERE Name = 'Dana'"), "111");

    // CancelUpdate drops the buffer; nothing is written.
    rs->setField("Phone", "999");
    rs->CancelUpdate();
    EXPECT_EQ(rs->Field("Phone"), "111");
    EXPECT_EQ(db.one("SELECT Phone FROM Vemo WHERE Name = 'Dana'"), "111");

    // Moving with an edit pending writes it first.
    rs->setField("Email", "d@x");
    rs->MoveNext();
    EXPECT_EQ(db.one("SELECT Email FROM Vemo WHERE Name = 'Dana'"), "d@x");
    EXPECT_EQ(rs->Field("Name"), "Eli");

    // AddNew from EOF: the stored row becomes current, unassigned columns Null.
    rs->MoveNext();
    rs->AddNew();
    EXPECT_FALSE(rs->Eof());
    rs->setField("Name", "Gil");
    rs->setField("Phone", "7");
    rs->Update();
    EXPECT_EQ(rs->Field("Name"), "Gil");
    EXPECT_EQ(rs->Field("Fax"), std::nullopt);
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(db.one("SELECT Phone || '/' || ifnull(Fax, 'null') FROM Vemo WHERE Name = 'Gil'"), "7/null");

    // The new row can be changed again through the same recordset.
    rs->setField("Fax", "8");
    rs->Update();
    EXPECT_EQ(db.one("SELECT Fax FROM Vemo WHERE Name = 'Gil'"), "8");

    // CancelUpdate of an AddNew returns to where it started.
    rs->MoveFirst();
    rs->AddNew();
    rs->setField("Name", "never");
    rs->CancelUpdate();
    EXPECT_EQ(rs->Field("Name"), "Dana");

    // Delete removes the current row only, in the file and in the view.
    rs->Move(1);
    rs->Delete();
    EXPECT_EQ(errorNumber([&] { rs->Field("Name"); }), ado::adErrNoCurrentRecord);
    rs->MoveNext();
    EXPECT_EQ(rs->Field("Name"), "Gil");
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(db.rows("SELECT Name FROM Vemo ORDER BY Name"), (std::vector<std::vector<Value>>{{"Dana"}, {"Gil"}}));
}

TEST_F(AdoTest, WritesFindTheirOwnRowAmongTwinsAndNeverAChangedOne)
{
    addCard({"Dana", "1", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    addCard({"Twin", "2", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    addCard({"Twin", "2", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    SqliteFile db(path);
    auto rs = listing();

    // Another connection changes Dana after the read.
    db.exec("UPDATE Vemo SET Mobil = '050' WHERE Name = 'Dana'");
    rs->setField("Phone", "changed");
    EXPECT_EQ(errorNumber([&] { rs->Update(); }), ado::adErrRowChangedOrMissing);
    EXPECT_TRUE(rs->EditPending());
    EXPECT_EQ(errorNumber([&] { rs->MoveNext(); }), ado::adErrRowChangedOrMissing); // the write is tried first
    EXPECT_EQ(rs->Field("Name"), "Dana");                                           // and the move did not happen
    rs->CancelUpdate();
    EXPECT_EQ(db.one("SELECT Phone FROM Vemo WHERE Name = 'Dana'"), "1");
    EXPECT_EQ(errorNumber([&] { rs->Delete(); }), ado::adErrRowChangedOrMissing);
    EXPECT_EQ(db.one("SELECT count(*) FROM Vemo WHERE Name = 'Dana'"), "1");

    // Two identical cards: each is edited and deleted on its own, and the
    // engine's row id that singles it out is never one of the fields.
    EXPECT_EQ(rs->FieldCount(), 7);
    EXPECT_EQ(errorNumber([&] { rs->Field("rowid"); }), ado::adErrItemNotFound);
    rs->MoveNext();
    rs->setField("Phone", "3");
    rs->Update();
    EXPECT_EQ(db.rows("SELECT Phone FROM Vemo WHERE Name = 'Twin' ORDER BY Phone"),
              (std::vector<std::vector<Value>>{{"2"}, {"3"}}));
    rs->MoveNext();
    rs->setField("Phone", "4");
    rs->Update();
    EXPECT_EQ(db.rows("SELECT Phone FROM Vemo WHERE Name = 'Twin' ORDER BY Phone"),
              (std::vector<std::vector<Value>>{{"3"}, {"4"}}));
    rs->Delete();
    EXPECT_EQ(db.rows("SELECT Phone FROM Vemo WHERE Name = 'Twin'"), (std::vector<std::vector<Value>>{{"3"}}));
    rs->MovePrevious();
    EXPECT_EQ(rs->Field("Phone"), "3");
    // The card left, changed by another connection: its row id alone does not match.
    db.exec("UPDATE Vemo SET Phone = '5' WHERE Name = 'Twin'");
    EXPECT_EQ(errorNumber([&] { rs->Delete(); }), ado::adErrRowChangedOrMissing);
    db.exec("UPDATE Vemo SET Phone = '3' WHERE Name = 'Twin'");
    rs->Delete();
    EXPECT_EQ(db.one("SELECT count(*) FROM Vemo WHERE Name = 'Twin'"), "0");

    // A row deleted by another connection.
    db.exec("DELETE FROM Vemo WHERE Name = 'Dana'");
    rs->MoveFirst();
    EXPECT_EQ(errorNumber([&] { rs->Delete(); }), ado::adErrRowChangedOrMissing);
    EXPECT_EQ(rs->RecordCount(), 1);
}

TEST_F(AdoTest, ReadOnlyRecordsetsAndResultsOverSeveralTablesRefuseWrites)
{
    addCard({"Dana", "1", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    SqliteFile(path).exec("CREATE TABLE Work (Name TEXT, Dept TEXT); INSERT INTO Work VALUES ('Dana', 'R&D');");

    Recordset readOnly;
    readOnly.Open("select * from Vemo", "DSN=Test", ado::adOpenKeyset, ado::adLockReadOnly);
    EXPECT_EQ(errorNumber([&] { readOnly.setField("Phone", "2"); }), ado::adErrFeatureNotAvailable);
    EXPECT_EQ(errorNumber([&] { readOnly.AddNew(); }), ado::adErrFeatureNotAvailable);
    EXPECT_EQ(errorNumber([&] { readOnly.Delete(); }), ado::adErrFeatureNotAvailable);
    EXPECT_EQ(errorNumber([&] { readOnly.setLockType(ado::adLockOptimistic); }), ado::adErrObjectOpen);

    auto joined = listing("select v.Name, w.Dept from Vemo v, Work w where v.Name = w.Name");
    EXPECT_EQ(joined->Field("Dept"), "R&D");
    EXPECT_EQ(errorNumber([&] { joined->setField("Dept", "QA"); }), ado::adErrFeatureNotAvailable);
    auto counted = listing("select count(*) as n from Vemo");
    EXPECT_EQ(counted->Field("n"), "1");
    EXPECT_EQ(errorNumber([&] { counted->Delete(); }), ado::adErrFeatureNotAvailable);
    EXPECT_EQ(SqliteFile(path).one("SELECT Phone FROM Vemo"), "1");
}

TEST_F(AdoTest, ExecuteRunsStatementsAndReturnsWritableResults)
{
    addCard({"Dana", "1", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    addCard({"Eli", "2", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    Connection cn;
    cn.Open("DSN=Test");

    const std::string text = errorText([&] { cn.Execute("ALTER TABLE Vemo ADD COLUMN Email TEXT(20);"); });
    EXPECT_EQ(text.rfind("[HY000] ", 0), 0u) << text;
    EXPECT_NE(text.find("duplicate column name: Email"), std::string::npos) << text;
    EXPECT_EQ(errorText([&] { cn.Execute("select * from Nowhere"); }), "[HY000] no such table: Nowhere");

    EXPECT_EQ(cn.Execute("ALTER TABLE Vemo ADD COLUMN Notes TEXT;"), nullptr);
    long affected = -5;
    EXPECT_EQ(cn.Execute("UPDATE Vemo SET Notes = 'n'", &affected), nullptr);
    EXPECT_EQ(affected, 2);
    EXPECT_EQ(cn.Execute("DELETE FROM Vemo WHERE Name = 'nobody'", &affected), nullptr);
    EXPECT_EQ(affected, 0);

    EXPECT_TRUE(cn.Execute("select * from Vemo where Name = 'nobody'")->Eof());
    auto rs = cn.Execute("select * from Vemo order by Name  ASC");
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->Field("Name"), "Dana");
    EXPECT_EQ(rs->Field("Notes"), "n");
    rs->Delete(); // through the same connection

    // Closing the connection leaves the recordset usable, writes included.
    cn.Close();
    rs->MoveNext();
    EXPECT_EQ(rs->Field("Name"), "Eli");
    rs->setField("Phone", "22");
    rs->Update();
    EXPECT_EQ(SqliteFile(path).rows("SELECT Name, Phone FROM Vemo"), (std::vector<std::vector<Value>>{{"Eli", "22"}}));
    EXPECT_EQ(errorNumber([&] { cn.Execute("select 1"); }), ado::adErrObjectClosed);
}

} // namespace
} // namespace numora::test
