#pragma once
// The amount of a receipt written out in words, as printed after the currency
// text: "One Thousand Two Hundred Thirty-four and fifty-six paisa only".
//
// The words reach as far as the word table does: amounts whose whole part is
// below a million million (up to 999,999,999,999.99, Nine Hundred
// Ninety-nine Billion ... under grouping 1). Beyond that, and for a value
// that is no amount at all, the result is not words but one of the refusal
// texts below, which the receipt prints where the words would stand; use
// amountHasWords to tell the two apart.
#include <QString>

namespace cn {

// The largest amount (either sign) that has words.
constexpr double kMaxAmountInWords = 999999999999.99;
// In place of the words for an amount beyond kMaxAmountInWords.
inline const QString kAmountTooLargeText = QStringLiteral("(amount too large to write in words)");
// In place of the words for a value that is not a number.
inline const QString kNotAnAmountText = QStringLiteral("(not a valid amount)");

// True when the amount, rounded to hundredths as the receipt shows it, can be
// written in words.
bool amountHasWords(double amount);

// Words for a group count from 1 to 999 ("Twenty-one", "One Hundred Fifty");
// larger counts are worded as whole amounts in the same grouping. Empty for
// a count below 1.
QString groupWords(long long n, int grouping);

// The amount in words for a digit grouping (1: thousands, millions, billions;
// 2: thousands, lakhs, crores) and the name of the hundredth unit. The result
// never names the main currency unit and always ends in "only"; a negative
// amount starts with "Minus". An amount without words gives its refusal text.
QString amountInWords(double amount, int grouping, const QString& hundredthText);

// The same, reading the grouping (MNUMFORMAT) and the hundredth-unit text
// (MCURRENCY2TEXT) from the settings.
QString FIGWORD(double amount);

} // namespace cn
