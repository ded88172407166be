// UrlHound end to end: the real tool, run in a temporary program folder over a store seeded
// for each case, with its dump files, their order and its exit code checked.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "cachebrowser/MUrlHound.h"
#include "cachedump/CacheDumpRecord.h"
#include "cachedump/DumpUrlCache.h"
#include "host/DataFiles.h"
#include "platform/FileTime.h"
#include "platform/TextFile.h"
#include "platform/inetcache/InetCache.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
namespace fs = std::filesystem;
using inetcache::CacheEntry;
using namespace std::string_literals;

namespace {

constexpr const char* kV = "OrlinVisited.dat";
constexpr const char* kC = "OrlinCookie.dat";
constexpr const char* kA = "OrlinAll.dat";
constexpr uid_t kNobody = 65534;

std::uint64_t Utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return *FileTimeFromUtc(y, mo, d, h, mi, s);
}

CacheEntry Entry(std::string url, std::optional<std::string> local = std::nullopt, std::uint32_t hitRate = 0,
                 std::uint64_t expire = 0, std::uint64_t access = 0, std::string header = {})
{
    CacheEntry e;
    e.sourceUrl = std::move(url);
    e.localFileName = std::move(local);
    e.hitRate = hitRate;
    e.expireTime = expire;
    e.lastAccessTime = access;
    e.headerInfo = std::move(header);
    return e;
}

// An entry whose size, as the store counts it, is exactly `size` bytes.
CacheEntry EntryOfSize(std::string url, std::uint32_t size)
{
    CacheEntry e = Entry(std::move(url), "/cache/big.bin", 1, Utc(2020, 1, 1), Utc(2020, 1, 2));
    const std::uint32_t base = inetcache::EntrySize(e);
    e.headerInfo.assign(size - base, 'h');
    return e;
}

void Seed(const test::TempProgramFolder& dir, const std::vector<CacheEntry>& entries)
{
    test::SeedEntries(dir.storeFolder(), entries);
}

std::string Records(const std::vector<CacheEntry>& entries)
{
    std::string out;
    for (const auto& e : entries)
        AppendCacheDumpRecord(out, e);
    return out;
}

std::optional<std::string> FileBytes(const fs::path& path)
{
    if (!fs::exists(path))
        return std::nullopt;
    return textfile::ReadAll(path);
}

struct ToolRun {
    bool exited = false;  // ended by exit, not by a signal
    int exitCode = -1;
    std::string output;   // everything it wrote to stdout and stderr
    long peakRssKiB = 0;  // the tool's peak resident memory
};

// Runs the copied UrlHound with the program folder as its current directory, as Brimlow does.
// `env` is added to the test's own environment; asNobody drops to uid/gid 65534 first.
ToolRun RunUrlHound(const test::TempProgramFolder& dir, const std::vector<std::string>& args = {},
                    const std::map<std::string, std::string>& env = {}, bool asNobody = false)
{
    const std::string tool = (dir.folder() / "UrlHound").string();
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        for (const auto& [k, v] : env)
            ::setenv(k.c_str(), v.c_str(), 1);
        if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(125);
        if (::chdir(dir.folder().c_str()) != 0)
            ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(tool.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(tool.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ToolRun run;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n > 0)
            run.output.append(buf, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.peakRssKiB = usage.ru_maxrss;
    run.exited = WIFEXITED(status);
    run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
    return run;
}

// The opens and closes of the dump files in the program folder, and the renames that put
// them in place (one, where a dump trades names with the old one), in the order they happened. A dump is written under its temporary name
// (the dump's name and six random letters or digits), which counts as the dump's.
class DumpFileEvents {
public:
    explicit DumpFileEvents(const fs::path& folder)
    {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(m_fd, folder.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_MOVED_TO);
    }
    ~DumpFileEvents() { ::close(m_fd); }

    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        alignas(inotify_event) char buf[8192];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                break;
            for (char* p = buf; p < buf + n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(p);
                std::string name = ev->len ? ev->name : "";
                if (IsDumpTempName(name))
                    name.resize(name.size() - 7);
                if (name.rfind("Orlin", 0) == 0) {
                    if (ev->mask & IN_OPEN)
                        out.push_back("open " + name);
                    if (ev->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))
                        out.push_back("close " + name);
                    // A dump that replaces an old one trades names with it: both names move.
                    if ((ev->mask & IN_MOVED_TO) && (out.empty() || out.back() != "in place " + name))
                        out.push_back("in place " + name);
                }
                p += sizeof(inotify_event) + ev->len;
            }
        }
        return out;
    }

