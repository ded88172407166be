// The cookie store: cookies of one source (user, host, path) live in one cookie text file
// named by that source's "Cookie:" entry; session cookies live in this process only.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/FileTime.h"
#include "platform/PosixIo.h"
#include "platform/Text.h"
#include "platform/inetcache/InetCache.h"
#include "platform/inetcache/Store.h"

namespace brimlow::inetcache {

using namespace detail;

namespace {

// Bits of a cookie's flags word in the cookie text file.
constexpr std::uint32_t kFlagSecure = 0x1;
constexpr std::uint32_t kFlagHostOnly = 0x400;
constexpr std::uint32_t kFlagHttpOnly = 0x2000;

constexpr std::uint64_t kFarFuture = std::numeric_limits<std::int64_t>::max();

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

bool IsDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

bool HasControl(std::string_view s) noexcept
{
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

std::uint64_t Now() noexcept
{
    return FileTimeFromTimePoint(std::chrono::system_clock::now());
}

// ---- dates ----

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

// ---- the cookie model ----

struct Cookie {
    std::string name;
    std::string value;
    std::string domain;  // lower case, no leading dot
    std::string path;
    std::uint32_t flags = 0;
    std::uint64_t expiry = 0;  // FILETIME; 0 for a session cookie
    std::uint64_t creation = 0;
};

struct SessionKey {
    std::string store;
    std::string domain;
    std::string path;
    std::string name;
    bool operator<(const SessionKey& o) const
    {
        return std::tie(store, domain, path, name) < std::tie(o.store, o.domain, o.path, o.name);
    }
};

std::mutex g_sessionMutex;
std::map<SessionKey, Cookie>& SessionCookies()
{
    static std::map<SessionKey, Cookie> cookies;
    return cookies;
}

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

// The directory of the URL's path, with its closing "/": a cookie set through its source's
// URL ("http://host/dir/") lands on that same source again.
std::string DefaultPath(std::string_view urlPath)
{
    const std::size_t slash = urlPath.rfind('/');
    if (urlPath.empty() || urlPath.front() != '/' || slash == std::string_view::npos)
        return "/";
    return std::string(urlPath.substr(0, slash + 1));
}

struct ParsedSet {
    Cookie cookie;
    bool persistent = false;
};

// The cookie that a set call describes; nothing for input that names no valid cookie.
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

// ---- cookie text files ----

std::string SourceUrl(const std::string& user, const Cookie& c)
{
    return "Cookie:" + user + "@" + c.domain + c.path;
}

std::vector<Cookie> ReadCookieFile(const fs::path& file, std::string_view domain, std::string_view path)
{
    std::vector<Cookie> cookies;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return cookies;
    std::string text;
    char buf[16384];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(fd);

    std::vector<std::string_view> lines;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
    }
    auto number = [](std::string_view s) -> std::uint64_t {
        std::uint64_t v = 0;
        for (char c : s) {
            if (!IsDigit(c))
                break;
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return v & 0xffffffffull;
    };
    for (std::size_t i = 0; i < lines.size();) {
        // A record is nine lines ending in "*"; a shorter one ends at its first "*" after the
        // value, and one cut short at the end of the file is dropped.
        std::size_t end = i + 8;
        if (end >= lines.size() || lines[end] != "*") {
            end = i + 2;
            while (end < lines.size() && lines[end] != "*")
                ++end;
        }
        if (end >= lines.size())
            break;
        Cookie c;
        c.name = std::string(lines[i]);
        c.value = std::string(lines[i + 1]);
        c.domain = std::string(domain);
        c.path = std::string(path);
        if (end - i == 8) {
            c.flags = static_cast<std::uint32_t>(number(lines[i + 3]));
            c.expiry = number(lines[i + 4]) | (number(lines[i + 5]) << 32);
            c.creation = number(lines[i + 6]) | (number(lines[i + 7]) << 32);
        }
        if (!c.name.empty())
            cookies.push_back(std::move(c));
        i = end + 1;
    }
    return cookies;
}

std::string CookieFileText(const std::vector<Cookie>& cookies)
{
    std::string out;
    for (const Cookie& c : cookies) {
        out += c.name + '\n' + c.value + '\n' + c.domain + c.path + '\n' + std::to_string(c.flags) + '\n' +
               std::to_string(c.expiry & 0xffffffffull) + '\n' + std::to_string(c.expiry >> 32) + '\n' +
               std::to_string(c.creation & 0xffffffffull) + '\n' + std::to_string(c.creation >> 32) + '\n' +
               "*\n";
    }
    return out;
}

[[noreturn]] void ThrowErrno(const std::string& what)
{
    const int e = errno;
    throw StoreError(e == EACCES || e == EPERM || e == EROFS ? kErrorAccessDenied : kErrorInternal, what);
}

// Temp file, its data on the disk, rename: a reader, and the disk after a crash, hold the
// old file or the new one, never a part. The rename itself is not flushed: like the index's
// last commits, a crash may undo the last change, but it cannot corrupt the file.
void WriteFileAtomically(const fs::path& file, const std::string& text)
{
    const fs::path tmp = file.parent_path() / ("." + file.filename().string() + ".tmp" + std::to_string(::getpid()));
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        ThrowErrno("cannot create " + tmp.string());
    if (!posix::WriteAll(fd, text)) {
        const int e = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        errno = e;
        ThrowErrno("cannot write " + tmp.string());
    }
    if (::fdatasync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(tmp.c_str());
        ThrowErrno("cannot write " + tmp.string());
    }
    if (::rename(tmp.c_str(), file.c_str()) != 0) {
        ::unlink(tmp.c_str());
        ThrowErrno("cannot replace " + file.string());
    }
}

// The file name of a source: its text with every byte outside [A-Za-z0-9.@_-] as %XX, so
// two sources never share a file.
std::string CookieFileName(const std::string& user, const Cookie& c)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string name;
    const std::string source = user + "@" + c.domain + (c.path == "/" ? std::string() : c.path);
    for (unsigned char ch : source) {
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || IsDigit(static_cast<char>(ch)) || ch == '.' ||
            ch == '@' || ch == '_' || ch == '-') {
            name += static_cast<char>(ch);
        } else {
            name += '%';
            name += hex[ch >> 4];
            name += hex[ch & 15];
        }
    }
    if (name.size() > 200) {
        std::uint64_t h = 1469598103934665603ull;
        for (unsigned char ch : source)
            h = (h ^ ch) * 1099511628211ull;
        std::string tail;
        for (int i = 0; i < 16; ++i)
            tail += hex[(h >> (60 - 4 * i)) & 15];
        name = name.substr(0, 150) + "~" + tail;
    }
    return name + ".txt";
}

// Sets (or, with an expiry not after now, removes) one persistent cookie, and removes a
// persistent cookie of that key when a session cookie takes its place. One write
// transaction covers reading and rewriting the source's file.
void ChangePersistent(const fs::path& storeFolder, const Cookie& cookie, bool keep)
{
    const std::string user = CookieUserName();
    const std::string source = SourceUrl(user, cookie);
    if (!keep) {
        // Nothing to remove from a store that is not there; a removal must not create it.
        struct stat st {};
        if (::stat((storeFolder / kIndexFileName).c_str(), &st) != 0 && errno == ENOENT)
            return;
    }
    WriteConnection connection = OpenForWrite(storeFolder);
    sqlite::Db& db = connection.db();
    try {
        sqlite::Transaction tx(db);
        EnsureSchema(db);
        std::optional<fs::path> file;
        bool hasEntry = false;
        {
            sqlite::Statement q(db, "SELECT local_file FROM entries WHERE url = ?1");
            q.Bind(1, std::string_view(source));
            if (q.Step()) {
                hasEntry = true;
                if (!q.IsNull(0) && !q.Text(0).empty())
                    file = fs::path(std::string(q.Text(0)));
            }
        }
        if (!hasEntry && !keep)
            return;
        std::vector<Cookie> cookies;
        if (file)
            cookies = ReadCookieFile(*file, cookie.domain, cookie.path);
        const auto same = std::find_if(cookies.begin(), cookies.end(),
                                       [&](const Cookie& c) { return c.name == cookie.name; });
        if (keep) {
            if (same != cookies.end()) {
                const std::uint64_t creation = same->creation;
                *same = cookie;
                same->creation = creation;  // a replaced cookie keeps its creation time
            } else {
                cookies.push_back(cookie);
            }
        } else if (same != cookies.end()) {
            cookies.erase(same);
        } else if (hasEntry && file) {
            return;  // nothing of that name in this source
        }

        if (cookies.empty()) {
            if (file)
                ::unlink(file->c_str());
            sqlite::Statement del(db, "DELETE FROM entries WHERE url = ?1");
            del.Bind(1, std::string_view(source));
            del.Run();
        } else {
            if (!file) {
                const fs::path folder = storeFolder / "Cookies";
                std::error_code ec;
                fs::create_directories(folder, ec);
                if (ec) {
                    errno = ec.value();
                    ThrowErrno("cannot create " + folder.string());
                }
                file = folder / CookieFileName(user, cookie);
            }
            WriteFileAtomically(*file, CookieFileText(cookies));
            std::uint64_t latest = 0;
            for (const Cookie& c : cookies)
                latest = std::max(latest, c.expiry);
            sqlite::Statement up(db,
                                 "INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time) "
                                 "VALUES(?1, ?2, 1, ?3, ?4) ON CONFLICT(url) DO UPDATE SET "
                                 "local_file = excluded.local_file, expire_time = excluded.expire_time, "
                                 "last_access_time = excluded.last_access_time");
            up.Bind(1, std::string_view(source));
            up.Bind(2, std::string_view(file->native()));
            up.Bind(3, static_cast<std::int64_t>(latest));
            up.Bind(4, static_cast<std::int64_t>(Now()));
            up.Run();
        }
        tx.Commit();
    } catch (const sqlite::Error& e) {
        throw StoreError(ErrorNumberOf(e), e.what());
    }
}

void SplitSource(std::string_view rest, std::string& domain, std::string& path)
{
    const std::size_t slash = rest.find('/');
    domain = std::string(rest.substr(0, slash));
    path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
}

}  // namespace

