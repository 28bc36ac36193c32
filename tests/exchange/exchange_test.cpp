// Cards between a group and vCard or CSV files: round trips, the files other
// address books and older phones write, the editor's checks on import, one
// transaction, the safe export and the command line's progress line.

#include "platform/core/LockWait.h"
#include "store/CardChecks.h"
#include "store/Tables.h"
#include "tests/mainwin/grid_fixture.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"
#include "tools/DbFile.h"
#include "tools/exchange/Exchange.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

#include <iconv.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <stdexcept>

namespace numora::test {
namespace {

using exchange::Format;
using exchange::Kind;

std::string columnList(const store::Table& table)
{
    std::string list;
    for (const store::Column& c : table.columns)
        list += (list.empty() ? "" : ", ") + std::string(c.name);
    return list;
}

// Every card of the group as texts, Null as the empty text, in file order.
std::vector<Row> cardsOf(const std::string& db, const store::Table& table)
{
    std::vector<Row> rows =
        SqliteFile(db).rows("select " + columnList(table) + " from " + table.name + " order by rowid");
    for (Row& row : rows) {
        for (Value& v : row)
            v = v.value_or("");
    }
    return rows;
}

void addRows(const std::string& db, const store::Table& table, const std::vector<Row>& rows)
{
    SqliteFile(db).runEach(
        "insert into " + std::string(table.name) + " (" + columnList(table) + ") values (?, ?, ?, ?, ?, ?, ?)", rows);
}

// Cards at the edges of what a card may hold; every one passes the checks.
const std::vector<Row> kPersonalCards = {
    {"כהן דוד", "03-5551234", "050-5551234", "", "", "הרצל 1, תל אביב", "david@mail.example"},
    {"Smith; Jones, \"Q\"", "1234567890", "12345678901", "12345678901", "1234567890",
     "Line one\nLine two; back\\slash, comma: yes", "a,b;c@mail.example"},
    {"אבגדהוזחטיכלמנסעפצקר", "", "", "", "03-5559000", "", ""}, // 20 letters, a fax alone
    {"😀 שלום עולם", "", "054-5550000", "", "", "ז'בוטינסקי 120, באר שבע ועוד מילים עד חמישים אות", ""},
    {"Long folded", "", "1", "", "", std::string(40, 'x') + "אבגדהוזחטי", "12345678901234567890"},
    // Cells a spreadsheet would run as formulas, and a number in international form.
    {"=HYPERLINK(\"a.b/c\")", "+15551234", "", "", "", "'@SUM(A1)", "-2+3"},
};
const std::vector<Row> kWorkCards = {
    {"מזרחי רונית", "02-5550001", "", "03-5550002", "פיתוח", "רחוב הנביאים 3, חיפה", ""},
    {"Orion; Tech", "", "", "03-5550003", "שיווק,מכר", "", "info@orion.example"},
};

// One content line of vCard 4.0 after unfolding: group, name, parameters
// (plain or quoted values) and a value of printable characters.
const std::regex kContentLine(
    R"(^(?:[A-Za-z0-9-]+\.)?[A-Za-z0-9-]+)"
    R"((?:;[A-Za-z0-9-]+=(?:[^";:,\x00-\x1F]*|"[^"\x00-\x1F]*")(?:,(?:[^";:,\x00-\x1F]*|"[^"\x00-\x1F]*"))*)*)"
    R"(:[^\x00-\x08\x0A-\x1F\x7F]*$)");

// Whether a text or component value keeps to the escapes the grammar allows.
bool escapesValid(const std::string& value, bool structured)
{
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            const char next = i + 1 < value.size() ? value[i + 1] : '\0';
            if (!(next == '\\' || next == ',' || next == 'n' || next == 'N' || (structured && next == ';')))
                return false;
            ++i;
        } else if (value[i] == ',') {
            return false; // a raw comma separates values; no field of ours has several
        }
    }
    return true;
}

