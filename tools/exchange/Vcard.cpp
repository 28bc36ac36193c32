// vCard: written as 4.0; read as 3.0 and 4.0, and as the older phones write
// it (bare TYPE values, QUOTED-PRINTABLE values broken over lines with a
// trailing '=', values in a CHARSET other than UTF-8).

#include "tools/exchange/Exchange.h"
#include "tools/exchange/Text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <stdexcept>

namespace numora::exchange {
namespace {

// ---- reading ------------------------------------------------------------------

struct Property {
    std::string name;                                        // upper case, without its group ("item1.")
    std::vector<std::pair<std::string, std::string>> params; // upper-case name, one value each
    std::string value;
    int line = 0;

    bool has(std::string_view key, std::string_view lowerValue) const
    {
        for (const auto& [n, v] : params) {
            if (n == key && text::equalsIgnoringCase(v, lowerValue))
                return true;
        }
        return false;
    }
    std::string_view param(std::string_view key) const
    {
        for (const auto& [n, v] : params) {
            if (n == key)
                return v;
        }
        return {};
    }
};

// The part of a content line before its value.
std::string_view headOf(std::string_view line)
{
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return line.substr(0, i);
    }
    return {};
}

struct Logical {
    std::string text;
    int line;
};

// Whether a logical line's value is quoted-printable, learnt from its head
// as the head's physical lines arrive, so that a value folded over many
// lines is scanned once, not once for every line it gains.
class HeadScan {
public:
    void restart() { *this = HeadScan(); }
    // Reads what the logical line gained since the last call.
    void follow(const std::string& line)
    {
        for (; !done_ && scanned_ < line.size(); ++scanned_) {
            if (line[scanned_] == '"')
                quoted_ = !quoted_;
            else if (line[scanned_] == ':' && !quoted_)
                done_ = true;
        }
        if (done_ && !decided_) {
            decided_ = true;
            constexpr std::string_view encoding = "quoted-printable";
            const std::string_view head(line.data(), scanned_);
            quotedPrintable_ =
                std::search(head.begin(), head.end(), encoding.begin(), encoding.end(), [](char a, char b) {
                    return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
                }) != head.end();
        }
    }
    bool quotedPrintable() const { return quotedPrintable_; }

private:
    std::size_t scanned_ = 0;
    bool quoted_ = false;
    bool done_ = false;
    bool decided_ = false;
    bool quotedPrintable_ = false;
};

// Calls take with each content line of the text in turn: folded lines
// joined again, and so are the lines of a quoted-printable value that end in
// its soft break '='. A line ends in LF, CR LF, a lone CR, or the CR CR LF
// some phones write.
template <typename Take>
void forEachContentLine(std::string_view text, Take take)
{
    Logical current{{}, 0};
    HeadScan head;
    bool softBreak = false;
    int number = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const std::string_view line = text.substr(pos, end - pos);
        if (text.substr(end, 3) == "\r\r\n")
            pos = end + 3;
        else if (text.substr(end, 2) == "\r\n")
            pos = end + 2;
        else
            pos = end + 1;
        ++number;
        const bool started = current.line > 0;
        if (started && softBreak) {
            current.text.pop_back();
            current.text += line;
        } else if (started && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            current.text += line.substr(1);
        } else if (!line.empty()) {
            if (started)
                take(current);
            current.text.assign(line);
            current.line = number;
            head.restart();
        } else {
            continue;
        }
        head.follow(current.text);
        softBreak = !current.text.empty() && current.text.back() == '=' && head.quotedPrintable();
    }
    if (current.line > 0)
        take(current);
}

std::string unquoted(std::string_view v)
{
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// Calls part with each piece of s between the seps that stand outside
// double quotes; no list of the pieces is built.
template <typename Part>
void forEachOutsideQuotes(std::string_view s, char sep, Part part)
{
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        else if (s[i] == sep && !quoted) {
            part(s.substr(start, i - start));
            start = i + 1;
        }
    }
    part(s.substr(start));
}

