#pragma once
// Inside the store: one cookie as the store keeps it. Not for callers outside
// platform/inetcache (tests excepted).
#include <cstdint>
#include <limits>
#include <string>

namespace brimlow::inetcache::detail {

// Bits of a cookie's flags word in the cookie text file.
inline constexpr std::uint32_t kFlagSecure = 0x1;
inline constexpr std::uint32_t kFlagHostOnly = 0x400;
inline constexpr std::uint32_t kFlagHttpOnly = 0x2000;

// The expiry of a cookie that lives as long as a time can say.
inline constexpr std::uint64_t kFarFuture = std::numeric_limits<std::int64_t>::max();

struct Cookie {
    std::string name;
    std::string value;
    std::string domain;  // lower case, no leading dot
    std::string path;
    std::uint32_t flags = 0;
    std::uint64_t expiry = 0;  // FILETIME; 0 for a session cookie
    std::uint64_t creation = 0;
};

inline bool IsDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

}  // namespace brimlow::inetcache::detail
