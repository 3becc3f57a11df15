// Numbers stored in N fields: rounded half away from zero on the decimal
// value as typed, right-aligned, refused when they do not fit.
#include "data/dbf_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using cn::data::encodeNumeric;

std::string enc(double v, int width, int decimals)
{
    std::string out(static_cast<size_t>(width), '#');
    auto st = encodeNumeric(v, width, decimals, out.data());
    return st ? out : "refused: " + st.message();
}

TEST(EncodeNumeric, RoundsTheDecimalValueHalfAwayFromZero)
{
    EXPECT_EQ(enc(1.005, 6, 2), "  1.01");   // the double is below 1.005, the text typed is not
    EXPECT_EQ(enc(2.675, 6, 2), "  2.68");
    EXPECT_EQ(enc(0.5, 3, 0), "  1");
    EXPECT_EQ(enc(-0.5, 3, 0), " -1");
    EXPECT_EQ(enc(9.995, 6, 2), " 10.00");   // the carry runs into a new digit
    EXPECT_EQ(enc(0.1 + 0.2, 5, 2), " 0.30");
    EXPECT_EQ(enc(-0.004, 5, 2), " 0.00");   // rounds to zero: no minus sign
    EXPECT_EQ(enc(-12.345, 8, 1), "   -12.3");
    EXPECT_EQ(enc(123, 5, 1), "123.0");
    EXPECT_EQ(enc(0, 4, 0), "   0");
    EXPECT_EQ(enc(98.6, 5, 1), " 98.6");
    EXPECT_EQ(enc(1234567890123.0, 13, 0), "1234567890123");
}

TEST(EncodeNumeric, RefusesWhatDoesNotFitAndWritesNothing)
{
    EXPECT_EQ(enc(99.5, 2, 0), "refused: The value 100 does not fit a number field of width 2 with 0 decimals");
    EXPECT_EQ(enc(-10, 2, 0), "refused: The value -10 does not fit a number field of width 2 with 0 decimals");
    EXPECT_EQ(enc(1e20, 19, 0).substr(0, 8), "refused:");
    EXPECT_EQ(enc(std::nan(""), 5, 0).substr(0, 8), "refused:");
    std::string out = "#####";
    EXPECT_FALSE(encodeNumeric(123456, 5, 0, out.data()));
    EXPECT_EQ(out, "#####");
}

} // namespace
