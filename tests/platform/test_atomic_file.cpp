// Replacing a file whole: at every call a kill may come, the file holds the old bytes or the
// new ones and the next start sweeps the half-written temporary file away; the temporary
// name cannot be foreseen, so a link planted where it would be is never written through.
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "support/KillPoints.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
using namespace brimlow::textfile;
using brimlow::test::TempProgramFolder;

namespace {

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(folder))
        names.push_back(f.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(AtomicFile, AKillAtAnyCallLeavesTheOldFileOrTheNewOneAndTheSweepTakesTheRest)
{
    TempProgramFolder dir;
    const std::string oldBytes = "old settings\r\n";
    const std::string newBytes = std::string(100000, 'n') + "\r\n";
    std::size_t renamedAt = 0;
    bool sawLeftover = false;
    for (std::size_t k = 0;; ++k) {
        dir.Write("alice.dat", oldBytes);
        const auto outcome = test::RunKilledAtCall(
            k, [&](FileCalls& calls) { WriteAllAtomically(dir.file("alice.dat"), newBytes, &calls); });
        const std::string now = dir.Read("alice.dat");
        const bool renamed = std::find(outcome.calls.begin(), outcome.calls.end(), "rename") != outcome.calls.end();
        EXPECT_EQ(now, renamed ? newBytes : oldBytes) << "killed before call " << k;
        if (renamed && !renamedAt)
            renamedAt = k;
        sawLeftover = sawLeftover || Names(dir.folder()).size() > 1;
        RemoveLeftTemporaryFiles(dir.folder());
        EXPECT_EQ(Names(dir.folder()), std::vector<std::string>{"alice.dat"}) << "killed before call " << k;
        if (!outcome.killed) {
            EXPECT_EQ(now, newBytes);
            EXPECT_GE(k, 5u) << "mkostemp, write, fsync, close, rename at the least";
            break;
        }
        ASSERT_LT(k, 50u);
    }
    EXPECT_TRUE(sawLeftover) << "a kill between the temporary file and the rename leaves it behind";
    EXPECT_GT(renamedAt, 0u);
}

TEST(AtomicFile, TheTemporaryNameCannotBeForeseenSoAPlantedLinkIsNotWrittenThrough)
{
    TempProgramFolder dir;
    dir.Write("alice.dat", "old");
    const fs::path victim = dir.root() / "victim";
    TempProgramFolder::WriteFile(victim, "precious");
    // The names an earlier writer used: "." name ".tmp" pid, opened with O_CREAT|O_TRUNC.
    fs::create_symlink(victim, dir.file(".alice.dat.tmp" + std::to_string(::getpid())));

    const mode_t oldMask = ::umask(0);
    WriteAllAtomically(dir.file("alice.dat"), "new");
    ::umask(oldMask);
    EXPECT_EQ(TempProgramFolder::ReadFile(victim), "precious");
    EXPECT_EQ(dir.Read("alice.dat"), "new");
    EXPECT_FALSE(fs::is_symlink(dir.file("alice.dat")));
    EXPECT_EQ(TempProgramFolder::ModeOf(dir.file("alice.dat")), 0600u) << "private to its user, whatever the umask";

    // Two temporary files for one target get two names.
    TemporaryFile a(dir.file("alice.dat"));
    TemporaryFile b(dir.file("alice.dat"));
    EXPECT_NE(a.path(), b.path());
    EXPECT_EQ(TemporaryFileMaker(a.path().filename().string()), ::getpid());
}

TEST(AtomicFile, AWriteThatFailsLeavesTheOldFileWhole)
{
    TempProgramFolder dir;
    dir.Write("s.dat", "old contents\r\n");
    WriteAllAtomically(InFolder(dir.folder(), "S.DAT"), "new\r\n");  // resolves to the existing name
    EXPECT_EQ(dir.Read("s.dat"), "new\r\n");
    EXPECT_FALSE(dir.Exists("S.DAT"));

    // A file size limit makes the write stop half-way, as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int number = 0;
    try {
        WriteAllAtomically(dir.file("s.dat"), std::string(5000, 'x'));
    } catch (const RuntimeError& e) {
        number = e.number();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(number, 0);
    EXPECT_EQ(dir.Read("s.dat"), "new\r\n");
    EXPECT_EQ(FolderFiles(dir.folder()).size(), 1u) << "the temporary file is removed";

    // A name at the file system's limit still gets a temporary name that fits.
    const std::string longName(255, 'l');
    WriteAllAtomically(dir.file(longName), "long");
    EXPECT_EQ(dir.Read(longName), "long");
}

TEST(AtomicFile, TheSweepTakesOnlyTemporaryFilesOfEndedMakers)
{
    TempProgramFolder dir;
    // A maker that has ended: a child that is gone.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string deadPid = std::to_string(gone);
    const std::string livePid = std::to_string(::getppid());
    const std::vector<std::string> kept{
        ".alice.dat.tmp-" + livePid + "-Ab12Cd",  // its maker still runs
        "alice.dat.tmp-" + deadPid + "-Ab12Cd",   // no leading dot: not ours
        ".alice.dat.tmp-" + deadPid + "-Ab12C",   // five characters
        ".alice.dat.tmp-" + deadPid + "-Ab12C_",  // not a mkostemp character
        ".alice.dat.tmp-x" + deadPid + "-Ab12Cd",
        ".alice.dat.tmp" + deadPid,                // an earlier writer's pattern
        "notes.scr",
    };
    for (const auto& n : kept)
        dir.Write(n, "x");
    const std::string deadFile = ".alice.dat.tmp-" + deadPid + "-Ab12Cd";
    const std::string deadScript = ".my script.scr.tmp-" + deadPid + "-zzzzzz";
    dir.Write(deadFile, "half");
    dir.Write(deadScript, "half");
    // A link and a folder of the pattern are not files it made.
    fs::create_symlink(dir.file("notes.scr"), dir.file(".l.tmp-" + deadPid + "-aaaaaa"));
    fs::create_directory(dir.file(".d.tmp-" + deadPid + "-aaaaaa"));

    EXPECT_EQ(RemoveLeftTemporaryFiles(dir.folder()), 2u);
    EXPECT_FALSE(dir.Exists(deadFile));
    EXPECT_FALSE(dir.Exists(deadScript));
    for (const auto& n : kept)
        EXPECT_TRUE(dir.Exists(n)) << n;
    EXPECT_TRUE(fs::is_symlink(dir.file(".l.tmp-" + deadPid + "-aaaaaa")));
    EXPECT_TRUE(fs::is_directory(dir.file(".d.tmp-" + deadPid + "-aaaaaa")));
    EXPECT_EQ(RemoveLeftTemporaryFiles(dir.folder() / "no such folder"), 0u);
}
