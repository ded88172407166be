#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/FileTime.h"
#include "platform/inetcache/InetCache.h"
#include "platform/inetcache/Store.h"
#include "support/ScopedEnv.h"
#include "support/Unprivileged.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using namespace brimlow::inetcache;
using brimlow::test::RunSqlite;
using brimlow::test::SeedEntries;
using brimlow::test::SeedEntryFor;
using brimlow::test::SeedKind;
using brimlow::test::TempProgramFolder;
using brimlow::test::TestStoreAccess;
using brimlow::test::kTestUser;

namespace {

CacheEntry Entry(std::string url, std::optional<std::string> file = std::nullopt, std::string header = {})
{
    CacheEntry e;
    e.sourceUrl = std::move(url);
    e.localFileName = std::move(file);
    e.headerInfo = std::move(header);
    return e;
}

// The urls of a whole walk with a buffer large enough for everything.
std::vector<std::string> WalkUrls(const fs::path& store, const char* pattern)
{
    std::vector<std::string> urls;
    CacheEntry e;
    std::uint32_t size = 1u << 20;
    auto walk = FindFirstUrlCacheEntry(pattern, e, size, store);
    if (!walk) {
        EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
        return urls;
    }
    do {
        urls.push_back(e.sourceUrl);
        size = 1u << 20;
    } while (walk->FindNext(e, size));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
    return urls;
}

std::string Bytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class InetCacheTest : public ::testing::Test {
protected:
    TempProgramFolder tmp;
    fs::path store = tmp.storeFolder();
    fs::path index = store / "index.sqlite";
};

}  // namespace