// Checks the text against the vCard 4.0 grammar; an empty string when it holds.
std::string vcardGrammarFault(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            return "a line does not end in CRLF";
        const std::string physical = text.substr(pos, end - pos);
        if (physical.size() > 75)
            return "a line is longer than 75 octets: " + physical;
        if (physical.find_first_of("\r\n") != std::string::npos)
            return "a bare CR or LF inside a line";
        if (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t')) {
            if (lines.empty())
                return "a continuation line first";
            lines.back() += physical.substr(1);
        } else {
            lines.push_back(physical);
        }
        pos = end + 2;
    }
    bool inCard = false;
    int fn = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!std::regex_match(line, kContentLine))
            return "not a content line: " + line;
        if (line == "BEGIN:VCARD") {
            if (inCard || i + 1 >= lines.size() || lines[i + 1] != "VERSION:4.0")
                return "BEGIN:VCARD without VERSION:4.0 right after it";
            inCard = true;
            fn = 0;
            continue;
        }
        if (!inCard)
            return "a line outside a card: " + line;
        if (line == "END:VCARD") {
            if (fn != 1)
                return "a card without exactly one FN";
            inCard = false;
            continue;
        }
        const std::string name = line.substr(0, line.find_first_of(";:"));
        const std::string value = line.substr(line.find(':') + 1);
        fn += name == "FN";
        if (!escapesValid(value, name == "ADR" || name == "ORG" || name == "N"))
            return "a value with a raw comma or a stray backslash: " + line;
    }
    return inCard ? "the last card has no END:VCARD" : "";
}

std::string bytesOf(const std::string& path) { return fileBytes(QString::fromStdString(path)); }
void write(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(writeFileBytes(QString::fromStdString(path), bytes));
}

class Exchange : public ::testing::Test {
protected:
    std::string path(const char* name) const { return (env.root() + "/" + name).toStdString(); }
    std::string emptyDb(const char* name) const
    {
        const std::string db = path(name);
        dbfile::createEmpty(db);
        return db;
    }
    TestEnv env;
};

TEST_F(Exchange, GroupsRoundTripExactlyInBothFormatsAndTheVcardKeepsToTheGrammar)
{
    const std::string source = emptyDb("source.mdb");
    addRows(source, store::kPersonalTable, kPersonalCards);
    addRows(source, store::kWorkTable, kWorkCards);
    for (const Format format : {Format::VCard, Format::Csv}) {
        const std::string target = emptyDb(format == Format::VCard ? "v.mdb" : "c.mdb");
        for (const store::Table* table : store::kTables) {
            const std::string file = path(format == Format::VCard ? "cards.vcf" : "cards.csv");
            EXPECT_EQ(exchange::exportGroup(source, *table, format, file).cards, cardsOf(source, *table).size());
            if (format == Format::VCard) {
                EXPECT_EQ(vcardGrammarFault(bytesOf(file)), "") << table->group;
            }
            const exchange::ImportPlan plan = exchange::importFile(target, *table, format, file, false);
            EXPECT_TRUE(plan.skipped.empty()) << table->group << ": " << plan.skipped.front().reason;
            EXPECT_TRUE(plan.notes.empty()) << plan.notes.lines().front();
            EXPECT_EQ(cardsOf(target, *table), cardsOf(source, *table)) << table->group;
        }
    }
    // The exported texts as other address books meet them.
    exchange::exportGroup(source, store::kWorkTable, Format::VCard, path("work.vcf"));
    const std::string vcf = bytesOf(path("work.vcf"));
    EXPECT_NE(vcf.find("FN:Orion; Tech\r\nTEL;TYPE=work:03-5550003\r\nORG:;שיווק\\,מכר\r\n"), std::string::npos) << vcf;
    exchange::exportGroup(source, store::kPersonalTable, Format::Csv, path("personal.csv"));
    const std::string csv = bytesOf(path("personal.csv"));
    EXPECT_TRUE(csv.starts_with("Name,Home Phone,Mobile Phone,Business Phone,Business Fax,Address,E-mail Address\r\n"
                                "כהן דוד,03-5551234,050-5551234,,,\"הרצל 1, תל אביב\",david@mail.example\r\n"));
    EXPECT_NE(csv.find("\r\n\"'=HYPERLINK(\"\"a.b/c\"\")\",'+15551234,,,,''@SUM(A1),'-2+3\r\n"), std::string::npos)
        << csv;
}

