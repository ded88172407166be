#include "platform/inetcache/CookieDates.h"

#include "platform/FileTime.h"
#include "platform/Text.h"
#include "platform/inetcache/Cookie.h"

namespace brimlow::inetcache::detail {

namespace {

using text::EqualsNoCase;

bool IsDateDelimiter(unsigned char c) noexcept
{
    return c == 0x09 || (c >= 0x20 && c <= 0x2f) || (c >= 0x3b && c <= 0x40) || (c >= 0x5b && c <= 0x60) ||
           (c >= 0x7b && c <= 0x7e);
}

// 1*max DIGIT at the start of `s`, followed by the end or a non-digit. Returns the digit count.
std::size_t LeadingDigits(std::string_view s, std::size_t min, std::size_t max, int& value) noexcept
{
    std::size_t n = 0;
    value = 0;
    while (n < s.size() && IsDigit(s[n])) {
        if (n == max)
            return 0;
        value = value * 10 + (s[n] - '0');
        ++n;
    }
    return n >= min ? n : 0;
}

bool ParseTimeToken(std::string_view t, int& h, int& m, int& s) noexcept
{
    int* fields[] = {&h, &m, &s};
    for (int i = 0; i < 3; ++i) {
        const std::size_t n = LeadingDigits(t, 1, 2, *fields[i]);
        if (!n)
            return false;
        t.remove_prefix(n);
        if (i < 2) {
            if (t.empty() || t.front() != ':')
                return false;
            t.remove_prefix(1);
        }
    }
    return true;  // anything after the seconds starts with a non-digit
}

int MonthOf(std::string_view t) noexcept
{
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    if (t.size() < 3)
        return 0;
    for (int i = 0; i < 12; ++i)
        if (EqualsNoCase(t.substr(0, 3), names[i]))
            return i + 1;
    return 0;
}

}  // namespace

std::optional<std::uint64_t> ParseCookieDate(std::string_view text)
{
    bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsDateDelimiter(static_cast<unsigned char>(text[i])))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsDateDelimiter(static_cast<unsigned char>(text[i])))
            ++i;
        const std::string_view token = text.substr(start, i - start);
        if (token.empty())
            continue;
        int h, m, s, v;
        if (!haveTime && ParseTimeToken(token, h, m, s)) {
            haveTime = true;
            hour = h;
            minute = m;
            second = s;
        } else if (!haveDay && LeadingDigits(token, 1, 2, v)) {
            haveDay = true;
            day = v;
        } else if (!haveMonth && MonthOf(token)) {
            haveMonth = true;
            month = MonthOf(token);
        } else if (!haveYear && LeadingDigits(token, 2, 4, v)) {
            haveYear = true;
            year = v;
        }
    }
    if (!haveTime || !haveDay || !haveMonth || !haveYear)
        return std::nullopt;
    if (year >= 70 && year <= 99)
        year += 1900;
    else if (year >= 0 && year <= 69)
        year += 2000;
    if (day < 1 || day > 31 || year < 1601 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    // A date that does not exist (30 February) is no date.
    std::int64_t cy;
    unsigned cm, cd;
    CivilFromDays(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)), cy, cm, cd);
    if (cd != static_cast<unsigned>(day) || cm != static_cast<unsigned>(month))
        return std::nullopt;
    return FileTimeFromUtc(year, month, day, hour, minute, second);
}

}  // namespace brimlow::inetcache::detail