private:
    int m_fd = -1;
};

std::vector<std::string> Walks(std::initializer_list<const char*> files)
{
    std::vector<std::string> out;
    for (const char* f : files) {
        out.push_back(std::string("open ") + f);
        out.push_back(std::string("close ") + f);
        out.push_back(std::string("in place ") + f);
    }
    return out;
}

// A small store: visited, cookie and content entries interleaved.
std::vector<CacheEntry> MixedEntries()
{
    return {
        Entry("Visited: alice@http://example.com/", std::nullopt, 2, 0, Utc(2024, 5, 1, 10)),
        Entry("Cookie:alice@example.com/", "/store/Cookies/alice@example.com_.txt", 1, Utc(2030, 1, 1),
              Utc(2024, 5, 1, 10)),
        Entry("http://example.com/logo.png", "/store/Content/logo[1].png", 7, Utc(2024, 6, 1), Utc(2024, 5, 1),
              "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n"),
        Entry("Visited: alice@http://example.org/a", std::nullopt, 1, 0, Utc(2024, 5, 2)),
        Entry("Cookie:alice@example.org/p/", "/store/Cookies/alice@example.org_p_.txt", 0, Utc(2029, 2, 3),
              Utc(2024, 5, 2)),
    };
}

std::vector<CacheEntry> Pick(const std::vector<CacheEntry>& all, std::initializer_list<int> idx)
{
    std::vector<CacheEntry> out;
    for (int i : idx)
        out.push_back(all[static_cast<std::size_t>(i)]);
    return out;
}

void AllowNobodyThrough(const test::TempProgramFolder& dir)
{
    ::chmod(dir.root().c_str(), 0755);
}

void ChownTree(const fs::path& root, uid_t uid)
{
    ASSERT_EQ(::chown(root.c_str(), uid, uid), 0);
    for (const auto& e : fs::recursive_directory_iterator(root))
        ASSERT_EQ(::lchown(e.path().c_str(), uid, uid), 0) << e.path();
}

}  // namespace

TEST(UrlHound, WritesVisitedThenCookieThenAllAndEachHoldsItsEntries)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    const auto all = MixedEntries();
    Seed(dir, all);
    DumpFileEvents events(dir.folder());

    const ToolRun run = RunUrlHound(dir);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    // One file open at a time, in the order visited, cookie, all.
    EXPECT_EQ(events.Take(), Walks({kV, kC, kA}));
    EXPECT_EQ(dir.Read(kV), Records(Pick(all, {0, 3})));
    EXPECT_EQ(dir.Read(kC), Records(Pick(all, {1, 4})));
    EXPECT_EQ(dir.Read(kA), Records(all));
}

TEST(UrlHound, ArgumentPicksTheModeItsFilesAndItsExitCode)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    // No cookie entries: the cookie walk fails at its first lookup (1), the others find one (0).
    Seed(dir, {Entry("Visited: bob@http://a.example/"), Entry("http://a.example/x.js", "/c/x.js")});
    DumpFileEvents events(dir.folder());

    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> walks;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {{}, Walks({kV, kC, kA}), 0},
        {{"0"}, Walks({kV, kC, kA}), 0},
        {{"1"}, Walks({kV, kC, kA}), 0},
        {{"2"}, Walks({kV, kC}), 1},
        {{"3"}, Walks({kV}), 0},
        {{"4"}, Walks({kC}), 1},
        {{""}, Walks({kV, kC, kA}), 0},
        {{"abc"}, Walks({kV, kC, kA}), 0},
        {{"3xyz"}, Walks({kV}), 0},
        {{"2 4"}, Walks({kV, kC}), 1},
        {{"2", "4"}, Walks({kV, kC}), 1},
        {{"  4"}, Walks({kC}), 1},
        {{"+3"}, Walks({kV}), 0},
        // The rest of an unquoted program path with a space: no digits, so the full dump.
        {{"dir/UrlHound", "4"}, Walks({kV, kC, kA}), 0},
        // Modes Brimlow never passes are taken as the full dump.
        {{"-1"}, Walks({kV, kC, kA}), 0},
        {{"5"}, Walks({kV, kC, kA}), 0},
        {{"99999999999999999999"}, Walks({kV, kC, kA}), 0},
    };
    for (const auto& c : cases) {
        std::string label = "args:";
        for (const auto& a : c.args)
            label += " [" + a + "]";
        SCOPED_TRACE(label);
        const ToolRun run = RunUrlHound(dir, c.args);
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(events.Take(), c.walks);
    }
    EXPECT_EQ(dir.Read(kC), "");  // the cookie walk found nothing: an empty file
}

