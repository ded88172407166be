// The cookie store's calls: cookies of one source (user, host, path) live in one cookie text
// file named by that source's "Cookie:" entry; session cookies live in this process only.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/inetcache/Cookie.h"
#include "platform/inetcache/CookieFile.h"
#include "platform/inetcache/InetCache.h"
#include "platform/inetcache/SetCookie.h"
#include "platform/inetcache/Store.h"
#include "platform/inetcache/Urls.h"

namespace brimlow::inetcache {

using namespace detail;

namespace {

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

// Sets (or, with an expiry not after now, removes) one persistent cookie, and removes a
// persistent cookie of that key when a session cookie takes its place. One write
// transaction covers reading and rewriting the source's file.
void ChangePersistent(const StoreAccess& store, const Cookie& cookie, bool keep)
{
    const fs::path& storeFolder = store.folder;
    const std::string& user = store.user;
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
            up.Bind(4, static_cast<std::int64_t>(store.now));
            up.Run();
        }
        tx.Commit();
    } catch (const sqlite::Error& e) {
        throw StoreError(ErrorNumberOf(e), e.what());
    }
}

}  // namespace

bool InternetSetCookie(std::string_view url, std::string_view name, std::string_view data, const StoreAccess& store)
{
    const std::uint64_t now = store.now;
    const fs::path& storeFolder = store.folder;
    const auto parsedUrl = ParseUrl(url);
    const auto parsed = parsedUrl ? ParseSetCookie(*parsedUrl, name, data, now) : std::nullopt;
    if (!parsed || storeFolder.empty()) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    const Cookie& cookie = parsed->cookie;
    const SessionKey key{storeFolder.string(), cookie.domain, cookie.path, cookie.name};
    const bool removal = parsed->persistent && cookie.expiry <= now;
    try {
        if (!parsed->persistent) {
            // The new session cookie takes the place of a stored one of that key.
            ChangePersistent(store, cookie, false);
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
            ChangePersistent(store, cookie, !removal);
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
                       const StoreAccess& store)
{
    const fs::path& storeFolder = store.folder;
    if (!size || storeFolder.empty()) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    const auto u = ParseUrl(url);
    if (!u) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    const std::uint64_t now = store.now;
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
            const std::string& user = store.user;
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
