#include "platform/inetcache/Urls.h"

#include <algorithm>

#include "platform/Text.h"
#include "platform/inetcache/Cookie.h"

namespace brimlow::inetcache::detail {

using text::ToLowerAscii;

bool IsIpAddress(std::string_view host) noexcept
{
    if (!host.empty() && host.front() == '[')
        return true;
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return IsDigit(c) || c == '.'; });
}

bool DomainMatches(std::string_view host, std::string_view domain) noexcept
{
    if (host == domain)
        return true;
    return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
           host[host.size() - domain.size() - 1] == '.' && !IsIpAddress(host);
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) noexcept
{
    if (requestPath == cookiePath)
        return true;
    if (requestPath.size() > cookiePath.size() && requestPath.substr(0, cookiePath.size()) == cookiePath)
        return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
    return false;
}

std::string DefaultPath(std::string_view urlPath)
{
    const std::size_t slash = urlPath.rfind('/');
    if (urlPath.empty() || urlPath.front() != '/' || slash == std::string_view::npos)
        return "/";
    return std::string(urlPath.substr(0, slash + 1));
}

std::optional<ParsedUrl> ParseUrl(std::string_view url)
{
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    ParsedUrl out;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = url[i];
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (i > 0 && (IsDigit(c) || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return std::nullopt;
    }
    out.scheme = ToLowerAscii(url.substr(0, colon));
    std::string_view rest = url.substr(colon + 3);
    if (std::any_of(rest.begin(), rest.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u <= 0x20 || u == 0x7f;
        }))
        return std::nullopt;
    const std::size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host = authority;
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string_view port = host.substr(close + 1);
        host = host.substr(0, close + 1);
        if (!port.empty() && (port.front() != ':' || !std::all_of(port.begin() + 1, port.end(), IsDigit)))
            return std::nullopt;
    } else if (const std::size_t pc = host.find(':'); pc != std::string_view::npos) {
        const std::string_view port = host.substr(pc + 1);
        if (!std::all_of(port.begin(), port.end(), IsDigit))
            return std::nullopt;
        host = host.substr(0, pc);
    }
    if (host.empty() || host.front() == '.' || host.find("..") != std::string_view::npos)
        return std::nullopt;
    if (host.front() != '[' && !std::all_of(host.begin(), host.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '.' || c == '_';
        }))
        return std::nullopt;
    out.host = ToLowerAscii(host);
    if (out.host.back() == '.')
        out.host.pop_back();
    if (out.host.empty())
        return std::nullopt;
    if (end != std::string_view::npos && rest[end] == '/') {
        std::string_view path = rest.substr(end);
        path = path.substr(0, path.find_first_of("?#"));
        out.path = std::string(path);
    } else {
        out.path.assign(1, '/');  // not = "/": GCC 12 warns falsely of an overlap there
    }
    return out;
}

}  // namespace brimlow::inetcache::detail
