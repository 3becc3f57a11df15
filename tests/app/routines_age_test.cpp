// Ages from a birth date (a borrowed month is always 30 days) and the short
// date text of the status bar and printouts.
#include "app/routines.h"

#include <gtest/gtest.h>

namespace cn {
namespace {

struct Age {
    int y, m, d;
    bool operator==(const Age&) const = default;
};
Age ageOf(QDate birth, QDate at)
{
    return {CALC_AGEYRS(birth, at), CALC_AGEMNTHS(birth, at), CALC_AGEDAYS(birth, at)};
}
void PrintTo(const Age& a, std::ostream* os) { *os << a.y << "y " << a.m << "m " << a.d << "d"; }

TEST(Ages, YearsMonthsAndDaysWithThirtyDayMonths)
{
    EXPECT_EQ(ageOf({2000, 6, 15}, {2026, 6, 10}), (Age{25, 11, 25}));
    EXPECT_EQ(ageOf({2020, 1, 31}, {2020, 3, 1}), (Age{0, 1, 0}));     // 30 minus 30 days
    EXPECT_EQ(ageOf({2000, 6, 15}, {2026, 6, 15}), (Age{26, 0, 0}));   // birthday
    EXPECT_EQ(ageOf({2000, 6, 15}, {2026, 6, 20}), (Age{26, 0, 5}));
    EXPECT_EQ(ageOf({2000, 8, 20}, {2026, 3, 10}), (Age{25, 6, 20}));  // month and day borrowed
    EXPECT_EQ(ageOf({2000, 3, 5}, {2026, 8, 10}), (Age{26, 5, 5}));
    EXPECT_EQ(ageOf({2025, 12, 20}, {2026, 1, 5}), (Age{0, 0, 15}));   // across the new year
}

TEST(Ages, NothingBeforeBirthOrWithoutADate)
{
    EXPECT_EQ(ageOf({2026, 3, 10}, {2026, 3, 10}), (Age{0, 0, 0}));
    EXPECT_EQ(ageOf({2027, 1, 1}, {2026, 3, 10}), (Age{0, 0, 0}));
    // An empty birth date would otherwise count from year 0.
    EXPECT_EQ(ageOf(QDate(), {2026, 3, 10}), (Age{0, 0, 0}));
    EXPECT_EQ(ageOf({2000, 1, 1}, QDate()), (Age{0, 0, 0}));
}

TEST(ShortDate, DayMonthNameAndYear)
{
    EXPECT_EQ(DDMONYY(QDate(2026, 12, 8)), QStringLiteral("8 Dec 2026"));
    EXPECT_EQ(DDMONYY(QDate(2026, 1, 31)), QStringLiteral("31 Jan 2026"));
    EXPECT_EQ(DDMONYY(QDate(999, 5, 1)), QStringLiteral("1 May 0999"));
    EXPECT_EQ(DDMONYY(QDate()), QString());
}

} // namespace
} // namespace cn
