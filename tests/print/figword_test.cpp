// The amount in words printed on the receipt.
#include "app/settings.h"
#include "print/figword.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <limits>

namespace {

using cn::amountInWords;

QString words(int grouping, double amount)
{
    return amountInWords(amount, grouping, QStringLiteral("paisa"));
}

struct Case {
    int grouping;
    double amount;
    const char* expected;
};

TEST(AmountInWords, WorkedResults)
{
    const Case cases[] = {
        {2, 1234.56, "One Thousand Two Hundred Thirty-four and fifty-six paisa only"},
        {2, 150000, "One Lakh Fifty Thousand only"},
        {2, 2500000, "Twenty-five Lakh only"},
        {1, 2000000, "Two Million only"},
        {1, 1050.75, "One Thousand Fifty and seventy-five paisa only"},
        {1, 150000, "One Hundred Fifty Thousand only"},
        {1, 100, "One Hundred only"},
        {2, 100, "One Hundred only"},
        {1, 0.50, "and fifty paisa only"},
        {2, 0.50, "and fifty paisa only"},
        {1, 0, "only"},
        {2, 0, "only"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(words(c.grouping, c.amount).toStdString(), c.expected)
            << "grouping " << c.grouping << ", amount " << c.amount;
}

TEST(AmountInWords, Edges)
{
    const Case cases[] = {
        {2, 0.01, "and one paisa only"},
        {2, 0.99, "and ninety-nine paisa only"},
        {2, 999, "Nine Hundred Ninety-nine only"},
        {1, 1000, "One Thousand only"},
        {2, 1000, "One Thousand only"},
        {2, 21, "Twenty-one only"},
        {2, 40, "Forty only"},
        {2, 19.19, "Nineteen and nineteen paisa only"},
        {2, 99999999.99,
         "Nine Crore Ninety-nine Lakh Ninety-nine Thousand Nine Hundred Ninety-nine and "
         "ninety-nine paisa only"},
        {1, 99999999.99,
         "Ninety-nine Million Nine Hundred Ninety-nine Thousand Nine Hundred Ninety-nine and "
         "ninety-nine paisa only"},
        // Group counts of 101 to 999 under grouping 1.
        {1, 101000, "One Hundred One Thousand only"},
        {1, 999000000, "Nine Hundred Ninety-nine Million only"},
        {1, 120345678.9,
         "One Hundred Twenty Million Three Hundred Forty-five Thousand Six Hundred "
         "Seventy-eight and ninety paisa only"},
        {1, 1000000000, "One Billion only"},
        {2, 100000, "One Lakh only"},
        {2, 10000000, "One Crore only"},
        // Hundredths that binary fractions cannot hold exactly.
        {2, 1234.56, "One Thousand Two Hundred Thirty-four and fifty-six paisa only"},
        {2, 0.29, "and twenty-nine paisa only"},
        {2, 1.15, "One and fifteen paisa only"},
        {2, 4.35, "Four and thirty-five paisa only"},
        // Rounding to whole hundredths carries into the units.
        {2, 0.999, "One only"},
        // Counts beyond a fee's size still come out in words.
        {2, 12345000000.0, "One Thousand Two Hundred Thirty-four Crore Fifty Lakh only"},
        {2, -12.5, "Minus Twelve and fifty paisa only"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(words(c.grouping, c.amount).toStdString(), c.expected)
            << "grouping " << c.grouping << ", amount " << c.amount;
}

// Every hundredth value as typed in a fee box, on a few whole parts: the
// words name exactly the hundredths shown.
TEST(AmountInWords, EveryHundredthAsTyped)
{
    const QStringList tens = {"",       "",      "twenty", "thirty", "forty",
                              "fifty",  "sixty", "seventy", "eighty", "ninety"};
    for (const char* whole : {"0", "1", "12", "1234", "9999999"}) {
        for (int p = 1; p < 100; ++p) {
            const QString typed = QStringLiteral("%1.%2").arg(whole).arg(p, 2, 10, QLatin1Char('0'));
            const QString w = words(2, typed.toDouble());
            QString expected = cn::groupWords(p, 2).toLower();
            EXPECT_TRUE((QLatin1Char(' ') + w).endsWith(QStringLiteral(" and ") + expected + QStringLiteral(" paisa only")))
                << typed.toStdString() << " -> " << w.toStdString();
        }
    }
}

TEST(AmountInWords, GroupingsKeepTheirOwnNames)
{
    for (double amount = 0.37; amount < 99999999.99; amount = amount * 3.7 + 11.13) {
        const QString one = words(1, amount);
        const QString two = words(2, amount);
        EXPECT_FALSE(one.contains("Lakh") || one.contains("Crore")) << one.toStdString();
        EXPECT_FALSE(two.contains("Million") || two.contains("Billion")) << two.toStdString();
        EXPECT_FALSE(one.contains("  ") || two.contains("  ")) << one.toStdString();
        EXPECT_TRUE(one.endsWith(" only") && two.endsWith(" only"));
    }
}

TEST(AmountInWords, GroupWordsOneToNineHundredNinetyNine)
{
    EXPECT_EQ(cn::groupWords(1, 1), "One");
    EXPECT_EQ(cn::groupWords(13, 1), "Thirteen");
    EXPECT_EQ(cn::groupWords(99, 1), "Ninety-nine");
    EXPECT_EQ(cn::groupWords(100, 1), "One Hundred");
    EXPECT_EQ(cn::groupWords(150, 1), "One Hundred Fifty");
    EXPECT_EQ(cn::groupWords(101, 1), "One Hundred One");
    EXPECT_EQ(cn::groupWords(999, 1), "Nine Hundred Ninety-nine");
    // Every count has words, none with a doubled or trailing blank.
    for (int n = 1; n <= 999; ++n) {
        const QString w = cn::groupWords(n, 1);
        EXPECT_FALSE(w.isEmpty() || w.contains("  ") || w.endsWith(' ') || w.contains("-Hundred"))
            << n << " " << w.toStdString();
    }
}

TEST(AmountInWords, FigwordReadsTheSettings)
{
    cn::resetSettings();
    cn::settings().setNumFormat(1);
    cn::settings().MCURRENCY2TEXT = QStringLiteral("  cents  ");
    EXPECT_EQ(cn::FIGWORD(150000.05), "One Hundred Fifty Thousand and five cents only");
    cn::settings().setNumFormat(2);
    EXPECT_EQ(cn::FIGWORD(150000.05), "One Lakh Fifty Thousand and five cents only");
    cn::resetSettings();
}

} // namespace

namespace {

// Beyond the word table the words would name another amount (and, far
// enough out, index outside the table): such amounts get a refusal text the
// receipt can print in their place, never words.
TEST(AmountInWords, AmountsBeyondTheWordTableAreRefused)
{
    EXPECT_TRUE(cn::amountHasWords(cn::kMaxAmountInWords));
    EXPECT_TRUE(cn::amountHasWords(-cn::kMaxAmountInWords));
    EXPECT_EQ(words(1, 999999999999.99),
              "Nine Hundred Ninety-nine Billion Nine Hundred Ninety-nine Million Nine Hundred Ninety-nine "
              "Thousand Nine Hundred Ninety-nine and ninety-nine paisa only");
    EXPECT_EQ(words(2, 999999999999.99),
              "Ninety-nine Thousand Nine Hundred Ninety-nine Crore Ninety-nine Lakh Ninety-nine Thousand Nine "
              "Hundred Ninety-nine and ninety-nine paisa only");
    const double refused[] = {999999999999.995, 1e12, -1e12, 9.2e16, 9.3e16, 1e17, 9.3e18, 1e19, -1e19, 1e300,
                              std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
    for (double amount : refused) {
        EXPECT_FALSE(cn::amountHasWords(amount)) << amount;
        for (int grouping : {1, 2})
            EXPECT_EQ(words(grouping, amount), cn::kAmountTooLargeText) << amount;
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(cn::amountHasWords(nan));
    EXPECT_EQ(words(2, nan), cn::kNotAnAmountText);
    cn::resetSettings();
    EXPECT_EQ(cn::FIGWORD(1e17), cn::kAmountTooLargeText);
    // Counts that cannot come from an amount have no words either.
    EXPECT_EQ(cn::groupWords(0, 1), "");
    EXPECT_EQ(cn::groupWords(-5, 2), "");
}

} // namespace
