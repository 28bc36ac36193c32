#pragma once
// The two directory tables, described once: which group each table holds,
// its columns in the one order every window shows a card's fields, each
// column's declared type, whether it may be Null, and its Hebrew heading.
//
// The order is the grid's columns 0 to 4, then the address and the e-mail
// address; the editor's seven boxes follow it too. The column upgrade, the
// listings, the database tool and the tests all read this description.
//
// Plain constant data, so that programs without Qt (the database tool) read
// it as well.

#include <array>

namespace numora::store {

struct Column {
    const char* name;
    const char* type;    // as declared ("TEXT", "TEXT(20)")
    bool mayBeNull;      // every column but Name
    bool addedAtStart;   // Address and Email: files made before them gain them at start
    const char* heading; // the grid's Hebrew heading (UTF-8); empty for columns the grid does not show
};

inline constexpr int kCardFields = 7;  // the columns of a card
inline constexpr int kGridColumns = 5; // the first five are the grid's columns 0 to 4

struct Table {
    const char* group; // the group text in the group selector
    const char* name;
    std::array<Column, kCardFields> columns;
};

inline constexpr Table kPersonalTable{
    "Personal",
    "Vemo",
    {{
        {"Name", "TEXT", false, false, "שם/חברה"},
        {"Phone", "TEXT", true, false, "טל' בבית"},
        {"Mobil", "TEXT", true, false, "פלאפון"},
        {"Line", "TEXT", true, false, "טל' בעבודה"},
        {"Fax", "TEXT", true, false, "פקס"},
        {"Address", "TEXT", true, true, ""},
        {"Email", "TEXT(20)", true, true, ""},
    }},
};

// Phone is the work telephone here (the home one in Vemo), so it is the
// fourth field, not the second; the fifth is a department, not a fax.
inline constexpr Table kWorkTable{
    "Work",
    "Work",
    {{
        {"Name", "TEXT", false, false, "שם/חברה"},
        {"Home", "TEXT", true, false, "טל' בבית"},
        {"Mobil", "TEXT", true, false, "פלאפון"},
        {"Phone", "TEXT", true, false, "טל' בעבודה"},
        {"Dept", "TEXT", true, false, "מחלקה"},
        {"Address", "TEXT", true, true, ""},
        {"Email", "TEXT(20)", true, true, ""},
    }},
};

inline constexpr std::array<const Table*, 2> kTables{&kPersonalTable, &kWorkTable};

} // namespace numora::store
