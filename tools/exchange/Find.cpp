#include "tools/exchange/Find.h"

#include <algorithm>

#include "tools/exchange/Text.h"

namespace numora::exchange {
namespace {

constexpr Kind kSearched[] = {Kind::Name, Kind::Home, Kind::Mobile, Kind::Work, Kind::Fax, Kind::Address, Kind::Email};
constexpr Kind kNumbers[] = {Kind::Home, Kind::Mobile, Kind::Work, Kind::Fax};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '-' || c == '.' || c == '/' || c == '(' || c == ')'; }

// The digits of a number, an international Israeli one in its national form.
std::string nationalDigits(std::string_view number)
{
    std::string digits;
    for (const char c : number) {
        if (isDigit(c))
            digits += c;
    }
    const std::string_view trimmed = text::trimmed(number);
    if (trimmed.starts_with('+') && digits.starts_with("972"))
        return "0" + digits.substr(3);
    if (digits.starts_with("00972"))
        return "0" + digits.substr(5);
    return digits;
}

// Whether the text is written as a number: digits, the separators numbers
// are written with, and at most a leading +.
bool isNumber(std::string_view text)
{
    text = text::trimmed(text);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    return std::any_of(text.begin(), text.end(), isDigit) &&
           std::all_of(text.begin(), text.end(), [](char c) { return isDigit(c) || isSeparator(c); });
}

} // namespace

bool cardHolds(const Card& card, std::string_view wanted)
{
    const std::string lowered = text::asciiLower(text::trimmed(wanted));
    if (lowered.empty())
        return false;
    for (const Kind kind : kSearched) {
        if (text::asciiLower(card[kind]).find(lowered) != std::string::npos)
            return true;
    }
    if (!isNumber(wanted))
        return false;
    const std::string digits = nationalDigits(wanted);
    return std::any_of(std::begin(kNumbers), std::end(kNumbers),
                       [&](Kind kind) { return nationalDigits(card[kind]).find(digits) != std::string::npos; });
}

std::vector<Card> findCards(const std::string& database, const store::Table& table, std::string_view text)
{
    std::vector<Card> cards = readGroup(database, table);
    std::erase_if(cards, [&](const Card& card) { return !cardHolds(card, text); });
    return cards;
}

} // namespace numora::exchange
