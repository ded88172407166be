// The built Brimlow, started from a program folder of its own: it starts up, runs UrlHound
// with the working folder as its current folder, and when told to stop goes through the
// shut-down, leaving only the log entry of the log's own destruction.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "host/UserSettingsFile.h"
#include "support/ProcessWatch.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Starts `exe` with the offscreen platform from "/" (the program must not depend on its
// current folder); `inChild` runs first in the child (to change user or environment).
pid_t StartBrimlow(const std::string& exe, const std::function<void()>& inChild = {})
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (inChild)
            inChild();
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (::chdir("/") != 0)
            ::_exit(126);
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
{
    for (auto waited = 0ms; waited < limit; waited += 50ms) {
        if (done())
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

// Sends SIGTERM and waits for the exit; the wait status, or -1 when it had to be killed.
int StopBrimlow(pid_t pid)
{
    ::kill(pid, SIGTERM);
    int status = 0;
    if (WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }))
        return status;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

bool HasDumps(const fs::path& folder)
{
    for (const char* name : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat"})
        if (!fs::exists(folder / name))
            return false;
    return true;
}

// True once the process has started no program for half a second: its start-up has run
// UrlHound for the last time and waits in its main loop.
bool SettledWithoutChildren(pid_t pid)
{
    const std::string children = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
    for (int quiet = 0; quiet < 10; ++quiet) {
        if (!fs::exists(children) || !brimlow::test::TempProgramFolder::ReadFile(children).empty())
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::string LogOfItsOwnDestruction(const fs::path& folder)
{
    return "File deleted\r\n" + (folder / "ActivityReport.dat").string() + "\r\nBleached: True\r\n";
}

}  // namespace

TEST(Program, StartsUpAndCleansUpWhenStopped)
{
    brimlow::test::TempProgramFolder dir;
    dir.WithUrlHound();
    fs::copy_file(brimlow::test::BuiltProgramFolder() / "Brimlow", dir.file("Brimlow"));
    dir.Write("BrimlowTemp.dat", "an old search report\r\n");

    // A umask that lets others read what is created: the program's files must not rely on it.
    const pid_t pid = StartBrimlow(dir.file("Brimlow").string(), [] { ::umask(022); });
    ASSERT_GE(pid, 0);
    // The start-up has run UrlHound in the program folder once the dumps are there.
    const bool dumped = WaitFor([&] { return HasDumps(dir.folder()); });
    // The load has ended and the main loop is next once Brimlow catches the stop signal.
    EXPECT_TRUE(WaitFor([&] { return brimlow::test::CatchesSignal(pid, SIGTERM); }));
    const int status = StopBrimlow(pid);
    ASSERT_NE(status, -1) << "Brimlow did not end after SIGTERM";
    EXPECT_TRUE(dumped);
    ASSERT_TRUE(WIFEXITED(status)) << status;  // ended by its own shut-down, not by the signal
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* gone : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat", "BrimlowTemp.dat"})
        EXPECT_FALSE(dir.Exists(gone)) << gone;
    EXPECT_EQ(dir.Read("ActivityReport.dat"), LogOfItsOwnDestruction(dir.folder()));
    // What the run leaves is the user's own history and choices: nobody else may read it.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.folder())) {
        const std::string name = e.path().filename().string();
        if (name == "Brimlow" || name == "UrlHound")
            continue;
        left.push_back(name);
        struct stat st {};
        ASSERT_EQ(::lstat(e.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << name;
    }
    std::sort(left.begin(), left.end());
    const passwd* pw = ::getpwuid(::geteuid());
    EXPECT_EQ(left, (std::vector<std::string>{"ActivityReport.dat",
                                              brimlow::SettingsUserPart(pw ? pw->pw_name : "") + ".dat"}));
}

// An installed copy: a root-owned folder that the ordinary user may not write. The user's
// files go to the user's data folder, private to the user, and are gone after the exit.
TEST(Program, AnOrdinaryUserOfAnInstalledCopyWorksInThePrivateDataFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to play the ordinary user";
    brimlow::test::TempProgramFolder dir;
    dir.WithUrlHound();
    fs::copy_file(brimlow::test::BuiltProgramFolder() / "Brimlow", dir.file("Brimlow"));
    ::chmod(dir.root().c_str(), 0755);
    ::chmod(dir.folder().c_str(), 0755);
    // The user's own store and home, with a few entries in it.
    brimlow::test::SeedEntries(dir.storeFolder(), 9);
    const fs::path home = dir.root() / "home";
    fs::create_directories(home);
    for (const fs::path& p : {dir.storeFolder(), dir.storeFolder() / "index.sqlite", home})
        ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0) << p;
    ::chmod(home.c_str(), 0700);
    const fs::path work = home / "data" / "brimlow";

    const pid_t pid = StartBrimlow(dir.file("Brimlow").string(), [&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(125);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
    });
    ASSERT_GE(pid, 0);
    const bool dumped = WaitFor([&] { return HasDumps(work); });
    std::string all;
    // The all-entries dump is created before its walk writes it: wait until the walk is done.
    const auto holdsEverySeed = [&] {
        all = brimlow::test::TempProgramFolder::ReadFile(work / "OrlinAll.dat");
        for (std::size_t i = 0; i < 9; ++i)
            if (all.find(brimlow::test::SeedEntryFor(static_cast<brimlow::test::SeedKind>(i % 3), i).sourceUrl) ==
                std::string::npos)
                return false;
        return true;
    };
    if (dumped)
        WaitFor([&] { return brimlow::test::CatchesSignal(pid, SIGTERM) && holdsEverySeed(); });
    struct stat st {};
    const bool statted = ::stat(work.c_str(), &st) == 0;
    const int status = StopBrimlow(pid);
    ASSERT_NE(status, -1) << "Brimlow did not end after SIGTERM";
    ASSERT_TRUE(dumped) << "no dump files in " << work;
    // The cache lists its entries: the all-entries dump holds every seeded one.
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_NE(all.find(brimlow::test::SeedEntryFor(static_cast<brimlow::test::SeedKind>(i % 3), i).sourceUrl),
                  std::string::npos)
            << i;
    ASSERT_TRUE(statted);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, 65534u);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* gone : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat", "BrimlowTemp.dat"})
        EXPECT_FALSE(fs::exists(work / gone)) << gone;
    EXPECT_EQ(brimlow::test::TempProgramFolder::ReadFile(work / "ActivityReport.dat"), LogOfItsOwnDestruction(work));
    // Nothing was written beside the installed program.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.folder()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Brimlow", "UrlHound"}));
}

// A copy killed with SIGKILL runs no shut-down and leaves its data files. The next start
// holds the folder at once (the kernel dropped the dead copy's lock) and destroys them, as
// the exit clean-up does, before it writes anything: the dead run's report and log are gone.
TEST(Program, AStartAfterSigkillFindsNoDataFileOfTheDeadRun)
{
    brimlow::test::TempProgramFolder dir;
    dir.WithUrlHound();
    brimlow::test::SeedEntries(dir.storeFolder(), 6);
    fs::copy_file(brimlow::test::BuiltProgramFolder() / "Brimlow", dir.file("Brimlow"));

    const pid_t dead = StartBrimlow(dir.file("Brimlow").string());
    ASSERT_GE(dead, 0);
    ASSERT_TRUE(WaitFor([&] { return HasDumps(dir.folder()) && SettledWithoutChildren(dead); }));
    dir.Write("OrlinAll.dat", "the dead run's dump\n");
    dir.Write("BrimlowTemp.dat", "the dead run's search report\r\n");
    dir.Write("ActivityReport.dat", "the dead run's activity\r\n");
    // What a settings save cut short by the kill leaves: its temporary file.
    const std::string halfSaved = ".root.dat.tmp-" + std::to_string(dead) + "-Ab12Cd";
    dir.Write(halfSaved, "\x01\r\nhalf");
    // And what a script save cut short leaves.
    const std::string halfScript = ".clean.scr.tmp-" + std::to_string(dead) + "-Zy98Xw";
    dir.Write(halfScript, "/usr/bin/app\r\n\x01");
    ::kill(dead, SIGKILL);
    ::waitpid(dead, nullptr, 0);
    ASSERT_TRUE(HasDumps(dir.folder()));
    ASSERT_TRUE(dir.Exists("BrimlowTemp.dat"));

    const pid_t next = StartBrimlow(dir.file("Brimlow").string());
    ASSERT_GE(next, 0);
    // This run's own dump of the store replaces the dead run's once the start-up has run UrlHound.
    const auto freshDump = [&] {
        const std::string all = dir.Exists("OrlinAll.dat") ? dir.Read("OrlinAll.dat") : "";
        return all.find(brimlow::test::SeedEntryFor(brimlow::test::SeedKind::Url, 2).sourceUrl) != std::string::npos;
    };
    const bool started = WaitFor([&] { return freshDump() && SettledWithoutChildren(next); });
    const bool reportGone = !dir.Exists("BrimlowTemp.dat");
    const bool halfSavedGone = !dir.Exists(halfSaved) && !dir.Exists(halfScript);
    const std::string log = dir.Exists("ActivityReport.dat") ? dir.Read("ActivityReport.dat") : "";
    const bool dumped = HasDumps(dir.folder());
    std::string listing;
    for (const auto& e : fs::directory_iterator(dir.folder()))
        listing += e.path().filename().string() + " ";
    const int status = StopBrimlow(next);
    ASSERT_TRUE(started) << "the next start did not reach its main loop";
    EXPECT_TRUE(reportGone) << "the dead run's search report is still there";
    EXPECT_TRUE(halfSavedGone) << "the dead run's half-written temporary files are still there";
    // The dead run's log went too; what is left is the entry of its destruction.
    EXPECT_EQ(log, LogOfItsOwnDestruction(dir.folder()));
    EXPECT_TRUE(dumped) << listing;  // this run's own dumps
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
