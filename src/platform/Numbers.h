#pragma once
// Numbers typed by the user or read from a settings file, as the runtime's numeric test and
// conversion read them.
#include <optional>
#include <string_view>

namespace brimlow {

// The value of `text` when it reads as a number: blanks around it, a sign, digits with at
// most one decimal point (".5" and "5." count), an optional exponent ("1e3"). Nothing for
// any other text, the empty text included. A number too large for a double is infinite.
std::optional<double> NumericValue(std::string_view text);

// The nearest whole number, a half going to the even neighbour (1.5 -> 2, 2.5 -> 2).
double RoundHalfEven(double value);

}  // namespace brimlow