TEST(UrlHound, CookieModeLeavesTheOtherFilesUntouched)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    const auto all = MixedEntries();
    Seed(dir, all);
    dir.Write(kV, "old visited\n");
    dir.Write(kA, "old all\n");
    dir.Write(kC, std::string(100000, 'c'));  // longer than the new dump: truncated
    const timespec old[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.file(kV).c_str(), old, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.file(kA).c_str(), old, 0), 0);
    DumpFileEvents events(dir.folder());

    const ToolRun run = RunUrlHound(dir, {"4"});
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(events.Take(), Walks({kC}));
    EXPECT_EQ(dir.Read(kC), Records(Pick(all, {1, 4})));
    EXPECT_EQ(dir.Read(kV), "old visited\n");
    EXPECT_EQ(dir.Read(kA), "old all\n");
    struct stat st{};
    ASSERT_EQ(::stat(dir.file(kV).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800);
    ASSERT_EQ(::stat(dir.file(kA).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800);
}

TEST(UrlHound, RecordFormatIsByteExact)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    Seed(dir, {
                  // No local file, no header, zero times.
                  Entry("Visited: carol@http://a.example/"),
                  // A local file, the largest hit rate, a header ending in CR LF.
                  Entry("Visited: carol@http://b.example/page?q=1", "/home/carol/cache/page[1].htm", 4294967295u,
                        Utc(2001, 3, 5, 12), Utc(2024, 2, 29, 23, 59, 59),
                        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"),
                  // An empty local file name, a header not ending in a line end.
                  Entry("Visited: carol@http://c.example/", "", 10, Utc(1999, 12, 31, 23, 59, 59), Utc(2000, 1, 1),
                        "X-A: 1\r\nX-B: 2"),
                  // A header whose last line is empty; zeros and bytes above 0x7f pass unchanged.
                  Entry("Visited: carol@http://d.example/caf\xe9", std::nullopt, 1, Utc(2031, 12, 31),
                        Utc(2024, 1, 1), "HTTP/1.1 304 Not Modified\r\nX-\xff: \x01\0\x02\r\n\r\n"s),
              });

    const ToolRun run = RunUrlHound(dir, {"3"});
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    const std::string expected =
        "Visited: carol@http://a.example/\n"
        "N\\A\n"
        "0\n"
        "1/1/1601\n"
        "1/1/1601\n"
        "@\n"
        "N\\A\n"
        "@\n"
        "Visited: carol@http://b.example/page?q=1\n"
        "/home/carol/cache/page[1].htm\n"
        "4294967295\n"
        "3/5/2001\n"
        "2/29/2024\n"
        "@\n"
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\n"
        "@\n"
        "Visited: carol@http://c.example/\n"
        "\n"
        "10\n"
        "12/31/1999\n"
        "1/1/2000\n"
        "@\n"
        "X-A: 1\r\nX-B: 2\n"
        "@\n"
        "Visited: carol@http://d.example/caf\xe9\n"
        "N\\A\n"
        "1\n"
        "12/31/2031\n"
        "1/1/2024\n"
        "@\n"
        "HTTP/1.1 304 Not Modified\r\nX-\xff: \x01\0\x02\r\n\r\n\n"
        "@\n"s;
    EXPECT_EQ(dir.Read(kV), expected);
}

TEST(UrlHound, DatesAreUtcWhateverTheTimeZone)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    // 23:30 UTC is already the next day at UTC+14; 00:30 UTC is still the day before at UTC-12.
    Seed(dir, {Entry("Visited: dave@http://tz.example/", std::nullopt, 0, Utc(2001, 3, 5, 23, 30),
                     Utc(2001, 3, 5, 0, 30))});
    for (const char* tz : {"Pacific/Kiritimati", "Etc/GMT-14", "Etc/GMT+12", "UTC"}) {
        SCOPED_TRACE(tz);
        const ToolRun run = RunUrlHound(dir, {"3"}, {{"TZ", tz}});
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(dir.Read(kV), "Visited: dave@http://tz.example/\nN\\A\n0\n3/5/2001\n3/5/2001\n@\nN\\A\n@\n");
    }
}

