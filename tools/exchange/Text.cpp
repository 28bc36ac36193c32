#include "tools/exchange/Text.h"

#include <cstdio>

namespace numora::exchange::text {

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

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string printable(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace numora::exchange::text
