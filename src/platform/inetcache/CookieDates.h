#pragma once
// Inside the store: the dates of cookie attributes.
#include <cstdint>
#include <optional>
#include <string_view>

namespace brimlow::inetcache::detail {

// A cookie date by the date-token algorithm of the cookie standard (delimiters; time,
// day-of-month, month and year tokens in any order; two-digit years 70-99 are 19xx,
// 00-69 20xx), as a FILETIME. Nothing when it does not make a valid date.
std::optional<std::uint64_t> ParseCookieDate(std::string_view text);

}  // namespace brimlow::inetcache::detail
