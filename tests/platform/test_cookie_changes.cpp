// A cookie change against kills, failing calls and the store's own rules: the index and the
// cookie files agree at every call a change makes, and a call reports what it changed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <map>
#include <set>

#include "platform/FileTime.h"
#include "platform/Platform.h"
#include "platform/inetcache/CookieFile.h"
#include "platform/inetcache/InetCache.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using namespace brimlow::inetcache;
using brimlow::test::RunSqlite;
using brimlow::test::TempProgramFolder;

namespace {

const std::uint64_t kNow = *FileTimeFromUtc(2030, 1, 1);
const std::string kFuture = "; expires = Fri,31-Dec-2100 00:00:00 GMT";
const std::string kPast = "; expires = Tue,5-Mar-2002 00:00:00 GMT";

// The real calls, counted; at the chosen call the process is killed, before or after the
// call is made.
class KillingCalls final : public FileCalls {
public:
    int killAt = -1;
    bool afterTheCall = false;
    int count = 0;
    std::function<int(const char* call)> fail;  // a failure to stage: the errno, or 0

    int Open(const char* path, int flags) override { return Step("open", [&] { return real.Open(path, flags); }); }
    int MakeTemporary(char* pattern) override { return Step("create", [&] { return real.MakeTemporary(pattern); }); }
    int Fstat(int fd, struct ::stat* st) override { return real.Fstat(fd, st); }
    long Pwrite(int fd, const void* buf, std::size_t n, std::int64_t off) override
    {
        return Step("write", [&] { return real.Pwrite(fd, buf, n, off); });
    }
    int Fdatasync(int fd) override { return Step("sync", [&] { return real.Fdatasync(fd); }); }
    int Close(int fd) override { return Step("close", [&] { return real.Close(fd); }); }
    int Unlink(const char* path) override { return Step("unlink", [&] { return real.Unlink(path); }); }

private:
    template <typename Call>
    auto Step(const char* name, Call call) -> decltype(call())
    {
        const bool here = count++ == killAt;
        if (here && !afterTheCall)
            ::raise(SIGKILL);
        if (fail) {
            if (const int e = fail(name)) {
                errno = e;
                return -1;
            }
        }
        const auto r = call();
        if (here)
            ::raise(SIGKILL);
        return r;
    }
    PosixFileCalls real;
};

StoreAccess Access(const fs::path& store, FileCalls* calls = nullptr, const std::string& user = test::kTestUser)
{
    return StoreAccess{store, user, kNow, calls};
}

// source -> "name=value expiry" lines of its file, for every cookie entry; a source whose
// file is missing or whose expire_time is not its latest cookie's shows why.
using StoreState = std::map<std::string, std::string>;

StoreState StateOf(const fs::path& store)
{
    StoreState state;
    if (!fs::exists(store / "index.sqlite"))
        return state;
    const std::string rows = RunSqlite(store, "SELECT url, local_file, expire_time FROM entries;", {"-separator", "\t"});
    for (std::size_t pos = 0, lf; (lf = rows.find('\n', pos)) != std::string::npos; pos = lf + 1) {
        const std::string row = rows.substr(pos, lf - pos);
        const std::size_t t1 = row.find('\t'), t2 = row.rfind('\t');
        const std::string url = row.substr(0, t1), file = row.substr(t1 + 1, t2 - t1 - 1);
        const std::uint64_t expire = std::stoull(row.substr(t2 + 1));
        detail::CookieFileRead read;
        const auto cookies = detail::ReadCookieFile(file, "", "", &read);
        std::string text;
        std::uint64_t latest = 0;
        for (const auto& c : cookies) {
            text += c.name + "=" + c.value + " " + std::to_string(c.expiry) + "\n";
            latest = std::max(latest, c.expiry);
        }
        if (read != detail::CookieFileRead::Read)
            text += "<the entry's file cannot be read>";
        else if (cookies.empty())
            text += "<an entry without cookies>";
        else if (latest != expire)
            text += "<the entry's expiry is not its latest cookie's>";
        state[url] = text;
    }
    return state;
}

// The files of the cookie folder that no entry names.
std::set<std::string> Unnamed(const fs::path& store)
{
    std::set<std::string> files;
    if (!fs::exists(store / "Cookies"))
        return files;
    for (const auto& f : fs::directory_iterator(store / "Cookies"))
        files.insert(f.path().filename().string());
    if (fs::exists(store / "index.sqlite")) {
        const std::string named = RunSqlite(store, "SELECT local_file FROM entries;");
        for (std::size_t pos = 0, lf; (lf = named.find('\n', pos)) != std::string::npos; pos = lf + 1)
            files.erase(fs::path(named.substr(pos, lf - pos)).filename().string());
    }
    return files;
}

std::string Source(const std::string& hostPath, const std::string& user = test::kTestUser)
{
    return "Cookie:" + user + "@" + hostPath;
}

struct Change {
    const char* what;
    std::vector<std::string> before;  // cookies set first, "name=value" on http://k.example/
    std::string name, data;           // the change
    int calls;                        // the file calls it makes
};

}  // namespace

