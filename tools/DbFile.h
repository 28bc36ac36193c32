#pragma once
// Making directory database files: an empty one in today's format, an empty
// one of the format before Address and Email existed, and a filled sample.
//
// A directory database file is an SQLite 3 file holding the tables Vemo
// (group "Personal") and Work (group "Work"); the data core makes it
// (store::makeDirectoryFile) from the generated cards. None of these
// functions overwrites a file: an existing path is refused. Every failure
// throws std::runtime_error naming the file and the cause; a file this code
// started is removed again when making it fails.

#include <string>

namespace numora::dbfile {

// Both tables with today's columns, no rows.
void createEmpty(const std::string& path);

// Both tables without Address and Email, no rows.
void createOldFormat(const std::string& path);

// Today's format with cardsPerGroup generated cards in each table. The cards
// are the same for the same count every time. From 22 + 12 cards per group on,
// every card of the fixed set is present: names under each of the 22 letters,
// names starting with a final letter form, a Latin letter and a digit, a name
// with surrounding blanks, a name holding a single quote, and cards with Null
// fields.
void createSample(const std::string& path, int cardsPerGroup);

// The same cards in the old format (no Address, no Email).
void createOldSample(const std::string& path, int cardsPerGroup);

// The number of cards of the fixed set that follow the first 22.
int specialCardCount();

} // namespace numora::dbfile
