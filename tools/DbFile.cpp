#include "tools/DbFile.h"

#include <sqlite3.h>

#include "store/Tables.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace numora::dbfile {
namespace {

using Text = std::optional<std::string>; // std::nullopt is Null

using store::Table;

constexpr int kLetters = 22;
constexpr int kMaxCardsPerGroup = 1'000'000;

// The columns a file of the format has: all of them, or the old format's,
// without those added at start (Address and Email).
std::vector<const store::Column*> columnsOf(const Table& table, bool withNewColumns)
{
    std::vector<const store::Column*> columns;
    for (const store::Column& column : table.columns) {
        if (withNewColumns || !column.addedAtStart)
            columns.push_back(&column);
    }
    return columns;
}

std::string tableSql(const Table& table, bool withNewColumns)
{
    std::string sql = std::string("CREATE TABLE ") + table.name + " (";
    const char* separator = "";
    for (const store::Column* column : columnsOf(table, withNewColumns)) {
        sql += std::string(separator) + column->name + " " + column->type + (column->mayBeNull ? "" : " NOT NULL");
        separator = ", ";
    }
    sql += ");";
    // Every listing is ordered by Name and every look-up is by Name.
    sql += std::string("CREATE INDEX ") + table.name + "Name ON " + table.name + " (Name);";
    return sql;
}

// ---- the file itself ---------------------------------------------------------

class Database {
public:
    explicit Database(const std::string& path) : path_(path)
    {
        // O_EXCL: an existing file is never touched, not even truncated.
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                throw std::runtime_error(path + ": file exists; refusing to overwrite it");
            throw std::runtime_error(path + ": cannot create: " + std::strerror(errno));
        }
        ::close(fd);
        created_ = true;
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fail("cannot open as a database");
    }

    ~Database()
    {
        sqlite3_close(db_);
        if (created_ && !committed_)
            ::unlink(path_.c_str());
    }

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const std::string& sql)
    {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail("cannot run \"" + sql.substr(0, 60) + "\"");
    }

    sqlite3* handle() const { return db_; }

    [[noreturn]] void fail(const std::string& what) const
    {
        std::string msg = path_ + ": " + what;
        if (db_)
            msg += std::string(": ") + sqlite3_errmsg(db_);
        throw std::runtime_error(msg);
    }

    void finish()
    {
        if (sqlite3_close(db_) != SQLITE_OK)
            fail("cannot close");
        db_ = nullptr;
        committed_ = true;
    }

private:
    std::string path_;
    sqlite3* db_ = nullptr;
    bool created_ = false;
    bool committed_ = false;
};

