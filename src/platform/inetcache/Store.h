#pragma once
// Inside the store: opening index.sqlite for a walk or for a write, the schema, and the
// last-error slot. Not for callers outside platform/inetcache (tests excepted).
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/inetcache/Sqlite.h"

namespace brimlow {
class FileCalls;
}

namespace brimlow::inetcache {
struct CacheEntry;
}

namespace brimlow::inetcache::detail {

inline constexpr int kStoreVersion = 1;
inline constexpr int kBusyTimeoutMs = 5000;
inline constexpr const char* kIndexFileName = "index.sqlite";

// A failure that the public calls report through the last error.
class StoreError : public std::runtime_error {
public:
    StoreError(std::uint32_t number, const std::string& what) : std::runtime_error(what), m_number(number) {}
    std::uint32_t number() const noexcept { return m_number; }

private:
    std::uint32_t m_number;
};

void SetLastError(std::uint32_t number) noexcept;

// The error number of a SQLite failure: access problems 5, a damaged file 1392, a store that
// stayed busy 170, else 1359.
std::uint32_t ErrorNumberOf(const sqlite::Error& e) noexcept;
// Only inside a catch block: records the store failure being handled as the last error.
// Anything that is no store failure goes on to the caller.
void SetLastErrorFromCurrentException();

// An empty folder names no store: it would put the store in whatever the current folder is.
// Throws StoreError 87 for one.
void RefuseUnnamedStore(const std::filesystem::path& storeFolder);

// A connection for a walk: read-only, small page cache. Nothing when the store or its
// table is not there (a walk of a missing store is empty and must not create it).
// Throws StoreError for a store that cannot be opened, is damaged or is newer.
std::optional<sqlite::Db> OpenForRead(const std::filesystem::path& storeFolder);

// The connection a write goes through. The process keeps one open to the store it writes,
// between calls: opening the store per cookie costs more than the cookie's write, and the
// close of a store's only connection folds its write-ahead log into the file with several
// flushes to the disk. A lease holds it for one caller at a time; a store replaced by
// another file gets a new connection, and one that failed in use is dropped.
class WriteConnection {
public:
    WriteConnection(WriteConnection&&) = default;
    ~WriteConnection();
    sqlite::Db& db() noexcept { return m_own ? *m_own : *m_kept; }
    // Within a session the cookie files that changes write reach the disk at the session's
    // end: true when this is the session's connection. NoteUnsynced notes such a file.
    bool DefersSync() const noexcept { return m_kept && m_lock.owns_lock(); }
    void NoteUnsynced(const std::filesystem::path& file, FileCalls& calls);

private:
    friend WriteConnection OpenForWrite(const std::filesystem::path& storeFolder);
    friend std::optional<WriteConnection> BorrowKeptConnection(const std::filesystem::path& storeFolder);
    WriteConnection(std::unique_lock<std::mutex> lock, sqlite::Db* kept);
    std::unique_lock<std::mutex> m_lock;
    sqlite::Db* m_kept = nullptr;
    std::optional<sqlite::Db> m_own;  // when the store's file could not be told apart
    int m_exceptions = 0;
};

// A connection for writing, creating the folder and the file when missing, in WAL mode.
// Throws StoreError as above; a refused store is left exactly as it was.
WriteConnection OpenForWrite(const std::filesystem::path& storeFolder);

// The kept connection for a read, when a session keeps one to this store and it is free;
// else nothing, and the reader opens the store as always.
std::optional<WriteConnection> BorrowKeptConnection(const std::filesystem::path& storeFolder);

// How many times a session has begun with none live (0 before the first): what happens once
// per session compares it.
std::uint64_t SessionsBegun();

// Inside a write transaction: re-checks the version and creates the table when missing.
void EnsureSchema(sqlite::Db& db);

// Adds an entry or replaces the one of its url in place (it keeps its seq); the parameters
// are those that BindEntry sets.
inline constexpr const char* kUpsertEntrySql =
    "INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time, header) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT(url) DO UPDATE SET local_file = excluded.local_file, "
    "hit_rate = excluded.hit_rate, expire_time = excluded.expire_time, "
    "last_access_time = excluded.last_access_time, header = excluded.header";
// Binds ?1..?6 of an entry row: url, local file (NULL for none), hit rate, the two times,
// header (NULL for none).
void BindEntry(sqlite::Statement& st, const CacheEntry& entry);

}  // namespace brimlow::inetcache::detail
