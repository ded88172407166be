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

// Orders names as the program's lists show them: by their bytes with ASCII letter case aside;
// names that differ only in case keep a fixed order (capitals first), so a list never shuffles.
constexpr bool LessNoCase(std::string_view a, std::string_view b) noexcept
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) noexcept
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace brimlow::text
