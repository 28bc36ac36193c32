#include "platform/odbc/Text.h"

namespace numora::odbc {
namespace {

char foldLatin(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr std::string_view kBlanks = " \t\r\n";

} // namespace

bool equalsIgnoringLatinCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldLatin(a[i]) != foldLatin(b[i]))
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

} // namespace numora::odbc