// Reads a content line into p, which keeps the room it had for the last
// line's name, parameters and value; false when the line has no ':'.
bool parseLine(const Logical& logical, Property& p)
{
    const std::string_view line = logical.text;
    const std::string_view head = headOf(line);
    if (head.empty())
        return false;
    p.line = logical.line;
    p.value.assign(line.substr(head.size() + 1));
    p.params.clear();
    bool first = true;
    forEachOutsideQuotes(head, ';', [&](std::string_view param) {
        if (first) {
            first = false;
            if (const auto dot = param.rfind('.'); dot != std::string_view::npos)
                param.remove_prefix(dot + 1);
            p.name = text::asciiUpper(text::trimmed(param));
            return;
        }
        const auto eq = param.find('=');
        std::string key =
            eq == std::string_view::npos ? std::string() : text::asciiUpper(text::trimmed(param.substr(0, eq)));
        const std::string_view values = eq == std::string_view::npos ? param : param.substr(eq + 1);
        if (key.empty()) {
            // Older phones write a parameter's value alone: HOME, QUOTED-PRINTABLE.
            const std::string bare = text::asciiLower(text::trimmed(values));
            key = (bare == "quoted-printable" || bare == "base64" || bare == "8bit" || bare == "7bit" || bare == "b")
                      ? "ENCODING"
                      : "TYPE";
        }
        forEachOutsideQuotes(values, ',', [&](std::string_view v) {
            const std::string value = unquoted(text::trimmed(v));
            if (key != "TYPE") {
                p.params.emplace_back(key, value);
                return;
            }
            // 4.0 may quote a list of types as one value: TYPE="voice,home".
            forEachOutsideQuotes(value, ',', [&](std::string_view type) {
                p.params.emplace_back(key, std::string(text::trimmed(type)));
            });
        });
    });
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string quotedPrintableDecoded(std::string_view v)
{
    std::string out;
    out.reserve(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '=' && i + 2 < v.size() && hexDigit(v[i + 1]) >= 0 && hexDigit(v[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(v[i + 1]) * 16 + hexDigit(v[i + 2]));
            i += 2;
        } else if (v[i] == '=' && i + 1 == v.size()) {
            break; // a soft break at the very end
        } else {
            out += v[i];
        }
    }
    return out;
}

// A text value with its backslash escapes undone.
std::string unescaped(std::string_view v)
{
    std::string out;
    out.reserve(v.size());
    for (std::size_t slash; (slash = v.find('\\')) != std::string_view::npos && slash + 1 < v.size();
         v.remove_prefix(slash + 2)) {
        out.append(v.substr(0, slash));
        const char next = v[slash + 1];
        if (next == 'n' || next == 'N')
            out += '\n';
        else if (next == '\\' || next == ',' || next == ';' || next == ':')
            out += next;
        else
            out += {'\\', next};
    }
    out.append(v);
    return out;
}

// The components of a structured value (N, ADR, ORG), each unescaped.
std::vector<std::string> components(std::string_view v)
{
    std::vector<std::string> parts;
    parts.reserve(7); // as many as an address has
    std::size_t start = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\')
            ++i;
        else if (v[i] == ';') {
            parts.push_back(unescaped(v.substr(start, i - start)));
            start = i + 1;
        }
    }
    parts.push_back(unescaped(v.substr(std::min(start, v.size()))));
    return parts;
}

std::string joined(const std::vector<std::string>& parts, std::size_t from, std::size_t to, const char* separator)
{
    std::string out;
    for (std::size_t i = from; i < std::min(to, parts.size()); ++i) {
        const std::string_view part = text::trimmed(parts[i]);
        if (part.empty())
            continue;
        if (!out.empty())
            out += separator;
        out += part;
    }
    return out;
}

// One of several values of a kind; the most preferred wins, then the first.
struct Candidate {
    std::string value;
    int preference = 100;
};

