#include "platform/ado/Filter.h"

#include "platform/odbc/Text.h"

namespace numora::ado::detail {
namespace {

using odbc::equalsIgnoringLatinCase;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }

bool isWildcard(char c) { return c == '*' || c == '%'; }

void skipSpaces(std::string_view s, std::size_t& i)
{
    while (i < s.size() && isSpace(s[i]))
        ++i;
}

} // namespace

std::optional<LikeFilter> parseLikeFilter(std::string_view s, const std::vector<std::string>& fieldNames)
{
    std::size_t i = 0;
    skipSpaces(s, i);

    // The field: a plain name or one in brackets.
    std::string_view field;
    if (i < s.size() && s[i] == '[') {
        const auto close = s.find(']', i + 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        field = s.substr(i + 1, close - i - 1);
        i = close + 1;
    } else {
        const std::size_t start = i;
        if (i >= s.size() || !isNameStart(s[i]))
            return std::nullopt;
        while (i < s.size() && isNameChar(s[i]))
            ++i;
        field = s.substr(start, i - start);
    }

    LikeFilter f;
    bool found = false;
    for (std::size_t c = 0; c < fieldNames.size() && !found; ++c) {
        if (equalsIgnoringLatinCase(fieldNames[c], field)) {
            f.column = c;
            found = true;
        }
    }
    if (!found || field.empty())
        return std::nullopt;

    // The operator, with space on both sides.
    if (i >= s.size() || !isSpace(s[i]))
        return std::nullopt;
    skipSpaces(s, i);
    if (s.size() - i < 4 || !equalsIgnoringLatinCase(s.substr(i, 4), "like"))
        return std::nullopt;
    i += 4;
    if (i >= s.size() || !isSpace(s[i]))
        return std::nullopt;
    skipSpaces(s, i);

    // The quoted pattern; '' stands for one quote.
    if (i >= s.size() || s[i] != '\'')
        return std::nullopt;
    ++i;
    std::string pattern;
    bool closed = false;
    while (i < s.size()) {
        if (s[i] == '\'') {
            if (i + 1 < s.size() && s[i + 1] == '\'') {
                pattern += '\'';
                i += 2;
                continue;
            }
            closed = true;
            ++i;
            break;
        }
        pattern += s[i++];
    }
    if (!closed)
        return std::nullopt;
    skipSpaces(s, i);
    if (i != s.size())
        return std::nullopt;

    // Only a trailing wildcard is understood; one anywhere else is refused.
    std::size_t end = pattern.size();
    while (end > 0 && isWildcard(pattern[end - 1]))
        --end;
    for (std::size_t k = 0; k < end; ++k) {
        if (isWildcard(pattern[k]))
            return std::nullopt;
    }
    f.prefix = end < pattern.size();
    pattern.resize(end);
    f.text = std::move(pattern);
    return f;
}

bool likeMatches(const LikeFilter& filter, std::string_view value)
{
    if (filter.prefix) {
        if (value.size() < filter.text.size())
            return false;
        value = value.substr(0, filter.text.size());
    }
    return equalsIgnoringLatinCase(filter.text, value);
}

} // namespace numora::ado::detail
