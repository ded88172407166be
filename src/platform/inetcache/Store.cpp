#include "platform/inetcache/Store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>
#include <exception>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <unistd.h>

#include "platform/FileTime.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/inetcache/InetCache.h"

namespace brimlow::inetcache {

namespace {
thread_local std::uint32_t t_lastError = 0;
}  // namespace

std::uint32_t GetLastError() noexcept
{
    return t_lastError;
}

std::string CookieUserOf(const Platform& platform)
{
    return platform.user ? text::ToLowerAscii(platform.user->LoginName()) : std::string();
}

StoreAccess StoreAccessOf(const Platform& platform)
{
    StoreAccess access;
    access.folder = platform.storeFolder;
    access.user = CookieUserOf(platform);
    if (platform.clock)
        access.now = FileTimeFromTimePoint(platform.clock->Now());
    access.files = platform.files;
    return access;
}

namespace detail {

void SetLastError(std::uint32_t number) noexcept
{
    t_lastError = number;
}

std::uint32_t ErrorNumberOf(const sqlite::Error& e) noexcept
{
    switch (e.code()) {
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
        return kErrorAccessDenied;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
        return kErrorFileCorrupt;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return kErrorBusy;
    default:
        return kErrorInternal;
    }
}

void RefuseUnnamedStore(const fs::path& storeFolder)
{
    if (storeFolder.empty())
        throw StoreError(kErrorInvalidParameter, "no store folder is named");
}

void SetLastErrorFromCurrentException()
{
    try {
        throw;
    } catch (const StoreError& e) {
        SetLastError(e.number());
    } catch (const sqlite::Error& e) {
        SetLastError(ErrorNumberOf(e));
    } catch (const std::bad_alloc&) {
        SetLastError(kErrorInternal);
    }
}

namespace {

[[noreturn]] void Rethrow(const sqlite::Error& e)
{
    throw StoreError(ErrorNumberOf(e), e.what());
}

void CheckVersion(sqlite::Db& db)
{
    const std::int64_t version = db.QueryInt("PRAGMA user_version");
    if (version > kStoreVersion)
        throw StoreError(kErrorRevisionMismatch, "the store was written by a newer version");
}

bool HasEntriesTable(sqlite::Db& db)
{
    return db.QueryInt("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'entries'") > 0;
}

bool IsWal(sqlite::Db& db)
{
    sqlite::Statement mode(db, "PRAGMA journal_mode");
    return mode.Step() && mode.Text(0) == "wal";
}

// Switching the journal mode needs the file to itself and does not wait for the busy
// timeout: when several processes create the store at once, the others are still looking
// at it. Retry (another process may switch it meanwhile) for as long as the timeout.
void SwitchToWal(sqlite::Db& db)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        try {
            if (IsWal(db))
                return;
            db.Exec("PRAGMA journal_mode = WAL");
            return;
        } catch (const sqlite::Error& e) {
            if ((e.code() != SQLITE_BUSY && e.code() != SQLITE_LOCKED) || std::chrono::steady_clock::now() >= deadline)
                throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// A FIFO, a device or a folder in the place of index.sqlite is no store: opening a FIFO
// would wait for a writer for ever.
void RefuseIfNotRegular(const fs::path& file, const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        throw StoreError(kErrorFileCorrupt, file.string() + " is not a regular file");
}

}  // namespace

std::optional<sqlite::Db> OpenForRead(const fs::path& storeFolder)
{
    RefuseUnnamedStore(storeFolder);
    const fs::path file = storeFolder / kIndexFileName;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw StoreError(errno == EACCES ? kErrorAccessDenied : kErrorInternal, "cannot reach " + file.string());
    }
    RefuseIfNotRegular(file, st);
    try {
        sqlite::Db db(file, sqlite::OpenMode::ReadOnly);
        db.BusyTimeout(kBusyTimeoutMs);
        // A walk touches each page once: a small cache keeps the memory flat.
        db.Exec("PRAGMA cache_size = -256");
        CheckVersion(db);
        if (!HasEntriesTable(db))
            return std::nullopt;
        return db;
    } catch (const sqlite::Error& e) {
        Rethrow(e);
    }
}

namespace {

// The kept write connection and the file it belongs to.
struct KeptConnection {
    std::mutex mutex;
    std::size_t sessions = 0;
    std::optional<sqlite::Db> db;
    dev_t dev = 0;
    ino_t ino = 0;
    // Cookie files written in the session, to sync at its end, with the calls they were written by.
    std::vector<std::pair<fs::path, FileCalls*>> unsynced;
    std::atomic<std::uint64_t> begun{0};  // sessions begun with none live
};

// Puts the cookie files that a session's changes wrote, and still stand, on the disk, with
// the folders that name them. "" when all got there, else what failed first ("<why>: <file>").
std::string SyncWritten(std::vector<std::pair<fs::path, FileCalls*>>& files)
{
    std::string failure;
    const auto fail = [&failure](const fs::path& what) {
        if (failure.empty())
            failure = std::string(std::strerror(errno)) + ": " + what.string();
    };
    std::map<fs::path, FileCalls*> folders;
    for (const auto& [file, calls] : files) {
        const int fd = calls->Open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (errno != ENOENT)
                fail(file);
            continue;  // ENOENT: replaced or removed by a later change
        }
        if (calls->Fdatasync(fd) != 0)
            fail(file);
        calls->Close(fd);
        folders.emplace(file.parent_path(), calls);
    }
    for (const auto& [folder, calls] : folders) {
        const int fd = calls->Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || calls->Fsync(fd) != 0)
            fail(folder);
        if (fd >= 0)
            calls->Close(fd);
    }
    files.clear();
    return failure;
}

KeptConnection& Kept()
{
    static KeptConnection kept;
    return kept;
}

sqlite::Db OpenNewForWrite(const fs::path& file)
{
    sqlite::Db db(file, sqlite::OpenMode::ReadWriteCreate);
    db.BusyTimeout(kBusyTimeoutMs);
    db.Exec("PRAGMA cache_size = -512");
    // Refuse before anything is written: switching the journal mode already writes.
    CheckVersion(db);
    SwitchToWal(db);
    // WAL with NORMAL sync survives a crash of the process; commits stay cheap.
    db.Exec("PRAGMA synchronous = NORMAL");
    return db;
}

}  // namespace

