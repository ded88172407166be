#pragma once
// The per-user Internet cache and cookie store: the calls the program makes of it mirror
// the system cache calls (find first / find next / close, get cookie, set cookie, commit an
// entry), with a thread-local last error as those calls have.
//
// The store is one SQLite file, index.sqlite, in the folder the caller names (the Platform's
// storeFolder); its schema is a contract that tests and tools may seed directly:
//   entries(seq INTEGER PRIMARY KEY AUTOINCREMENT, url TEXT NOT NULL UNIQUE, local_file TEXT,
//           hit_rate INTEGER NOT NULL DEFAULT 0, expire_time INTEGER NOT NULL DEFAULT 0,
//           last_access_time INTEGER NOT NULL DEFAULT 0, header BLOB)
// Times are FILETIME ticks (100 ns since 1601-01-01 UTC).
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace brimlow {
class FileCalls;
struct Platform;
}

namespace brimlow::inetcache {

namespace fs = std::filesystem;

inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorNoMoreItems = 259;
// The store is in use: a write that waited out the busy timeout.
inline constexpr std::uint32_t kErrorBusy = 170;
inline constexpr std::uint32_t kErrorInternal = 1359;
// The store file is not a database or is damaged.
inline constexpr std::uint32_t kErrorFileCorrupt = 1392;
// The store was written by a newer version (its user_version is higher than ours).
inline constexpr std::uint32_t kErrorRevisionMismatch = 1306;

// The table of index.sqlite, as tests and tools may create it.
inline constexpr const char* kEntriesTableSql =
    "CREATE TABLE entries(seq INTEGER PRIMARY KEY AUTOINCREMENT, url TEXT NOT NULL UNIQUE, local_file TEXT, "
    "hit_rate INTEGER NOT NULL DEFAULT 0, expire_time INTEGER NOT NULL DEFAULT 0, "
    "last_access_time INTEGER NOT NULL DEFAULT 0, header BLOB)";

// The size of the fixed part of an entry record; an entry needs this plus its strings with
// their terminating zeros plus its header bytes.
inline constexpr std::uint32_t kEntryRecordSize = 112;

std::uint32_t GetLastError() noexcept;

// What a cookie call acts on and for: the store's folder, the user part of this user's
// cookie sources ("Cookie:<user>@..."), and the time that says which cookies have expired.
// Made for each call, so that its time is the call's.
struct StoreAccess {
    fs::path folder;        // empty: no store is named, and the call fails with 87
    std::string user;       // lower case
    std::uint64_t now = 0;  // FILETIME
    FileCalls* files = nullptr;  // the calls that write and remove cookie files; nullptr: the real ones
};

// The user part of the cookie sources that belong to every user: they are live for each
// user, and a change made for this user part changes them.
inline constexpr const char* kAnyUser = "anyuser";

// The user part of the Platform's user's cookie sources: the login name in lower case.
std::string CookieUserOf(const Platform& platform);

// The store of the Platform's storeFolder, for CookieUserOf(platform), at its clock's time
// now.
StoreAccess StoreAccessOf(const Platform& platform);

// Many changes in a row (a deletion pass over many cookies): while a session lives, the
// process keeps its connection to the store open between the calls, instead of opening the
// store for every cookie and folding its write-ahead log into the file, with several
// flushes to the disk, at every close; and the cookie files that the changes write reach
// the disk together at its end rather than one by one. The last session's end does both.
// Sessions may nest; not to be ended inside a store call.
class StoreSession {
public:
    StoreSession();
    ~StoreSession();  // ends the session, as End does, when End has not
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    // Ends the session. The last one puts its changes' cookie files on the disk: false when
    // one of them (or its folder) could not be, `failure` then saying why and which
    // ("<why>: <file>"); the changes stand, but may not outlive a crash.
    bool End(std::string& failure);

private:
    bool m_ended = false;
};

struct CacheEntry {
    std::string sourceUrl;
    std::optional<std::string> localFileName;  // nullopt: the entry has no local file
    std::uint32_t hitRate = 0;
    std::uint64_t expireTime = 0;
    std::uint64_t lastAccessTime = 0;
    std::string headerInfo;  // empty: no header block
};

std::uint32_t EntrySize(const CacheEntry& entry) noexcept;

// Readers of the cache index read it line by line: an entry whose url or local file name
// holds a line end or a zero byte, or whose header block holds a line that is "@" alone
// (with or without CR), would read as more, fewer or shifted entries. Such an entry is
// refused by the commit.
bool IsLineSafeEntry(const CacheEntry& entry) noexcept;

// One walk of the index in seq order. Destroying it closes it (FindCloseUrlCache).
class CacheEnumeration {
public:
    virtual ~CacheEnumeration() = default;
    // The next entry when it fits `bufferSize`; else false with the last error set (122 with
    // bufferSize set to the size needed, and the walk does not move on; 259 at the end).
    virtual bool FindNext(CacheEntry& entry, std::uint32_t& bufferSize) = 0;
};

// pattern: nullptr or "" every entry; "visited:" and "cookie:" (any letter case) the entries
// whose url begins so. Returns nothing on failure, with the last error set (259 when no
// entry matches, 122 when the first does not fit bufferSize, 87 for an empty storeFolder).
std::unique_ptr<CacheEnumeration> FindFirstUrlCacheEntry(const char* pattern, CacheEntry& entry,
                                                         std::uint32_t& bufferSize, const fs::path& storeFolder);

// Whether the store has an index file at all. A walk of a missing store is empty (259), as
// the system cache's is; a caller that must tell "no store" from "an empty store" asks here.
bool UrlCacheStoreExists(const fs::path& storeFolder);

// A walk reads one row at a time through a read-only connection and never creates the
// store: a missing folder or index.sqlite walks as empty (259). A store that cannot be
// opened (5), is damaged (1392) or was written by a newer version (1306) is never written;
// every call on it fails with that number.

// Adds or replaces the entry of that url, creating the store when missing. A replaced
// entry keeps its seq, so it stays where walks found it. False with the last error set:
// 87 for an empty url or an entry that is not line-safe (or an empty storeFolder), 170 when
// the store stayed busy.
bool CommitUrlCacheEntry(const CacheEntry& entry, const fs::path& storeFolder);

// The live cookies of the url as "n1=v1; n2=v2": those of this user's sources and of the
// sources of every user ("anyuser"); Secure ones only for an https url. With data null,
// only the size needed (including the terminating zero) is put into size. False with 259
// when there are none, 122 when *size is too small. The name is ignored.
bool InternetGetCookie(std::string_view url, std::string_view name, std::string* data, std::uint32_t* size,
                       const StoreAccess& store);

// What a set call changed.
struct CookieSetReport {
    // False when the call asked to remove a cookie that the store did not hold: nothing was
    // removed.
    bool changed = false;
    // A cookie file that the change left behind although no entry names it any more (its
    // old version, which holds the cookies as they were), and the errno of the failed
    // removal. The store removes it when it next finds it.
    std::string leftFile;
    int leftError = 0;
};

// Sets a cookie: data is "value; attr; attr" when name is given, else "name=value; attr...".
// Attributes: Expires (any common date form), Max-Age (wins over Expires), Domain (must
// domain-match the url's host), Path (default: the url's directory, with its closing "/"),
// Secure, HttpOnly. No expiry: a session cookie of this process (and of that store folder),
// which replaces a stored cookie of the same name, domain and path. Expiry not after
// store.now: removes the cookie of that name, domain and path. Each source is one entry
// "Cookie:<store.user>@<domain><path>" naming a cookie text file in Cookies/ (nine lines
// per cookie: name, value, domain+path, flags, expiry low/high, creation low/high, "*").
// A change writes the source's cookies into a new file and then commits the entry naming
// it in place of the old file, which goes after the commit: a kill at any call leaves the
// entry naming a whole file of the cookies before the change or after it. Files of the
// store's making that no entry names (left by a killed process) are removed by the first
// change a process makes. Bad url or data, or no store named: false with 87 and nothing
// written. `report`, when given, tells what the call changed.
bool InternetSetCookie(std::string_view url, std::string_view name, std::string_view data, const StoreAccess& store,
                       CookieSetReport* report = nullptr);

// The entry of a cookie source ("Cookie:<user>@<domain><path>") as the store holds it now.
// False with 2 when the store holds none.
bool FindCookieSource(std::string_view sourceUrl, CacheEntry& entry, const StoreAccess& store);

// Removes a source whose cookie file is gone: it holds no cookie, and no change of a cookie
// could ever delete it. Only a source of store.user or of every user, and only while its
// entry still names a file that is not there; true when it was removed.
bool RemoveCookieSourceWithoutFile(std::string_view sourceUrl, const StoreAccess& store);

}  // namespace brimlow::inetcache