// Written by an older phone: 2.1 style bare types, quoted-printable Hebrew in
// UTF-8 and in ISO-8859-8 broken with soft breaks, folded lines, escapes,
// several numbers of a kind, and fields the directory does not keep.
TEST_F(Exchange, OlderPhonesVcardsAreRead)
{
    const std::string vcf =
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=D7=9B=D7=94=D7=9F;=D7=93=D7=95=D7=93;;;\r\n"
        "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=D7=9B=D7=94=D7=9F =D7=93=\r\n=D7=95=D7=93\r\n"
        "TEL;CELL;PREF:050-5551234\r\nTEL;HOME:03-5551111\r\nTEL;HOME:03-5552222\r\n"
        "ADR;HOME;CHARSET=ISO-8859-8;ENCODING=QUOTED-PRINTABLE:;;=E4=F8=F6=EC 1;=FA=EC =E0=\r\n=E1=E9=E1;;;\r\n"
        "NOTE:a note\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Smith\\, John\\; Jr\r\n"
        "item1.TEL;TYPE=WORK,VOICE:03-555\r\n "
        "3333\r\nTEL;TYPE=HOME:03-5554444\r\nTEL;TYPE=HOME;TYPE=PREF:03-5555555\r\n"
        "EMAIL;TYPE=INTERNET:john@mail.example\r\nNOTE:another\r\nBDAY:1980-01-01\r\nORG:Acme;Sales\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Uri\r\nTEL;VALUE=uri;PREF=2:tel:+972-3-5556666\r\n"
        "TEL;VALUE=uri;PREF=1;TYPE=\"voice,cell\":tel:+972-3-5557777\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN;CHARSET=UTF-8:\xD7\xff\r\nTEL:1\r\nEND:VCARD\r\n";
    const exchange::ReadResult read = exchange::readVcard(vcf);
    ASSERT_EQ(read.cards.size(), 3u);
    const exchange::Card& phone = read.cards[0];
    EXPECT_EQ(phone[Kind::Name], "כהן דוד");
    EXPECT_EQ(phone[Kind::Mobile], "050-5551234");
    EXPECT_EQ(phone[Kind::Home], "03-5551111"); // of two, the first
    EXPECT_EQ(phone[Kind::Address], "הרצל 1, תל אביב");
    const exchange::Card& john = read.cards[1];
    EXPECT_EQ(john[Kind::Name], "Smith, John; Jr");
    EXPECT_EQ(john[Kind::Work], "03-5553333");
    EXPECT_EQ(john[Kind::Home], "03-5555555"); // the preferred one
    EXPECT_EQ(john[Kind::Email], "john@mail.example");
    EXPECT_EQ(john[Kind::Dept], "Sales");
    EXPECT_EQ(read.cards[2][Kind::Mobile], "+972-3-5557777"); // a quoted list of types
    EXPECT_EQ(read.cards[2][Kind::Home], "+972-3-5556666");   // untyped: the first free place
    ASSERT_EQ(read.unreadable.size(), 1u);
    EXPECT_EQ(read.unreadable[0].number, 4);
    EXPECT_NE(read.unreadable[0].reason.find("not valid UTF-8 text"), std::string::npos);
    const std::vector<std::string> notes = read.notes.lines();
    EXPECT_EQ(std::count(notes.begin(), notes.end(), "vCard: NOTE dropped; Numora keeps no such field (2 cards)"), 1);
    EXPECT_EQ(
        std::count(notes.begin(), notes.end(),
                   "vCard: more than one home number on a card; kept the preferred one, else the first (2 cards)"),
        1);
    EXPECT_EQ(std::count(notes.begin(), notes.end(), "vCard: BDAY dropped; Numora keeps no such field (1 card)"), 1);

    EXPECT_THROW(exchange::readVcard("Name,Phone\r\nx,1\r\n"), std::runtime_error);
}

// The text in another encoding, as older Windows programs write it.
std::string encoded(const std::string& utf8, const char* charset)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    std::string out(utf8.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    const bool ok = iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &to, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    EXPECT_TRUE(ok) << charset;
    out.resize(out.size() - outLeft);
    return out;
}

