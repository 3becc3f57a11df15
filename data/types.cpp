#include "data/types.h"

#include <cstdio>

namespace cn::data {

Date Date::fromDtos(std::string_view s)
{
    if (s.size() < 8)
        return {};
    int v[8];
    for (int i = 0; i < 8; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return {};
        v[i] = s[i] - '0';
    }
    Date d;
    d.year = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
    d.month = v[4] * 10 + v[5];
    d.day = v[6] * 10 + v[7];
    return d;
}

std::string Date::dtos() const
{
    if (empty() || year < 0 || year > 9999 || month < 0 || month > 99 || day < 0 || day > 99)
        return std::string(8, ' ');
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
    return std::string(buf, 8);
}

bool Date::valid() const
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int limit = days[month - 1];
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        limit = 29;
    return day <= limit;
}

} // namespace cn::data
