#include "support/StoreSeed.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "platform/FileTime.h"
#include "platform/inetcache/Sqlite.h"
#include "platform/inetcache/Store.h"
#include "support/TestPlatform.h"

extern char** environ;

namespace brimlow::test {

namespace fs = std::filesystem;
using inetcache::CacheEntry;
namespace sq = inetcache::sqlite;

namespace {

std::uint64_t FileTimeOf(int y, int m, int d)
{
    SystemTime st;
    st.year = y;
    st.month = m;
    st.day = d;
    return *SystemTimeToFileTime(st);
}

const std::uint64_t kSeedExpiry = FileTimeOf(2031, 1, 1);
const std::uint64_t kSeedAccess = FileTimeOf(2024, 6, 1);

template <class Fill>
void WriteAll(const fs::path& storeFolder, std::size_t count, Fill fill)
{
    auto connection = inetcache::detail::OpenForWrite(storeFolder);
    sq::Db& db = connection.db();
    sq::Transaction tx(db);
    inetcache::detail::EnsureSchema(db);
    sq::Statement st(db, inetcache::detail::kUpsertEntrySql);
    CacheEntry e;
    for (std::size_t n = 0; n < count; ++n) {
        fill(n, e);
        inetcache::detail::BindEntry(st, e);
        st.Run();
    }
    tx.Commit();
}

void FillSeed(SeedKind kind, std::size_t i, const std::string& user, CacheEntry& e)
{
    const std::string n = std::to_string(i);
    const std::string site = "site" + n + ".example";
    e.hitRate = static_cast<std::uint32_t>(i % 50 + 1);
    e.expireTime = kSeedExpiry + i * kTicksPerSecond;
    e.lastAccessTime = kSeedAccess + i * kTicksPerSecond;
    switch (kind) {
    case SeedKind::Visited:
        e.sourceUrl = "Visited: " + user + "@http://" + site + "/page" + n + ".html";
        e.localFileName.reset();
        e.headerInfo.clear();
        break;
    case SeedKind::Cookie:
        e.sourceUrl = "Cookie:" + user + "@" + site + "/";
        e.localFileName = "/var/tmp/inetcache-seed/Cookies/" + user + "@" + site + ".txt";
        e.headerInfo.clear();
        break;
    case SeedKind::Url:
        e.sourceUrl = "http://" + site + "/images/pic" + n + ".gif";
        e.localFileName = "/var/tmp/inetcache-seed/Content/pic" + n + ".gif";
        e.headerInfo = "HTTP/1.1 200 OK\r\nContent-Type: image/gif\r\nContent-Length: " + n + "\r\n\r\n";
        break;
    }
}

}  // namespace

CacheEntry SeedEntryFor(SeedKind kind, std::size_t i)
{
    CacheEntry e;
    FillSeed(kind, i, kTestUser, e);
    return e;
}

void SeedEntries(const fs::path& storeFolder, std::size_t count, const std::vector<SeedKind>& kinds,
                 std::size_t firstIndex)
{
    if (kinds.empty())
        throw std::invalid_argument("SeedEntries: no kinds");
    const std::string user = kTestUser;
    WriteAll(storeFolder, count, [&](std::size_t n, CacheEntry& e) {
        FillSeed(kinds[n % kinds.size()], firstIndex + n, user, e);
    });
}

void SeedEntries(const fs::path& storeFolder, const std::vector<CacheEntry>& entries)
{
    WriteAll(storeFolder, entries.size(), [&](std::size_t n, CacheEntry& e) { e = entries[n]; });
}

inetcache::StoreAccess TestStoreAccess(const fs::path& storeFolder)
{
    return {storeFolder, kTestUser, FileTimeFromTimePoint(std::chrono::system_clock::now())};
}

void CreateStore(const fs::path& storeFolder)
{
    WriteAll(storeFolder, 0, [](std::size_t, CacheEntry&) {});
}

namespace {
struct TempFile {
    std::string path;
    int fd = -1;
    TempFile()
    {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/brimlow-sqlite-XXXXXX";
        fd = mkstemp(path.data());
        if (fd < 0)
            throw std::runtime_error("mkstemp failed");
    }
    ~TempFile()
    {
        ::close(fd);
        ::unlink(path.c_str());
    }
    std::string ReadBack() const
    {
        std::string out;
        char buf[65536];
        ::lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
            out.append(buf, static_cast<std::size_t>(n));
        return out;
    }
};
}  // namespace

std::string RunSqlite(const fs::path& storeFolder, const std::string& sql, const std::vector<std::string>& options)
{
    TempFile in, out, err;
    if (::write(in.fd, sql.data(), sql.size()) != static_cast<ssize_t>(sql.size()))
        throw std::runtime_error("RunSqlite: cannot write the script");
    ::lseek(in.fd, 0, SEEK_SET);

    std::vector<std::string> args{"sqlite3", "-batch", "-bail"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back((storeFolder / inetcache::detail::kIndexFileName).string());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in.fd, 0);
    posix_spawn_file_actions_adddup2(&fa, out.fd, 1);
    posix_spawn_file_actions_adddup2(&fa, err.fd, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "sqlite3", &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        throw std::runtime_error("RunSqlite: cannot start sqlite3");
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("sqlite3 failed: " + err.ReadBack());
    return out.ReadBack();
}

void SeedCookieSources(const std::filesystem::path& storeFolder, const std::vector<std::string>& sources)
{
    std::vector<inetcache::CacheEntry> entries;
    for (const auto& s : sources) {
        inetcache::CacheEntry e;
        e.sourceUrl = s;
        e.localFileName = "/var/tmp/c/" + s.substr(s.find(':') + 1) + ".txt";
        e.hitRate = 3;
        e.expireTime = 133000000000000000ull;
        e.lastAccessTime = 132000000000000000ull;
        entries.push_back(e);
    }
    SeedEntries(storeFolder, entries);
}

}  // namespace brimlow::test