// As phones and other address books write their files: an iPhone's CR CR LF
// line ends, a Windows-1255 value ending in a letter, a base64 name, 8-bit
// text with no CHARSET, a card that lost its END:VCARD, and UTF-16.
TEST_F(Exchange, RealExportersVcardsAreReadWithoutLoss)
{
    const std::string vcf = "BEGIN:VCARD\r\r\nVERSION:3.0\r\r\nFN:iPhone\r\r\nTEL;type=CELL:050-1\r\r\nEND:VCARD\r\r\n"
                            "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                            "FN;CHARSET=windows-1255;ENCODING=QUOTED-PRINTABLE:=EE=F9=E4 =EB=E4=EF\r\n"
                            "TEL:1\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN;ENCODING=b;CHARSET=UTF-8:15PXoNeU\r\nTEL:2\r\n"
                            "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:\xE0\xE1\xE0\r\nTEL:3\r\nEND:VCARD\r\n";
    const exchange::ReadResult read = exchange::readVcard(vcf);
    std::vector<std::string> names;
    for (const exchange::Card& card : read.cards)
        names.push_back(std::to_string(card.line) + " " + card[Kind::Name]);
    EXPECT_EQ(names, (std::vector<std::string>{"1 iPhone", "6 משה כהן", "15 אבא"}));
    EXPECT_EQ(read.cards[0][Kind::Mobile], "050-1");
    ASSERT_EQ(read.unreadable.size(), 1u);
    EXPECT_EQ(read.unreadable[0].name, "דנה");
    EXPECT_EQ(read.unreadable[0].line, 11);
    EXPECT_EQ(read.unreadable[0].reason, "the card has no END:VCARD; the next card begins at line 15");
    const std::vector<std::string> notes = read.notes.lines();
    EXPECT_EQ(std::count(notes.begin(), notes.end(), "vCard: 8-bit text with no CHARSET read as windows-1255 (1 card)"),
              1);

    // AGENT holds a card inside a card; the outer one reads on after it.
    const exchange::ReadResult agent = exchange::readVcard("BEGIN:VCARD\r\nFN:Boss\r\nAGENT:\r\nBEGIN:VCARD\r\n"
                                                           "FN:Aide\r\nEND:VCARD\r\nTEL:4\r\nEND:VCARD\r\n");
    ASSERT_EQ(agent.cards.size(), 1u);
    EXPECT_EQ(agent.cards[0][Kind::Home], "4");

    const QString utf16 = QString::fromUtf8("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:דנה\r\nTEL:1\r\nEND:VCARD\r\n");
    const std::string withMark =
        "\xFF\xFE" + std::string(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
    ASSERT_EQ(exchange::readVcard(withMark).cards.size(), 1u);
    EXPECT_EQ(exchange::readVcard(withMark).cards[0][Kind::Name], "דנה");
    // Named, the encoding holds for the whole file.
    const std::string hebrew = encoded("BEGIN:VCARD\r\nFN:אבא\r\nTEL:1\r\nEND:VCARD\r\n", "ISO-8859-8");
    EXPECT_EQ(exchange::readVcard(hebrew, {"ISO-8859-8"}).cards.at(0)[Kind::Name], "אבא");
    EXPECT_THROW(exchange::readVcard(hebrew, {"no-such-encoding"}), std::runtime_error);
}

// Exports of common address books, and a Hebrew one from an older Windows
// program, map as their users expect.
TEST_F(Exchange, CommonCsvExportsMapAsTheirUsersExpect)
{
    const exchange::ReadResult outlook = exchange::readCsv(
        "\"First Name\",\"Middle Name\",\"Last Name\",\"Business Street\",\"Business City\",\"Home Street\","
        "\"Home City\",\"Business Phone\",\"Home Phone\",\"Mobile Phone\",\"Primary Phone\",\"E-mail Address\"\r\n"
        "\"Dana\",\"\",\"Levi\",\"1 Hi-Tech Rd\",\"Haifa\",\"2 Herzl St\",\"Tel Aviv\",\"04-5550000\",\"\","
        "\"050 123 4567\",\"+972501234567\",\"dana@mail.example\"\r\n");
    ASSERT_EQ(outlook.cards.size(), 1u);
    const exchange::Card& dana = outlook.cards[0];
    EXPECT_EQ(dana[Kind::Name], "Dana Levi");
    EXPECT_EQ(dana[Kind::Address], "2 Herzl St, Tel Aviv");
    EXPECT_EQ(dana[Kind::Work], "04-5550000");
    EXPECT_EQ(dana[Kind::Mobile], "050 123 4567");
    EXPECT_EQ(dana[Kind::Home], ""); // the primary phone is the mobile again
    EXPECT_EQ(dana[Kind::Email], "dana@mail.example");

    const exchange::ReadResult other = exchange::readCsv("Name,Home Mobile,Email Work\r\nAvi,050-1,a@w\r\n");
    EXPECT_EQ(other.cards.at(0)[Kind::Mobile], "050-1");
    EXPECT_EQ(other.cards.at(0)[Kind::Email], "a@w");

    const exchange::ReadResult hebrew =
        exchange::readCsv(encoded("שם פרטי,שם משפחה,טלפון בבית,טלפון נייד,טלפון בעבודה,פקס,דואר אלקטרוני,כתובת\r\n"
                                  "משה,כהן,03-1,050-2,04-3,09-4,m@x,הרצל 1\r\n",
                                  "WINDOWS-1255"));
    ASSERT_EQ(hebrew.cards.size(), 1u);
    EXPECT_EQ(hebrew.cards[0].values, (std::array<std::string, exchange::kKinds>{"משה כהן", "03-1", "050-2", "04-3",
                                                                                 "09-4", "", "הרצל 1", "m@x"}));
    EXPECT_EQ(hebrew.notes.lines(),
              std::vector<std::string>{"CSV: the file is not UTF-8; read as Windows-1255 (--encoding names another)"});
}

TEST_F(Exchange, CsvFieldsWithQuotesCommasAndLineBreaksAndCommonHeaders)
{
    const exchange::ReadResult own =
        exchange::readCsv("Name,Home,Mobil,Phone,Dept,Address,Email\r\n"
                          "\"Cohen, \"\"Dudu\"\"\",,050-1,\"03-2\",R&D,\"line 1\r\nline 2\",\r\n"
                          "\r\n"
                          "plain,1,,,,,\n");
    ASSERT_EQ(own.cards.size(), 2u);
    EXPECT_EQ(own.cards[0][Kind::Name], "Cohen, \"Dudu\"");
    EXPECT_EQ(own.cards[0][Kind::Work], "03-2"); // Phone of a Work header is the work number
    EXPECT_EQ(own.cards[0][Kind::Dept], "R&D");
    EXPECT_EQ(own.cards[0][Kind::Address], "line 1\r\nline 2");
    EXPECT_EQ(own.cards[1].line, 5);

    // Fields named as common address books name them, in their own order.
    const exchange::ReadResult other =
        exchange::readCsv("\xEF\xBB\xBF"
                          "First Name;Last Name;E-mail Address;Birthday;Phone 1 - Type;Phone 1 - Value;Home Phone\n"
                          "דוד;כהן;d@mail.example;1980-01-01;Mobile;050-5551234 ::: 050-5559999;03-5551111\n");
    ASSERT_EQ(other.cards.size(), 1u);
    EXPECT_EQ(other.cards[0][Kind::Name], "דוד כהן");
    EXPECT_EQ(other.cards[0][Kind::Mobile], "050-5551234");
    EXPECT_EQ(other.cards[0][Kind::Home], "03-5551111");
    EXPECT_EQ(other.cards[0][Kind::Email], "d@mail.example");
    EXPECT_EQ(other.notes.lines().front(), "CSV: column \"Birthday\" dropped; Numora keeps no such field (1 card)");

    for (const char* bad :
         {"Name,Phone\r\n\"open,1\r\n", "Birthday,Phone\r\n1,2\r\n", "Name\r\nplain\r\n\xFF\xFE\r\n"}) {
        try {
            exchange::readCsv(bad);
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("line "), std::string::npos) << e.what();
        }
    }
}

