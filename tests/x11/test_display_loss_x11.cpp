// The display goes away under a running Brimlow (a log-out, a crashed X server, a lost
// remote display): the window system library ends the process, and the exit clean-up must
// still destroy the data files. The test runs Brimlow on an X server of its own and kills it.
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/ProcessWatch.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "x11support/XSession.h"

using namespace brimlow::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDumps[] = {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat"};

// Xvfb on a free display number, which it reports through -displayfd.
pid_t StartPrivateXvfb(std::string& display)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "800x600x24", nullptr};
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        pid = -1;
    ::close(fds[1]);
    std::string number;
    char c;
    while (pid > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number.push_back(c);
    ::close(fds[0]);
    display = ":" + number;
    return number.empty() ? -1 : pid;
}

}  // namespace

TEST(DisplayLoss, KillingTheXServerLeavesNoDataFile)
{
    TempProgramFolder dir;
    fs::copy_file(BuiltProgramFolder() / "Brimlow", dir.file("Brimlow"));
    dir.WithUrlHound();
    SeedEntries(dir.storeFolder(), 30);
    const fs::path runtime = dir.root() / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);

    std::string display;
    ChildProcess xvfb(StartPrivateXvfb(display));
    ASSERT_GT(xvfb.pid(), 0) << "Xvfb did not start";
    ChildProcess brimlow(SpawnOnDisplay(display, dir.file("Brimlow").string(),
                                        {"INETCACHE_DIR=" + dir.storeFolder().string(),
                                         "XDG_RUNTIME_DIR=" + runtime.string()},
                                        dir.root().string()));
    const pid_t pid = brimlow.pid();
    ASSERT_GT(pid, 0);
    // Running, with its dump files written: every start-up run of UrlHound is over once the
    // load has ended, and Brimlow catches the stop signals from then on.
    const bool loaded = XSession::WaitFor(
        [&] {
            for (const char* name : kDumps)
                if (!dir.Exists(name))
                    return false;
            return CatchesSignal(pid, SIGTERM);
        },
        20);
    ::kill(xvfb.pid(), SIGKILL);
    xvfb.Wait(5);
    ASSERT_TRUE(loaded) << "Brimlow never wrote its dump files";

    const int status = brimlow.Wait(20);
    EXPECT_NE(status, -1) << "Brimlow did not end when its display went away";
    for (const char* name : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat", "BrimlowTemp.dat"})
        EXPECT_FALSE(dir.Exists(name)) << name;
    ASSERT_TRUE(dir.Exists("ActivityReport.dat"));
    EXPECT_NE(dir.Read("ActivityReport.dat").find("Brimlow ended without its shut-down"), std::string::npos);
}
