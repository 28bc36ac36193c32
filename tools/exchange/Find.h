#pragma once
// Looking a caller up: the cards of a group that hold a text in their name,
// any of their numbers, their address or their e-mail. A phone program hands
// the number that is calling, written however the phone writes it.

#include <string>
#include <string_view>
#include <vector>

#include "tools/exchange/Exchange.h"

namespace numora::exchange {

// Whether the card holds the text (Latin letters in either case) in its
// name, a number, its address or its e-mail. A text of digits, with or
// without the separators numbers are written with (blanks, dashes, dots,
// slashes, brackets, a leading +), also matches a number holding those
// digits in that order whatever separates them; an Israeli number in
// international form (+972 or 00972) is the same number as its national
// form (a leading 0).
bool cardHolds(const Card& card, std::string_view text);

// The group's cards that hold the text, in the order they were added.
std::vector<Card> findCards(const std::string& database, const store::Table& table, std::string_view text);

} // namespace numora::exchange
