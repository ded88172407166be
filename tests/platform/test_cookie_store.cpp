// The cookie calls of the store: dates, URLs, setting, getting and removing cookies.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "platform/FileTime.h"
#include "platform/inetcache/InetCache.h"
#include "platform/inetcache/CookieDates.h"
#include "platform/inetcache/Urls.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using namespace brimlow::inetcache;
using brimlow::test::RunSqlite;
using brimlow::test::SeedEntries;
using brimlow::test::TempProgramFolder;
using brimlow::test::TestStoreAccess;
using brimlow::test::kTestUser;

namespace {

std::uint64_t Ft(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return *FileTimeFromUtc(y, mo, d, h, mi, s);
}

std::uint64_t NowFt()
{
    return FileTimeFromTimePoint(std::chrono::system_clock::now());
}

// The live cookie text of a url, or "<error N>".
std::string Get(const std::string& url, const fs::path& store)
{
    std::uint32_t size = 0;
    if (!InternetGetCookie(url, "", nullptr, &size, TestStoreAccess(store)))
        return "<error " + std::to_string(GetLastError()) + ">";
    std::string data;
    if (!InternetGetCookie(url, "", &data, &size, TestStoreAccess(store)))
        return "<error " + std::to_string(GetLastError()) + ">";
    EXPECT_EQ(size, data.size() + 1);
    return data;
}

std::string CookieSource(const std::string& hostPath)
{
    return "Cookie:" + std::string(kTestUser) + "@" + hostPath;
}

class CookieTest : public ::testing::Test {
protected:
    TempProgramFolder tmp;
    fs::path store = tmp.storeFolder();
    fs::path index = store / "index.sqlite";

    bool Set(const std::string& url, const std::string& name, const std::string& data)
    {
        return InternetSetCookie(url, name, data, TestStoreAccess(store));
    }
    // url -> local_file of the cookie entries, as the table holds them.
    std::string CookieEntries()
    {
        if (!fs::exists(index))
            return "";
        return RunSqlite(store, "SELECT url, local_file FROM entries WHERE url LIKE 'cookie:%' ORDER BY seq;");
    }
    std::optional<std::string> LocalFileOf(const std::string& source)
    {
        const std::string out =
            RunSqlite(store, "SELECT local_file FROM entries WHERE url = '" + source + "';");
        if (out.empty())
            return std::nullopt;
        return out.substr(0, out.size() - 1);
    }
};

}  // namespace

