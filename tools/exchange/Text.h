#pragma once
// Small text helpers the exchange formats share.

#include <optional>
#include <string>
#include <string_view>

namespace numora::exchange::text {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(std::string_view bytes);

// "path: what: " and the system's reason for the last failed call (errno).
std::string systemError(const std::string& path, const char* what);

// Latin letters in lower case; every other byte as it is.
std::string asciiLower(std::string_view s);
std::string asciiUpper(std::string_view s);
// Whether the texts are equal when Latin letters are compared in lower case.
bool equalsIgnoringCase(std::string_view a, std::string_view lower);

// The text with leading and trailing spaces and tabs removed.
std::string_view trimmed(std::string_view s);

// The text with control characters (C0, DEL, C1) and the bidi overrides and
// isolates shown as \xNN or \u{NNNN}, so that a name from a file cannot move
// the cursor, recolour the terminal or turn the rest of the line around.
std::string printable(std::string_view s);

// A value from a file as a message shows it: printable, and cut after about
// 60 characters with "..." so that one field cannot flood the report.
std::string shown(std::string_view value);

// The bytes in charset as UTF-8; nullopt when the charset is unknown or the
// bytes are not text in it. An empty charset, UTF-8 and US-ASCII take the
// bytes as they are (the caller checks them).
std::optional<std::string> toUtf8(std::string_view bytes, const std::string& charset);

// A file's bytes as UTF-8 text to read, converted when they are in a named
// encoding or are UTF-16 (known by its byte-order mark); nullopt when the
// bytes are read as they are, with a UTF-8 byte-order mark taken off the
// front of bytes. Throws when the bytes are not text in the named encoding
// or the encoding is unknown.
std::optional<std::string> decodedFile(std::string_view& bytes, const std::string& encoding);

// Base64 undone; nullopt when it holds anything but the alphabet, padding
// and blanks or line ends.
std::optional<std::string> base64Decoded(std::string_view v);

// The value with control characters taken out (tabs and line ends become a
// space, line ends are kept where keepLineBreaks) and every leading and
// trailing blank, Unicode spaces included, removed. dropped is set when a
// control character was taken out.
std::string cleaned(std::string_view value, bool keepLineBreaks, bool& dropped);

// A telephone number as the directory writes it: blanks, dots, slashes and
// brackets dropped, and an Israeli number in international form (+972 or
// 00972) written nationally with a dash after the area code
// ("+972 50 123 4567" -> "050-1234567"). Anything that is not a number
// (letters, an extension) only loses its blanks at either end.
std::string dialable(std::string_view number);

// Appends a vCard content line folded at 75 octets, never inside a
// character, ended by CRLF.
void appendFolded(std::string& out, std::string_view line);

} // namespace numora::exchange::text
