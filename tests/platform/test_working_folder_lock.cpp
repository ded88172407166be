// One copy per working folder: the kernel lock on the folder is taken once, is free again
// when its holder ends however it ends, and no program started meanwhile keeps it.
#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/WorkingFolderLock.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
using Result = WorkingFolderLock::Result;

extern char** environ;

TEST(WorkingFolderLock, OneHolderAtATimeAndFreeAgainOnRelease)
{
    test::TempProgramFolder dir;
    WorkingFolderLock first, second;
    EXPECT_EQ(first.Acquire(dir.folder()), Result::Acquired);
    EXPECT_EQ(second.Acquire(dir.folder()), Result::HeldByAnother);
    EXPECT_FALSE(second.held());
    first.Release();
    EXPECT_EQ(second.Acquire(dir.folder()), Result::Acquired);
    // Taking the lock made no file.
    EXPECT_TRUE(std::filesystem::is_empty(dir.folder()));
}

TEST(WorkingFolderLock, AFolderThatIsNotThereIsUnavailable)
{
    test::TempProgramFolder dir;
    WorkingFolderLock lock;
    EXPECT_EQ(lock.Acquire(dir.folder() / "gone"), Result::Unavailable);
    EXPECT_EQ(lock.error(), ENOENT);
}

// A holder killed with SIGKILL runs no clean-up of its own: the kernel drops its lock.
TEST(WorkingFolderLock, AKilledHolderNeverBlocks)
{
    test::TempProgramFolder dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        WorkingFolderLock held;
        const char c = held.Acquire(dir.folder()) == Result::Acquired ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(c, 'y');
    WorkingFolderLock lock;
    EXPECT_EQ(lock.Acquire(dir.folder()), Result::HeldByAnother);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(lock.Acquire(dir.folder()), Result::Acquired);
}

// A program the holder started (a script's target runs on after Brimlow) must not inherit it.
TEST(WorkingFolderLock, AProgramStartedByTheHolderDoesNotKeepIt)
{
    test::TempProgramFolder dir;
    WorkingFolderLock holder;
    ASSERT_EQ(holder.Acquire(dir.folder()), Result::Acquired);
    pid_t child = 0;
    char sleepPath[] = "/bin/sleep";
    char seconds[] = "5";
    char* argv[] = {sleepPath, seconds, nullptr};
    ASSERT_EQ(::posix_spawn(&child, sleepPath, nullptr, nullptr, argv, environ), 0);
    holder.Release();
    WorkingFolderLock next;
    EXPECT_EQ(next.Acquire(dir.folder()), Result::Acquired);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}
