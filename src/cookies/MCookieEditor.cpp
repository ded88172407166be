#include "cookies/MCookieEditor.h"

#include <chrono>
#include <cstring>
#include <cstdint>
#include <deque>
#include <utility>

#include "cachebrowser/MUrlHound.h"
#include "cachedump/CacheDumpRecord.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "platform/inetcache/InetCache.h"
#include "host/MActivityReport.h"

namespace brimlow {

namespace {

std::vector<CookieEntry> g_cookieEntries;
CacheDump g_cookieDump;                 // the bytes the entries view
std::deque<std::string> g_updatedTexts;  // the texts of the entries updated since the load
std::vector<FileCookie> g_fileCookies;
LiveCookieTable g_liveCookies;

// 1..maxDigits decimal digits, the whole text.
std::optional<int> Number(std::string_view s, std::size_t minDigits, std::size_t maxDigits)
{
    if (s.size() < minDigits || s.size() > maxDigits)
        return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

std::optional<CalendarDate> RecognizeDumpDate(std::string_view text)
{
    const std::size_t a = text.find('/');
    const std::size_t b = a == std::string_view::npos ? a : text.find('/', a + 1);
    if (b == std::string_view::npos)
        return std::nullopt;
    const auto m = Number(text.substr(0, a), 1, 2);
    const auto d = Number(text.substr(a + 1, b - a - 1), 1, 2);
    const auto y = Number(text.substr(b + 1), 4, 4);
    if (!m || !d || !y || *y == 0)
        return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year(*y), std::chrono::month(static_cast<unsigned>(*m)),
                                          std::chrono::day(static_cast<unsigned>(*d))};
    if (!ymd.ok())
        return std::nullopt;
    return CalendarDate{*y, *m, *d};
}

// ---- the cookie dump ----

namespace {

// Hands each record of a cookie dump to `take`; the outcome says what the file held.
// `reuse`: the dump being replaced, whose blocks the new one takes (ReadCacheDump).
template <typename Take>
DumpLoad ReadCookieDumpRecords(const std::filesystem::path& path, Take&& take, CacheDump reuse = {})
{
    if (!textfile::FileExists(path))
        return DumpLoad::Missing;
    try {
        bool truncated = false;
        CacheDump records = ReadCacheDump(path, &truncated, std::move(reuse));
        take(records);
        return truncated ? DumpLoad::Truncated : DumpLoad::Complete;
    } catch (const RuntimeError&) {
        return DumpLoad::Unreadable;
    }
}

}  // namespace

std::vector<std::string> ReadCookieDumpSources(const Platform& platform, DumpLoad* outcome)
{
    std::vector<std::string> sources;
    const DumpLoad result = ReadCookieDumpRecords(textfile::InFolder(platform.programFolder, kCookieDumpName),
                                                  [&sources](const CacheDump& records) {
                                                      sources.reserve(records.size());
                                                      for (const CacheRecord& r : records)
                                                          sources.emplace_back(r.Source);
                                                  });
    if (result == DumpLoad::Unreadable)
        sources.clear();
    if (outcome)
        *outcome = result;
    return sources;
}

DumpLoad LoadCookieDump(const Platform& platform)
{
    // The entries and the bytes they view are replaced together: the old ones go first, so
    // nothing views the old dump while its blocks (and the table's room) take the new one.
    g_cookieEntries.clear();
    g_updatedTexts.clear();
    CacheDump replaced = std::exchange(g_cookieDump, CacheDump());
    const DumpLoad outcome = ReadCookieDumpRecords(
        textfile::InFolder(platform.programFolder, kCookieDumpName),
        [](CacheDump& records) {
            // The dump is kept first: the entries view it even if the table's growth fails.
            g_cookieDump = std::move(records);
            g_cookieEntries.reserve(g_cookieDump.size());
            for (const CacheRecord& r : g_cookieDump) {
                const bool dated = RecognizeDumpDate(r.Expires).has_value();
                g_cookieEntries.push_back({r.Source, r.Location, dated ? r.Expires : kNoExpiryDate, r.Accessed});
            }
        },
        std::move(replaced));
    if (outcome == DumpLoad::Unreadable) {
        g_cookieEntries.clear();
        g_cookieDump = CacheDump();
    }
    return outcome;
}

const std::vector<CookieEntry>& CookieEntries()
{
    return g_cookieEntries;
}

std::size_t iCookieCount()
{
    return g_cookieEntries.size();
}

void ForgetCookieEntry(std::size_t index)
{
    if (index < g_cookieEntries.size())
        g_cookieEntries.erase(g_cookieEntries.begin() + static_cast<std::ptrdiff_t>(index));
}

void UpdateCookieEntry(std::size_t index, const inetcache::CacheEntry& stored)
{
    if (index >= g_cookieEntries.size())
        return;
    // The source as a dump would load it, in texts of its own: the entries view them.
    const auto keep = [](std::string text) -> std::string_view { return g_updatedTexts.emplace_back(std::move(text)); };
    std::string expires;
    AppendDumpDate(expires, stored.expireTime);
    std::string accessed;
    AppendDumpDate(accessed, stored.lastAccessTime);
    CookieEntry& e = g_cookieEntries[index];
    e.Source = keep(stored.sourceUrl);
    e.FileName = stored.localFileName ? keep(*stored.localFileName) : std::string_view(kNoLocalFile);
    e.Expires = RecognizeDumpDate(expires) ? keep(std::move(expires)) : std::string_view(kNoExpiryDate);
    e.Accessed = keep(std::move(accessed));
}

// ---- cookie files ----

std::vector<FileCookie> ParseCookieFileText(std::string_view bytes)
{
    std::vector<FileCookie> cookies;
    auto nextLine = [&bytes](std::string_view& line) {
        if (bytes.empty())
            return false;
        // The line rule of every reader: a CR right before an LF is no part of the line.
        const std::size_t lf = bytes.find('\n');
        line = bytes.substr(0, lf);
        bytes = lf == std::string_view::npos ? std::string_view() : bytes.substr(lf + 1);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return true;
    };
    auto word = [](std::string_view s) -> std::optional<std::uint64_t> {
        if (s.empty() || s.size() > 10)
            return std::nullopt;
        std::uint64_t v = 0;
        for (char c : s) {
            if (c < '0' || c > '9')
                return std::nullopt;
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return v <= 0xffffffffull ? std::optional(v) : std::nullopt;
    };
    std::string_view line;
    while (nextLine(line)) {
        FileCookie c;
        c.Name = std::string(line);
        if (nextLine(line)) {
            c.Value = std::string(line);
            std::vector<std::string_view> rest;  // the lines after the value, "*" included
            while (line != "*" && nextLine(line))
                rest.push_back(line);
            if (rest.size() == 7 && rest[6] == "*") {
                const auto low = word(rest[2]), high = word(rest[3]);
                if (low && high)
                    c.Expiry = *low | (*high << 32);
            }
        }
        cookies.push_back(std::move(c));
    }
    return cookies;
}

void LoadCookieFile(const std::filesystem::path& Path)
{
    g_fileCookies.clear();
    if (!textfile::FileExists(Path))
        return;
    try {
        g_fileCookies = ParseCookieFileText(textfile::ReadAll(Path));
    } catch (const RuntimeError&) {
        g_fileCookies.clear();  // unreadable: no cookies rather than half a table
    }
}

const std::vector<FileCookie>& FileCookies()
{
    return g_fileCookies;
}

// ---- live cookies ----

std::string GetCookie(const Platform& platform, std::string_view Url, std::string_view Name)
{
    // Asked for its size first, the store may have grown the text by the second call:
    // ask again with the larger size rather than cut it.
    const inetcache::StoreAccess store = inetcache::StoreAccessOf(platform);
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::uint32_t size = 0;
        if (!inetcache::InternetGetCookie(Url, Name, nullptr, &size, store))
            return kCookieErrorText;
        std::string text;
        if (inetcache::InternetGetCookie(Url, Name, &text, &size, store))
            return text;
        if (inetcache::GetLastError() != inetcache::kErrorInsufficientBuffer)
            return kCookieErrorText;
    }
    return kCookieErrorText;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

LiveCookieTable SplitCookieString(std::string_view text)
{
    LiveCookieTable table;
    if (text == kCookieErrorText) {
        table.entries.resize(3);
        table.entries[1] = {kCookieErrorText, kCookieErrorText};
        table.scanned = 2;
        return table;
    }
    if (text.empty())
        return table;  // no part at all
    for (;;) {
        const std::size_t semi = text.find(';');
        const std::string_view part = text.substr(0, semi);
        const std::size_t eq = part.find('=');
        if (eq == std::string_view::npos)
            table.entries.push_back({std::string(TrimBlanks(part)), std::string()});
        else
            table.entries.push_back(
                {std::string(TrimBlanks(part.substr(0, eq))), std::string(TrimBlanks(part.substr(eq + 1)))});
        if (semi == std::string_view::npos)
            break;
        text.remove_prefix(semi + 1);
    }
    table.scanned = table.entries.size();
    return table;
}

void ParseCookieString(std::string_view text)
{
    g_liveCookies = SplitCookieString(text);
}

const LiveCookieTable& LiveCookies()
{
    return g_liveCookies;
}

void ReleaseCookieTables()
{
    std::vector<CookieEntry>().swap(g_cookieEntries);
    g_cookieDump = CacheDump{};
    std::deque<std::string>().swap(g_updatedTexts);
    std::vector<FileCookie>().swap(g_fileCookies);
    g_liveCookies = LiveCookieTable{};
}

// ---- setting and expiring cookies ----

std::string ExpiryText(const CalendarDate& date)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::chrono::year_month_day ymd{std::chrono::year(date.year),
                                          std::chrono::month(static_cast<unsigned>(date.month)),
                                          std::chrono::day(static_cast<unsigned>(date.day))};
    const unsigned weekday = std::chrono::weekday(std::chrono::sys_days(ymd)).c_encoding();  // 0 = Sunday
    return std::string(kDays[weekday % 7]) + "," + std::to_string(date.day) + "-" +
           kMonths[(static_cast<unsigned>(date.month) - 1) % 12] + "-" + std::to_string(date.year) + " 00:00:00 GMT";
}

std::string CookieUrl(std::string_view source)
{
    const std::size_t at = source.find('@');
    std::string url = "http://" + std::string(at == std::string_view::npos ? source : source.substr(at + 1));
    if (url.back() != '/')
        url += '/';
    return url;
}

std::string CookieData(std::string_view value, std::string_view expiryText)
{
    return std::string(value) + "; expires = " + std::string(expiryText);
}

std::string_view CookieSourceUser(std::string_view source)
{
    if (source.substr(0, 7) != "Cookie:")
        return {};
    const std::string_view rest = source.substr(7);
    const std::size_t at = rest.find('@');
    return at == std::string_view::npos ? std::string_view() : rest.substr(0, at);
}

std::string_view CookieSourcePath(std::string_view source)
{
    if (source.substr(0, 7) != "Cookie:")
        return {};
    const std::size_t at = source.find('@', 7);
    if (at == std::string_view::npos)
        return {};
    const std::size_t slash = source.find('/', at + 1);
    return slash == std::string_view::npos ? std::string_view("/") : source.substr(slash);
}

std::string SourceCookieData(std::string_view source, std::string_view value, std::string_view expiryText)
{
    std::string data = CookieData(value, expiryText);
    const std::string_view path = CookieSourcePath(source);
    if (!path.empty() && path.back() != '/')
        data.append("; path=").append(path);
    return data;
}

std::string LiveCookieUrl(std::string_view source)
{
    return "https://" + CookieUrl(source).substr(7);
}

SetOutcome SetCookie(const Platform& platform, std::string_view Url, std::string_view Name, std::string_view Data,
                     std::string_view sourceUser)
{
    inetcache::StoreAccess store = inetcache::StoreAccessOf(platform);
    if (sourceUser == inetcache::kAnyUser)
        store.user = inetcache::kAnyUser;
    inetcache::CookieSetReport report;
    const bool ok = inetcache::InternetSetCookie(Url, Name, Data, store, &report);
    const SetOutcome outcome = !ok ? SetOutcome::Refused : report.changed ? SetOutcome::Set : SetOutcome::NothingFound;
    std::string entry = outcome == SetOutcome::Refused        ? std::string("ERROR SETTING COOKIE:\r\n")
                        : outcome == SetOutcome::NothingFound ? std::string(kNothingRemovedLog)
                                                              : std::string();
    entry.append("Source: ").append(LogSafe(Url)).append("\r\n");
    entry.append("Name: ").append(LogSafe(Name)).append("\r\n");
    entry.append("Value: ").append(LogSafe(Data)).append("\r\n");
    if (!report.leftFile.empty())
        entry.append(kFileLeftLog).append(LogSafe(report.leftFile)).append(" (").append(std::strerror(report.leftError))
            .append(")\r\n");
    AppendActivityLog(platform, entry);
    return outcome;
}

bool IsOwnCookie(const Platform& platform, std::string_view Source)
{
    if (Source.find("Cookie:") == std::string_view::npos)
        return true;
    const std::string_view rest = Source.size() > 7 ? Source.substr(7) : std::string_view();
    const std::size_t at = rest.find('@');
    if (at == std::string_view::npos)
        return false;  // names no user: nobody's to change
    const std::string_view user = rest.substr(0, at);
    if (user == inetcache::kAnyUser)
        return true;
    return user == inetcache::CookieUserOf(platform);
}

}  // namespace brimlow