TEST(CookieDate, ParsesTheDateTokensInEveryCommonForm)
{
    struct Case {
        const char* text;
        std::optional<std::uint64_t> expected;
    };
    const std::vector<Case> cases{
        {"Tue,5-Mar-2002 00:00:00 GMT", Ft(2002, 3, 5)},
        {"Sun, 06 Nov 1994 08:49:37 GMT", Ft(1994, 11, 6, 8, 49, 37)},
        {"Sunday, 06-Nov-94 08:49:37 GMT", Ft(1994, 11, 6, 8, 49, 37)},
        {"Sun Nov  6 08:49:37 1994", Ft(1994, 11, 6, 8, 49, 37)},
        {"Thu, 01-Jan-69 00:00:01 GMT", Ft(2069, 1, 1, 0, 0, 1)},
        {"Fri, 01 jAN 2100 23:59:59 UTC", Ft(2100, 1, 1, 23, 59, 59)},
        {"6 November 2099 8:9:7", Ft(2099, 11, 6, 8, 9, 7)},
        {"2099 Dec 31 12:00:00", Ft(2099, 12, 31, 12)},
        {"29 Feb 2024 00:00:00", Ft(2024, 2, 29)},
        {"", std::nullopt},
        {"Tue, 30 Feb 2030 00:00:00 GMT", std::nullopt},
        {"Tue, 32 Jan 2030 00:00:00 GMT", std::nullopt},
        {"1 Jan 2030 24:00:00", std::nullopt},
        {"1 Jan 1600 00:00:00", std::nullopt},
        {"1 Jan 2030", std::nullopt},
        {"2030-01-01T00:00:00Z", std::nullopt},
        {"tomorrow", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detail::ParseCookieDate(c.text), c.expected) << c.text;
}

TEST(CookieUrl, TakesSchemeHostAndPathAndRefusesTheRest)
{
    struct Case {
        const char* url;
        const char* scheme;
        const char* host;
        const char* path;
    };
    const std::vector<Case> good{
        {"http://Example.COM:8080/a/B?x=1#f", "http", "example.com", "/a/B"},
        {"HTTPS://user:pw@www.example.test", "https", "www.example.test", "/"},
        {"http://example.test?q", "http", "example.test", "/"},
        {"http://example.test./dir/", "http", "example.test", "/dir/"},
        {"http://[::1]:80/x", "http", "[::1]", "/x"},
    };
    for (const auto& c : good) {
        const auto u = detail::ParseUrl(c.url);
        ASSERT_TRUE(u) << c.url;
        EXPECT_EQ(u->scheme, c.scheme);
        EXPECT_EQ(u->host, c.host);
        EXPECT_EQ(u->path, c.path);
    }
    for (const char* bad : {"", "garbage", "example.test/", "http://", "http:///x", "http://a b/", "http://h:port/",
                            "://h/", "http://.h/", "http://h\n/", "1http://h/"})
        EXPECT_FALSE(detail::ParseUrl(bad)) << bad;
}

TEST_F(CookieTest, SessionAndPersistentCookiesAreSetGotAndRemoved)
{
    const std::string url = "http://www.example.test/";
    // A session cookie lives in this process only: the store is not even created.
    ASSERT_TRUE(Set(url, "", "s=1"));
    EXPECT_FALSE(fs::exists(store));
    EXPECT_EQ(Get(url, store), "s=1");

    ASSERT_TRUE(Set(url, "", " p = two words ; expires=Fri, 01 Jan 2100 00:00:00 GMT; HttpOnly"));
    ASSERT_TRUE(Set(url, "n", "v; expires = Tue,5-Mar-2099 00:00:00 GMT"));
    EXPECT_EQ(Get(url, store), "s=1; p=two words; n=v");
    const std::string source = CookieSource("www.example.test/");
    const auto file = LocalFileOf(source);
    ASSERT_TRUE(file);
    EXPECT_EQ(fs::path(*file).parent_path(), store / "Cookies");
    EXPECT_EQ(RunSqlite(store, "SELECT expire_time FROM entries WHERE url = '" + source + "';"),
              std::to_string(Ft(2100, 1, 1)) + "\n");

    // The spaced form of the editor with a past date removes the cookie of that name. The
    // source's cookies are in a new file now, and the old one is gone.
    ASSERT_TRUE(Set(url, "n", "v; expires = Tue,5-Mar-2002 00:00:00 GMT"));
    EXPECT_EQ(Get(url, store), "s=1; p=two words");
    const auto next = LocalFileOf(source);
    ASSERT_TRUE(next);
    EXPECT_NE(*next, *file);
    EXPECT_FALSE(fs::exists(*file));
    ASSERT_TRUE(fs::exists(*next));
    // Removing the last one takes its file and entry with it.
    ASSERT_TRUE(Set(url, "p", "x; expires = Tue,5-Mar-2002 00:00:00 GMT"));
    EXPECT_FALSE(fs::exists(*next));
    EXPECT_EQ(CookieEntries(), "");
    EXPECT_TRUE(fs::is_empty(store / "Cookies"));
    // A past date removes a session cookie of that key too.
    ASSERT_TRUE(Set(url, "", "s=; expires=Thu, 01 Jan 1970 00:00:00 GMT"));
    EXPECT_EQ(Get(url, store), "<error 259>");
}

TEST_F(CookieTest, MaxAgeWinsOverExpiresAndCanRemove)
{
    const std::string url = "http://m.example.test/";
    const std::uint64_t before = NowFt();
    ASSERT_TRUE(Set(url, "", "m=1; Expires=Tue, 05 Mar 2002 00:00:00 GMT; Max-Age=3600"));
    const std::uint64_t after = NowFt();
    EXPECT_EQ(Get(url, store), "m=1");
    const std::uint64_t expiry = std::stoull(
        RunSqlite(store, "SELECT expire_time FROM entries WHERE url = '" + CookieSource("m.example.test/") + "';"));
    EXPECT_GE(expiry, before + 3600 * kTicksPerSecond);
    EXPECT_LE(expiry, after + 3600 * kTicksPerSecond);
    ASSERT_TRUE(Set(url, "", "m=1; Max-Age=0"));
    EXPECT_EQ(Get(url, store), "<error 259>");
    EXPECT_EQ(CookieEntries(), "");
}

TEST_F(CookieTest, TheCallsUserAndTimeDecideTheSourceAndWhatHasExpired)
{
    const std::string url = "http://t.example.test/";
    const std::string data = "k=v; expires=Tue, 01 Jan 2030 00:00:00 GMT";
    StoreAccess ann{store, "ann", Ft(2029, 6, 1)};
    StoreAccess bob{store, "bob", Ft(2029, 6, 1)};
    ASSERT_TRUE(InternetSetCookie(url, "", data, ann));
    EXPECT_EQ(CookieEntries(), "Cookie:ann@t.example.test/|" + *LocalFileOf("Cookie:ann@t.example.test/") + "\n");
    // Another user's sources are not this user's cookies.
    std::uint32_t size = 0;
    EXPECT_FALSE(InternetGetCookie(url, "", nullptr, &size, bob));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
    EXPECT_TRUE(InternetGetCookie(url, "", nullptr, &size, ann));
    // Whether it has expired is the call's time, not the machine's.
    ann.now = Ft(2030, 1, 1, 0, 0, 1);
    EXPECT_FALSE(InternetGetCookie(url, "", nullptr, &size, ann));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
    // Set at a time after its expiry, the cookie is removed: its source goes.
    ASSERT_TRUE(InternetSetCookie(url, "", data, ann));
    EXPECT_EQ(CookieEntries(), "");
}

TEST_F(CookieTest, ASessionCookieReplacesTheStoredOneOfItsKey)
{
    const std::string url = "http://r.example.test/";
    ASSERT_TRUE(Set(url, "", "x=1; expires=Fri, 01 Jan 2100 00:00:00 GMT"));
    ASSERT_TRUE(Set(url, "", "x=2"));
    EXPECT_EQ(CookieEntries(), "");
    EXPECT_EQ(Get(url, store), "x=2");
    ASSERT_TRUE(Set(url, "", "x=3; expires=Fri, 01 Jan 2100 00:00:00 GMT"));
    EXPECT_EQ(Get(url, store), "x=3");
}

TEST_F(CookieTest, TheCookieFileHoldsNineLinesPerCookie)
{
    const std::uint64_t before = NowFt();
    ASSERT_TRUE(Set("http://f.example.test/dir/page.html", "", "a=1; expires=Fri, 01 Jan 2100 00:00:00 GMT"));
    ASSERT_TRUE(Set("http://x.f.example.test/dir/", "", "b=; Domain=.F.Example.Test; Path=/dir/; "
                                                         "expires=Sat, 02 Jan 2100 00:00:00 GMT; Secure"));
    const std::uint64_t after = NowFt();
    // Both are of the source f.example.test/dir/: the default path is the url's directory.
    const auto file = LocalFileOf(CookieSource("f.example.test/dir/"));
    ASSERT_TRUE(file);
    const std::string text = TempProgramFolder::ReadFile(*file);

    std::vector<std::string> lines;
    for (std::size_t pos = 0, lf; (lf = text.find('\n', pos)) != std::string::npos; pos = lf + 1)
        lines.push_back(text.substr(pos, lf - pos));
    ASSERT_EQ(lines.size(), 18u);
    const std::uint64_t created[] = {std::stoull(lines[6]) | std::stoull(lines[7]) << 32,
                                     std::stoull(lines[15]) | std::stoull(lines[16]) << 32};
    for (std::uint64_t c : created) {
        EXPECT_GE(c, before);
        EXPECT_LE(c, after);
    }
    const std::uint64_t e1 = Ft(2100, 1, 1), e2 = Ft(2100, 1, 2);
    auto words = [](std::uint64_t v) { return std::to_string(v & 0xffffffffu) + "\n" + std::to_string(v >> 32) + "\n"; };
    EXPECT_EQ(text, "a\n1\nf.example.test/dir/\n1024\n" + words(e1) + words(created[0]) + "*\n" +
                        "b\n\nf.example.test/dir/\n1\n" + words(e2) + words(created[1]) + "*\n");
}

TEST_F(CookieTest, GetMatchesHostDomainAndPath)
{
    const std::string future = "; expires=Fri, 01 Jan 2100 00:00:00 GMT";
    ASSERT_TRUE(Set("http://example.test/", "", "a=1; Domain=example.test" + future));
    ASSERT_TRUE(Set("http://example.test/", "", "b=2" + future));
    ASSERT_TRUE(Set("http://www.example.test/x", "", "c=3; Path=/docs" + future));
    ASSERT_TRUE(Set("http://www.example.test/docs/page.html", "", "d=4" + future));
    ASSERT_TRUE(Set("https://www.example.test/", "", "e=5; Secure" + future));
    struct Case {
        const char* url;
        const char* cookies;
    };
    const std::vector<Case> cases{
        {"http://example.test/", "a=1; b=2"},
        {"http://EXAMPLE.test:81/anything", "a=1; b=2"},
        {"http://www.example.test/", "a=1"},
        {"https://www.example.test/", "a=1; e=5"},
        {"http://a.b.www.example.test/docs", "a=1"},
        {"http://www.example.test/docs", "c=3; a=1"},
        {"http://www.example.test/docs/x", "d=4; c=3; a=1"},
        {"http://www.example.test/docsx", "a=1"},
        {"http://www.example.test/doc", "a=1"},
        {"http://badexample.test/", "<error 259>"},
        {"http://test/", "<error 259>"},
        {"garbage", "<error 87>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Get(c.url, store), c.cookies) << c.url;
}

TEST_F(CookieTest, GetReportsTheSizeItNeeds)
{
    ASSERT_TRUE(Set("http://s.example.test/", "", "k=value"));
    std::uint32_t size = 0;
    ASSERT_TRUE(InternetGetCookie("http://s.example.test/", "ignored", nullptr, &size, TestStoreAccess(store)));
    EXPECT_EQ(size, 8u);
    std::string data;
    size = 0;
    EXPECT_FALSE(InternetGetCookie("http://s.example.test/", "", &data, &size, TestStoreAccess(store)));
    EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(size, 8u);
    size = 7;
    EXPECT_FALSE(InternetGetCookie("http://s.example.test/", "", &data, &size, TestStoreAccess(store)));
    EXPECT_EQ(data, "");
    size = 5000;
    ASSERT_TRUE(InternetGetCookie("http://s.example.test/", "", &data, &size, TestStoreAccess(store)));
    EXPECT_EQ(data, "k=value");
    EXPECT_EQ(size, 8u);
    EXPECT_FALSE(InternetGetCookie("http://s.example.test/", "", &data, nullptr, TestStoreAccess(store)));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST_F(CookieTest, BadInputFailsAndWritesNothing)
{
    const std::string future = "; expires=Fri, 01 Jan 2100 00:00:00 GMT";
    struct Case {
        const char* url;
        const char* name;
        std::string data;
    };
    const std::vector<Case> cases{
        {"garbage", "", "a=1" + future},
        {"http:///path", "", "a=1" + future},
        {"http://h.example.test/", "", "novalue" + future},
        {"http://h.example.test/", "", "=1" + future},
        {"http://h.example.test/", "", "a=line\nbreak" + future},
        {"http://h.example.test/", "a;b", "1" + future},
        {"http://h.example.test/", "a; b", "1" + future},
        {"http://h.example.test/", "", "a=1; Domain=other.test" + future},
        {"http://h.example.test/", "", "a=1; Domain=test" + future},
        {"http://h.example.test/", "", "a=1; Domain=xh.example.test" + future},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Set(c.url, c.name, c.data)) << c.url << " " << c.data;
        EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    }
    EXPECT_FALSE(fs::exists(store));
    // Removing a cookie that is not there succeeds and creates nothing.
    EXPECT_TRUE(Set("http://h.example.test/", "a", "; expires = Tue,5-Mar-2002 00:00:00 GMT"));
    EXPECT_FALSE(fs::exists(store));
}

TEST_F(CookieTest, CookieFilesWrittenByOthersAreReadAndExpiredOnesHidden)
{
    fs::create_directories(store / "Cookies");
    const fs::path file = store / "Cookies" / "other.txt";
    auto words = [](std::uint64_t v) { return std::to_string(v & 0xffffffffu) + "\n" + std::to_string(v >> 32) + "\n"; };
    std::ofstream(file, std::ios::binary) << "old\ngone\no.example.test/\n1024\n" + words(Ft(2002, 3, 5)) +
                                                 words(Ft(2001, 1, 1)) + "*\nlive\nyes\no.example.test/\n1024\n" +
                                                 words(Ft(2100, 1, 1)) + words(Ft(2001, 1, 1)) + "*\n";
    CacheEntry entry;
    entry.sourceUrl = CookieSource("o.example.test/");
    entry.localFileName = file.string();
    SeedEntries(store, {entry});
    EXPECT_EQ(Get("http://o.example.test/", store), "live=yes");
    // A change writes the source's file afresh and keeps the expired cookie for the editor
    // to show.
    ASSERT_TRUE(Set("http://o.example.test/", "", "new=1; expires=Fri, 01 Jan 2100 00:00:00 GMT"));
    EXPECT_EQ(Get("http://o.example.test/", store), "live=yes; new=1");
    const auto now = LocalFileOf(CookieSource("o.example.test/"));
    ASSERT_TRUE(now);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(TempProgramFolder::ReadFile(*now).substr(0, 9), "old\ngone\n");
}

// Another program's entry may name a FIFO for its cookie file. Opening one for reading
// waits for a writer for ever: the store must not wait. A get finds no cookie in it, a
// change or a removal is refused as a file it cannot read, and both leave the FIFO and the
// entry as they were.
TEST_F(CookieTest, ACookieFileThatIsAFifoIsNeitherWaitedForNorReplaced)
{
    fs::create_directories(store / "Cookies");
    const fs::path fifo = store / "Cookies" / "other.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CacheEntry entry;
    entry.sourceUrl = CookieSource("p.example.test/");
    entry.localFileName = fifo.string();
    SeedEntries(store, {entry});
    const std::string rows = CookieEntries();

    EXPECT_EQ(Get("http://p.example.test/", store), "<error " + std::to_string(kErrorNoMoreItems) + ">");
    EXPECT_FALSE(Set("http://p.example.test/", "", "new=1; expires=Fri, 01 Jan 2100 00:00:00 GMT"));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(Set("http://p.example.test/", "", "new=; expires=Sat, 1 Jan 2005 00:00:00 GMT"));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(CookieEntries(), rows);
}

TEST_F(CookieTest, ARefusedStoreIsNotWritten)
{
    SeedEntries(store, 1);
    RunSqlite(store, "PRAGMA user_version = 2; PRAGMA journal_mode = DELETE;");
    const std::string before = TempProgramFolder::ReadFile(index);
    EXPECT_FALSE(Set("http://h.example.test/", "", "a=1; expires=Fri, 01 Jan 2100 00:00:00 GMT"));
    EXPECT_EQ(GetLastError(), kErrorRevisionMismatch);
    EXPECT_EQ(Get("http://h.example.test/", store), "<error 1306>");
    EXPECT_EQ(TempProgramFolder::ReadFile(index), before);
    EXPECT_FALSE(fs::exists(store / "Cookies"));
}

TEST_F(CookieTest, ProcessesSettingCookiesAtOnceLoseNone)
{
    constexpr int kChildren = 6;
    constexpr int kEach = 40;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> pids;
    for (int child = 0; child < kChildren; ++child) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(gate[1]);
            char c;
            // Every child starts when the parent closes the gate.
            if (read(gate[0], &c, 1) != 0)
                _exit(20);
            for (int i = 0; i < kEach; ++i) {
                const std::string data = "k" + std::to_string(child) + "_" + std::to_string(i) +
                                         "=v; expires=Fri, 01 Jan 2100 00:00:00 GMT";
                if (!InternetSetCookie("http://busy.example.test/", "", data, TestStoreAccess(store)))
                    _exit(21);
            }
            _exit(0);
        }
        pids.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const std::string live = Get("http://busy.example.test/", store);
    for (int child = 0; child < kChildren; ++child)
        for (int i = 0; i < kEach; ++i) {
            const std::string cookie = "k" + std::to_string(child) + "_" + std::to_string(i) + "=v";
            EXPECT_NE(("; " + live + ";").find("; " + cookie + ";"), std::string::npos) << cookie;
        }
    const auto file = LocalFileOf(CookieSource("busy.example.test/"));
    ASSERT_TRUE(file);
    const std::string text = TempProgramFolder::ReadFile(*file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kChildren * kEach * 9);
    EXPECT_EQ(RunSqlite(store, "SELECT count(*) FROM entries;"), "1\n");
}
