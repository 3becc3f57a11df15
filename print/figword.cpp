#include "print/figword.h"

#include "app/settings.h"

#include <cmath>

namespace cn {

namespace {

const char* const kUnits[20] = {"",        "One",     "Two",       "Three",    "Four",
                                "Five",    "Six",     "Seven",     "Eight",    "Nine",
                                "Ten",     "Eleven",  "Twelve",    "Thirteen", "Fourteen",
                                "Fifteen", "Sixteen", "Seventeen", "Eighteen", "Nineteen"};
const char* const kTens[10] = {"", "", "Twenty", "Thirty", "Forty",
                               "Fifty", "Sixty", "Seventy", "Eighty", "Ninety"};

// The word table for 1 to 99: tens and units joined by a hyphen, the unit in
// lower case ("Twenty-one").
QString wordBelowHundred(int n)
{
    if (n < 0 || n > 99)
        return {};
    if (n < 20)
        return QString::fromLatin1(kUnits[n]);
    QString w = QString::fromLatin1(kTens[n / 10]);
    if (n % 10 != 0)
        w += QLatin1Char('-') + QString::fromLatin1(kUnits[n % 10]).toLower();
    return w;
}

// Appends " <words> <name>" for a group count that is not zero.
void appendGroup(QString& text, long long count, const char* name, int grouping)
{
    if (count == 0)
        return;
    text += QLatin1Char(' ') + groupWords(count, grouping) + QLatin1Char(' ') +
            QLatin1String(name);
}

// The whole part of an amount in words, each word group led by one space.
QString wholeWords(long long r, int grouping)
{
    QString text;
    if (grouping == 1) {
        const long long b = r / 1000000000LL;
        r -= b * 1000000000LL;
        appendGroup(text, b, "Billion", grouping);
        const long long m = r / 1000000LL;
        r -= m * 1000000LL;
        appendGroup(text, m, "Million", grouping);
    } else {
        const long long q = r / 10000000LL;
        r -= q * 10000000LL;
        appendGroup(text, q, "Crore", grouping);
        const long long l = r / 100000LL;
        r -= l * 100000LL;
        appendGroup(text, l, "Lakh", grouping);
    }
    const long long t = r / 1000;
    r -= t * 1000;
    appendGroup(text, t, "Thousand", grouping);
    const long long h = r / 100;
    r -= h * 100;
    appendGroup(text, h, "Hundred", grouping);
    if (r != 0)
        text += QLatin1Char(' ') + wordBelowHundred(int(r));
    return text;
}

// Whole hundredths of the amount as shown on the receipt, so that 0.29 gives
// twenty-nine and never twenty-eight, and 0.999 carries into the units
// instead of giving a hundred hundredths. Only for amounts that have words.
long long hundredthsOf(double amount)
{
    return std::llround(std::fabs(amount) * 100.0);
}

} // namespace

bool amountHasWords(double amount)
{
    // Checked before rounding so that the rounding cannot overflow, and after
    // it, since 999,999,999,999.995 shows as a million million.
    return std::isfinite(amount) && std::fabs(amount) < 1e12 && hundredthsOf(amount) <= std::llround(kMaxAmountInWords * 100);
}

QString groupWords(long long n, int grouping)
{
    if (n <= 0)
        return {};
    if (n < 100)
        return wordBelowHundred(int(n));
    if (n < 1000) {
        QString w = wordBelowHundred(int(n / 100)) + QLatin1String(" Hundred");
        if (n % 100 != 0)
            w += QLatin1Char(' ') + wordBelowHundred(int(n % 100));
        return w;
    }
    // Only amounts beyond what a fee can hold reach here (a thousand crore and
    // more); word the count as a whole amount rather than leave a gap.
    return wholeWords(n, grouping).trimmed();
}

QString amountInWords(double amount, int grouping, const QString& hundredthText)
{
    if (std::isnan(amount))
        return kNotAnAmountText;
    if (!amountHasWords(amount))
        return kAmountTooLargeText;
    const long long cents = hundredthsOf(amount);
    const long long whole = cents / 100;
    const int hundredths = int(cents % 100);

    QString text = QStringLiteral(" ");
    if (amount < 0 && cents != 0)
        text += QLatin1String(" Minus");
    text += wholeWords(whole, grouping == 1 ? 1 : 2);
    if (hundredths != 0)
        text += QLatin1String(" and ") + wordBelowHundred(hundredths).toLower() +
                QLatin1Char(' ') + hundredthText.trimmed();
    text += QLatin1String(" only");
    // Leading blanks only: a blank hundredth-unit text keeps its place.
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    return text.mid(i);
}

QString FIGWORD(double amount)
{
    const Settings& s = settings();
    return amountInWords(amount, s.MNUMFORMAT, s.MCURRENCY2TEXT);
}

} // namespace cn
