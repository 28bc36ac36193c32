// CSV: written as RFC 4180 with the group's column names as the header; read
// the same way, with a header naming the fields in any order, as common
// address books write it.

#include "tools/exchange/Exchange.h"
#include "tools/exchange/Text.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

namespace numora::exchange {
namespace {

struct Record {
    std::vector<std::string> fields;
    int line = 0;
};

// The separator the header uses: the most frequent of comma, semicolon and
// tab outside quotes in the first line (a comma when it has none).
char separatorOf(std::string_view text)
{
    std::size_t counts[3] = {0, 0, 0};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted)
            counts[0] += c == ',', counts[1] += c == ';', counts[2] += c == '\t';
    }
    if (counts[1] > counts[0] && counts[1] >= counts[2])
        return ';';
    if (counts[2] > counts[0] && counts[2] > counts[1])
        return '\t';
    return ',';
}

// Whether, past any single quotes, the cell begins as a formula does in a
// spreadsheet. Such a cell is written after one more quote, so that it is
// shown as text, and read back with that quote taken off; a cell that
// begins with quotes before a formula's first character gains and loses one
// as well, so that it too reads back as it was.
bool formulaAfterQuotes(std::string_view v)
{
    const std::size_t first = v.find_first_not_of('\'');
    return first != std::string_view::npos && std::string_view("=+-@\t\r").find(v[first]) != std::string_view::npos;
}

void unguard(std::string& field)
{
    if (!field.empty() && field.front() == '\'' && formulaAfterQuotes(field))
        field.erase(0, 1);
}

// Calls take with each record of the text in turn, so that a large file is
// never held as records all at once. A line ends in LF, CR LF, a lone CR or
// CR CR LF; blank lines hold no record.
template <typename Take>
void forEachRecord(std::string_view text, char separator, Take take)
{
    Record record{{}, 1};
    std::string field;
    bool inQuotes = false;
    bool wasQuoted = false;
    int line = 1;
    int quoteLine = 0;
    const auto endField = [&] {
        unguard(field);
        record.fields.push_back(std::move(field));
        field.clear();
        wasQuoted = false;
    };
    const auto endRecord = [&] {
        const bool blank = record.fields.empty() && field.empty() && !wasQuoted;
        endField();
        if (!blank)
            take(std::move(record));
        record = Record{{}, line};
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                line += c == '\n';
                field += c;
            }
        } else if (c == '"' && field.empty() && !wasQuoted) {
            inQuotes = wasQuoted = true;
            quoteLine = line;
        } else if (c == separator) {
            endField();
        } else if (c == '\n' || c == '\r') {
            if (text.substr(i, 3) == "\r\r\n")
                i += 2;
            else if (text.substr(i, 2) == "\r\n")
                ++i;
            ++line;
            endRecord();
        } else {
            field += c;
        }
    }
    if (inQuotes)
        throw std::runtime_error("line " + std::to_string(quoteLine) +
                                 ": a quoted field is not closed before the end of the file");
    if (!record.fields.empty() || !field.empty() || wasQuoted)
        endRecord();
}

// The file as UTF-8 text: in its named encoding, else UTF-8, else (as older
// Windows programs write Hebrew) Windows-1255, with a note.
// nullopt when the bytes are UTF-8 already (past a byte-order mark, which is
// taken off the front of bytes).
std::optional<std::string> csvText(std::string_view& bytes, const ReadOptions& options, Notes& notes)
{
    if (std::optional<std::string> converted = text::decodedFile(bytes, options.encoding))
        return converted;
    const std::string_view text = bytes;
    if (text::isUtf8(text))
        return std::nullopt;
    if (std::optional<std::string> hebrew = text::toUtf8(text, "windows-1255"); hebrew && text::isUtf8(*hebrew)) {
        notes.aboutFile("CSV: the file is not UTF-8; read as Windows-1255 (--encoding names another)");
        return hebrew;
    }
    int line = 1;
    for (std::size_t pos = 0; pos < text.size(); ++line) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        if (!text::isUtf8(std::string_view(text).substr(pos, end - pos)))
            break;
        pos = end + 1;
    }
    throw std::runtime_error("line " + std::to_string(line) +
                             ": the text is neither UTF-8 nor Windows-1255; name its encoding with --encoding, "
                             "or save the file as UTF-8 and import it again");
}

// What a header field feeds.
enum class Target { Kind, OtherNumber, FirstName, MiddleName, LastName, PairType, PairValue, AddressPart, Ignore };

// The parts of an address written in columns of their own ("Home Street",
// "Home City"), in the order they are joined.
constexpr const char* kAddressParts[] = {"street", "city", "postal code"};
// Whose address they are, in the order one is chosen.
constexpr const char* kAddressPlaces[] = {"home", "business", "other"};