// A change is killed at each file call it makes in turn, before and after the call; the
// index and the files then hold the whole state before the change or the whole state after
// it, and the next change made by another process removes what the killed one left.
TEST(CookieChangeKills, EveryKillPointLeavesTheIndexAndTheFilesConsistent)
{
    const std::vector<Change> changes{
        // create, write, sync, close
        {"a cookie for a new source", {}, "a", "1" + kFuture, 4},
        // and the old file's removal
        {"a cookie added to a source", {"a=1", "b=2"}, "c", "3" + kFuture, 5},
        {"a cookie's value replaced", {"a=1", "b=2"}, "a", "9" + kFuture, 5},
        {"one of two cookies removed", {"a=1", "b=2"}, "a", "1" + kPast, 5},
        // the file's removal only
        {"the last cookie removed", {"a=1"}, "a", "1" + kPast, 1},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        const auto seed = [&](const fs::path& store) {
            for (const std::string& c : change.before)
                ASSERT_TRUE(InternetSetCookie("http://k.example/", "", c + kFuture, Access(store)));
            // Another source of the store, which no change may touch.
            ASSERT_TRUE(InternetSetCookie("http://other.example/", "", "o=1" + kFuture, Access(store)));
        };
        StoreState before, after;
        {
            TempProgramFolder tmp;
            seed(tmp.storeFolder());
            before = StateOf(tmp.storeFolder());
            ASSERT_TRUE(InternetSetCookie("http://k.example/", change.name, change.data, Access(tmp.storeFolder())));
            after = StateOf(tmp.storeFolder());
            EXPECT_TRUE(Unnamed(tmp.storeFolder()).empty());
        }
        ASSERT_NE(before, after);

        int killed = 0;
        for (int point = 0;; ++point) {
            bool completed = false;
            for (bool afterTheCall : {false, true}) {
                SCOPED_TRACE("killed at call " + std::to_string(point) + (afterTheCall ? ", after it" : ", before it"));
                TempProgramFolder tmp;
                const fs::path store = tmp.storeFolder();
                seed(store);
                const pid_t pid = fork();
                ASSERT_GE(pid, 0);
                if (pid == 0) {
                    KillingCalls calls;
                    calls.killAt = point;
                    calls.afterTheCall = afterTheCall;
                    _exit(InternetSetCookie("http://k.example/", change.name, change.data, Access(store, &calls)) ? 0
                                                                                                                  : 1);
                }
                int status = 0;
                ASSERT_EQ(waitpid(pid, &status, 0), pid);
                const StoreState state = StateOf(store);
                if (WIFEXITED(status)) {
                    EXPECT_EQ(WEXITSTATUS(status), 0);
                    EXPECT_EQ(state, after);
                    EXPECT_TRUE(Unnamed(store).empty());
                    completed = true;
                    continue;
                }
                ++killed;
                EXPECT_TRUE(state == before || state == after) << "a state that is neither before nor after";
                // The next process's first change starts by removing the killed one's leftovers.
                const pid_t nextPid = fork();
                ASSERT_GE(nextPid, 0);
                if (nextPid == 0)
                    _exit(InternetSetCookie("http://next.example/", "", "n=1" + kFuture, Access(store)) ? 0 : 1);
                ASSERT_EQ(waitpid(nextPid, &status, 0), nextPid);
                ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                EXPECT_EQ(Unnamed(store), std::set<std::string>{});
                StoreState next = StateOf(store);
                next.erase(Source("next.example/"));
                EXPECT_EQ(next, state);
            }
            if (completed)
                break;
        }
        EXPECT_EQ(killed, 2 * change.calls);
    }
}

