#pragma once
// How the program reads a number out of a text box. Settings boxes hold texts such as
// "600  Milliseconds", "1 500" or "16,32,64  Bytes"; every place that takes such a text
// as a number goes through NumericValue, and every place that needs a whole number
// through WholeNumber, so all boxes agree on what a text means.

#include <QString>
#include <optional>

namespace netvane {

// The leading decimal number of a text: an optional sign, digits, one decimal point
// and an optional exponent. Blanks, tabs and line feeds are skipped wherever they
// stand ("1 500" is 1500); reading stops at the first other character that cannot
// continue the number ("16,32" is 16). A text without a leading number gives 0.
double NumericValue(const QString &text);

// The nearest whole number, halves going to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Empty when the value does not fit a 32-bit integer (or is not a number).
std::optional<int> WholeNumber(double value);

// WholeNumber(NumericValue(text)).
std::optional<int> WholeNumberOf(const QString &text);

// A number written in plain decimal: no exponent, no trailing zeros ("968", "12.5").
QString PlainNumber(double value);

} // namespace netvane