TEST(UrlHound, AnEntryOverTheBudgetEndsTheWalk)
{
    constexpr std::uint32_t kBudget = 4096;
    {
        SCOPED_TRACE("the first entry is too big");
        test::TempProgramFolder dir;
        dir.WithUrlHound();
        Seed(dir, {EntryOfSize("Visited: erin@http://big.example/", kBudget + 1),
                   Entry("Visited: erin@http://small.example/")});
        const ToolRun run = RunUrlHound(dir);
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, 1);  // the all-entries walk failed at its first lookup
        EXPECT_EQ(dir.Read(kV), "");
        EXPECT_EQ(dir.Read(kA), "");
    }
    {
        SCOPED_TRACE("the tenth entry is too big");
        test::TempProgramFolder dir;
        dir.WithUrlHound();
        std::vector<CacheEntry> entries;
        for (int i = 1; i <= 9; ++i) {
            const std::string url = "Visited: erin@http://e.example/" + std::to_string(i);
            // The fifth fills the budget to the byte, and still fits.
            entries.push_back(i == 5 ? EntryOfSize(url, kBudget) : Entry(url, std::nullopt, static_cast<unsigned>(i)));
        }
        entries.push_back(EntryOfSize("Visited: erin@http://e.example/10", kBudget + 1));
        entries.push_back(Entry("Visited: erin@http://e.example/11"));
        Seed(dir, entries);
        const ToolRun run = RunUrlHound(dir);
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, 0);
        const std::string nine = Records({entries.begin(), entries.begin() + 9});
        EXPECT_EQ(dir.Read(kV), nine);
        EXPECT_EQ(dir.Read(kA), nine);
        EXPECT_EQ(dir.Read(kC), "");
    }
}

// Each store that cannot be used ends the run with its own status and one line on standard
// error that names the store; the dumps are empty, never an older dump taken for the cache.
TEST(UrlHound, NoUsableStoreGivesEmptyFilesAndItsOwnStatusAndLine)
{
    struct Case {
        const char* name;
        void (*prepare)(const test::TempProgramFolder&);
        int status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"missing store", [](const test::TempProgramFolder&) {}, kDumpNoStore, "no Internet cache store in "},
        {"store folder without an index",
         [](const test::TempProgramFolder& d) { fs::create_directories(d.storeFolder()); }, kDumpNoStore,
         "no Internet cache store in "},
        {"not a database",
         [](const test::TempProgramFolder& d) {
             fs::create_directories(d.storeFolder());
             textfile::WriteAll(d.storeFolder() / "index.sqlite", std::string(8192, 'Z'));
         },
         kDumpStoreDamaged, "is damaged or is not a store"},
        {"truncated database",
         [](const test::TempProgramFolder& d) {
             Seed(d, MixedEntries());
             const auto db = d.storeFolder() / "index.sqlite";
             for (const char* side : {"-wal", "-shm"})
                 fs::remove(db.string() + side);
             const std::string bytes = textfile::ReadAll(db);
             textfile::WriteAll(db, bytes.substr(0, 100) + std::string(bytes.size() - 100, '\xee'));
         },
         kDumpStoreDamaged, "is damaged or is not a store"},
        {"newer store version",
         [](const test::TempProgramFolder& d) {
             Seed(d, MixedEntries());
             test::RunSqlite(d.storeFolder(), "PRAGMA user_version = 2;");
         },
         kDumpStoreNewer, "was written by a newer version"},
        {"store folder is a file",
         [](const test::TempProgramFolder& d) { textfile::WriteAll(d.storeFolder(), "not a folder"); }, kDumpNoStore,
         "no Internet cache store in "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempProgramFolder dir;
        dir.WithUrlHound();
        c.prepare(dir);
        std::map<std::string, std::string> before;
        if (fs::is_regular_file(dir.storeFolder()))
            before[dir.storeFolder()] = textfile::ReadAll(dir.storeFolder());
        else if (fs::is_directory(dir.storeFolder()))
            for (const auto& e : fs::recursive_directory_iterator(dir.storeFolder()))
                if (e.is_regular_file())
                    before[e.path()] = textfile::ReadAll(e.path());
        for (const char* f : {kV, kC, kA})
            dir.Write(f, "an older dump\n");

        const ToolRun run = RunUrlHound(dir);
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, c.status);
        // One line, whichever of the three walks met the store first.
        EXPECT_EQ(run.output.rfind("UrlHound: ", 0), 0u) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(dir.storeFolder().string()), std::string::npos) << run.output;
        for (const char* f : {kV, kC, kA})
            EXPECT_EQ(dir.Read(f), "") << f;
        // A store that cannot be used is never written.
        for (const auto& [path, bytes] : before)
            EXPECT_EQ(FileBytes(path), bytes) << path;
    }
}