// A card is refused only for what the user must mend in the file: no name, no
// number, or a name the group has. Longer fields go in whole, with a word.
TEST_F(Exchange, ImportRefusesOnlyCardsWithoutANameOrNumberAndKeepsLongFieldsWhole)
{
    const std::string db = emptyDb("VEMO.MDB");
    addRows(db, store::kPersonalTable, {{"  כהן דוד  ", "1", "", "", "", "", ""}});
    addRows(db, store::kWorkTable, {{"לוי", "1", "", "", "", "", ""}});
    const std::string csv = path("in.csv");
    write(csv, "Name,Phone,Mobil,Line,Fax,Address,Email\r\n"
               "כהן דוד,2,,,,,\r\n" // used in the group, trimmed
               "לוי,2,,,,,\r\n"     // used only in the other group
               "Cohen,2,,,,,\r\n"
               "cohen,2,,,,,\r\n"                 // differs in case only
               "\tCohen\xC2\xA0,3,,,,,\r\n"       // an earlier card of the file, past a tab and a no-break space
               "אבגדהוזחטיכלמנסעפצקרש,2,,,,,\r\n" // 21 letters
               "  ,2,,,,,\r\n"
               "No number,,,,,,a@b\r\n"
               "Long mobile,,123456789012,,,,\r\n"
               "Long fax and email,1,,,12345678901,,123456789012345678901\r\n"
               "Edges,  1234567890  ,12345678901,12345678901,1234567890,,12345678901234567890\r\n"
               "Israeli,+972 (0)3-555.1234,+972-50-123 4567,00972 4 5551234,,,\r\n"
               "Ctl\x01name\x1B[2J,\"0\n1\",,,,\"a\r\nb\",\r\n");
    const std::string before = bytesOf(db);
    const exchange::ImportPlan dry = exchange::importFile(db, store::kPersonalTable, Format::Csv, csv, true);
    EXPECT_EQ(bytesOf(db), before);

    const auto listed = [](const std::vector<exchange::Skipped>& cards) {
        std::vector<std::string> out;
        for (const exchange::Skipped& s : cards)
            out.push_back(std::to_string(s.number) + " " + s.name + ": " + s.reason);
        return out;
    };
    EXPECT_EQ(listed(dry.skipped), (std::vector<std::string>{
                                       "1 כהן דוד: The current name is used all-ready",
                                       "5 Cohen: The current name is used all-ready",
                                       "7 : The field Name cannot be empty",
                                       "8 No number: There is no phone/fax/line/mobile number",
                                   }));
    EXPECT_EQ(listed(dry.longFields),
              (std::vector<std::string>{
                  "6 אבגדהוזחטיכלמנסעפצקרש: the name is longer than the 20 characters the editor allows",
                  "9 Long mobile: the mobile number is longer than the 11 characters the editor allows",
                  "10 Long fax and email: the fax number is longer than the 10 characters the editor allows; the "
                  "e-mail address is longer than the 20 characters the editor allows",
              }));
    const exchange::ImportPlan done = exchange::importFile(db, store::kPersonalTable, Format::Csv, csv, false);
    EXPECT_EQ(done.toAdd, dry.toAdd);
    const std::vector<Row> cards = cardsOf(db, store::kPersonalTable);
    ASSERT_EQ(cards.size(), 10u);
    EXPECT_EQ(cards[1], (Row{"לוי", "2", "", "", "", "", ""}));
    EXPECT_EQ(cards[4], (Row{"אבגדהוזחטיכלמנסעפצקרש", "2", "", "", "", "", ""}));
    EXPECT_EQ(cards[6], (Row{"Long fax and email", "1", "", "", "12345678901", "", "123456789012345678901"}));
    EXPECT_EQ(cards[7],
              (Row{"Edges", "1234567890", "12345678901", "12345678901", "1234567890", "", "12345678901234567890"}));
    EXPECT_EQ(cards[8], (Row{"Israeli", "03-5551234", "050-1234567", "04-5551234", "", "", ""}));
    EXPECT_EQ(cards[9], (Row{"Ctlname[2J", "01", "", "", "", "a\r\nb", ""}));
    EXPECT_EQ(done.notes.lines(), (std::vector<std::string>{
                                      "control characters taken out of a card's fields (2 cards)",
                                      "cards added whole with a field longer than the editor allows; the editor asks "
                                      "for it shorter on the next Update (3 cards)",
                                  }));

    // In the Work group the fifth field is the department, and is named so.
    exchange::ReadResult work;
    work.cards.emplace_back()[Kind::Name] = "Dept";
    work.cards.back()[Kind::Dept] = "Research and development";
    const exchange::ImportPlan plan = exchange::planImport(work, store::kWorkTable, {});
    ASSERT_EQ(plan.longFields.size(), 1u);
    EXPECT_EQ(plan.longFields[0].reason, "the department is longer than the 10 characters the editor allows");
}

