#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "host/MRunUrlHound.h"
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

}  // namespace

TEST(HiddenRunner, RunsInTheProgramFolderWithArgvAndWaits)
{
    test::TempProgramFolder dir;
    WriteScriptTool(dir);
    PosixProcessRunner runner;
    Platform p;
    p.programFolder = dir.folder();
    p.runner = &runner;

    auto start = std::chrono::steady_clock::now();
    RunHiddenAndWait(p, UrlHoundCommand(p, true));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(250));  // the runner waited for the tool
    // The folder name holds a space; argv needs no quoting, and "4" is its own argument.
    EXPECT_EQ(dir.Read("ran.txt"), dir.folder().string() + "\n[4]\n");

    RunHiddenAndWait(p, UrlHoundCommand(p, false));
    EXPECT_EQ(dir.Read("ran.txt"), dir.folder().string() + "\n");
}

TEST(HiddenRunner, MissingToolReturnsAtOnce)
{
    test::TempProgramFolder dir;
    PosixProcessRunner runner;
    Platform p;
    p.programFolder = dir.folder();
    p.runner = &runner;
    auto start = std::chrono::steady_clock::now();
    RunHiddenAndWait(p, UrlHoundCommand(p, false));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}
