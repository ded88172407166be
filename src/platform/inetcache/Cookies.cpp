// The cookie store's calls: cookies of one source (user, host, path) live in one cookie text
// file named by that source's "Cookie:" entry; session cookies live in this process only.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include "platform/Platform.h"
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

PosixFileCalls g_realFileCalls;

FileCalls& CallsOf(const StoreAccess& store)
{
    return store.files ? *store.files : g_realFileCalls;
}

// The source rows of the index, as a range on url: "Cookie:" sorts before every other
// spelling of the prefix that the store writes.
constexpr const char* kCookieFilesSql =
    "SELECT local_file FROM entries WHERE url >= 'Cookie:' AND url < 'Cookie;' AND local_file IS NOT NULL";

// Removes the files of the store's making in Cookies/ that no entry names: what a process
// killed between writing a file and committing it, or between the commit and the removal
// of the old file, left behind. Under the write lock no change of another process is half
// done, so every such file is one that nothing will name. At the first change of a process
// to a store, and again at the first of each session.
void RemoveLeftoverFiles(sqlite::Db& db, const fs::path& storeFolder, FileCalls& calls)
{
    static std::mutex mutex;
    static pid_t owner = 0;
    static std::map<std::string, std::uint64_t> done;  // store -> the session count then
    {
        std::lock_guard lock(mutex);
        if (owner != ::getpid()) {
            owner = ::getpid();  // a forked process is a process of its own
            done.clear();
        }
        const std::uint64_t sessions = SessionsBegun();
        const auto [it, added] = done.try_emplace(storeFolder.lexically_normal().string(), sessions);
        if (!added && it->second == sessions)
            return;
        it->second = sessions;
    }
    const fs::path folder = storeFolder / kCookieFolder;
    std::vector<std::string> candidates;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (IsStoreCookieFileName(name) && it->symlink_status(ec).type() == fs::file_type::regular)
            candidates.push_back(name);
    }
    if (candidates.empty())
        return;
    std::set<std::string> named;
    sqlite::Statement q(db, kCookieFilesSql);
    while (q.Step())
        named.insert(fs::path(std::string(q.Text(0))).filename().string());
    for (const std::string& name : candidates)
        if (!named.count(name))
            calls.Unlink((folder / name).c_str());
}

// Sets (or, with an expiry not after now, removes) one persistent cookie, and removes a
// persistent cookie of that key when a session cookie takes its place. The change happens
// at the commit of one write transaction, which names the source's new file; the old file
// goes after it.
CookieSetReport ChangePersistent(const StoreAccess& store, const Cookie& cookie, bool keep)
{
    const fs::path& storeFolder = store.folder;
    const std::string& user = store.user;
    const std::string source = SourceUrl(user, cookie);
    FileCalls& calls = CallsOf(store);
    CookieSetReport report;
    if (!keep) {
        // Nothing to remove from a store that is not there; a removal must not create it.
        struct stat st {};
        if (::stat((storeFolder / kIndexFileName).c_str(), &st) != 0 && errno == ENOENT)
            return report;
    }
    WriteConnection connection = OpenForWrite(storeFolder);
    sqlite::Db& db = connection.db();
    std::optional<fs::path> obsolete;  // the file the committed change no longer names
    fs::path written;                  // the new file, until the commit names it
    try {
        sqlite::Transaction tx(db);
        EnsureSchema(db);
        RemoveLeftoverFiles(db, storeFolder, calls);
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
            return report;
        std::vector<Cookie> cookies;
        CookieFileRead read = CookieFileRead::Gone;
        if (file) {
            cookies = ReadCookieFile(*file, cookie.domain, cookie.path, &read);
            // Rewriting a file that cannot be read would drop the cookies it holds.
            if (read == CookieFileRead::Unreadable)
                throw StoreError(kErrorAccessDenied, "cannot read " + file->string());
        }
        // An entry whose file is gone holds no cookie: the change starts it afresh, and a
        // removal takes the entry with it.
        const bool lostFile = hasEntry && read == CookieFileRead::Gone;
        const auto same = std::find_if(cookies.begin(), cookies.end(),
                                       [&](const Cookie& c) { return c.name == cookie.name; });
        report.changed = true;
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
        } else {
            report.changed = false;  // nothing of that name in this source
            if (!lostFile)
                return report;
        }

        if (cookies.empty()) {
            sqlite::Statement del(db, "DELETE FROM entries WHERE url = ?1");
            del.Bind(1, std::string_view(source));
            del.Run();
        } else {
            const fs::path folder = storeFolder / kCookieFolder;
            std::error_code ec;
            fs::create_directories(folder, ec);
            if (ec) {
                errno = ec.value();
                ThrowErrno("cannot create " + folder.string());
            }
            // Within a session the files go to the disk together at its end.
            const bool deferred = connection.DefersSync();
            written = WriteNewCookieFile(folder, CookieFileStem(user, cookie), CookieFileText(cookies), calls,
                                         !deferred);
            if (deferred)
                connection.NoteUnsynced(written, calls);
            std::uint64_t latest = 0;
            for (const Cookie& c : cookies)
                latest = std::max(latest, c.expiry);
            sqlite::Statement up(db,
                                 "INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time) "
                                 "VALUES(?1, ?2, 1, ?3, ?4) ON CONFLICT(url) DO UPDATE SET "
                                 "local_file = excluded.local_file, expire_time = excluded.expire_time, "
                                 "last_access_time = excluded.last_access_time");
            up.Bind(1, std::string_view(source));
            up.Bind(2, std::string_view(written.native()));
            up.Bind(3, static_cast<std::int64_t>(latest));
            up.Bind(4, static_cast<std::int64_t>(store.now));
            up.Run();
        }
        if (file && !lostFile)
            obsolete = *file;
        tx.Commit();
        written.clear();
    } catch (const sqlite::Error& e) {
        if (!written.empty())
            calls.Unlink(written.c_str());
        throw StoreError(ErrorNumberOf(e), e.what());
    } catch (...) {
        if (!written.empty())
            calls.Unlink(written.c_str());
        throw;
    }
    // Another process's first change may have removed it already, as a leftover.
    if (obsolete && calls.Unlink(obsolete->c_str()) != 0 && errno != ENOENT) {
        report.leftError = errno;
        report.leftFile = obsolete->string();
    }
    return report;
}

}  // namespace

