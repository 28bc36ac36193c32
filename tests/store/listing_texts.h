#pragma once
// A listing's texts as the store tests compare them.

#include <string>
#include <vector>

#include "store/Listing.h"

namespace numora::test {

// A column's text of the card listed at row; "<Null>" for Null.
inline std::string text(const store::Listing& listing, long row, const char* column)
{
    return std::string(listing.text(row, listing.column(column)).value_or("<Null>"));
}

// The names of the cards listed, in order.
inline std::vector<std::string> names(const store::Listing& listing)
{
    std::vector<std::string> out;
    for (long row = 0; row < listing.count(); ++row)
        out.push_back(text(listing, row, "Name"));
    return out;
}

} // namespace numora::test