TEST_F(Exchange, AFailureMidwayOrALockAddsNothing)
{
    const std::string db = emptyDb("VEMO.MDB");
    addRows(db, store::kPersonalTable, {{"קיים", "1", "", "", "", "", ""}});
    // The engine refuses the third card as a full disk or a damaged page would.
    SqliteFile(db).exec("CREATE TRIGGER refuse BEFORE INSERT ON Vemo WHEN NEW.Name = 'third' "
                        "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    const std::string vcf = path("in.vcf");
    write(vcf, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:first\r\nTEL:1\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:second\r\nTEL:1\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:third\r\nTEL:1\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:fourth\r\nTEL:1\r\nEND:VCARD\r\n");
    EXPECT_THROW(exchange::importFile(db, store::kPersonalTable, Format::VCard, vcf, false), std::runtime_error);
    EXPECT_EQ(SqliteFile(db).count("select count(*) from Vemo"), 1);

    SqliteFile(db).exec("DROP TRIGGER refuse");
    const locks::BusyTimeout shortWait(200);
    SqliteFile other(db);
    other.exec("BEGIN IMMEDIATE");
    try {
        exchange::importFile(db, store::kPersonalTable, Format::VCard, vcf, false);
        ADD_FAILURE() << "imported past another program's lock";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("in use by another program"), std::string::npos) << e.what();
    }
    other.exec("ROLLBACK");
    EXPECT_EQ(SqliteFile(db).count("select count(*) from Vemo"), 1);

    // A file of the format before Address and Email gains them, as at start.
    const std::string old = path("old.mdb");
    dbfile::createOldFormat(old);
    exchange::importFile(old, store::kPersonalTable, Format::VCard, vcf, false);
    EXPECT_EQ(SqliteFile(old).columns("Vemo").size(), 7u);
    EXPECT_EQ(SqliteFile(old).count("select count(*) from Vemo where Address = ''"), 4);
}

TEST_F(Exchange, ExportReplacesItsFileWholeAndNeverTheDatabase)
{
    const std::string db = emptyDb("VEMO.MDB");
    addRows(db, store::kPersonalTable, kPersonalCards);
    ASSERT_TRUE(QDir(env.root()).mkdir(QStringLiteral("out")));
    const std::string csv = path("out/out.csv");
    write(csv, "old");
    const ino_t before = inodeOf(QString::fromStdString(csv));
    exchange::exportGroup(db, store::kPersonalTable, Format::Csv, csv);
    EXPECT_NE(inodeOf(QString::fromStdString(csv)), before); // renamed into place, not written over

    const std::string dbBytes = bytesOf(db);
    EXPECT_THROW(exchange::exportGroup(db, store::kPersonalTable, Format::Csv, db), std::runtime_error);
    EXPECT_EQ(bytesOf(db), dbBytes);
    const std::string vcf = bytesOf(csv);
    EXPECT_THROW(exchange::exportGroup(csv, store::kPersonalTable, Format::VCard, csv), std::runtime_error);
    EXPECT_THROW(exchange::exportGroup(db, store::kPersonalTable, Format::VCard, path("no/such/folder.vcf")),
                 std::runtime_error);
    EXPECT_EQ(bytesOf(csv), vcf);
    // Nothing half-written is left beside it.
    EXPECT_EQ(QDir(env.root() + QStringLiteral("/out")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("out.csv")});
}

// A card typed into the directory reaches a vCard that another address
// book's reader takes in, Hebrew and all.
TEST_F(Exchange, AnotherReaderReadsTheVcard)
{
    const std::string db = emptyDb("VEMO.MDB");
    addRows(db, store::kWorkTable, kWorkCards);
    const std::string vcf = path("work.vcf");
    exchange::exportGroup(db, store::kWorkTable, Format::VCard, vcf);
    QProcess python;
    python.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, vobject\n"
                        "for c in vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()):\n"
                        "    tels = ' '.join(t.params['TYPE'][0] + '=' + t.value for t in c.contents.get('tel', []))\n"
                        "    org = '/'.join(c.org.value) if 'org' in c.contents else ''\n"
                        "    adr = c.adr.value.street if 'adr' in c.contents else ''\n"
                        "    print('|'.join([c.fn.value, tels, org, adr]))\n"),
         QString::fromStdString(vcf)});
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).toStdString(),
              "מזרחי רונית|home=02-5550001 work=03-5550002|/פיתוח|רחוב הנביאים 3, חיפה\n"
              "Orion; Tech|work=03-5550003|/שיווק,מכר|\n");
}

