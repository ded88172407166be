#include <gtest/gtest.h>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/inetcache/InetCache.h"
#include "support/AsOtherUser.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
using namespace brimlow::inetcache;
using brimlow::test::RunSqlite;
using brimlow::test::SeedEntries;
using brimlow::test::SeedEntryFor;
using brimlow::test::SeedKind;
using brimlow::test::TempProgramFolder;

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

TEST_F(InetCacheTest, StoreFolderFollowsTheEnvironment)
{
    EXPECT_EQ(StoreFolder(), store);
    unsetenv("INETCACHE_DIR");
    setenv("XDG_DATA_HOME", "/x/data", 1);
    EXPECT_EQ(StoreFolder(), fs::path("/x/data/inetcache"));
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/h", 1);
    EXPECT_EQ(StoreFolder(), fs::path("/h/.local/share/inetcache"));
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

TEST_F(InetCacheTest, AStoreTheUserCannotReachFailsAsAccessDenied)
{
    SeedEntries(store, 3);
    const int rc = brimlow::test::RunAsOtherUser([&] {
        CacheEntry e;
        std::uint32_t size = 4096;
        if (FindFirstUrlCacheEntry("", e, size, store) || GetLastError() != kErrorAccessDenied)
            return 11;
        if (CommitUrlCacheEntry(Entry("http://h/x"), store) || GetLastError() != kErrorAccessDenied)
            return 12;
        return 0;
    });
    EXPECT_EQ(rc, 0);
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