bool InternetSetCookie(std::string_view url, std::string_view name, std::string_view data, const StoreAccess& store,
                       CookieSetReport* report)
{
    CookieSetReport unused;
    CookieSetReport& out = report ? *report : unused;
    out = {};
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
            out = ChangePersistent(store, cookie, false);
            out.changed = true;
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
            out = ChangePersistent(store, cookie, !removal);
            std::lock_guard lock(g_sessionMutex);
            if (SessionCookies().erase(key) > 0)
                out.changed = true;
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
            // The sources of the host and of every domain above it, this user's and every
            // user's: a range on url each.
            sqlite::Statement q(*db, "SELECT url, local_file FROM entries WHERE url >= ?1 AND url < ?2");
            std::vector<std::string> users{store.user};
            if (store.user != kAnyUser)
                users.emplace_back(kAnyUser);
            for (const std::string& user : users) {
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

bool FindCookieSource(std::string_view sourceUrl, CacheEntry& entry, const StoreAccess& store)
{
    try {
        RefuseUnnamedStore(store.folder);
        std::optional<WriteConnection> kept = BorrowKeptConnection(store.folder);
        std::optional<sqlite::Db> own;
        if (!kept)
            own = OpenForRead(store.folder);
        if (sqlite::Db* db = kept ? &kept->db() : own ? &*own : nullptr) {
            sqlite::Statement q(*db,
                                "SELECT url, local_file, hit_rate, expire_time, last_access_time, header "
                                "FROM entries WHERE url = ?1");
            q.Bind(1, sourceUrl);
            if (q.Step()) {
                entry.sourceUrl.assign(q.Text(0));
                if (q.IsNull(1))
                    entry.localFileName.reset();
                else
                    entry.localFileName.emplace(q.Text(1));
                entry.hitRate = static_cast<std::uint32_t>(q.Int(2));
                entry.expireTime = static_cast<std::uint64_t>(q.Int(3));
                entry.lastAccessTime = static_cast<std::uint64_t>(q.Int(4));
                entry.headerInfo.assign(q.Blob(5));
                SetLastError(0);
                return true;
            }
        }
    } catch (...) {
        SetLastErrorFromCurrentException();
        return false;
    }
    SetLastError(kErrorFileNotFound);
    return false;
}

bool RemoveCookieSourceWithoutFile(std::string_view sourceUrl, const StoreAccess& store)
{
    const std::string own = "Cookie:" + store.user + "@";
    const std::string everyone = std::string("Cookie:") + kAnyUser + "@";
    if (sourceUrl.substr(0, own.size()) != own && sourceUrl.substr(0, everyone.size()) != everyone) {
        SetLastError(kErrorAccessDenied);
        return false;
    }
    try {
        RefuseUnnamedStore(store.folder);
        if (!UrlCacheStoreExists(store.folder)) {
            SetLastError(kErrorFileNotFound);
            return false;
        }
        WriteConnection connection = OpenForWrite(store.folder);
        sqlite::Db& db = connection.db();
        try {
            sqlite::Transaction tx(db);
            std::optional<std::string> file;
            {
                sqlite::Statement q(db, "SELECT local_file FROM entries WHERE url = ?1 AND local_file IS NOT NULL");
                q.Bind(1, sourceUrl);
                if (q.Step())
                    file.emplace(q.Text(0));
            }
            struct stat st {};
            if (!file || ::lstat(file->c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR)) {
                SetLastError(kErrorFileNotFound);
                return false;
            }
            sqlite::Statement del(db, "DELETE FROM entries WHERE url = ?1");
            del.Bind(1, sourceUrl);
            del.Run();
            tx.Commit();
        } catch (const sqlite::Error& e) {
            throw StoreError(ErrorNumberOf(e), e.what());
        }
    } catch (...) {
        SetLastErrorFromCurrentException();
        return false;
    }
    SetLastError(0);
    return true;
}

}  // namespace brimlow::inetcache