// The program's window and the database tool reach one file the same way:
// what the tool imports the window lists, what the window adds the tool
// exports, and each refuses a name the other stored, with the same words.
class ToolBesideWindow : public GridWindowTest {};

TEST_F(ToolBesideWindow, ReachOneFileThroughOnePath)
{
    start();
    const std::string in = (env.root() + "/in.vcf").toStdString();
    const std::string out = (env.root() + "/out.vcf").toStdString();
    write(in, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:אבי\r\nTEL;TYPE=home:03-1\r\nEND:VCARD\r\n");
    EXPECT_EQ(exchange::importFile(path(), store::kPersonalTable, Format::VCard, in, false).toAdd.size(), 1u);
    w->RefreshGrid();
    EXPECT_EQ(listedNames(), QStringList{heb("אבי")});

    w->btnAdd_Click();
    FrmNewPhn& editor = FrmNewPhn::instance();
    editor.setBoxText(store::kFieldName, heb("אבי"));
    editor.setBoxText(store::kFieldHome, QStringLiteral("03-2"));
    editor.btnAdd_Click();
    editor.setBoxText(store::kFieldName, heb("אורן"));
    editor.btnAdd_Click();
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].text, QString::fromUtf8(store::kNameUsed));
    EXPECT_EQ(boxes.asked[1].text, QStringLiteral("A new record has been added"));
    EXPECT_EQ(listedNames(), QStringList({heb("אבי"), heb("אורן")}));

    EXPECT_EQ(exchange::exportGroup(path(), store::kPersonalTable, Format::VCard, out).cards, 2u);
    EXPECT_NE(bytesOf(out).find("FN:אורן\r\nTEL;TYPE=home:03-2\r\n"), std::string::npos) << bytesOf(out);
    const exchange::ImportPlan again = exchange::importFile(path(), store::kPersonalTable, Format::VCard, out, false);
    EXPECT_TRUE(again.toAdd.empty());
    ASSERT_EQ(again.skipped.size(), 2u);
    EXPECT_EQ(again.skipped[1].reason, store::kNameUsed);
}

