#include "platform/Numbers.h"

#include <charconv>
#include <algorithm>
#include <cmath>

namespace brimlow {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// For a number out of a double's range: whether it is too large (rather than too small).
// `number` is digits with an optional point and exponent, already checked.
bool MagnitudeAboveOne(std::string_view number)
{
    const std::size_t e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view x = number.substr(e + 1);
        const bool minus = !x.empty() && x.front() == '-';
        if (!x.empty() && (x.front() == '-' || x.front() == '+'))
            x.remove_prefix(1);
        for (char c : x)
            exponent = std::min<long long>(exponent * 10 + (c - '0'), 1'000'000'000);
        if (minus)
            exponent = -exponent;
    }
    // The power of ten of the first significant digit.
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return false;
    const long long lead = first < point ? static_cast<long long>(point - first) - 1
                                         : -static_cast<long long>(first - point);
    return lead + exponent > 0;
}

}  // namespace

std::optional<double> NumericValue(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    // Check the shape first: from_chars alone would take "inf", "nan" and hex digits.
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        const std::size_t expStart = j;
        while (j < text.size() && IsDigit(text[j]))
            ++j;
        if (j == expStart)
            return std::nullopt;
        i = j;
    }
    if (i != text.size())
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data() + start, text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range)
        value = MagnitudeAboveOne(text.substr(start)) ? HUGE_VAL : 0.0;
    else if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

double RoundHalfEven(double value)
{
    // The default rounding mode rounds a half to the even neighbour.
    return std::nearbyint(value);
}

}  // namespace brimlow