// A removal that cannot take the old file away is said, with the file; the change stands,
// and the next process's first change removes the file.
TEST(CookieChangeReports, AFailedRemovalOfTheOldFileIsReportedAndLaterRemoved)
{
    TempProgramFolder tmp;
    const fs::path store = tmp.storeFolder();
    ASSERT_TRUE(InternetSetCookie("http://u.example/", "", "a=1" + kFuture, Access(store)));
    ASSERT_TRUE(InternetSetCookie("http://u.example/", "", "b=2" + kFuture, Access(store)));
    KillingCalls calls;
    calls.fail = [](const char* call) { return std::string_view(call) == "unlink" ? EIO : 0; };
    CookieSetReport report;
    ASSERT_TRUE(InternetSetCookie("http://u.example/", "a", "1" + kPast, Access(store, &calls), &report));
    EXPECT_TRUE(report.changed);
    EXPECT_EQ(report.leftError, EIO);
    ASSERT_FALSE(report.leftFile.empty());
    EXPECT_TRUE(fs::exists(report.leftFile));
    EXPECT_EQ(Unnamed(store), std::set<std::string>{fs::path(report.leftFile).filename().string()});
    EXPECT_EQ(StateOf(store).at(Source("u.example/")), "b=2 " + std::to_string(*FileTimeFromUtc(2100, 12, 31)) + "\n");

    // The last cookie: the entry goes, its file stays behind, and that is said too.
    ASSERT_TRUE(InternetSetCookie("http://u.example/", "b", "2" + kPast, Access(store, &calls), &report));
    EXPECT_EQ(report.leftError, EIO);
    EXPECT_EQ(StateOf(store), StoreState{});
    EXPECT_EQ(Unnamed(store).size(), 2u);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
        _exit(InternetSetCookie("http://next.example/", "", "n=1" + kFuture, Access(store)) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Unnamed(store), std::set<std::string>{});
}

// What a set call reports it changed, and an entry whose cookie file is gone (the disk
// lost it, or a program removed it): a change that meets it, or a deletion of it, removes it.
TEST(CookieChangeReports, ARemovalThatFindsNothingSaysSoAndASourceWithoutItsFileGoes)
{
    TempProgramFolder tmp;
    const fs::path store = tmp.storeFolder();
    CookieSetReport report;
    struct Case {
        const char* url;
        std::string name, data;
        bool changed;
    };
    const std::vector<Case> cases{
        {"http://r.example/", "a", "1" + kFuture, true},   // set
        {"http://r.example/", "a", "2" + kFuture, true},   // replaced
        {"http://r.example/", "b", "1" + kPast, false},    // not there
        {"http://r.example/x/", "a", "1" + kPast, false},  // of another path
        {"http://s.example/", "a", "1" + kPast, false},    // of another host
        {"http://r.example/", "a", "1" + kPast, true},     // removed
        {"http://r.example/", "a", "1" + kPast, false},    // gone already
        {"http://r.example/", "", "s=1", true},            // a session cookie
        {"http://r.example/", "s", "1" + kPast, true},     // the session cookie removed
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(InternetSetCookie(c.url, c.name, c.data, Access(store), &report)) << c.name << c.data;
        EXPECT_EQ(report.changed, c.changed) << c.url << " " << c.name << c.data;
    }

    ASSERT_TRUE(InternetSetCookie("http://lost.example/", "", "a=1" + kFuture, Access(store)));
    CacheEntry entry;
    ASSERT_TRUE(FindCookieSource(Source("lost.example/"), entry, Access(store)));
    ASSERT_TRUE(entry.localFileName);
    EXPECT_EQ(entry.expireTime, *FileTimeFromUtc(2100, 12, 31));
    fs::remove(*entry.localFileName);
    EXPECT_TRUE(FindCookieSource(Source("lost.example/"), entry, Access(store)));
    // Only for a source this user may change, and only while its file is not there.
    EXPECT_FALSE(RemoveCookieSourceWithoutFile(Source("lost.example/"), Access(store, nullptr, "someone")));
    EXPECT_FALSE(RemoveCookieSourceWithoutFile(Source("other.example/"), Access(store)));
    EXPECT_TRUE(RemoveCookieSourceWithoutFile(Source("lost.example/"), Access(store)));
    EXPECT_FALSE(FindCookieSource(Source("lost.example/"), entry, Access(store)));
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_EQ(RunSqlite(store, "SELECT count(*) FROM entries WHERE url LIKE '%lost.example%';"), "0\n");
    ASSERT_TRUE(InternetSetCookie("http://other.example/", "", "o=1" + kFuture, Access(store)));
    EXPECT_FALSE(RemoveCookieSourceWithoutFile(Source("other.example/"), Access(store)));
    EXPECT_TRUE(FindCookieSource(Source("other.example/"), entry, Access(store)));

    // A removal from such a source takes its entry; a set gives it a new file.
    for (bool removal : {true, false}) {
        ASSERT_TRUE(InternetSetCookie("http://lost.example/", "", "a=1" + kFuture, Access(store)));
        ASSERT_TRUE(FindCookieSource(Source("lost.example/"), entry, Access(store)));
        fs::remove(*entry.localFileName);
        ASSERT_TRUE(InternetSetCookie("http://lost.example/", removal ? "a" : "b", removal ? "1" + kPast : "2" + kFuture,
                                      Access(store), &report));
        EXPECT_EQ(report.changed, !removal);
        if (removal)
            EXPECT_EQ(StateOf(store).count(Source("lost.example/")), 0u);
        else
            EXPECT_EQ(StateOf(store).at(Source("lost.example/")),
                      "b=2 " + std::to_string(*FileTimeFromUtc(2100, 12, 31)) + "\n");
    }
}