int preferenceOf(const Property& p)
{
    int preference = 100;
    if (p.has("TYPE", "pref"))
        preference = 1;
    if (const std::string pref(p.param("PREF")); !pref.empty()) {
        try {
            preference = std::stoi(pref);
        } catch (const std::exception&) {
        }
    }
    return preference;
}

std::string chosen(std::vector<Candidate>& candidates, Notes& notes, const char* what)
{
    if (candidates.empty())
        return {};
    if (candidates.size() > 1)
        notes.add(std::string("vCard: more than one ") + what + " on a card; kept the preferred one, else the first");
    return std::move(std::min_element(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
                         return a.preference < b.preference;
                     })->value);
}

// Properties that say nothing about the person, read without a word.
bool isBookkeeping(std::string_view name)
{
    return name == "VERSION" || name == "PRODID" || name == "REV" || name == "UID" || name == "KIND" ||
           name == "X-ABUID" || name == "N";
}

class CardReader {
public:
    CardReader(ReadResult& result, int number, int line, const std::string& fallback, bool wholeFileConverted)
        : result_(result), number_(number), line_(line), fallback_(fallback), wholeFileConverted_(wholeFileConverted)
    {
    }

    void take(const Property& p)
    {
        const std::string_view name = p.name;
        const bool wanted =
            name == "FN" || name == "N" || name == "TEL" || name == "EMAIL" || name == "ADR" || name == "ORG";
        if (!wanted) {
            if (!isBookkeeping(name))
                notes_.add("vCard: " + text::shown(p.name) + " dropped; Numora keeps no such field");
            return;
        }
        // The value as written, until decoding or a charset makes another of it.
        std::string_view value = p.value;
        std::string made;
        const std::string encoding = text::asciiLower(p.param("ENCODING"));
        const bool encoded = encoding == "quoted-printable" || encoding == "b" || encoding == "base64";
        if (encoding == "quoted-printable") {
            value = made = quotedPrintableDecoded(value);
        } else if (encoded) {
            std::optional<std::string> decoded = text::base64Decoded(value);
            if (!decoded) {
                failure_ = "line " + std::to_string(p.line) + ": the " + p.name + " value is not valid base64";
                return;
            }
            value = made = std::move(*decoded);
        }
        // A file converted whole is UTF-8 text already; only the bytes an
        // encoding hid are still in the value's own charset.
        std::string charset(encoded || !wholeFileConverted_ ? p.param("CHARSET") : std::string_view());
        const bool utf8 = text::isUtf8(value);
        if (charset.empty() && !utf8) {
            charset = fallback_;
            notes_.add("vCard: 8-bit text with no CHARSET read as " + fallback_);
        }
        if (!charset.empty() || !utf8) {
            std::optional<std::string> converted = text::toUtf8(value, charset);
            if (!converted || !text::isUtf8(*converted)) {
                failure_ = "line " + std::to_string(p.line) + ": the " + p.name + " value is not valid " +
                           (charset.empty() ? std::string("UTF-8") : text::printable(charset)) + " text";
                return;
            }
            value = made = std::move(*converted);
        }

        if (name == "FN") {
            if (name_.empty())
                name_ = unescaped(value);
        } else if (name == "N") {
            // family; given; additional; prefixes; suffixes
            const auto n = components(value);
            std::vector<std::string> order;
            for (const std::size_t i : {3u, 1u, 2u, 0u, 4u}) {
                if (i < n.size())
                    order.push_back(n[i]);
            }
            nameFromN_ = joined(order, 0, order.size(), " ");
        } else if (name == "TEL") {
            std::string number = unescaped(value);
            if (text::equalsIgnoringCase(std::string_view(number).substr(0, 4), "tel:"))
                number.erase(0, 4);
            Candidate c{std::move(number), preferenceOf(p)};
            if (p.has("TYPE", "fax"))
                fax_.push_back(std::move(c));
            else if (p.has("TYPE", "cell") || p.has("TYPE", "mobile") || p.has("TYPE", "iphone"))
                mobile_.push_back(std::move(c));
            else if (p.has("TYPE", "home"))
                home_.push_back(std::move(c));
            else if (p.has("TYPE", "work"))
                work_.push_back(std::move(c));
            else
                other_.push_back(std::move(c));
        } else if (name == "EMAIL") {
            email_.push_back({unescaped(value), preferenceOf(p)});
        } else if (name == "ADR") {
            address_.push_back({joined(components(value), 0, 7, ", "), preferenceOf(p)});
        } else if (name == "ORG") {
            const auto org = components(value);
            organisation_ = org.empty() ? std::string() : std::string(text::trimmed(org[0]));
            department_ = joined(org, 1, org.size(), ", ");
        }
    }

