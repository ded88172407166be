#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "host/MRunUrlHound.h"
#include "support/ScopedEnv.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

// A stand-in tool that records its arguments and working folder, then sleeps a little so
// the test can see that the runner waited for it.
void WriteScriptTool(const test::TempProgramFolder& dir)
{
    dir.Write(kUrlHoundName,
              "#!/bin/sh\n"
              "sleep 0.3\n"
              "pwd > ran.txt\n"
              "for a in \"$@\"; do echo \"[$a]\" >> ran.txt; done\n");
    ::chmod(dir.file(kUrlHoundName).c_str(), 0755);
}

// A platform that runs programs for real, in the test's program folder, over `store`.
Platform RunnerPlatform(const test::TempProgramFolder& dir, const std::filesystem::path& store,
                        ProcessRunner& runner)
{
    Platform p;
    p.programFolder = dir.folder();
    p.storeFolder = store;
    p.runner = &runner;
    return p;
}

}  // namespace

TEST(HiddenRunner, RunsInTheProgramFolderWithArgvAndWaits)
{
    test::TempProgramFolder dir;
    WriteScriptTool(dir);
    PosixProcessRunner runner;
    Platform p = RunnerPlatform(dir, dir.storeFolder(), runner);

    auto start = std::chrono::steady_clock::now();
    RunHiddenAndWait(p, UrlHoundCommand(p, true));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(250));  // the runner waited for the tool
    // The folder name holds a space; argv needs no quoting, and "4" is its own argument.
    EXPECT_EQ(dir.Read("ran.txt"), dir.folder().string() + "\n[4]\n");

    RunHiddenAndWait(p, UrlHoundCommand(p, false));
    EXPECT_EQ(dir.Read("ran.txt"), dir.folder().string() + "\n");
}

TEST(HiddenRunner, UrlHoundWalksThePlatformsStoreWhateverTheEnvironmentSays)
{
    test::TempProgramFolder dir;  // names its own store in this process's environment
    dir.WithUrlHound();
    const std::filesystem::path store = dir.root() / "the platform's store";
    test::SeedEntries(store, 2, {test::SeedKind::Cookie});
    PosixProcessRunner runner;
    Platform p = RunnerPlatform(dir, store, runner);

    EXPECT_EQ(RunHiddenAndWait(p, UrlHoundCommand(p, true)).exitStatus, 0);
    const std::string dump = dir.Read("OrlinCookie.dat");
    EXPECT_NE(dump.find(test::SeedEntryFor(test::SeedKind::Cookie, 1).sourceUrl), std::string::npos) << dump;

    // No store named: the tool's own default, here the environment's empty store.
    p.storeFolder.clear();
    EXPECT_EQ(RunHiddenAndWait(p, UrlHoundCommand(p, true)).exitStatus, 2);
}

TEST(HiddenRunner, MissingToolReturnsAtOnce)
{
    test::TempProgramFolder dir;
    PosixProcessRunner runner;
    Platform p = RunnerPlatform(dir, dir.storeFolder(), runner);
    auto start = std::chrono::steady_clock::now();
    RunHiddenAndWait(p, UrlHoundCommand(p, false));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// A relative INETCACHE_DIR names the store from the folder Brimlow was started in; UrlHound,
// which runs in the working folder, walks that same store, not one of the same name there.
TEST(HiddenRunner, ARelativeStoreFolderNamesOneStoreForTheWindowAndUrlHound)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    const std::filesystem::path startedIn = dir.root() / "started here";
    std::filesystem::create_directories(startedIn);
    test::SeedEntries(startedIn / "my store", 2, {test::SeedKind::Cookie});
    const auto oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(startedIn);
    test::ScopedEnv env;
    env.Set("INETCACHE_DIR", "./my store/");
    const std::filesystem::path store = DefaultStoreFolder();
    std::filesystem::current_path(oldCwd);
    EXPECT_EQ(store, startedIn / "my store" / "");

    PosixProcessRunner runner;
    Platform p = RunnerPlatform(dir, store, runner);
    EXPECT_EQ(RunHiddenAndWait(p, UrlHoundCommand(p, true)).exitStatus, 0);
    EXPECT_NE(dir.Read("OrlinCookie.dat").find(test::SeedEntryFor(test::SeedKind::Cookie, 1).sourceUrl),
              std::string::npos);
}
