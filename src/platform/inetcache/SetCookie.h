#pragma once
// Inside the store: the cookie that a set call's text describes.
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/inetcache/Cookie.h"
#include "platform/inetcache/Urls.h"

namespace brimlow::inetcache::detail {

struct ParsedSet {
    Cookie cookie;
    bool persistent = false;
};

// The cookie that a set call describes; nothing for input that names no valid cookie.
std::optional<ParsedSet> ParseSetCookie(const ParsedUrl& url, std::string_view name, std::string_view data,
                                        std::uint64_t now);

}  // namespace brimlow::inetcache::detail