// A store that is there and healthy but holds nothing is an empty cache, not a failure.
TEST(UrlHound, AnEmptyHealthyStoreIsSilent)
{
    for (const bool emptyIndexFile : {false, true}) {
        SCOPED_TRACE(emptyIndexFile ? "an empty index file" : "a store without entries");
        test::TempProgramFolder dir;
        dir.WithUrlHound();
        if (emptyIndexFile) {
            fs::create_directories(dir.storeFolder());
            textfile::WriteAll(dir.storeFolder() / "index.sqlite", "");
        } else {
            test::CreateStore(dir.storeFolder());
        }
        const ToolRun run = RunUrlHound(dir);
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, kDumpNothingFound);
        EXPECT_EQ(run.output, "");
        for (const char* f : {kV, kC, kA})
            EXPECT_EQ(dir.Read(f), "") << f;
    }
}

TEST(UrlHound, AFolderItCannotWriteLosesTheOutputButNotTheWalk)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to another user";
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    const auto all = MixedEntries();
    Seed(dir, all);
    AllowNobodyThrough(dir);
    ChownTree(dir.storeFolder(), kNobody);  // the store is the user's own
    // The program folder stays root's (0755); a cookie dump left there is the user's own, but
    // a dump is only ever put in place whole, through a new file beside it.
    dir.Write(kC, "old\n");
    ASSERT_EQ(::chown(dir.file(kC).c_str(), kNobody, kNobody), 0);

    const ToolRun run = RunUrlHound(dir, {}, {}, true);
    ASSERT_TRUE(run.exited);
    // The walks found their entries, but the dumps could not be written: that is said.
    EXPECT_EQ(run.exitCode, kDumpFolderUnwritable);
    EXPECT_EQ(run.output, "UrlHound: cannot write " + dir.file(kV).string() + ": Permission denied\n");
    EXPECT_FALSE(dir.Exists(kV));
    EXPECT_FALSE(dir.Exists(kA));
    EXPECT_EQ(dir.Read(kC), "old\n");
}

