#include "platform/inetcache/SetCookie.h"

#include <algorithm>

#include "platform/FileTime.h"
#include "platform/Text.h"
#include "platform/inetcache/CookieDates.h"

namespace brimlow::inetcache::detail {

namespace {

using text::EqualsNoCase;
using text::ToLowerAscii;

std::string_view Trim(std::string_view s) noexcept
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool HasControl(std::string_view s) noexcept
{
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

}  // namespace

std::optional<ParsedSet> ParseSetCookie(const ParsedUrl& url, std::string_view name, std::string_view data,
                                        std::uint64_t now)
{
    const std::size_t semi = data.find(';');
    const std::string_view pair = data.substr(0, semi);
    std::string_view attrs = semi == std::string_view::npos ? std::string_view() : data.substr(semi + 1);

    ParsedSet out;
    Cookie& c = out.cookie;
    if (!name.empty()) {
        c.name = std::string(Trim(name));
        c.value = std::string(Trim(pair));
    } else {
        const std::size_t eq = pair.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        c.name = std::string(Trim(pair.substr(0, eq)));
        c.value = std::string(Trim(pair.substr(eq + 1)));
    }
    // The cookie file is line based: a line end in a name or value would corrupt it. The live
    // cookie text joins cookies with ";": one in a name or value would read as two cookies.
    if (c.name.empty() || HasControl(c.name) || HasControl(c.value) || c.name.find('=') != std::string::npos ||
        c.name.find(';') != std::string::npos || c.value.find(';') != std::string::npos)
        return std::nullopt;

    std::optional<std::uint64_t> expires;
    std::optional<std::uint64_t> maxAge;
    std::optional<std::string> domainAttr;
    std::optional<std::string> pathAttr;
    while (!attrs.empty()) {
        const std::size_t next = attrs.find(';');
        const std::string_view av = attrs.substr(0, next);
        attrs = next == std::string_view::npos ? std::string_view() : attrs.substr(next + 1);
        const std::size_t eq = av.find('=');
        const std::string_view an = Trim(av.substr(0, eq));
        const std::string_view aval = eq == std::string_view::npos ? std::string_view() : Trim(av.substr(eq + 1));
        if (EqualsNoCase(an, "expires")) {
            if (auto t = ParseCookieDate(aval))
                expires = *t;
        } else if (EqualsNoCase(an, "max-age")) {
            if (aval.empty() || !(IsDigit(aval.front()) || aval.front() == '-'))
                continue;
            const bool negative = aval.front() == '-';
            const std::string_view digits = negative ? aval.substr(1) : aval;
            if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit))
                continue;
            std::uint64_t seconds = 0;
            bool huge = false;
            for (char d : digits) {
                if (seconds > (kFarFuture / kTicksPerSecond) / 10) {
                    huge = true;
                    break;
                }
                seconds = seconds * 10 + static_cast<std::uint64_t>(d - '0');
            }
            if (negative || seconds == 0)
                maxAge = 1;  // the earliest time there is: already expired
            else if (huge || seconds > (kFarFuture - now) / kTicksPerSecond)
                maxAge = kFarFuture;
            else
                maxAge = now + seconds * kTicksPerSecond;
        } else if (EqualsNoCase(an, "domain")) {
            std::string_view d = aval;
            if (!d.empty() && d.front() == '.')
                d.remove_prefix(1);
            if (!d.empty())
                domainAttr = ToLowerAscii(d);
        } else if (EqualsNoCase(an, "path")) {
            if (!aval.empty() && aval.front() == '/')
                pathAttr = std::string(aval);
        } else if (EqualsNoCase(an, "secure")) {
            c.flags |= kFlagSecure;
        } else if (EqualsNoCase(an, "httponly")) {
            c.flags |= kFlagHttpOnly;
        }
    }

    if (domainAttr) {
        // A bare top-level label would let one site set cookies for all of them.
        if (!DomainMatches(url.host, *domainAttr) ||
            (*domainAttr != url.host && domainAttr->find('.') == std::string::npos))
            return std::nullopt;
        c.domain = *domainAttr;
    } else {
        c.domain = url.host;
        c.flags |= kFlagHostOnly;
    }
    if (HasControl(c.domain) || (pathAttr && HasControl(*pathAttr)))
        return std::nullopt;
    c.path = pathAttr ? *pathAttr : DefaultPath(url.path);
    if (maxAge) {
        out.persistent = true;
        c.expiry = *maxAge;
    } else if (expires) {
        out.persistent = true;
        c.expiry = *expires;
    }
    c.creation = now;
    return out;
}

}  // namespace brimlow::inetcache::detail
