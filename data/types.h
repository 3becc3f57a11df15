#pragma once
// Value types shared by the engine and its users: dates, field definitions.
#include <cstdint>
#include <string>
#include <vector>

namespace cn::data {

// A calendar date as stored in a D field; the empty date is all zero.
struct Date {
    int year = 0, month = 0, day = 0;

    bool empty() const { return year == 0 && month == 0 && day == 0; }
    static Date fromDtos(std::string_view yyyymmdd);   // "" or blanks or junk -> empty
    std::string dtos() const;                          // "YYYYMMDD", 8 spaces when empty
    bool valid() const;                                // a real calendar day
    friend auto operator<=>(const Date&, const Date&) = default;
};

enum class FieldType : char { Character = 'C', Numeric = 'N', Date = 'D', Logical = 'L', Memo = 'M' };

// One field of a table structure (DBCREATE / DBFIELDINFO).
struct FieldDef {
    std::string name;      // upper case, at most 10 characters
    char type = 'C';       // C N D L M
    int width = 0;         // as stored: D 8, L 1, M 10
    int decimals = 0;
};
using Structure = std::vector<FieldDef>;

} // namespace cn::data
