#pragma once
// The client-side filter of a recordset: "<Field> like '<text>'", where the
// text may end in '*' or '%' (a prefix match) and holds a single quote as two.
// Matching follows the database's LIKE as far as the program needs it: Latin
// letters compare without regard to case, every other byte exactly, and a
// Null never matches.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace numora::ado::detail {

struct LikeFilter {
    std::size_t column = 0; // index into the recordset's fields
    std::string text;       // the pattern without quotes and trailing wildcard
    bool prefix = false;    // the pattern ended in a wildcard
};

// Parses a filter against the given field names (compared without regard to
// case). Returns nullopt for text that is not a filter of the form above.
std::optional<LikeFilter> parseLikeFilter(std::string_view filter, const std::vector<std::string>& fieldNames);

// Whether a stored value (not Null) passes the filter.
bool likeMatches(const LikeFilter& filter, std::string_view value);

} // namespace numora::ado::detail