// The dumps hold the user's history: each is a file of its own, readable by the user alone,
// whatever stood under its name before. A link planted there is replaced, never written
// through, and a dangling one does not bring its target into being.
TEST(UrlHound, DumpsAreNewFilesOfTheUserAloneAndLinksInTheirPlaceAreNotFollowed)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    const auto all = MixedEntries();
    Seed(dir, all);
    const fs::path precious = dir.root() / "precious.txt";
    test::TempProgramFolder::WriteFile(precious, "the user's own file\n");
    ASSERT_EQ(::chmod(precious.c_str(), 0644), 0);
    const fs::path nowhere = dir.root() / "made-by-the-dump.txt";
    fs::create_symlink(precious, dir.file(kA));
    fs::create_symlink(nowhere, dir.file(kV));
    dir.Write(kC, "an older dump\n");
    ASSERT_EQ(::chmod(dir.file(kC).c_str(), 0644), 0);

    const mode_t oldMask = ::umask(022);  // the usual mask, which left the dumps 0644
    const ToolRun run = RunUrlHound(dir);
    ::umask(oldMask);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");

    EXPECT_EQ(textfile::ReadAll(precious), "the user's own file\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(nowhere)));
    for (const char* f : {kV, kC, kA}) {
        struct stat st {};
        ASSERT_EQ(::lstat(dir.file(f).c_str(), &st), 0) << f;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << f;
        EXPECT_EQ(st.st_mode & 07777, 0600u) << f;
    }
    EXPECT_EQ(dir.Read(kV), Records(Pick(all, {0, 3})));
    EXPECT_EQ(dir.Read(kC), Records(Pick(all, {1, 4})));
    EXPECT_EQ(dir.Read(kA), Records(all));
    // Nothing is left under a temporary name.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.folder()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{kA, kC, kV, "UrlHound"}));
}

// A dump trades names with the old one and then removes it. A folder under a dump's name
// is not an old dump: it stays where it was, with what it holds, and that dump's failure
// is said; the other dumps are written.
TEST(UrlHound, AFolderUnderADumpsNameStaysAndThatDumpFails)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    const auto all = MixedEntries();
    Seed(dir, all);
    fs::create_directory(dir.file(kA));
    test::TempProgramFolder::WriteFile(dir.file(kA) / "kept.txt", "kept\n");
    dir.Write(kC, "an older dump\n");

    const ToolRun run = RunUrlHound(dir);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, kDumpFolderUnwritable);
    EXPECT_EQ(run.output, "UrlHound: cannot write " + dir.file(kA).string() + ": Is a directory\n");
    EXPECT_TRUE(fs::is_directory(dir.file(kA)));
    EXPECT_EQ(textfile::ReadAll(dir.file(kA) / "kept.txt"), "kept\n");
    EXPECT_EQ(dir.Read(kV), Records(Pick(all, {0, 3})));
    EXPECT_EQ(dir.Read(kC), Records(Pick(all, {1, 4})));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.folder()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{kA, kC, kV, "UrlHound"}));
}

TEST(UrlHound, AStoreItCannotReadGivesEmptyFiles)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to another user";
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    Seed(dir, MixedEntries());
    AllowNobodyThrough(dir);
    ASSERT_EQ(::chown(dir.folder().c_str(), kNobody, kNobody), 0);
    ::chmod(dir.storeFolder().c_str(), 0700);  // root's store, closed to the user

    const ToolRun run = RunUrlHound(dir, {}, {}, true);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, kDumpStoreUnreadable);
    EXPECT_EQ(run.output, "UrlHound: the Internet cache store " + (dir.storeFolder() / "index.sqlite").string() +
                              " cannot be read: permission denied\n");
    for (const char* f : {kV, kC, kA})
        EXPECT_EQ(dir.Read(f), "") << f;
}