    int line() const { return line_; }
    std::string name() const { return !name_.empty() ? name_ : nameFromN_; }

    void finish()
    {
        Card card;
        card.number = number_;
        card.line = line_;
        card[Kind::Name] = !name_.empty() ? name_ : !nameFromN_.empty() ? nameFromN_ : organisation_;
        if (failure_) {
            result_.unreadable.push_back({number_, line_, card[Kind::Name], *failure_});
            return;
        }
        Notes& notes = notes_;
        if (!organisation_.empty() && card[Kind::Name] != organisation_)
            notes.add("vCard: ORG organisation name dropped; only its unit is kept, as the department");
        card[Kind::Home] = chosen(home_, notes, "home number");
        card[Kind::Mobile] = chosen(mobile_, notes, "mobile number");
        card[Kind::Work] = chosen(work_, notes, "work number");
        card[Kind::Fax] = chosen(fax_, notes, "fax number");
        card[Kind::Email] = chosen(email_, notes, "e-mail address");
        card[Kind::Address] = chosen(address_, notes, "address");
        card[Kind::Dept] = std::move(department_);
        // A number of no kind takes the first free of home, mobile and work.
        std::stable_sort(other_.begin(), other_.end(),
                         [](const Candidate& a, const Candidate& b) { return a.preference < b.preference; });
        for (const Candidate& c : other_) {
            std::string* free = nullptr;
            for (const Kind k : {Kind::Home, Kind::Mobile, Kind::Work}) {
                if (card[k].empty()) {
                    free = &card[k];
                    break;
                }
            }
            if (free) {
                *free = c.value;
                notes.add(
                    "vCard: TEL of no home, cell, work or fax type put in the first free of home, mobile and work");
            } else {
                notes.add("vCard: TEL of no home, cell, work or fax type dropped; home, mobile and work were taken");
            }
        }
        result_.notes.addCard(notes);
        result_.cards.push_back(std::move(card));
    }

private:
    ReadResult& result_;
    int number_;
    int line_;
    const std::string& fallback_;
    bool wholeFileConverted_;
    Notes notes_;
    std::optional<std::string> failure_;
    std::string name_, nameFromN_, organisation_, department_;
    std::vector<Candidate> home_, mobile_, work_, fax_, other_, email_, address_;
};

// ---- writing ------------------------------------------------------------------

using text::appendFolded;

