// The built Brimlow, started from a program folder of its own: it starts up, runs UrlHound
// there, and when told to stop goes through the shut-down, leaving only the log entry of
// the log's own destruction.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/TempProgramFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(Program, StartsUpAndCleansUpWhenStopped)
{
    brimlow::test::TempProgramFolder dir;
    dir.WithUrlHound();
    fs::copy_file(brimlow::test::BuiltProgramFolder() / "Brimlow", dir.file("Brimlow"));
    dir.Write("BrimlowTemp.dat", "an old search report\r\n");

    const std::string exe = dir.file("Brimlow").string();
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::chdir("/");  // the program must not depend on its current folder
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The start-up has run UrlHound in the program folder once the dumps are there.
    bool dumped = false;
    for (int i = 0; i < 200 && !dumped; ++i) {
        std::this_thread::sleep_for(50ms);
        dumped = dir.Exists("OrlinAll.dat") && dir.Exists("OrlinCookie.dat") && dir.Exists("OrlinVisited.dat");
    }
    std::this_thread::sleep_for(300ms);  // let the load reach the event loop
    ::kill(pid, SIGTERM);
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 200 && done == 0; ++i) {
        done = ::waitpid(pid, &status, WNOHANG);
        if (done == 0)
            std::this_thread::sleep_for(50ms);
    }
    if (done == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "Brimlow did not end after SIGTERM";
    }
    EXPECT_TRUE(dumped);
    ASSERT_TRUE(WIFEXITED(status)) << status;  // ended by its own shut-down, not by the signal
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* gone : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat", "BrimlowTemp.dat"})
        EXPECT_FALSE(dir.Exists(gone)) << gone;
    EXPECT_EQ(dir.Read("ActivityReport.dat"),
              "File deleted\r\n" + dir.file("ActivityReport.dat").string() + "\r\nBleached: True\r\n");
}