// Seeds the store with the sqlite3 tool through the documented schema only, so the dump
// does not depend on how the store writes its own entries.
TEST(UrlHound, DumpsAStoreSeededThroughTheSchema)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    fs::create_directories(dir.storeFolder());
    const std::string sql =
        "PRAGMA journal_mode = WAL;\n"
        "CREATE TABLE entries(seq INTEGER PRIMARY KEY AUTOINCREMENT, url TEXT NOT NULL UNIQUE, local_file TEXT,"
        " hit_rate INTEGER NOT NULL DEFAULT 0, expire_time INTEGER NOT NULL DEFAULT 0,"
        " last_access_time INTEGER NOT NULL DEFAULT 0, header BLOB);\n"
        "PRAGMA user_version = 1;\n"
        "INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time, header) VALUES\n"
        " ('Cookie:frank@example.com/', '/home/frank/.local/share/inetcache/Cookies/frank@example.com_.txt', 3,"
        "  126282672000000000, 126281664000000000, NULL),\n"
        " ('Visited: frank@http://example.com/index.html', NULL, 1, 0, 133537247990000000, NULL),\n"
        " ('http://example.com/logo.png', '/home/frank/.cache/logo[1].png', 12, 136009152000000000,"
        "  133485408000000000,"
        "  CAST('HTTP/1.1 200 OK' || char(13, 10) || 'Content-Type: image/png' || char(13, 10, 13, 10) AS BLOB)),\n"
        " ('Visited: frank@http://example.org/a?b=c', '', 0, 125911583990000000, 125911584000000000,"
        "  CAST('X-Only: 1' AS BLOB)),\n"
        " ('Cookie:frank@example.org/path/', '/home/frank/.local/share/inetcache/Cookies/frank@example.org_path_.txt',"
        "  4294967295, 126283086000000000, 126282258000000000, X''),\n"
        // A time with the top bit set, which the calendar conversion refuses.
        " ('Visited: frank@http://example.net/', NULL, 0, -1, 0, NULL);\n";
    test::RunSqlite(dir.storeFolder(), sql);

    const ToolRun run = RunUrlHound(dir);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");

    const std::string cookie1 =
        "Cookie:frank@example.com/\n"
        "/home/frank/.local/share/inetcache/Cookies/frank@example.com_.txt\n"
        "3\n"
        "3/5/2001\n"
        "3/4/2001\n"
        "@\n"
        "N\\A\n"
        "@\n";
    const std::string visited1 =
        "Visited: frank@http://example.com/index.html\n"
        "N\\A\n"
        "1\n"
        "1/1/1601\n"
        "2/29/2024\n"
        "@\n"
        "N\\A\n"
        "@\n";
    const std::string content =
        "http://example.com/logo.png\n"
        "/home/frank/.cache/logo[1].png\n"
        "12\n"
        "12/31/2031\n"
        "1/1/2024\n"
        "@\n"
        "HTTP/1.1 200 OK\r\n"
        "Content-Type: image/png\r\n"
        "\r\n"
        "\n"
        "@\n";
    const std::string visited2 =
        "Visited: frank@http://example.org/a?b=c\n"
        "\n"
        "0\n"
        "12/31/1999\n"
        "1/1/2000\n"
        "@\n"
        "X-Only: 1\n"
        "@\n";
    const std::string cookie2 =
        "Cookie:frank@example.org/path/\n"
        "/home/frank/.local/share/inetcache/Cookies/frank@example.org_path_.txt\n"
        "4294967295\n"
        "3/5/2001\n"
        "3/5/2001\n"
        "@\n"
        "N\\A\n"
        "@\n";
    const std::string visited3 =
        "Visited: frank@http://example.net/\n"
        "N\\A\n"
        "0\n"
        "1/1/1601\n"
        "1/1/1601\n"
        "@\n"
        "N\\A\n"
        "@\n";
    EXPECT_EQ(dir.Read(kV), visited1 + visited2 + visited3);
    EXPECT_EQ(dir.Read(kC), cookie1 + cookie2);
    EXPECT_EQ(dir.Read(kA), cookie1 + visited1 + content + visited2 + cookie2 + visited3);
}