struct Column {
    Target target = Target::Kind;
    Kind kind = Kind::Name;
    int pair = 0; // "Phone 2 - Value": 2; for an address part, its place
    int part = 0; // for an address part, which
    std::string header;
};

} // namespace

const char* describe(Kind k)
{
    switch (k) {
    case Kind::Name: return "name";
    case Kind::Home: return "home number";
    case Kind::Mobile: return "mobile number";
    case Kind::Work: return "work number";
    case Kind::Fax: return "fax number";
    case Kind::Dept: return "department";
    case Kind::Address: return "address";
    case Kind::Email: return "e-mail address";
    }
    return "field";
}

namespace {

// "phone 2 - value" and the like: the number, and what follows " - ".
std::optional<std::pair<int, std::string>> numbered(const std::string& h, std::string_view prefix)
{
    if (h.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    std::size_t i = prefix.size();
    int n = 0;
    const std::size_t digits = i;
    while (i < h.size() && h[i] >= '0' && h[i] <= '9' && i - digits < 4)
        n = n * 10 + (h[i++] - '0');
    if (i == digits || h.compare(i, 3, " - ") != 0)
        return std::nullopt;
    return std::pair{n, h.substr(i + 3)};
}

// "home street", "business city" and the like: the place and the part.
std::optional<std::pair<int, int>> addressPart(const std::string& h)
{
    for (int place = 0; place < 3; ++place) {
        for (int part = 0; part < 3; ++part) {
            if (h == std::string(kAddressPlaces[place]) + " " + kAddressParts[part])
                return std::pair{place, part};
        }
    }
    return std::nullopt;
}

std::vector<Column> columnsOf(const std::vector<std::string>& header)
{
    std::map<std::string, Kind> kinds;
    for (const auto& [name, kind] : csvHeaderNames())
        kinds[name] = kind;
    for (const store::Table* table : store::kTables) {
        for (int i = 0; i < store::kCardFields; ++i) {
            if (*table->columns[static_cast<std::size_t>(i)].heading)
                kinds[table->columns[static_cast<std::size_t>(i)].heading] = kindOfColumn(*table, i);
        }
    }
    // A header of one table's column names means that table's Phone.
    std::vector<std::string> lower;
    for (const std::string& h : header)
        lower.push_back(text::asciiLower(text::trimmed(h)));
    const auto has = [&](const char* name) { return std::find(lower.begin(), lower.end(), name) != lower.end(); };
    const store::Table* layout = (has("line") || has("fax")) && !has("home") && !has("dept")   ? &store::kPersonalTable
                                 : (has("home") || has("dept")) && !has("line") && !has("fax") ? &store::kWorkTable
                                                                                               : nullptr;
    if (layout) {
        for (int i = 0; i < store::kCardFields; ++i)
            kinds[text::asciiLower(layout->columns[static_cast<std::size_t>(i)].name)] = kindOfColumn(*layout, i);
    }

    std::vector<Column> columns;
    for (std::size_t i = 0; i < header.size(); ++i) {
        Column c;
        c.header = std::string(text::trimmed(header[i]));
        const std::string& h = lower[i];
        if (const auto k = kinds.find(h); k != kinds.end())
            c.target = Target::Kind, c.kind = k->second;
        else if (h == "phone" || h == "other phone" || h == "telephone" || h == "primary phone" || h == "טלפון")
            c.target = Target::OtherNumber;
        else if (h == "first name" || h == "given name" || h == "שם פרטי")
            c.target = Target::FirstName;
        else if (h == "middle name" || h == "additional name")
            c.target = Target::MiddleName;
        else if (h == "last name" || h == "family name" || h == "surname" || h == "שם משפחה")
            c.target = Target::LastName;
        else if (const auto part = addressPart(h))
            c.target = Target::AddressPart, c.pair = part->first, c.part = part->second;
        else if (const auto p = numbered(h, "phone "); p && (p->second == "type" || p->second == "label"))
            c.target = Target::PairType, c.pair = p->first;
        else if (p && p->second == "value")
            c.target = Target::PairValue, c.pair = p->first;
        else if (const auto e = numbered(h, "e-mail "); e && e->second == "value")
            c.target = Target::Kind, c.kind = Kind::Email;
        else if (const auto a = numbered(h, "address "); a && a->second == "formatted")
            c.target = Target::Kind, c.kind = Kind::Address;
        else
            c.target = Target::Ignore;
        columns.push_back(std::move(c));
    }
    return columns;
}

void put(Card& card, Kind kind, const std::string& value, Notes& notes)
{
    if (card[kind].empty())
        card[kind] = value;
    else if (card[kind] != value)
        notes.add(std::string("CSV: more than one ") + describe(kind) + " on a card; kept the first");
}

// Several values in one field, as some address books write them: "a ::: b".
std::string firstOfSeveral(const std::string& value, Notes& notes)
{
    const auto at = value.find(" ::: ");
    if (at == std::string::npos)
        return value;
    notes.add("CSV: a field with several values (\" ::: \"); kept the first");
    return value.substr(0, at);
}

// The digits of a number, to tell one number written two ways.
std::string digitsOf(std::string_view number)
{
    std::string digits;
    for (const char c : number) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    return digits;
}

void putNumber(Card& card, const std::string& number, Notes& notes)
{
    // A "Primary Phone" or "Phone" column mostly repeats one of the card's
    // numbers of a kind; it takes a place only when it is another number.
    const std::string digits = digitsOf(text::dialable(number));
    for (const Kind k : {Kind::Home, Kind::Mobile, Kind::Work, Kind::Fax}) {
        if (!digits.empty() && digitsOf(text::dialable(card[k])) == digits)
            return;
    }
    for (const Kind k : {Kind::Home, Kind::Mobile, Kind::Work}) {
        if (card[k].empty()) {
            card[k] = number;
            notes.add("CSV: a number of no kind put in the first free of home, mobile and work");
            return;
        }
    }
    notes.add("CSV: a number of no kind dropped; home, mobile and work were taken");
}

bool needsQuotes(std::string_view v) { return v.find_first_of(",\"\r\n") != std::string_view::npos; }

void appendField(std::string& out, std::string_view v)
{
    const bool guarded = formulaAfterQuotes(v);
    if (!needsQuotes(v)) {
        if (guarded)
            out += '\'';
        out += v;
        return;
    }
    out += '"';
    if (guarded)
        out += '\'';
    for (const char c : v) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

const std::vector<std::pair<const char*, Kind>>& csvHeaderNames()
{
    static const std::vector<std::pair<const char*, Kind>> names = {
        {"name", Kind::Name},
        {"full name", Kind::Name},
        {"display name", Kind::Name},
        {"formatted name", Kind::Name},
        {"home phone", Kind::Home},
        {"home phone 2", Kind::Home},
        {"home telephone", Kind::Home},
        {"mobil", Kind::Mobile},
        {"mobile", Kind::Mobile},
        {"mobile phone", Kind::Mobile},
        {"mobile number", Kind::Mobile},
        {"cell phone", Kind::Mobile},
        {"cellular phone", Kind::Mobile},
        {"work phone", Kind::Work},
        {"business phone", Kind::Work},
        {"business phone 2", Kind::Work},
        {"company main phone", Kind::Work},
        {"fax", Kind::Fax},
        {"fax number", Kind::Fax},
        {"home fax", Kind::Fax},
        {"business fax", Kind::Fax},
        {"work fax", Kind::Fax},
        {"dept", Kind::Dept},
        {"department", Kind::Dept},
        {"address", Kind::Address},
        {"home address", Kind::Address},
        {"postal address", Kind::Address},
        {"business address", Kind::Address},
        {"work address", Kind::Address},
        {"email", Kind::Email},
        {"e-mail", Kind::Email},
        {"email address", Kind::Email},
        {"e-mail address", Kind::Email},
        {"primary email", Kind::Email},
        {"email home", Kind::Email},
        {"email work", Kind::Email},
        {"home email", Kind::Email},
        {"work email", Kind::Email},
        {"e-mail 2 address", Kind::Email},
        {"e-mail 3 address", Kind::Email},
        {"home mobile", Kind::Mobile},
        {"work mobile", Kind::Mobile},
        // As Hebrew address books and older Windows programs name them.
        {"שם", Kind::Name},
        {"שם מלא", Kind::Name},
        {"טלפון בבית", Kind::Home},
        {"טלפון נייד", Kind::Mobile},
        {"נייד", Kind::Mobile},
        {"טלפון בעבודה", Kind::Work},
        {"פקס", Kind::Fax},
        {"מחלקה", Kind::Dept},
        {"כתובת", Kind::Address},
        {"דואר אלקטרוני", Kind::Email},
        {"אימייל", Kind::Email},
    };
    return names;
}

ReadResult readCsv(std::string_view bytes, const ReadOptions& options)
{
    ReadResult result;
    const std::optional<std::string> converted = csvText(bytes, options, result.notes);
    const std::string_view text = converted ? std::string_view(*converted) : bytes;
    // A record a line at most: room for every card at once, so that the
    // cards are not moved (and held twice) as they grow in number.
    result.cards.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::vector<Column> columns;
    bool header = true;
    int number = 0;
    forEachRecord(text, separatorOf(text), [&](Record&& row) {
        if (header) {
            header = false;
            columns = columnsOf(row.fields);
            bool named = false;
            for (const Column& c : columns)
                named = named || (c.target == Target::Kind && c.kind == Kind::Name) || c.target == Target::FirstName ||
                        c.target == Target::LastName;
            if (!named)
                throw std::runtime_error("line 1: the header names no name field (such as Name, Full Name, "
                                         "Display Name, First Name or Last Name)");
            return;
        }
        Notes notes;
        Card& card = result.cards.emplace_back();
        card.number = ++number;
        card.line = row.line;
        std::string first, middle, last;
        std::map<int, std::pair<std::string, std::string>> pairs; // type, value
        std::vector<std::string> others;
        std::array<std::array<std::string, 3>, 3> addresses; // by place, by part
        for (std::size_t i = 0; i < row.fields.size(); ++i) {
            std::string& value = row.fields[i];
            if (value.empty())
                continue;
            if (i >= columns.size()) {
                notes.add("CSV: fields beyond the header's columns dropped");
                continue;
            }
            const Column& c = columns[i];
            switch (c.target) {
            case Target::Kind: put(card, c.kind, firstOfSeveral(value, notes), notes); break;
            case Target::OtherNumber: others.push_back(firstOfSeveral(value, notes)); break;
            case Target::FirstName: first = std::move(value); break;
            case Target::MiddleName: middle = std::move(value); break;
            case Target::LastName: last = std::move(value); break;
            case Target::PairType: pairs[c.pair].first = text::asciiLower(value); break;
            case Target::PairValue: pairs[c.pair].second = firstOfSeveral(value, notes); break;
            case Target::AddressPart:
                addresses[static_cast<std::size_t>(c.pair)][static_cast<std::size_t>(c.part)] = std::move(value);
                break;
            case Target::Ignore:
                notes.add("CSV: column \"" + text::shown(c.header) + "\" dropped; Numora keeps no such field");
                break;
            }
        }
        if (card[Kind::Name].empty()) {
            for (const std::string* part : {&first, &middle, &last}) {
                if (!part->empty())
                    card[Kind::Name] += (card[Kind::Name].empty() ? "" : " ") + *part;
            }
        }
        for (const auto& parts : addresses) {
            std::string address;
            for (const std::string& part : parts) {
                if (!text::trimmed(part).empty())
                    address += (address.empty() ? "" : ", ") + std::string(text::trimmed(part));
            }
            if (!address.empty())
                put(card, Kind::Address, address, notes);
        }
        for (const auto& [n, pair] : pairs) {
            const auto& [type, value] = pair;
            if (value.empty())
                continue;
            if (type.find("fax") != std::string::npos)
                put(card, Kind::Fax, value, notes);
            else if (type.find("mobile") != std::string::npos || type.find("cell") != std::string::npos)
                put(card, Kind::Mobile, value, notes);
            else if (type.find("home") != std::string::npos)
                put(card, Kind::Home, value, notes);
            else if (type.find("work") != std::string::npos)
                put(card, Kind::Work, value, notes);
            else
                others.push_back(value);
        }
        for (const std::string& value : others)
            putNumber(card, value, notes);
        result.notes.addCard(notes);
    });
    if (header)
        throw std::runtime_error("the file is empty; a CSV file starts with a header naming its fields");
    return result;
}

std::string csvHeader(const store::Table& table)
{
    // Names other address books take in; "Business Fax" or "Department" by
    // what the group's fifth field holds.
    std::string out;
    for (int i = 0; i < store::kCardFields; ++i) {
        static constexpr const char* names[] = {"Name",         "Home Phone", "Mobile Phone", "Business Phone",
                                                "Business Fax", "Department", "Address",      "E-mail Address"};
        const Kind kind = kindOfColumn(table, i);
        out += i ? "," : "";
        out += names[static_cast<std::size_t>(kind)];
    }
    return out + "\r\n";
}

std::string writeCsv(std::span<const Card> cards, const store::Table& table, bool withHeader)
{
    std::string out = withHeader ? csvHeader(table) : std::string();
    out.reserve(out.size() + cards.size() * 120);
    for (const Card& card : cards) {
        for (int i = 0; i < store::kCardFields; ++i) {
            if (i)
                out += ',';
            appendField(out, card[kindOfColumn(table, i)]);
        }
        out += "\r\n";
    }
    return out;
}

} // namespace numora::exchange