TEST_F(InetCacheTest, TheDefaultStoreFolderFollowsTheEnvironment)
{
    EXPECT_EQ(DefaultStoreFolder(), store);
    brimlow::test::ScopedEnv env;
    env.Unset("INETCACHE_DIR");
    env.Set("XDG_DATA_HOME", "/x/data");
    EXPECT_EQ(DefaultStoreFolder(), fs::path("/x/data/inetcache"));
    env.Unset("XDG_DATA_HOME");
    env.Set("HOME", "/h");
    EXPECT_EQ(DefaultStoreFolder(), fs::path("/h/.local/share/inetcache"));
    // A relative data folder would name another store in each process that starts elsewhere.
    env.Set("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(DefaultStoreFolder(), fs::path("/h/.local/share/inetcache"));
}

TEST_F(InetCacheTest, PatternsSelectByUrlPrefixInSeqOrder)
{
    SeedEntries(store, {Entry("Visited: u@http://a/"), Entry("Cookie:u@a/"), Entry("http://a/x.gif"),
                        Entry("visited: u@http://b/"), Entry("COOKIE:u@b/"), Entry("Visitedless"),
                        Entry("Cookie"), Entry("Visited:")});
    struct Case {
        const char* pattern;
        std::vector<std::string> urls;
    };
    const std::vector<std::string> all{"Visited: u@http://a/", "Cookie:u@a/", "http://a/x.gif",
                                       "visited: u@http://b/", "COOKIE:u@b/", "Visitedless",
                                       "Cookie",               "Visited:"};
    const std::vector<Case> cases{
        {nullptr, all},
        {"", all},
        {"cookie:", {"Cookie:u@a/", "COOKIE:u@b/"}},
        {"Cookie:", {"Cookie:u@a/", "COOKIE:u@b/"}},
        {"visited:", {"Visited: u@http://a/", "visited: u@http://b/", "Visited:"}},
        {"VISITED:", {"Visited: u@http://a/", "visited: u@http://b/", "Visited:"}},
        {"ftp:", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WalkUrls(store, c.pattern), c.urls) << (c.pattern ? c.pattern : "(null)");
}

TEST_F(InetCacheTest, EntriesComeBackFieldForField)
{
    CacheEntry full = Entry("http://h/p", "/cache/p.bin", std::string("HTTP/1.1 200 OK\r\nX: a\0b\r\n\r\n", 27));
    full.hitRate = 4000000000u;
    full.expireTime = 0x01D2'3456'789A'BCDEull;
    full.lastAccessTime = 1;
    const CacheEntry emptyFile = Entry("http://h/q", std::string());
    const CacheEntry bare = Entry("http://h/r");
    ASSERT_TRUE(CommitUrlCacheEntry(full, store));
    ASSERT_TRUE(CommitUrlCacheEntry(emptyFile, store));
    ASSERT_TRUE(CommitUrlCacheEntry(bare, store));

    CacheEntry e;
    std::uint32_t size = 4096;
    auto walk = FindFirstUrlCacheEntry("", e, size, store);
    ASSERT_TRUE(walk);
    EXPECT_EQ(e.sourceUrl, full.sourceUrl);
    EXPECT_EQ(e.localFileName, full.localFileName);
    EXPECT_EQ(e.hitRate, full.hitRate);
    EXPECT_EQ(e.expireTime, full.expireTime);
    EXPECT_EQ(e.lastAccessTime, full.lastAccessTime);
    EXPECT_EQ(e.headerInfo, full.headerInfo);
    EXPECT_EQ(EntrySize(e), 112u + 11 + 13 + 27);

    // The same CacheEntry is reused: fields of the previous entry must not linger.
    ASSERT_TRUE(walk->FindNext(e, size));
    EXPECT_EQ(e.localFileName, std::optional<std::string>(""));
    EXPECT_EQ(e.headerInfo, "");
    EXPECT_EQ(EntrySize(e), 112u + 11 + 1);
    ASSERT_TRUE(walk->FindNext(e, size));
    EXPECT_EQ(e.localFileName, std::nullopt);
    EXPECT_EQ(EntrySize(e), 112u + 11);
    EXPECT_FALSE(walk->FindNext(e, size));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
    EXPECT_FALSE(walk->FindNext(e, size));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
}

TEST_F(InetCacheTest, AnEntryTooBigForTheBufferStaysNextUntilItFits)
{
    const CacheEntry small = Entry("http://h/1");
    const CacheEntry big = Entry("http://h/2", "/cache/2", std::string(5000, 'h'));
    const CacheEntry last = Entry("http://h/3");
    SeedEntries(store, {small, big, last});
    const std::uint32_t bigSize = EntrySize(big);
    ASSERT_EQ(bigSize, 112u + 11 + 9 + 5000);

    CacheEntry e;
    std::uint32_t size = 4096;
    auto walk = FindFirstUrlCacheEntry(nullptr, e, size, store);
    ASSERT_TRUE(walk);
    EXPECT_EQ(e.sourceUrl, small.sourceUrl);
    for (int attempt = 0; attempt < 2; ++attempt) {
        size = 4096;
        EXPECT_FALSE(walk->FindNext(e, size));
        EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
        EXPECT_EQ(size, bigSize);
        EXPECT_EQ(e.sourceUrl, small.sourceUrl) << "a failed call leaves the caller's entry alone";
    }
    size = bigSize;
    ASSERT_TRUE(walk->FindNext(e, size));
    EXPECT_EQ(e.sourceUrl, big.sourceUrl);
    EXPECT_EQ(e.headerInfo, big.headerInfo);
    size = 4096;
    ASSERT_TRUE(walk->FindNext(e, size));
    EXPECT_EQ(e.sourceUrl, last.sourceUrl);

    // The first entry too big: FindFirst fails with the size needed; a large enough buffer
    // then finds it.
    size = bigSize - 1;
    EXPECT_FALSE(FindFirstUrlCacheEntry("http://h/2", e, size, store));
    EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(size, bigSize);
    ASSERT_TRUE(FindFirstUrlCacheEntry("http://h/2", e, size, store));
    EXPECT_EQ(e.sourceUrl, big.sourceUrl);
}

TEST_F(InetCacheTest, AMissingStoreIsEmptyAndAReadDoesNotCreateIt)
{
    CacheEntry e;
    std::uint32_t size = 4096;
    EXPECT_FALSE(FindFirstUrlCacheEntry("", e, size, store));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
    EXPECT_FALSE(fs::exists(store));

    fs::create_directories(store);
    EXPECT_FALSE(FindFirstUrlCacheEntry("cookie:", e, size, store));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
    EXPECT_FALSE(fs::exists(index));
}

TEST_F(InetCacheTest, CommitCreatesTheStoreAndReplacesInPlace)
{
    ASSERT_TRUE(CommitUrlCacheEntry(Entry("http://h/a", "/a"), fs::path(store / "deeper")));
    EXPECT_TRUE(fs::exists(store / "deeper" / "index.sqlite"));

    ASSERT_TRUE(CommitUrlCacheEntry(Entry("http://h/a", "/a"), store));
    ASSERT_TRUE(CommitUrlCacheEntry(Entry("http://h/b"), store));
    CacheEntry replaced = Entry("http://h/a", std::nullopt, "H\r\n");
    replaced.hitRate = 9;
    ASSERT_TRUE(CommitUrlCacheEntry(replaced, store));
    EXPECT_EQ(WalkUrls(store, ""), (std::vector<std::string>{"http://h/a", "http://h/b"}));
    EXPECT_EQ(RunSqlite(store, "SELECT seq, url, local_file IS NULL, hit_rate, hex(header) FROM entries ORDER BY seq;"),
              "1|http://h/a|1|9|480D0A\n2|http://h/b|1|0|\n");
    EXPECT_EQ(RunSqlite(store, "PRAGMA user_version; PRAGMA journal_mode;"), "1\nwal\n");

    EXPECT_FALSE(CommitUrlCacheEntry(Entry(""), store));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST_F(InetCacheTest, AStoreSeededWithTheCommandLineToolIsReadAndWritten)
{
    fs::create_directories(store);
    RunSqlite(store, std::string(kEntriesTableSql) +
                         ";INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time, header) "
                         "VALUES('Cookie:u@h/', '/c/u@h.txt', 3, 130000000000000000, 2, CAST('x' AS BLOB));"
                         "INSERT INTO entries(url, header) VALUES('http://h/', 'text header');");
    {
        CacheEntry e;
        std::uint32_t size = 4096;
        auto walk = FindFirstUrlCacheEntry("cookie:", e, size, store);
        ASSERT_TRUE(walk);
        EXPECT_EQ(e.localFileName, std::optional<std::string>("/c/u@h.txt"));
        EXPECT_EQ(e.expireTime, 130000000000000000ull);
        EXPECT_EQ(e.headerInfo, "x");
    }
    EXPECT_EQ(WalkUrls(store, nullptr).size(), 2u);

    ASSERT_TRUE(CommitUrlCacheEntry(Entry("http://h/new"), store));
    EXPECT_EQ(RunSqlite(store, "PRAGMA user_version; SELECT count(*) FROM entries;"), "1\n3\n");
}

TEST_F(InetCacheTest, ANewerOrDamagedStoreIsRefusedAndLeftUnwritten)
{
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::uint32_t error;
    };
    const std::vector<Case> cases{
        {"newer user_version",
         [&] {
             SeedEntries(store, 3);
             RunSqlite(store, "PRAGMA user_version = 2; PRAGMA journal_mode = DELETE;");
         },
         kErrorRevisionMismatch},
        {"not a database",
         [&] {
             fs::create_directories(store);
             std::ofstream(index, std::ios::binary) << std::string(8192, 'Z');
         },
         kErrorFileCorrupt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(store);
        c.prepare();
        const std::string before = Bytes(index);
        CacheEntry e;
        std::uint32_t size = 4096;
        EXPECT_FALSE(FindFirstUrlCacheEntry("", e, size, store));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_FALSE(CommitUrlCacheEntry(Entry("http://h/x"), store));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(Bytes(index), before);
        EXPECT_FALSE(fs::exists(store / "index.sqlite-wal") && fs::file_size(store / "index.sqlite-wal") > 0);
    }
}

TEST_F(InetCacheTest, AFifoInPlaceOfTheIndexIsRefusedAsCorrupt)
{
    fs::create_directories(store);
    ASSERT_EQ(::mkfifo(index.c_str(), 0600), 0);
    // Opening a FIFO for reading would wait for a writer for ever; the calls must not.
    CacheEntry e;
    std::uint32_t size = 4096;
    EXPECT_FALSE(FindFirstUrlCacheEntry("", e, size, store));
    EXPECT_EQ(GetLastError(), kErrorFileCorrupt);
    EXPECT_FALSE(CommitUrlCacheEntry(Entry("http://h/x"), store));
    EXPECT_EQ(GetLastError(), kErrorFileCorrupt);
    EXPECT_FALSE(InternetSetCookie("http://h.example/", "", "a=b; expires=Fri, 1 Jan 2100 00:00:00 GMT",
                                   TestStoreAccess(store)));
    EXPECT_EQ(GetLastError(), kErrorFileCorrupt);
    EXPECT_TRUE(fs::is_fifo(index));
}

TEST_F(InetCacheTest, ACommitRefusesWhatWouldForgeADumpRecord)
{
    struct Case {
        const char* name;
        CacheEntry entry;
    };
    const std::vector<Case> cases{
        {"LF in the url", Entry("http://h/a\nCookie:erin@bank.example/")},
        {"CR in the url", Entry("Cookie:erin@h.example/\r")},
        {"zero byte in the url", Entry(std::string("http://h/a\0b", 12))},
        {"LF in the local file", Entry("http://h/b", "/cache/b\n2")},
        {"header line @", Entry("http://h/c", std::nullopt, "HTTP/1.1 200 OK\r\n@\r\nX: y\r\n")},
        {"header line @ without CR", Entry("http://h/d", std::nullopt, "a\n@\nb")},
        {"header ending in a line @", Entry("http://h/e", std::nullopt, "X: y\r\n@")},
        {"header that is @", Entry("http://h/f", std::nullopt, "@")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(IsLineSafeEntry(c.entry));
        EXPECT_FALSE(CommitUrlCacheEntry(c.entry, store));
        EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    }
    EXPECT_EQ(WalkUrls(store, ""), std::vector<std::string>{});
    // "@" inside a line, a header line "@@" and a CR LF header are ordinary content.
    const CacheEntry fine = Entry("mailto:erin@h.example", "/cache/@", "X: @\r\n@@\r\n @\r\n\r\n");
    EXPECT_TRUE(IsLineSafeEntry(fine));
    EXPECT_TRUE(CommitUrlCacheEntry(fine, store));
    EXPECT_EQ(WalkUrls(store, ""), std::vector<std::string>{fine.sourceUrl});
}

TEST_F(InetCacheTest, AWriteThatOutwaitsTheBusyTimeoutReportsBusy)
{
    SeedEntries(store, 1);
    auto holder = detail::OpenForWrite(store);
    sqlite::Transaction held(holder.db());  // the write lock, held past the busy timeout
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CommitUrlCacheEntry(Entry("http://h/late"), store));
    EXPECT_EQ(GetLastError(), kErrorBusy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(detail::kBusyTimeoutMs - 100));
}

TEST_F(InetCacheTest, AHeaderTooBigToComeWithItsRowIsStillReadWhole)
{
    std::string big(200 * 1024, 'h');
    big[0] = 'X';
    big.back() = 'Z';
    SeedEntries(store, std::vector<CacheEntry>{Entry("http://h/big", std::nullopt, big), Entry("http://h/next")});
    CacheEntry e;
    std::uint32_t size = 4096;
    EXPECT_FALSE(FindFirstUrlCacheEntry("", e, size, store));
    EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(size, 112u + 13 + big.size());
    size = 1u << 20;
    auto walk = FindFirstUrlCacheEntry("", e, size, store);
    ASSERT_TRUE(walk);
    EXPECT_EQ(e.headerInfo, big);
    ASSERT_TRUE(walk->FindNext(e, size));
    EXPECT_EQ(e.sourceUrl, "http://h/next");
    EXPECT_EQ(e.headerInfo, "");
}

TEST_F(InetCacheTest, AStoreTheUserCannotReachFailsAsAccessDenied)
{
    SeedEntries(store, 3);
    {
        brimlow::test::Unprivileged user({{tmp.root(), 0755}, {store, 0}});
        ASSERT_TRUE(user.ok());
        CacheEntry e;
        std::uint32_t size = 4096;
        EXPECT_FALSE(FindFirstUrlCacheEntry("", e, size, store));
        EXPECT_EQ(GetLastError(), kErrorAccessDenied);
        EXPECT_FALSE(CommitUrlCacheEntry(Entry("http://h/x"), store));
        EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    }
    EXPECT_EQ(WalkUrls(store, "").size(), 3u);
}

TEST_F(InetCacheTest, SeededEntriesWalkInTurn)
{
    SeedEntries(store, 30);
    SeedEntries(store, 2, {SeedKind::Cookie}, 100);
    const auto all = WalkUrls(store, "");
    ASSERT_EQ(all.size(), 32u);
    EXPECT_EQ(all[0], SeedEntryFor(SeedKind::Visited, 0).sourceUrl);
    EXPECT_EQ(all[1], SeedEntryFor(SeedKind::Cookie, 1).sourceUrl);
    EXPECT_EQ(all[2], SeedEntryFor(SeedKind::Url, 2).sourceUrl);
    EXPECT_EQ(all[31], SeedEntryFor(SeedKind::Cookie, 101).sourceUrl);
    EXPECT_EQ(WalkUrls(store, "cookie:").size(), 12u);
    EXPECT_EQ(WalkUrls(store, "visited:").size(), 10u);
}

TEST_F(InetCacheTest, AnUnnamedStoreIsRefusedAndNothingIsWrittenInTheCurrentFolder)
{
    const fs::path cwd = fs::current_path();
    fs::current_path(tmp.folder());
    const StoreAccess none{"", kTestUser, *FileTimeFromUtc(2029, 6, 1)};
    EXPECT_FALSE(InternetSetCookie("http://n.example.test/", "", "k=v; expires=Tue, 01 Jan 2030 00:00:00 GMT", none));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    std::uint32_t size = 0;
    EXPECT_FALSE(InternetGetCookie("http://n.example.test/", "", nullptr, &size, none));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    EXPECT_FALSE(CommitUrlCacheEntry(Entry("http://n.example.test/x"), ""));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    CacheEntry e;
    std::uint32_t buffer = 4096;
    EXPECT_FALSE(FindFirstUrlCacheEntry("", e, buffer, ""));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    EXPECT_FALSE(UrlCacheStoreExists(""));
    fs::current_path(cwd);
    EXPECT_TRUE(fs::is_empty(tmp.folder()));
}

// A read-only connection reads the index in large chunks. What it read ahead in one read
// transaction is not served in the next: another process's change, checkpointed into the
// index file between the two, is seen, in a store that one chunk holds whole and in one
// that takes many.
TEST_F(InetCacheTest, AReadOnlyConnectionSeesWhatAnotherProcessCheckpointedBetweenItsReads)
{
    for (const std::size_t entries : {std::size_t{20}, std::size_t{3000}}) {
        SCOPED_TRACE(entries);
        fs::remove_all(store);
        fs::create_directories(store);
        SeedEntries(store, entries);
        const auto last = static_cast<std::int64_t>(entries);
        sqlite::Db reader(store / "index.sqlite", sqlite::OpenMode::ReadOnly);
        const auto url = [&reader](std::int64_t seq) {
            sqlite::Statement st(reader, "SELECT url FROM entries WHERE seq = ?1");
            st.Bind(1, seq);
            return st.Step() ? std::string(st.Text(0)) : std::string("<none>");
        };
        ASSERT_NE(url(last), "<none>");
        ASSERT_EQ(url(1), SeedEntryFor(SeedKind::Visited, 0).sourceUrl);
        RunSqlite(store, "UPDATE entries SET url = 'http://first.example/' WHERE seq = 1;"
                         "UPDATE entries SET url = 'http://late.example/' WHERE seq = " + std::to_string(last) + ";"
                         "PRAGMA wal_checkpoint(TRUNCATE);");
        EXPECT_EQ(url(1), "http://first.example/");
        EXPECT_EQ(url(last), "http://late.example/");
    }
}

// A walk reads the index in chunks while the engine keeps the pages of the tree's upper
// levels and of a long header: a store of many chunks, with headers that run over many
// pages and across chunks, comes back field for field, whole and by prefix.
TEST_F(InetCacheTest, AWalkOfAStoreOfManyChunksReturnsEveryEntryAsItWasWritten)
{
    std::vector<CacheEntry> entries;
    for (std::size_t i = 0; i < 4000; ++i) {
        const std::string n = std::to_string(i);
        std::string header(i % 50 == 7 ? 20000 + i : i % 300, static_cast<char>('a' + i % 26));
        if (!header.empty())
            header.front() = '<', header.back() = '>';
        CacheEntry e = Entry(i % 2 ? "Cookie:user@host" + n + ".example/" : "http://host" + n + ".example/page",
                             i % 3 ? std::optional<std::string>("/cache/file" + n) : std::nullopt, header);
        e.hitRate = static_cast<std::uint32_t>(i);
        e.expireTime = 133590240000000000ULL + i;
        e.lastAccessTime = 133590240000000000ULL - i;
        entries.push_back(std::move(e));
    }
    SeedEntries(store, entries);
    ASSERT_GT(fs::file_size(index), 8u * 256 * 1024);
    for (const char* pattern : {"", "cookie:"}) {
        SCOPED_TRACE(pattern);
        std::vector<const CacheEntry*> expected;
        for (const CacheEntry& e : entries)
            if (*pattern == '\0' || e.sourceUrl.rfind("Cookie:", 0) == 0)
                expected.push_back(&e);
        CacheEntry e;
        std::uint32_t size = 1u << 20;
        auto walk = FindFirstUrlCacheEntry(pattern, e, size, store);
        ASSERT_TRUE(walk);
        std::size_t got = 0;
        do {
            ASSERT_LT(got, expected.size());
            const CacheEntry& want = *expected[got++];
            ASSERT_EQ(e.sourceUrl, want.sourceUrl);
            ASSERT_EQ(e.localFileName, want.localFileName) << e.sourceUrl;
            ASSERT_EQ(e.headerInfo, want.headerInfo) << e.sourceUrl;
            ASSERT_EQ(e.hitRate, want.hitRate) << e.sourceUrl;
            ASSERT_EQ(e.expireTime, want.expireTime) << e.sourceUrl;
            ASSERT_EQ(e.lastAccessTime, want.lastAccessTime) << e.sourceUrl;
            size = 1u << 20;
        } while (walk->FindNext(e, size));
        EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
        EXPECT_EQ(got, expected.size());
    }
}