class Statement {
public:
    Statement(Database& db, const std::string& sql) : db_(db)
    {
        if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
            db.fail("cannot prepare \"" + sql + "\"");
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void insert(const std::vector<Text>& values)
    {
        sqlite3_reset(stmt_);
        for (size_t i = 0; i < values.size(); ++i) {
            const int index = static_cast<int>(i) + 1;
            const int rc = values[i]
                ? sqlite3_bind_text(stmt_, index, values[i]->data(), static_cast<int>(values[i]->size()),
                                    SQLITE_TRANSIENT)
                : sqlite3_bind_null(stmt_, index);
            if (rc != SQLITE_OK)
                db_.fail("cannot bind a value");
        }
        if (sqlite3_step(stmt_) != SQLITE_DONE)
            db_.fail("cannot insert a card");
    }

private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// ---- generated cards ---------------------------------------------------------

// A small fixed generator, so the same count gives the same file on every
// machine and with every standard library.
class Generator {
public:
    explicit Generator(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::uint64_t state_;
};

// Family names by first letter, in the order of the letter tabs.
const std::vector<std::vector<const char*>> kSurnames = {
    {"אבירם", "אלון", "ארבל", "אשכול", "אורן"},
    {"ברק", "בן דור", "בירן", "בלוך", "בר און"},
    {"גלעדי", "גפן", "גורן", "גבע", "גל"},
    {"דגן", "דרור", "דנון", "דקל", "דותן"},
    {"הדר", "הראל", "הלפרין", "הורוביץ", "הרפז"},
    {"ורד", "וולף", "ויסמן", "ולך", "ורדי"},
    {"זהבי", "זיו", "זמיר", "זוהר", "זכאי"},
    {"חביב", "חן", "חרמון", "חזן", "חורש"},
    {"טל", "טייב", "טופז", "טנא", "טבת"},
    {"ינאי", "יערי", "ישראלי", "יפה", "יונה"},
    {"כרמי", "כנען", "כספי", "כהנא", "כפיר"},
    {"לביא", "לוי", "לנדאו", "לרנר", "לב"},
    {"מגן", "מור", "מזרחי", "מלכה", "מרום"},
    {"נבון", "נחום", "נגב", "נוי", "נתן"},
    {"סגל", "סער", "סלע", "סביון", "סהר"},
    {"עזרא", "עמית", "ענבר", "עופר", "ערן"},
    {"פז", "פרץ", "פלד", "פרידמן", "פורת"},
    {"צור", "צדוק", "צמח", "צבר", "ציון"},
    {"קדם", "קרן", "קציר", "קורן", "קלין"},
    {"רז", "רום", "רביב", "רוזן", "רגב"},
    {"שגיא", "שחר", "שפירא", "שמיר", "שלו"},
    {"תמיר", "תבור", "תדהר", "תם", "תשבי"},
};

const std::vector<const char*> kFirstNames = {
    "נועה", "דוד", "מיכל", "יוסי", "רונית", "אבי", "שירה", "עמרי", "תמר", "גיל",
    "הילה", "איתי", "יעל", "משה", "ליאת", "אורי", "דנה", "עידו", "רותם", "חיים",
    "מאיה", "יונתן", "ענת", "אלון", "שרון", "נדב", "קרן", "אסף", "טלי", "ברוך",
};

const std::vector<const char*> kDepartments = {
    "כספים", "משאבי אנוש", "שיווק", "מכירות", "פיתוח", "תפעול",
    "רכש", "שירות לקוחות", "הנהלה", "לוגיסטיקה", "מחשוב", "ביטחון",
};

const std::vector<const char*> kStreets = {
    "הרצל", "ויצמן", "בן יהודה", "הנביאים", "רוטשילד", "ז'בוטינסקי", "העצמאות", "הגפן",
};

const std::vector<const char*> kCities = {
    "תל אביב", "ירושלים", "חיפה", "באר שבע", "נתניה", "רחובות", "אשדוד", "הרצליה",
};

std::string digits(Generator& g, int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += static_cast<char>('0' + g.below(10));
    return s;
}

std::string landline(Generator& g)
{
    static const char* const areas[] = {"02", "03", "04", "08", "09"};
    return std::string(areas[g.below(5)]) + "-555" + digits(g, 4);
}

std::string mobile(Generator& g)
{
    static const char* const prefixes[] = {"050", "052", "053", "054", "058"};
    return std::string(prefixes[g.below(5)]) + "-555" + digits(g, 4);
}

std::string address(Generator& g)
{
    return std::string(kStreets[static_cast<size_t>(g.below(static_cast<int>(kStreets.size())))]) + " " +
           std::to_string(1 + g.below(120)) + ", " +
           kCities[static_cast<size_t>(g.below(static_cast<int>(kCities.size())))];
}

// One card of group `work`, in table column order (seven values).
std::vector<Text> ordinaryCard(Generator& g, bool work, int k)
{
    const int letter = k % kLetters;
    const int round = k / kLetters;
    const auto& surnames = kSurnames[static_cast<size_t>(letter)];
    const int s = static_cast<int>(surnames.size());
    const int f = static_cast<int>(kFirstNames.size());
    // Work lists other people than Personal under the same family names.
    const int first = (round / s + (work ? 11 : 0)) % f;
    std::string name = std::string(surnames[static_cast<size_t>(round % s)]) + " " +
                       kFirstNames[static_cast<size_t>(first)];
    if (const int repeat = round / (s * f); repeat > 0)
        name += " " + std::to_string(repeat + 1);

    std::vector<Text> card(static_cast<size_t>(store::kCardFields));
    card[0] = name;
    card[1] = landline(g);
    card[2] = mobile(g);
    card[3] = landline(g);
    card[4] = work ? Text(kDepartments[static_cast<size_t>(g.below(static_cast<int>(kDepartments.size())))])
                   : Text(landline(g));
    card[5] = address(g);
    if (k < 1'000'000)
        card[6] = "n" + std::to_string(k) + "@mail.example";
    // A few cards miss a number, and more miss an address or e-mail address.
    if (g.chance(3))
        card[static_cast<size_t>(1 + g.below(4))] = std::nullopt;
    if (g.chance(10))
        card[5] = std::nullopt;
    if (g.chance(20))
        card[6] = std::nullopt;
    return card;
}

// The fixed cards that exercise names and values out of the ordinary.
std::vector<Text> specialCard(bool work, int i)
{
    const Text fifth = work ? Text("פיתוח") : Text("03-5559000");
    switch (i) {
    // Names beginning with a final letter form: listed under All only.
    case 0: return {"ךרמון גדי", "03-5551001", "050-5551001", "03-5552001", fifth, "הגפן 3, חיפה", "k1@mail.example"};
    case 1: return {"םלכיה רנה", "04-5551002", "052-5551002", std::nullopt, fifth, std::nullopt, std::nullopt};
    case 2: return {"ןעמן שלום", "02-5551003", "054-5551003", "02-5552003", fifth, "הרצל 10, ירושלים", std::nullopt};
    case 3: return {"ףרחי נגה", "08-5551004", "053-5551004", "08-5552004", fifth, std::nullopt, "p4@mail.example"};
    case 4: return {"ץבעוני דן", "09-5551005", "058-5551005", "09-5552005", fifth, "העצמאות 7, נתניה", std::nullopt};
    // A Latin first letter and a digit.
    case 5: return {"Orion Tech", "03-5551006", "050-5551006", "03-5552006", fifth, "רוטשילד 22, תל אביב", "info@orion.example"};
    case 6: return {"144 מודיעין", "03-5551007", std::nullopt, std::nullopt, fifth, std::nullopt, std::nullopt};
    // Blanks around the name, as an older program might have stored it.
    case 7: return {"  בלום עדי  ", "03-5551008", "050-5551008", "03-5552008", fifth, "ויצמן 5, רחובות", std::nullopt};
    // A Hebrew abbreviation written with a single quote.
    case 8: return {"צה'ל", "03-5551009", std::nullopt, "03-5552009", fifth, std::nullopt, std::nullopt};
    // Only the name and the fifth field.
    case 9: return {"פקסון מיכל", std::nullopt, std::nullopt, std::nullopt,
                    work ? Text("כספים") : Text("03-5557777"), std::nullopt, std::nullopt};
    // Null numbers between filled ones.
    case 10: return {"נולמן אבי", "03-5551011", std::nullopt, std::nullopt, fifth, "הנביאים 1, חיפה", "s11@mail.example"};
    // Empty texts rather than Null, as the editor stores empty boxes.
    case 11: return {"ריקי אורן", "", "", "", "", "", ""};
    default: break;
    }
    throw std::logic_error("no such fixed card");
}

constexpr int kSpecialCards = 12;

void fillTable(Database& db, const Table& table, int cards, bool withNewColumns)
{
    const std::vector<const store::Column*> columns = columnsOf(table, withNewColumns);
    std::string sql = std::string("INSERT INTO ") + table.name + " (";
    for (size_t c = 0; c < columns.size(); ++c)
        sql += std::string(c ? ", " : "") + columns[c]->name;
    sql += ") VALUES (";
    for (size_t c = 0; c < columns.size(); ++c)
        sql += c ? ", ?" : "?";
    sql += ")";
    Statement insert(db, sql);

    const bool work = &table == &store::kWorkTable;
    Generator g(work ? 0x5157'4F52'4B00'0002ull : 0x5157'454D'4F00'0001ull);
    for (int i = 0; i < cards; ++i) {
        std::vector<Text> card;
        if (i < kLetters)
            card = ordinaryCard(g, work, i);
        else if (i < kLetters + kSpecialCards)
            card = specialCard(work, i - kLetters);
        else
            card = ordinaryCard(g, work, i - kSpecialCards);
        // The old format keeps the fields before Address and Email.
        card.resize(columns.size());
        insert.insert(card);
    }
}

void make(const std::string& path, bool withNewColumns, int cardsPerGroup)
{
    if (cardsPerGroup < 0 || cardsPerGroup > kMaxCardsPerGroup)
        throw std::runtime_error(path + ": cards per group must be between 0 and " +
                                 std::to_string(kMaxCardsPerGroup));
    Database db(path);
    db.exec("BEGIN");
    for (const Table* table : store::kTables)
        db.exec(tableSql(*table, withNewColumns));
    for (const Table* table : store::kTables)
        fillTable(db, *table, cardsPerGroup, withNewColumns);
    db.exec("COMMIT");
    db.finish();
}

} // namespace

void createEmpty(const std::string& path) { make(path, true, 0); }
void createOldFormat(const std::string& path) { make(path, false, 0); }
void createSample(const std::string& path, int cardsPerGroup) { make(path, true, cardsPerGroup); }
void createOldSample(const std::string& path, int cardsPerGroup) { make(path, false, cardsPerGroup); }
int specialCardCount() { return kSpecialCards; }

} // namespace numora::dbfile