TEST(UrlHound, StoreContentCannotAddDropOrShiftARecord)
{
    // What another program may write into the store, bypassing the commit's checks.
    const std::vector<CacheEntry> forged = {
        Entry("http://a.example/x\nCookie:erin@bank.example/\nN\\A\n0\n1/1/2030\n1/1/2024\n@\nN\\A\n@"),
        Entry("Cookie:erin@evil.example/\nCookie:erin@bank.example/", "/c/evil.txt", 1, Utc(2030, 1, 1)),
        Entry("Cookie:erin@shop.example/\r", "/c/shop\r\n.txt"),
        Entry("http://b.example/", std::nullopt, 0, 0, 0, "HTTP/1.1 200 OK\r\n@\r\nX: 1\r\n"),
        Entry("http://c.example/", std::nullopt, 0, 0, 0, "X: 1\n@\nhttp://fake.example/"),
        Entry("http://d.example/", std::nullopt, 0, 0, 0, "X: 1\r\n@"),
        Entry("http://e.example/", std::nullopt, 0, 0, 0, "@"),
        Entry("Cookie:erin@last.example/", "/c/last.txt"),
    };
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    Seed(dir, forged);
    const ToolRun run = RunUrlHound(dir);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);

    // Every entry reads back as exactly one record, in order, whatever it holds.
    const auto all = ReadCacheDump(dir.file(kA));
    ASSERT_EQ(all.size(), forged.size());
    EXPECT_EQ(all[0].Source, "http://a.example/x%0ACookie:erin@bank.example/%0AN\\A%0A0%0A1/1/2030%0A1/1/2024%0A@%0AN\\A%0A@");
    EXPECT_EQ(all[1].Source, "Cookie:erin@evil.example/%0ACookie:erin@bank.example/");
    EXPECT_EQ(all[2].Source, "Cookie:erin@shop.example/%0D");
    EXPECT_EQ(all[2].Location, "/c/shop%0D%0A.txt");
    EXPECT_EQ(all[3].Header, "\r\nHTTP/1.1 200 OK\r\n%40\r\nX: 1\r\n\r\n");
    EXPECT_EQ(all[4].Header, "\r\nX: 1\r\n%40\r\nhttp://fake.example/\r\n");
    EXPECT_EQ(all[5].Header, "\r\nX: 1\r\n%40\r\n");
    EXPECT_EQ(all[6].Header, "\r\n%40\r\n");
    EXPECT_EQ(all[7].Source, "Cookie:erin@last.example/");
    EXPECT_EQ(all[7].Location, "/c/last.txt");

    // The cookie dump lists the four cookie entries and no source that the store lacks.
    std::vector<std::string> sources;
    for (const auto& r : ReadCacheDump(dir.file(kC)))
        sources.emplace_back(r.Source);
    EXPECT_EQ(sources, (std::vector<std::string>{"Cookie:erin@evil.example/%0ACookie:erin@bank.example/",
                                                 "Cookie:erin@shop.example/%0D", "Cookie:erin@last.example/"}));
}

TEST(UrlHound, AFifoInPlaceOfTheStoreGivesEmptyFilesAtOnce)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    fs::create_directories(dir.storeFolder());
    const fs::path fifo = dir.storeFolder() / "index.sqlite";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const char* f : {kV, kC, kA})
        dir.Write(f, "an older dump\n");
    // Should the tool wait on the FIFO after all, a writer that opens it after ten seconds
    // lets it go on, and the time taken tells.
    std::atomic<bool> done{false};
    std::thread release([&] {
        for (int i = 0; i < 100 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!done)
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    });
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run = RunUrlHound(dir);
    const auto took = std::chrono::steady_clock::now() - start;
    done = true;
    release.join();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, kDumpStoreDamaged);
    EXPECT_LT(took, std::chrono::seconds(5));
    for (const char* f : {kV, kC, kA})
        EXPECT_EQ(dir.Read(f), "") << f;
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(UrlHound, AFiftyMegabyteHeaderKeepsMemoryFlat)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    const CacheEntry small = Entry("http://small.example/", "/c/s", 1, Utc(2030, 1, 1), Utc(2024, 1, 1), "X: 1\r\n");
    Seed(dir, {small, Entry("http://big.example/", "/c/b", 1, 0, 0, std::string(50u << 20, 'h')),
               Entry("http://after.example/")});
    const ToolRun run = RunUrlHound(dir);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);
    // The big entry is over the budget: the walk ends there, after the small one.
    EXPECT_EQ(dir.Read(kA), Records({small}));
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "peak memory under AddressSanitizer says nothing about the tool";
#else
    EXPECT_LT(run.peakRssKiB, 8 * 1024) << "peak " << run.peakRssKiB << " KiB";
#endif
}

TEST(UrlHound, HelpAndVersionOnlyPrint)
{
    for (const char* arg : {"--help", "--version"}) {
        SCOPED_TRACE(arg);
        test::TempProgramFolder dir;
        dir.WithUrlHound();
        Seed(dir, MixedEntries());
        const ToolRun run = RunUrlHound(dir, {arg});
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.output.find("UrlHound"), std::string::npos) << run.output;
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.folder()))
            names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"UrlHound"});  // no dump written
    }
}