// The sources of every user ("anyuser") are live for each user and changed through their
// own user part; Secure cookies go only with https, HttpOnly ones with either.
TEST(CookieRules, EveryUsersSourcesAreLiveForEachUserAndSecureOnesGoWithHttps)
{
    TempProgramFolder tmp;
    const fs::path store = tmp.storeFolder();
    ASSERT_TRUE(InternetSetCookie("http://all.example/", "", "shared=1" + kFuture, Access(store, nullptr, kAnyUser)));
    ASSERT_TRUE(InternetSetCookie("http://all.example/", "", "mine=2" + kFuture, Access(store)));
    ASSERT_TRUE(InternetSetCookie("http://all.example/", "", "sec=3; Secure" + kFuture, Access(store)));
    ASSERT_TRUE(InternetSetCookie("http://all.example/", "", "ho=4; HttpOnly" + kFuture, Access(store)));
    EXPECT_EQ(RunSqlite(store, "SELECT url FROM entries ORDER BY seq;"),
              Source("all.example/", kAnyUser) + "\n" + Source("all.example/") + "\n");
    const auto get = [&](const std::string& url, const std::string& user) {
        std::uint32_t size = 0;
        std::string data;
        if (!InternetGetCookie(url, "", nullptr, &size, Access(store, nullptr, user)) ||
            !InternetGetCookie(url, "", &data, &size, Access(store, nullptr, user)))
            return "<error " + std::to_string(GetLastError()) + ">";
        return data;
    };
    struct Case {
        const char* url;
        const char* user;
        const char* cookies;
    };
    const std::vector<Case> cases{
        {"http://all.example/", test::kTestUser, "mine=2; ho=4; shared=1"},
        {"https://all.example/", test::kTestUser, "mine=2; sec=3; ho=4; shared=1"},
        {"http://all.example/", "someone", "shared=1"},
        {"http://all.example/", kAnyUser, "shared=1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(get(c.url, c.user), c.cookies) << c.url << " " << c.user;

    // Removed for this user, the shared cookie stays; removed through its own user part, it goes.
    CookieSetReport report;
    ASSERT_TRUE(InternetSetCookie("http://all.example/", "shared", "1" + kPast, Access(store), &report));
    EXPECT_FALSE(report.changed);
    ASSERT_TRUE(InternetSetCookie("http://all.example/", "shared", "1" + kPast, Access(store, nullptr, kAnyUser), &report));
    EXPECT_TRUE(report.changed);
    EXPECT_EQ(get("http://all.example/", "someone"), "<error 259>");
}
