// Who called: numora-dbtool find run as a phone program runs it, on a
// directory whose numbers are written the ways people write them.

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include "store/Tables.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"
#include "tools/DbFile.h"

namespace numora::test {
namespace {

struct ToolRun {
    int status = -1;
    QString out, err;
};

class Find : public ::testing::Test {
protected:
    void SetUp() override
    {
        dbfile::createEmpty(db_);
        SqliteFile file(db_);
        file.runEach("insert into Vemo (Name, Phone, Mobil, Address, Email) values (?, ?, ?, ?, ?)",
                     {{"כהן דוד", "03-5551234", "050-1234567", "הרצל 1, תל אביב", ""},
                      {"Dana Levi", "", "+972 52 765 4321", "", "Dana@Mail.example"},
                      {"לוי אבי", "08-5550051", "", "", ""}});
        file.runEach("insert into Work (Name, Home, Phone, Dept) values (?, ?, ?, ?)",
                     {{"מזרחי רונית", "02-5550001", "(050) 123-4567", "פיתוח"}});
    }

    ToolRun run(QStringList args) const
    {
        QProcess tool;
        args.prepend(QStringLiteral("find"));
        tool.start(QStringLiteral(NUMORA_DBTOOL), args);
        EXPECT_TRUE(tool.waitForFinished(30000));
        return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
                QString::fromUtf8(tool.readAllStandardError())};
    }

    QString db() const { return QString::fromStdString(db_); }

    TestEnv env;
    std::string db_ = env.dbPath().toStdString();
};

TEST_F(Find, DigitsFindTheNumberHoweverEitherSideWritesIt)
{
    // The calling number as phones hand it: plain digits, international,
    // spaced. Both groups unless one is named.
    for (const char* caller : {"0501234567", "+972501234567", "050 123 4567", "00972-50-1234567"}) {
        const ToolRun r = run({db(), QString::fromLatin1(caller)});
        EXPECT_EQ(r.status, 0) << caller << ": " << r.err.toStdString();
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 3) << caller << ":\n" << r.out.toStdString();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Group     Name         Home        Mobile       Work")))
            << lines[0].toStdString();
        EXPECT_TRUE(lines[1].startsWith(QString::fromUtf8("Personal  כהן דוד      03-5551234  050-1234567")))
            << lines[1].toStdString();
        EXPECT_TRUE(lines[2].contains(QString::fromUtf8("מזרחי רונית"))) << lines[2].toStdString();
    }
    // A card written in international form is found by its national number.
    ToolRun r = run({QStringLiteral("--group"), QStringLiteral("Personal"), db(), QStringLiteral("052-7654321")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Dana Levi")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("Work")));

    // Letters in a name or an e-mail, in either case.
    r = run({db(), QStringLiteral("mail.EXAMPLE")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Dana Levi")));
    r = run({db(), QString::fromUtf8("תל אביב")});
    EXPECT_TRUE(r.out.contains(QString::fromUtf8("כהן דוד")));

    // Nothing found: status 1, said on standard error.
    r = run({db(), QStringLiteral("0771234567")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err, QStringLiteral("numora-dbtool: no card holds \"0771234567\"\n"));
}

TEST_F(Find, CardsFoundComeOutAsVcardsOrTheGroupsCsv)
{
    ToolRun r = run({QStringLiteral("--format"), QStringLiteral("vcard"), db(), QStringLiteral("0501234567")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count(QStringLiteral("BEGIN:VCARD")), 2);
    EXPECT_TRUE(r.out.contains(QString::fromUtf8("FN:כהן דוד")));

    r = run({QStringLiteral("--group"), QStringLiteral("Work"), QStringLiteral("--format"), QStringLiteral("csv"), db(),
             QStringLiteral("0501234567")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_TRUE(lines[1].startsWith(QString::fromUtf8("מזרחי רונית,"))) << lines[1].toStdString();

    // One CSV cannot hold both groups' columns; an empty text finds nothing
    // worth printing. Both are wrong usage.
    EXPECT_EQ(run({QStringLiteral("--format"), QStringLiteral("csv"), db(), QStringLiteral("050")}).status, 2);
    EXPECT_EQ(run({db(), QStringLiteral("  ")}).status, 2);
}

} // namespace
} // namespace numora::test