namespace detail {

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
        out.path = "/";
    }
    return out;
}

}  // namespace detail

bool InternetSetCookie(std::string_view url, std::string_view name, std::string_view data, const fs::path& storeFolder)
{
    const std::uint64_t now = Now();
    const auto parsedUrl = ParseUrl(url);
    const auto parsed = parsedUrl ? ParseSetCookie(*parsedUrl, name, data, now) : std::nullopt;
    if (!parsed) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    const Cookie& cookie = parsed->cookie;
    const SessionKey key{storeFolder.string(), cookie.domain, cookie.path, cookie.name};
    const bool removal = parsed->persistent && cookie.expiry <= now;
    try {
        if (!parsed->persistent) {
            // The new session cookie takes the place of a stored one of that key.
            ChangePersistent(storeFolder, cookie, false);
            std::lock_guard lock(g_sessionMutex);
            auto& sessions = SessionCookies();
            if (auto it = sessions.find(key); it != sessions.end()) {
                const std::uint64_t creation = it->second.creation;
                it->second = cookie;
                it->second.creation = creation;
            } else {
                sessions.emplace(key, cookie);
            }
        } else {
            ChangePersistent(storeFolder, cookie, !removal);
            std::lock_guard lock(g_sessionMutex);
            SessionCookies().erase(key);
        }
    } catch (...) {
        SetLastErrorFromCurrentException();
        return false;
    }
    SetLastError(0);
    return true;
}

