#include "tools/exchange/Text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace numora::exchange::text {

std::string systemError(const std::string& path, const char* what)
{
    return path + ": " + what + ": " + std::strerror(errno);
}

bool isUtf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        int more = 0;
        unsigned int cp = 0;
        if (c < 0x80) {
            ++p;
            while (p < end && *p < 0x80) // most text of an address book is ASCII
                ++p;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1;
            cp = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            cp = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3Fu);
        }
        static const unsigned int smallest[] = {0, 0x80, 0x800, 0x10000};
        if (cp < smallest[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += more + 1;
    }
    return true;
}

namespace {

// The Latin letters from..from+25 moved to to..to+25.
std::string latinCase(std::string_view s, char from, char to)
{
    std::string out(s);
    for (char& c : out) {
        if (c >= from && c <= from + 25)
            c = static_cast<char>(c - from + to);
    }
    return out;
}

} // namespace

std::string asciiLower(std::string_view s) { return latinCase(s, 'A', 'a'); }
std::string asciiUpper(std::string_view s) { return latinCase(s, 'a', 'A'); }

bool equalsIgnoringCase(std::string_view a, std::string_view lower)
{
    if (a.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (c != lower[i])
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

namespace {

// The length of the character at s[i] when it is one that printable() shows
// by its number (a C1 control or a bidi override or isolate), else 0.
std::size_t hiddenAt(std::string_view s, std::size_t i)
{
    const auto at = [&](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    if (at(i) == 0xC2 && at(i + 1) >= 0x80 && at(i + 1) <= 0x9F)
        return 2;
    if (at(i) == 0xE2 && at(i + 1) == 0x80 && at(i + 2) >= 0xAA && at(i + 2) <= 0xAE)
        return 3; // U+202A..U+202E
    if (at(i) == 0xE2 && at(i + 1) == 0x81 && at(i + 2) >= 0xA6 && at(i + 2) <= 0xA9)
        return 3; // U+2066..U+2069
    return 0;
}

// The length of the blank at s[i] (a space, a no-break or other Unicode
// space, a zero-width space or a byte-order mark), else 0.
std::size_t blankAt(std::string_view s, std::size_t i)
{
    if (i >= s.size())
        return 0;
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead == ' ')
        return 1;
    if (lead != 0xC2 && lead != 0xE1 && lead != 0xE2 && lead != 0xE3 && lead != 0xEF)
        return 0;
    static constexpr std::string_view blanks[] = {" ",
                                                  "\xC2\xA0",     // no-break space
                                                  "\xE1\x9A\x80", // ogham space mark
                                                  "\xE2\x80\x80",
                                                  "\xE2\x80\x81",
                                                  "\xE2\x80\x82",
                                                  "\xE2\x80\x83",
                                                  "\xE2\x80\x84",
                                                  "\xE2\x80\x85",
                                                  "\xE2\x80\x86",
                                                  "\xE2\x80\x87",
                                                  "\xE2\x80\x88",
                                                  "\xE2\x80\x89",
                                                  "\xE2\x80\x8A", // en quad .. hair space
                                                  "\xE2\x80\x8B", // zero-width space
                                                  "\xE2\x80\xA8",
                                                  "\xE2\x80\xA9", // line and paragraph separators
                                                  "\xE2\x80\xAF",
                                                  "\xE2\x81\x9F",
                                                  "\xE3\x80\x80",
                                                  "\xEF\xBB\xBF"};
    for (const std::string_view b : blanks) {
        if (s.substr(i, b.size()) == b)
            return b.size();
    }
    return 0;
}

std::size_t blankBefore(std::string_view s)
{
    for (std::size_t n = 1; n <= 3 && n <= s.size(); ++n) {
        if (blankAt(s, s.size() - n) == n)
            return n;
    }
    return 0;
}

} // namespace

std::string printable(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto u = static_cast<unsigned char>(s[i]);
        char hex[16];
        if (u < 0x20 || u == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else if (const std::size_t n = hiddenAt(s, i)) {
            const unsigned int cp = n == 2 ? (u & 0x1Fu) << 6 | (s[i + 1] & 0x3Fu)
                                           : (u & 0x0Fu) << 12 | (s[i + 1] & 0x3Fu) << 6 | (s[i + 2] & 0x3Fu);
            std::snprintf(hex, sizeof hex, "\\u{%04X}", cp);
            out += hex;
            i += n - 1;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string shown(std::string_view value)
{
    constexpr std::size_t kLongest = 60;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if ((static_cast<unsigned char>(value[i]) & 0xC0) != 0x80 && ++characters > kLongest)
            return printable(value.substr(0, i)) + "...";
    }
    return printable(value);
}

std::optional<std::string> toUtf8(std::string_view bytes, const std::string& charset)
{
    const std::string lower = asciiLower(charset);
    if (lower.empty() || lower == "utf-8" || lower == "utf8" || lower == "us-ascii")
        return std::string(bytes);
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    bool ok = iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
    // Some converters hold the last letter back in case a combining mark
    // follows (Windows-1255, Windows-1258); this lets it out.
    ok = ok && iconv(cd, nullptr, nullptr, &to, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::optional<std::string> decodedFile(std::string_view& bytes, const std::string& encoding)
{
    std::string from = encoding;
    if (from.empty() && (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")))
        from = "UTF-16"; // which takes its byte order from the mark
    if (from.empty() || asciiLower(from) == "utf-8" || asciiLower(from) == "utf8") {
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        return std::nullopt;
    }
    std::optional<std::string> text = toUtf8(bytes, from);
    if (!text) {
        if (const iconv_t cd = iconv_open("UTF-8", from.c_str()); cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("the encoding " + printable(from) + " is not known");
        else
            iconv_close(cd);
        throw std::runtime_error("the file is not " + printable(from) + " text");
    }
    if (text->starts_with("\xEF\xBB\xBF"))
        text->erase(0, 3);
    return text;
}

std::optional<std::string> base64Decoded(std::string_view v)
{
    std::string out;
    out.reserve(v.size() / 4 * 3 + 3);
    unsigned int bits = 0;
    int count = 0;
    bool padded = false;
    for (const char c : v) {
        int digit = -1;
        if (c >= 'A' && c <= 'Z')
            digit = c - 'A';
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            digit = c - '0' + 52;
        else if (c == '+')
            digit = 62;
        else if (c == '/')
            digit = 63;
        else if (c == '=')
            padded = true;
        else if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return std::nullopt;
        if (digit < 0)
            continue;
        if (padded)
            return std::nullopt;
        bits = (bits << 6) | static_cast<unsigned int>(digit);
        if (++count == 4) {
            out += static_cast<char>(bits >> 16);
            out += static_cast<char>(bits >> 8);
            out += static_cast<char>(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1)
        return std::nullopt;
    if (count == 2)
        out += static_cast<char>(bits >> 4);
    if (count == 3) {
        out += static_cast<char>(bits >> 10);
        out += static_cast<char>(bits >> 2);
    }
    return out;
}

std::string cleaned(std::string_view value, bool keepLineBreaks, bool& dropped)
{
    // Most values are plain printable ASCII: trimmed of spaces, and done.
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
        const std::size_t first = value.find_first_not_of(' ');
        return first == std::string_view::npos
                   ? std::string()
                   : std::string(value.substr(first, value.find_last_not_of(' ') + 1 - first));
    }
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto u = static_cast<unsigned char>(value[i]);
        const bool lineEnd = u == '\r' || u == '\n';
        if (lineEnd && keepLineBreaks) {
            out += value[i];
        } else if (lineEnd || u == '\t') {
            dropped = true;
            if (u == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            out += ' ';
        } else if (u < 0x20 || u == 0x7F) {
            dropped = true;
        } else if (u == 0xC2 && i + 1 < value.size() && static_cast<unsigned char>(value[i + 1]) <= 0x9F) {
            dropped = true; // a C1 control
            ++i;
        } else {
            out += value[i];
        }
    }
    std::size_t from = 0;
    while (const std::size_t n = blankAt(out, from))
        from += n;
    std::string_view kept = std::string_view(out).substr(from);
    while (const std::size_t n = blankBefore(kept))
        kept.remove_suffix(n);
    return std::string(kept);
}

std::string dialable(std::string_view number)
{
    std::string compact;
    for (const char c : number) {
        if (c == ' ' || c == '\t' || c == '.' || c == '/' || c == '(' || c == ')' || c == '[' || c == ']')
            continue;
        if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '*' || c == '#'))
            return std::string(number);
        compact += c;
    }
    std::string_view rest = compact;
    if (rest.starts_with("+972"))
        rest.remove_prefix(4);
    else if (rest.starts_with("00972"))
        rest.remove_prefix(5);
    else
        return compact;
    std::string digits;
    for (const char c : rest) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c != '-')
            return compact;
    }
    if (digits.starts_with('0')) // "+972 (0)3 ...": the trunk 0 written as well
        digits.erase(0, 1);
    if (digits.size() < 2)
        return compact;
    if (digits.front() == '1') // 1-700, 1-800: dialled without a 0
        return digits;
    const std::size_t area = digits.front() == '5' || digits.front() == '7' ? 2 : 1;
    return "0" + digits.substr(0, area) + "-" + digits.substr(area);
}

// Appends the content line folded at 75 octets, never inside a character.
void appendFolded(std::string& out, std::string_view line)
{
    std::size_t limit = 75;
    while (line.size() > limit) {
        std::size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        limit = 74; // the leading space of the next line counts
    }
    out.append(line);
    out += "\r\n";
}

} // namespace numora::exchange::text
