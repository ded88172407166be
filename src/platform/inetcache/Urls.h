#pragma once
// Inside the store: the URLs that cookies are set and asked for, and how a cookie's domain
// and path match them.
#include <optional>
#include <string>
#include <string_view>

namespace brimlow::inetcache::detail {

struct ParsedUrl {
    std::string scheme;  // lower case
    std::string host;    // lower case, without port
    std::string path;    // from the first "/", without query and fragment; "/" when empty
};
// Nothing for text that is not an absolute URL with a host.
std::optional<ParsedUrl> ParseUrl(std::string_view url);

bool IsIpAddress(std::string_view host) noexcept;
// The host is the domain, or a name below it (never an address).
bool DomainMatches(std::string_view host, std::string_view domain) noexcept;
bool PathMatches(std::string_view requestPath, std::string_view cookiePath) noexcept;
// The directory of the URL's path, with its closing "/": a cookie set through its source's
// URL ("http://host/dir/") lands on that same source again.
std::string DefaultPath(std::string_view urlPath);

}  // namespace brimlow::inetcache::detail
