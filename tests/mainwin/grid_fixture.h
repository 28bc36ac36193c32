#pragma once
// A started main window over a directory file of chosen cards, in a private
// test world. The data source is written straight into the test's ODBCINI;
// the load step's registration goes to a fake engine and leaves it alone.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "editor/FrmNewPhn.h"
#include "mainwin/Module1.h"
#include "mainwin/frmVemo.h"
#include "platform/ado/Ado.h"
#include "platform/controls/FlexGrid.h"
#include "platform/controls/LetterTabStrip.h"
#include "platform/dao/DBEngine.h"
#include "store/Server.h"
#include "store/Tables.h"
#include "tests/support/FakeDBEngine.h"
#include "tests/support/FakeMessageBoxes.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestServer.h"
#include "tools/DbFile.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace numora::test {

using Field = std::optional<std::string>;

// Name and the four grid fields after it (Phone/Home, Mobil, Line/Phone, Fax/Dept).
struct Card {
    std::string name;
    Field f1, f2, f3, f4;
};

// Adds the cards to a directory table, each card's five values going to the
// table's first five columns (the grid's).
inline void insertCards(const std::string& path, const store::Table& table, const std::vector<Card>& cards)
{
    std::string columns;
    for (int c = 0; c < store::kGridColumns; ++c)
        columns += std::string(c ? ", " : "") + table.columns[static_cast<size_t>(c)].name;
    std::vector<Row> rows;
    for (const Card& card : cards)
        rows.push_back({card.name, card.f1, card.f2, card.f3, card.f4});
    SqliteFile(path).runEach(std::string("INSERT INTO ") + table.name + " (" + columns + ") VALUES (?,?,?,?,?)", rows);
}

// Where the directory's groups live in a test run on both engines.
enum class Engine { File, Server };

class GridWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetModule1();
        dbfile::createEmpty(path());
        env.writeDataSource(QStringLiteral("Numora Database"), env.dbPath());
        // The program's data folder is the folder it starts in: the test's.
        savedFolder_ = QDir::currentPath();
        QDir::setCurrent(env.dataFolder());
    }

    void TearDown() override
    {
        // An editor a test left open goes first, so that no window stays
        // loaded into the next test.
        if (FrmNewPhn* editor = FrmNewPhn::existingInstance())
            editor->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (w)
            frmVemo::Form_Terminate();
        w.reset();
        resetModule1();
        if (!savedFolder_.isEmpty()) // a test skipped before its set-up
            QDir::setCurrent(savedFolder_);
        for (const store::Table* table : store::kTables)
            store::setGroupDataSource(*table, {});
        server_.reset();
    }

    std::string path() const { return env.dbPath().toStdString(); }

    // Shows the window: its load step lists Personal under the first tab.
    // On the server engine both groups' cards move from the file to a
    // schema of the test's own on the run's server first, and the window
    // lists them from there.
    void start()
    {
        if (engine_ == Engine::Server && !server_)
            shareGroups();
        w = std::make_unique<frmVemo>();
        w->show();
    }

    void shareGroups()
    {
        server_ = std::make_unique<ServerSchema>(env, QStringLiteral("Office"));
        ado::Connection cn;
        cn.Open(server_->connectionString());
        for (const store::Table* table : store::kTables) {
            store::createServerTable(cn, *table);
            store::copyGroup(*table, store::GroupPlace::parse(path()), store::GroupPlace::parse("dsn:Office"));
            store::setGroupDataSource(*table, server_->dataSource());
            // The file's copy goes: a command that read or wrote the file
            // instead of the server would find it empty.
            SqliteFile(path()).exec(std::string("delete from ") + table->name);
        }
    }

    controls::FlexGrid& grid() const { return *w->MSFlexGrid1; }

    void chooseTab(int tab)
    {
        const int before = w->TabVemo->currentIndex();
        w->TabVemo->setCurrentIndex(tab);
        w->TabVemo_Click(before);
    }

    void chooseGroup(const QString& group)
    {
        w->cmbGroup->setCurrentIndex(w->cmbGroup->findText(group));
        w->cmbGroup_Click();
    }

    // Column 0 of every card row.
    QStringList listedNames() const
    {
        QStringList names;
        for (int r = 1; r < grid().Rows() - 1; ++r)
            names << grid().TextMatrix(r, 0);
        return names;
    }

    // The Name of every card of rsDirectory's listing, from the first.
    QStringList recordsetNames() const
    {
        QStringList names;
        const store::Listing& cards = *Module1().rsDirectory;
        for (long row = 0; row < cards.count(); ++row)
            names << QString::fromUtf8(cards.text(row, cards.column("Name")).value_or(""));
        return names;
    }

    QPoint cellCentre(int gridRow, int col) const
    {
        return grid().visualRect(grid().model()->index(gridRow - 1, col)).center();
    }

    void clickCell(int gridRow, int col)
    {
        grid().scrollTo(grid().model()->index(gridRow - 1, col));
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, cellCentre(gridRow, col));
    }

    void type(const QString& text)
    {
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, &grid(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    // The texts of the boxes shown since the last call.
    QStringList said()
    {
        QStringList texts;
        for (const ui::MessageRequest& r : boxes.asked)
            texts << r.text;
        boxes.asked.clear();
        return texts;
    }

    TestEnv env;
    FakeMessageBoxes boxes;
    FakeDBEngine engine;
    std::unique_ptr<frmVemo> w;
    Engine engine_ = Engine::File;
    std::unique_ptr<ServerSchema> server_;

private:
    QString savedFolder_;
};

// A window test of Fixture run on both engines (TEST_P), the same cards in
// the file or on the server, with the same outcome expected.
template <class Fixture>
class OnBothEngines : public Fixture, public ::testing::WithParamInterface<Engine> {
protected:
    // The engine is chosen before the fixture's set-up, which may start the
    // window.
    void SetUp() override
    {
        std::string whyNot;
        if (GetParam() == Engine::Server && !testServer(&whyNot))
            GTEST_SKIP() << "no database server for this test: " << whyNot;
        this->engine_ = GetParam();
        Fixture::SetUp();
    }
};

inline std::string engineName(const ::testing::TestParamInfo<Engine>& engine)
{
    return engine.param == Engine::File ? "File" : "Server";
}

inline QString heb(const char* utf8) { return QString::fromUtf8(utf8); }

// Personal: three names under the first letter (one with trailing blanks),
// two under lamed, none under gimel, and names that belong to no tab.
inline std::vector<Card> personalCards()
{
    return {
        {"אשכול נועה", "03-5550001", std::nullopt, "03-5550002", "03-5550003"},
        {"אלון דוד  ", "03-5550011", "050-5550011", "03-5550012", std::nullopt},
        {"ארבל מיכל", std::nullopt, std::nullopt, std::nullopt, "03-5557777"},
        {"ברק יוסי", "02-5550021", "052-5550021", "02-5550022", "02-5550023"},
        {"  בלום עדי  ", "04-5550031", std::nullopt, std::nullopt, std::nullopt},
        {"לביא רונית", "09-5550041", "054-5550041", "09-5550042", "09-5550043"},
        {"לוי אבי", "08-5550051", "058-5550051", "08-5550052", "08-5550053"},
        {"ךרמון גדי", "03-5550061", "050-5550061", "03-5550062", "03-5550063"},
        {"Orion Tech", "03-5550071", "050-5550071", "03-5550072", "03-5550073"},
        {"orbit", "03-5550081", std::nullopt, std::nullopt, std::nullopt},
        {"144 מודיעין", "03-5550091", std::nullopt, std::nullopt, std::nullopt},
    };
}

inline std::vector<Card> workCards()
{
    return {
        {"לנדאו שירה", "03-5551001", "050-5551001", "03-5551002", "פיתוח"},
        {"אורן עמרי", "03-5551011", "050-5551011", "03-5551012", "כספים"},
        {"לרנר תמר", "03-5551021", std::nullopt, "03-5551022", "שיווק"},
    };
}

} // namespace numora::test
