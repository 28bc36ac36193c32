#pragma once
// Text rules shared by the ODBC layers: keywords, data-source names, keys
// and column names compare without regard to the case of Latin letters, and
// lose the blanks around them.

#include <string_view>

namespace numora::odbc {

// Case-insensitive comparison of Latin letters only; every other byte
// (UTF-8 included) compares exactly.
bool equalsIgnoringLatinCase(std::string_view a, std::string_view b);

// The text without the blanks (space, tab, CR, LF) at either end.
std::string_view trimmed(std::string_view s);

} // namespace numora::odbc
