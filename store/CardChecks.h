#pragma once
// The checks every card passes before it is stored, whoever stores it: the
// record editor for a typed card, the database tool for an imported one. A
// card is its seven texts in the order of the table description
// (store/Tables.h), each already trimmed of its surrounding blanks.
//
// Plain constant data and functions over UTF-8 text, so that programs
// without Qt (the database tool) run the same checks.

#include <array>
#include <cstddef>
#include <string_view>

#include "store/Tables.h"

namespace numora::store {

// The fields of a card by their place in the table description.
enum CardField : int { kFieldName, kFieldHome, kFieldMobile, kFieldWork, kFieldFifth, kFieldAddress, kFieldEmail };

struct FieldLimit {
    CardField field;
    std::size_t longest; // in characters
    const char* message;
};

inline constexpr char kNameEmpty[] = "The field Name cannot be empty";
inline constexpr char kNoNumber[] = "There is no phone/fax/line/mobile number";
inline constexpr char kNameUsed[] = "The current name is used all-ready";

// The length checks, in the order they run. The messages name the Personal
// columns in both groups: the fifth field holds the fax there.
inline constexpr std::array<FieldLimit, kCardFields> kFieldLimits{{
    {kFieldName, 20, "The length of the 'Name' field is too long"},
    {kFieldHome, 10, "The length of the 'Phone' field is too long"},
    {kFieldMobile, 11, "The length of the 'Mobile' field is too long"},
    {kFieldWork, 11, "The length of the 'Line' field is too long"},
    {kFieldFifth, 10, "The length of the 'Fax' field is too long"},
    {kFieldAddress, 50, "The length of the 'Address' field is too long"},
    {kFieldEmail, 20, "The length of the 'Email' field is too long"},
}};

using CardTexts = std::array<std::string_view, kCardFields>;

// The number of characters in UTF-8 text: every byte that does not continue
// a character starts one.
inline std::size_t characterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// The text without its leading and trailing blanks (spaces only), as every
// text moved between a column and a box is.
inline std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// The message of the first check the trimmed card fails, or nullptr when it
// passes them all. Whether the name is already used is the caller's test
// (kNameUsed), as only the caller knows the group's cards.
inline const char* firstFailedCheck(const CardTexts& card)
{
    if (card[kFieldName].empty())
        return kNameEmpty;
    if (card[kFieldHome].empty() && card[kFieldMobile].empty() && card[kFieldWork].empty() && card[kFieldFifth].empty())
        return kNoNumber;
    for (const FieldLimit& limit : kFieldLimits) {
        if (characterCount(card[limit.field]) > limit.longest)
            return limit.message;
    }
    return nullptr;
}

} // namespace numora::store
