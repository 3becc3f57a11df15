#pragma once
// The amount of a receipt written out in words, as printed after the currency
// text: "One Thousand Two Hundred Thirty-four and fifty-six paisa only".
#include <QString>

namespace cn {

// Words for a group count from 1 to 999 ("Twenty-one", "One Hundred Fifty");
// larger counts are worded as whole amounts in the same grouping.
QString groupWords(long long n, int grouping);

// The amount in words for a digit grouping (1: thousands, millions, billions;
// 2: thousands, lakhs, crores) and the name of the hundredth unit. The result
// never names the main currency unit and always ends in "only".
QString amountInWords(double amount, int grouping, const QString& hundredthText);

// The same, reading the grouping (MNUMFORMAT) and the hundredth-unit text
// (MCURRENCY2TEXT) from the settings.
QString FIGWORD(double amount);

} // namespace cn
