#pragma once
// Letter case of the program's own words: file names, cookie attribute names, URL schemes and
// hosts, login names. These compare by ASCII letters only, whatever the locale, so a name
// written in one session is found in the next. (The cache search folds by the locale's
// encoding instead: cachebrowser/Utf8Text.h.)
#include <cstddef>
#include <string>
#include <string_view>

namespace brimlow::text {

constexpr char LowerAscii(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ToLowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) noexcept
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace brimlow::text
