// `cmake --install` into a temporary prefix: Brimlow lands on the prefix's PATH folder and
// UrlHound in libexec; the installed program answers --help and --version without a display
// and without writing a file, starts from there, finds UrlHound and lists a seeded store.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using brimlow::test::TempProgramFolder;

namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

// Starts argv from "/" with standard output and error into files of `scratch`; `inChild`
// runs first in the child. With wait false, `pid` is the running child.
pid_t Start(const std::vector<std::string>& argv, const fs::path& scratch, const std::function<void()>& inChild = {})
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (inChild)
            inChild();
        const int out = ::open((scratch / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open((scratch / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir("/") != 0)
            ::_exit(126);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

Ran RunProgram(const std::vector<std::string>& argv, const fs::path& scratch, const std::function<void()>& inChild = {})
{
    Ran r;
    const pid_t pid = Start(argv, scratch, inChild);
    if (pid < 0)
        return r;
    ::waitpid(pid, &r.status, 0);
    r.out = TempProgramFolder::ReadFile(scratch / "out.txt");
    r.err = TempProgramFolder::ReadFile(scratch / "err.txt");
    return r;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s)
{
    for (auto waited = 0ms; waited < limit; waited += 50ms) {
        if (done())
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

int ExitCode(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Installed : public testing::Test {
protected:
    TempProgramFolder dir;
    fs::path prefix, home, scratch;

    void SetUp() override
    {
        prefix = dir.root() / "installed prefix";
        home = dir.root() / "home";
        scratch = dir.root() / "scratch";
        fs::create_directories(home);
        fs::create_directories(scratch);
        const Ran install = RunProgram({CMAKE_COMMAND, "--install", BRIMLOW_BUILD_DIR, "--prefix", prefix.string()}, scratch);
        ASSERT_EQ(ExitCode(install.status), 0) << install.out << install.err;
    }
    fs::path exe() const { return prefix / "bin" / "Brimlow"; }
    // The user's own surroundings: a home and data folder of the test's own, no display.
    std::function<void()> AsUser(bool offscreen) const
    {
        return [this, offscreen] {
            ::setenv("HOME", home.c_str(), 1);
            ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            if (offscreen)
                ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            else
                ::unsetenv("QT_QPA_PLATFORM");
        };
    }
    // Where the installed program keeps its data files: beside it when the user may write
    // there, else in the user's data folder.
    fs::path WorkingFolder() const
    {
        const fs::path bin = prefix / "bin";
        return ::access(bin.c_str(), W_OK | X_OK) == 0 ? bin : home / "data" / "brimlow";
    }
};

}  // namespace

TEST_F(Installed, LaysOutTheProgramTheToolTheMenuEntryAndTheIcon)
{
    EXPECT_EQ(Names(prefix / "bin"), std::vector<std::string>{"Brimlow"});
    EXPECT_EQ(::access((prefix / "libexec" / "brimlow" / "UrlHound").c_str(), X_OK), 0);
    const fs::path desktop = prefix / "share" / "applications" / "brimlow.desktop";
    ASSERT_TRUE(fs::exists(desktop));
    EXPECT_TRUE(fs::exists(prefix / "share" / "icons" / "hicolor" / "scalable" / "apps" / "brimlow.svg"));
    const std::string entry = TempProgramFolder::ReadFile(desktop);
    EXPECT_NE(entry.find("\nExec=Brimlow\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=brimlow\n"), std::string::npos);
    const Ran valid = RunProgram({"/usr/bin/desktop-file-validate", desktop.string()}, scratch);
    EXPECT_EQ(ExitCode(valid.status), 0) << valid.out << valid.err;
    EXPECT_EQ(valid.out + valid.err, "");  // not even a hint
}

TEST_F(Installed, HelpAndVersionPrintWithoutADisplayAndWriteNothing)
{
    const Ran version = RunProgram({exe().string(), "--version"}, scratch, AsUser(false));
    EXPECT_EQ(ExitCode(version.status), 0) << version.err;
    EXPECT_EQ(version.out, "Brimlow " BRIMLOW_VERSION "\n");
    const Ran help = RunProgram({exe().string(), "--help"}, scratch, AsUser(false));
    EXPECT_EQ(ExitCode(help.status), 0) << help.err;
    EXPECT_NE(help.out.find("Usage: "), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--help"), std::string::npos) << help.out;
    // An option that Brimlow does not know is refused with a word on standard error.
    const Ran bad = RunProgram({exe().string(), "--no-such-option"}, scratch, AsUser(true));
    EXPECT_EQ(ExitCode(bad.status), 2);
    EXPECT_NE(bad.err.find("no-such-option"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("--help"), std::string::npos) << bad.err;
    EXPECT_EQ(Names(prefix / "bin"), std::vector<std::string>{"Brimlow"});
    EXPECT_FALSE(fs::exists(home / "data")) << "a data folder was made";
}

TEST_F(Installed, StartsFindsUrlHoundAndListsTheSeededStore)
{
    brimlow::test::SeedEntries(dir.storeFolder(), 9);
    const fs::path work = WorkingFolder();
    const pid_t pid = Start({exe().string()}, scratch, AsUser(true));
    ASSERT_GT(pid, 0);
    // UrlHound, found in libexec, has dumped the store into the working folder.
    const bool dumped = WaitFor([&] { return fs::exists(work / "OrlinAll.dat") && fs::exists(work / "OrlinCookie.dat"); });
    std::this_thread::sleep_for(300ms);  // let the dump be finished and read
    const std::string all = dumped ? TempProgramFolder::ReadFile(work / "OrlinAll.dat") : std::string();
    ::kill(pid, SIGTERM);
    int status = 0;
    if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "the installed Brimlow did not end after SIGTERM";
    }
    ASSERT_TRUE(dumped) << "no dump in " << work << "; " << TempProgramFolder::ReadFile(scratch / "err.txt");
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_NE(all.find(brimlow::test::SeedEntryFor(static_cast<brimlow::test::SeedKind>(i % 3), i).sourceUrl),
                  std::string::npos)
            << i;
    EXPECT_EQ(ExitCode(status), 0);
    EXPECT_FALSE(fs::exists(work / "OrlinAll.dat"));  // the shut-down destroyed the dumps
    EXPECT_FALSE(fs::exists(prefix / "bin" / "UrlHound"));
}