// A value escaped as a text, or as one component of a structured value.
std::string escaped(std::string_view v, bool component, bool& leftOut)
{
    std::string out;
    out.reserve(v.size() + 8);
    for (std::size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (c == '\\' || c == ',' || (component && c == ';')) {
            out += '\\';
            out += c;
        } else if (c == '\r' || c == '\n') {
            out += "\\n";
            if (c == '\r' && i + 1 < v.size() && v[i + 1] == '\n')
                ++i;
        } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            leftOut = true;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

ReadResult readVcard(std::string_view bytes, const ReadOptions& options)
{
    const std::optional<std::string> decoded = text::decodedFile(bytes, options.encoding);
    const bool converted = decoded.has_value();
    const std::string fallback = options.encoding.empty() ? std::string("windows-1255") : options.encoding;
    ReadResult result;
    // Room for every card at once, so that the cards are not moved (and held
    // twice) as they grow in number.
    const std::string_view text = decoded ? std::string_view(*decoded) : bytes;
    std::size_t begins = 0;
    for (std::size_t at = text.find("BEGIN:"); at != std::string_view::npos; at = text.find("BEGIN:", at + 6))
        ++begins;
    result.cards.reserve(begins);
    std::optional<CardReader> card;
    int depth = 0;
    int cards = 0;
    std::string previous; // the name of the card's last property
    std::size_t notUnderstood = 0;
    const auto unterminated = [&](const std::string& why) {
        result.unreadable.push_back({cards, card->line(), card->name(), why});
        card.reset();
    };
    Property property; // one for every line, so that its room is made once
    forEachContentLine(text, [&](const Logical& line) {
        if (!parseLine(line, property)) {
            notUnderstood += card.has_value();
            return;
        }
        const auto isVcard = [&] { return text::equalsIgnoringCase(text::trimmed(property.value), "vcard"); };
        if (std::string_view(property.name) == "BEGIN" && isVcard()) {
            // Only an AGENT property holds a card inside a card; any other
            // BEGIN:VCARD means the open card lost its END:VCARD.
            if (depth > 0 && !(depth == 1 && previous == "AGENT")) {
                if (card)
                    unterminated("the card has no END:VCARD; the next card begins at line " +
                                 std::to_string(property.line));
                depth = 0;
            }
            if (depth++ == 0)
                card.emplace(result, ++cards, property.line, fallback, converted);
            else
                result.notes.add("vCard: a card inside a card (AGENT) dropped");
            previous.clear();
            return;
        }
        if (std::string_view(property.name) == "END" && depth > 0 && isVcard()) {
            if (--depth == 0) {
                card->finish();
                card.reset();
            }
            return;
        }
        if (card && depth == 1) {
            card->take(property);
            previous = property.name;
        }
    });
    if (card)
        unterminated("the card has no END:VCARD; the file ends inside it");
    if (notUnderstood > 0)
        result.notes.add("vCard: lines without a field name and a ':' skipped");
    if (cards == 0)
        throw std::runtime_error("no vCard in the file (no BEGIN:VCARD line)");
    return result;
}

std::string writeVcard(std::span<const Card> cards, const store::Table& table, Notes& notes,
                       const WriteOptions& options)
{
    const bool work = &table == &store::kWorkTable;
    const std::string begin = "BEGIN:VCARD\r\nVERSION:" + options.vcardVersion + "\r\n";
    std::string out;
    out.reserve(cards.size() * 200);
    for (const Card& card : cards) {
        bool leftOut = false;
        out += begin;
        // The directory keeps a name whole; readers that sort or show by N
        // (and every 3.0 reader, which needs N) find it as the family name.
        appendFolded(out, "N:" + escaped(card[Kind::Name], true, leftOut) + ";;;;");
        appendFolded(out, "FN:" + escaped(card[Kind::Name], false, leftOut));
        const std::pair<Kind, const char*> numbers[] = {
            {Kind::Home, "home"}, {Kind::Mobile, "cell"}, {Kind::Work, "work"}, {Kind::Fax, "fax"}};
        for (const auto& [kind, type] : numbers) {
            if (!card[kind].empty() && (kind != Kind::Fax || !work))
                appendFolded(out, std::string("TEL;TYPE=") + type + ":" + escaped(card[kind], false, leftOut));
        }
        if (work && !card[Kind::Dept].empty())
            appendFolded(out, "ORG:;" + escaped(card[Kind::Dept], true, leftOut));
        if (!card[Kind::Address].empty())
            appendFolded(out, "ADR:;;" + escaped(card[Kind::Address], true, leftOut) + ";;;;");
        if (!card[Kind::Email].empty())
            appendFolded(out, "EMAIL:" + escaped(card[Kind::Email], false, leftOut));
        out += "END:VCARD\r\n";
        if (leftOut)
            notes.add("vCard: control characters left out of a card's fields; a vCard cannot carry them");
    }
    return out;
}

} // namespace numora::exchange