bool InternetGetCookie(std::string_view url, std::string_view /*name*/, std::string* data, std::uint32_t* size,
                       const fs::path& storeFolder)
{
    if (!size) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    const auto u = ParseUrl(url);
    if (!u) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    const std::uint64_t now = Now();
    const bool secureScheme = u->scheme == "https" || u->scheme == "wss";
    std::vector<Cookie> found;
    auto wanted = [&](const Cookie& c) {
        if ((c.flags & kFlagHostOnly) ? c.domain != u->host : !DomainMatches(u->host, c.domain))
            return false;
        if ((c.flags & kFlagSecure) && !secureScheme)
            return false;
        return PathMatches(u->path, c.path) && (c.expiry == 0 || c.expiry > now);
    };
    try {
        {
            std::lock_guard lock(g_sessionMutex);
            const std::string store = storeFolder.string();
            for (const auto& [key, c] : SessionCookies())
                if (key.store == store && wanted(c))
                    found.push_back(c);
        }
        std::optional<WriteConnection> kept = BorrowKeptConnection(storeFolder);
        std::optional<sqlite::Db> own;
        if (!kept)
            own = OpenForRead(storeFolder);
        if (sqlite::Db* db = kept ? &kept->db() : own ? &*own : nullptr) {
            const std::string user = CookieUserName();
            // The sources of the host and of every domain above it: a range on url each.
            sqlite::Statement q(*db, "SELECT url, local_file FROM entries WHERE url >= ?1 AND url < ?2");
            std::string_view domain = u->host;
            while (!domain.empty()) {
                const std::string low = "Cookie:" + user + "@" + std::string(domain) + "/";
                std::string high = low;
                high.back() = '/' + 1;
                q.Bind(1, std::string_view(low)).Bind(2, std::string_view(high));
                while (q.Step()) {
                    if (q.IsNull(1))
                        continue;
                    std::string d, p;
                    SplitSource(q.Text(0).substr(7 + user.size() + 1), d, p);
                    for (Cookie& c : ReadCookieFile(fs::path(std::string(q.Text(1))), d, p))
                        if (wanted(c))
                            found.push_back(std::move(c));
                }
                q.Reset();
                if (IsIpAddress(domain))
                    break;
                const std::size_t dot = domain.find('.');
                domain = dot == std::string_view::npos ? std::string_view() : domain.substr(dot + 1);
            }
        }
    } catch (...) {
        SetLastErrorFromCurrentException();
        return false;
    }
    if (found.empty()) {
        SetLastError(kErrorNoMoreItems);
        return false;
    }
    // Longer paths first, then the older cookie first.
    std::stable_sort(found.begin(), found.end(), [](const Cookie& a, const Cookie& b) {
        if (a.path.size() != b.path.size())
            return a.path.size() > b.path.size();
        return a.creation < b.creation;
    });
    std::string text;
    for (const Cookie& c : found) {
        if (!text.empty())
            text += "; ";
        text += c.name + "=" + c.value;
    }
    const std::uint64_t needed64 = text.size() + 1;
    const std::uint32_t needed =
        needed64 > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                             : static_cast<std::uint32_t>(needed64);
    if (!data) {
        *size = needed;
        SetLastError(0);
        return true;
    }
    if (*size < needed) {
        *size = needed;
        SetLastError(kErrorInsufficientBuffer);
        return false;
    }
    *data = std::move(text);
    *size = needed;
    SetLastError(0);
    return true;
}

}  // namespace brimlow::inetcache