WriteConnection::WriteConnection(std::unique_lock<std::mutex> lock, sqlite::Db* kept)
    : m_lock(std::move(lock)), m_kept(kept), m_exceptions(std::uncaught_exceptions())
{
}

WriteConnection::~WriteConnection()
{
    // A failure while the connection was in use may have left it in any state.
    if (m_kept && m_lock.owns_lock() && std::uncaught_exceptions() > m_exceptions)
        Kept().db.reset();
}

void WriteConnection::NoteUnsynced(const fs::path& file, FileCalls& calls)
{
    if (DefersSync())
        Kept().unsynced.emplace_back(file, &calls);
}

WriteConnection OpenForWrite(const fs::path& storeFolder)
{
    RefuseUnnamedStore(storeFolder);
    std::error_code ec;
    fs::create_directories(storeFolder, ec);
    if (ec)
        throw StoreError(ec.value() == EACCES || ec.value() == EPERM || ec.value() == EROFS ? kErrorAccessDenied
                                                                                           : kErrorInternal,
                         "cannot create " + storeFolder.string());
    const fs::path file = storeFolder / kIndexFileName;
    KeptConnection& kept = Kept();
    // Outside a session, and for a caller that finds the kept connection in use, a
    // connection of its own as always.
    std::unique_lock lock(kept.mutex, std::try_to_lock);
    if (lock.owns_lock() && kept.sessions == 0)
        lock.unlock();
    struct stat st {};
    const bool exists = ::stat(file.c_str(), &st) == 0;
    if (exists)
        RefuseIfNotRegular(file, st);
    try {
        if (!lock.owns_lock()) {
            WriteConnection once(std::move(lock), nullptr);
            once.m_own = OpenNewForWrite(file);
            return once;
        }
        if (kept.db && exists && kept.dev == st.st_dev && kept.ino == st.st_ino) {
            CheckVersion(*kept.db);  // another process may have moved the store on
            return WriteConnection(std::move(lock), &*kept.db);
        }
        kept.db.reset();
        sqlite::Db db = OpenNewForWrite(file);
        if (::stat(file.c_str(), &st) != 0) {
            WriteConnection once(std::move(lock), nullptr);
            once.m_own = std::move(db);
            return once;
        }
        kept.db = std::move(db);
        kept.dev = st.st_dev;
        kept.ino = st.st_ino;
        return WriteConnection(std::move(lock), &*kept.db);
    } catch (const sqlite::Error& e) {
        if (lock.owns_lock())
            kept.db.reset();
        Rethrow(e);
    }
}

std::optional<WriteConnection> BorrowKeptConnection(const fs::path& storeFolder)
{
    KeptConnection& kept = Kept();
    std::unique_lock lock(kept.mutex, std::try_to_lock);
    if (!lock.owns_lock() || kept.sessions == 0 || !kept.db)
        return std::nullopt;
    struct stat st {};
    if (::stat((storeFolder / kIndexFileName).c_str(), &st) != 0 || kept.dev != st.st_dev || kept.ino != st.st_ino)
        return std::nullopt;
    return WriteConnection(std::move(lock), &*kept.db);
}

std::uint64_t SessionsBegun()
{
    // Read with the kept connection leased or not: a count, not the connection.
    return Kept().begun.load();
}

void EnsureSchema(sqlite::Db& db)
{
    try {
        CheckVersion(db);
        if (!HasEntriesTable(db))
            db.Exec(kEntriesTableSql);
        if (db.QueryInt("PRAGMA user_version") < kStoreVersion)
            db.Exec("PRAGMA user_version = 1");
    } catch (const sqlite::Error& e) {
        Rethrow(e);
    }
}

}  // namespace detail

StoreSession::StoreSession()
{
    std::lock_guard lock(detail::Kept().mutex);
    if (detail::Kept().sessions++ == 0)
        ++detail::Kept().begun;
}

StoreSession::~StoreSession()
{
    std::string failure;
    End(failure);
}

bool StoreSession::End(std::string& failure)
{
    failure.clear();
    if (std::exchange(m_ended, true))
        return true;
    std::lock_guard lock(detail::Kept().mutex);
    if (--detail::Kept().sessions == 0) {
        failure = detail::SyncWritten(detail::Kept().unsynced);
        detail::Kept().db.reset();
    }
    return failure.empty();
}

}  // namespace brimlow::inetcache

namespace brimlow::inetcache {

bool UrlCacheStoreExists(const fs::path& storeFolder)
{
    if (storeFolder.empty())
        return false;
    struct stat st {};
    return ::stat((storeFolder / detail::kIndexFileName).c_str(), &st) == 0;
}

}  // namespace brimlow::inetcache
