#pragma once
// Small text helpers the exchange formats share.

#include <string>
#include <string_view>

namespace numora::exchange::text {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(std::string_view bytes);

// Latin letters in lower case; every other byte as it is.
std::string asciiLower(std::string_view s);
std::string asciiUpper(std::string_view s);

// The text with leading and trailing spaces and tabs removed.
std::string_view trimmed(std::string_view s);

// The text with control characters shown as \xNN, so that a name from a file
// cannot move the cursor or recolour the terminal it is reported on.
std::string printable(std::string_view s);

} // namespace numora::exchange::text
