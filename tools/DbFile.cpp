#include "tools/DbFile.h"

#include "store/DirectoryFile.h"
#include "store/Tables.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace numora::dbfile {
namespace {

using Text = std::optional<std::string>; // std::nullopt is Null

using store::Table;

constexpr int kLetters = 22;
constexpr int kMaxCardsPerGroup = 1'000'000;

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
    {"אבירם", "אלון", "ארבל", "אשכול", "אורן"},   {"ברק", "בן דור", "בירן", "בלוך", "בר און"},
    {"גלעדי", "גפן", "גורן", "גבע", "גל"},        {"דגן", "דרור", "דנון", "דקל", "דותן"},
    {"הדר", "הראל", "הלפרין", "הורוביץ", "הרפז"}, {"ורד", "וולף", "ויסמן", "ולך", "ורדי"},
    {"זהבי", "זיו", "זמיר", "זוהר", "זכאי"},      {"חביב", "חן", "חרמון", "חזן", "חורש"},
    {"טל", "טייב", "טופז", "טנא", "טבת"},         {"ינאי", "יערי", "ישראלי", "יפה", "יונה"},
    {"כרמי", "כנען", "כספי", "כהנא", "כפיר"},     {"לביא", "לוי", "לנדאו", "לרנר", "לב"},
    {"מגן", "מור", "מזרחי", "מלכה", "מרום"},      {"נבון", "נחום", "נגב", "נוי", "נתן"},
    {"סגל", "סער", "סלע", "סביון", "סהר"},        {"עזרא", "עמית", "ענבר", "עופר", "ערן"},
    {"פז", "פרץ", "פלד", "פרידמן", "פורת"},       {"צור", "צדוק", "צמח", "צבר", "ציון"},
    {"קדם", "קרן", "קציר", "קורן", "קלין"},       {"רז", "רום", "רביב", "רוזן", "רגב"},
    {"שגיא", "שחר", "שפירא", "שמיר", "שלו"},      {"תמיר", "תבור", "תדהר", "תם", "תשבי"},
};

const std::vector<const char*> kFirstNames = {
    "נועה", "דוד",   "מיכל", "יוסי", "רונית", "אבי",  "שירה", "עמרי", "תמר",  "גיל",
    "הילה", "איתי",  "יעל",  "משה",  "ליאת",  "אורי", "דנה",  "עידו", "רותם", "חיים",
    "מאיה", "יונתן", "ענת",  "אלון", "שרון",  "נדב",  "קרן",  "אסף",  "טלי",  "ברוך",
};

const std::vector<const char*> kDepartments = {
    "כספים", "משאבי אנוש",   "שיווק", "מכירות",    "פיתוח", "תפעול",
    "רכש",   "שירות לקוחות", "הנהלה", "לוגיסטיקה", "מחשוב", "ביטחון",
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
    std::string name =
        std::string(surnames[static_cast<size_t>(round % s)]) + " " + kFirstNames[static_cast<size_t>(first)];
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
    case 5:
        return {"Orion Tech", "03-5551006",          "050-5551006",       "03-5552006",
                fifth,        "רוטשילד 22, תל אביב", "info@orion.example"};
    case 6: return {"144 מודיעין", "03-5551007", std::nullopt, std::nullopt, fifth, std::nullopt, std::nullopt};
    // Blanks around the name, as an older program might have stored it.
    case 7: return {"  בלום עדי  ", "03-5551008", "050-5551008", "03-5552008", fifth, "ויצמן 5, רחובות", std::nullopt};
    // A Hebrew abbreviation written with a single quote.
    case 8: return {"צה'ל", "03-5551009", std::nullopt, "03-5552009", fifth, std::nullopt, std::nullopt};
    // Only the name and the fifth field.
    case 9:
        return {"פקסון מיכל", std::nullopt, std::nullopt, std::nullopt, work ? Text("כספים") : Text("03-5557777"),
                std::nullopt, std::nullopt};
    // Null numbers between filled ones.
    case 10:
        return {"נולמן אבי", "03-5551011", std::nullopt, std::nullopt, fifth, "הנביאים 1, חיפה", "s11@mail.example"};
    // Empty texts rather than Null, as the editor stores empty boxes.
    case 11: return {"ריקי אורן", "", "", "", "", "", ""};
    default: break;
    }
    throw std::logic_error("no such fixed card");
}

constexpr int kSpecialCards = 12;

// The cards of one table, in the description's order of fields.
std::vector<std::vector<Text>> cardsFor(const Table& table, int cards)
{
    const bool work = &table == &store::kWorkTable;
    Generator g(work ? 0x5157'4F52'4B00'0002ull : 0x5157'454D'4F00'0001ull);
    std::vector<std::vector<Text>> out;
    out.reserve(static_cast<std::size_t>(cards));
    for (int i = 0; i < cards; ++i) {
        if (i < kLetters)
            out.push_back(ordinaryCard(g, work, i));
        else if (i < kLetters + kSpecialCards)
            out.push_back(specialCard(work, i - kLetters));
        else
            out.push_back(ordinaryCard(g, work, i - kSpecialCards));
    }
    return out;
}

void make(const std::string& path, bool withNewColumns, int cardsPerGroup)
{
    if (cardsPerGroup < 0 || cardsPerGroup > kMaxCardsPerGroup)
        throw std::runtime_error(path + ": cards per group must be between 0 and " + std::to_string(kMaxCardsPerGroup));
    std::vector<std::vector<Text>> cards;
    store::makeDirectoryFile(
        path, withNewColumns ? store::FileFormat::Current : store::FileFormat::BeforeAddressAndEmail,
        [&](const Table& table) {
            cards = cardsFor(table, cardsPerGroup);
            return store::NewCards{cards.size(), [&cards](std::size_t card, std::size_t field) {
                                       const Text& text = cards[card][field];
                                       return text ? std::optional<std::string_view>(*text) : std::nullopt;
                                   }};
        });
}

} // namespace

void createEmpty(const std::string& path) { make(path, true, 0); }
void createOldFormat(const std::string& path) { make(path, false, 0); }
void createSample(const std::string& path, int cardsPerGroup) { make(path, true, cardsPerGroup); }
void createOldSample(const std::string& path, int cardsPerGroup) { make(path, false, cardsPerGroup); }
int specialCardCount() { return kSpecialCards; }

} // namespace numora::dbfile