// The progress line is for a person at a terminal: a pipe gets none.
TEST_F(Exchange, CommandLineShowsProgressOnATerminalOnly)
{
    const std::string db = path("VEMO.MDB");
    dbfile::createSample(db, 400);
    const std::string vcf = path("all.vcf");
    const auto run = [&](bool terminal, std::vector<std::string> args) {
        std::vector<char*> argv;
        std::string tool = NUMORA_DBTOOL;
        argv.push_back(tool.data());
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2] = {-1, -1};
        int master = -1;
        pid_t pid = -1;
        if (terminal) {
            pid = forkpty(&master, nullptr, nullptr, nullptr);
        } else {
            if (pipe(fds) != 0)
                throw std::runtime_error("no pipe");
            pid = fork();
        }
        if (pid == 0) {
            if (!terminal) {
                dup2(fds[1], STDOUT_FILENO);
                dup2(fds[1], STDERR_FILENO);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        const int readEnd = terminal ? master : fds[0];
        if (!terminal)
            close(fds[1]);
        std::string out;
        char buffer[4096];
        for (ssize_t n; (n = read(readEnd, buffer, sizeof buffer)) > 0;)
            out.append(buffer, static_cast<std::size_t>(n));
        close(readEnd);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
        return out;
    };
    const std::string quiet = run(false, {"export", "--format", "vcard", "--group", "Work", db, vcf});
    EXPECT_EQ(quiet, "exported 400 cards of the Work group to " + vcf + "\n");
    const std::string shown = run(true, {"export", "--format", "vcard", "--group", "Work", db, vcf});
    EXPECT_NE(shown.find("\rwriting cards: 400 of 400"), std::string::npos) << shown;

    const std::string dry = run(false, {"import", "--format", "vcard", "--group", "Work", "--dry-run", db, vcf});
    EXPECT_NE(dry.find("would add 0 cards to the Work group, skip 400; nothing was written (--dry-run)"),
              std::string::npos);
    EXPECT_EQ(dry.find('\r'), std::string::npos);

    // What a file holds reaches the terminal defused and cut short.
    const std::string hostile = path("hostile.vcf");
    write(hostile, "BEGIN:VCARD\r\nFN:\xE2\x80\xAE" + std::string(70, 'x') + "\r\nEND:VCARD\r\n");
    const std::string told =
        run(false, {"import", "--format", "vcard", "--group", "Work", "--encoding", "UTF-8", "--dry-run", db, hostile});
    EXPECT_NE(told.find("\"\\u{202E}" + std::string(59, 'x') + "...\": There is no"), std::string::npos) << told;
    EXPECT_EQ(told.find("\xE2\x80\xAE"), std::string::npos);

    run(false, {"export", "--format", "vcard", "--group", "Work", "--vcard-version", "3.0", db, vcf});
    EXPECT_TRUE(bytesOf(vcf).starts_with("BEGIN:VCARD\r\nVERSION:3.0\r\nN:"));
}

} // namespace
} // namespace numora::test
