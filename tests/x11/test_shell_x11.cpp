// The shell on a real display with a window manager: a second copy's message stays in sight
// when the first copy's windows come to the front after it, and the desktop's opener says
// whether an address could be handed to a browser.
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

#include "platform/qt/QtPlatform.h"
#include "support/ProcessWatch.h"
#include "support/ScopedEnv.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "x11support/XSession.h"

using namespace brimlow;
using namespace brimlow::test;
namespace fs = std::filesystem;

namespace {

class ShellOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.ok()) << "no test display";
        fs::copy_file(BuiltProgramFolder() / "Brimlow", dir.file("Brimlow"));
        dir.WithUrlHound();
        CreateStore(dir.storeFolder());  // an empty cache: the start-up has nothing to say
        const fs::path runtime = dir.root() / "runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        env = {"INETCACHE_DIR=" + dir.storeFolder().string(), "XDG_RUNTIME_DIR=" + runtime.string()};
    }
    void TearDown() override
    {
        for (pid_t p : {second, first})
            if (p > 0)
                WaitChild(p, 0.1);
    }
    pid_t Start() { return SpawnOnDisplay(x, dir.file("Brimlow").string(), env, dir.root().string()); }
    std::optional<XWin> MainWindowOf(pid_t pid)
    {
        for (const auto& w : x.WindowsOf(pid))
            if (!w.splash)
                return w;
        return std::nullopt;
    }

    XSession x;
    TempProgramFolder dir;
    std::vector<std::string> env;
    pid_t first = -1, second = -1;
};

}  // namespace

// The first copy is busy starting (its splash is up, UrlHound runs) when the second calls it:
// it answers the call, and shows its main window, only after the second's message is up.
// Both come to the front then; the message must still stand above them.
TEST_F(ShellOnX11, ASecondCopysMessageStaysAboveTheFirstCopysWindows)
{
    fs::rename(dir.file("UrlHound"), dir.file("UrlHound.real"));
    dir.Write("UrlHound",
              "#!/bin/sh\n"
              "d=$(dirname \"$0\")\n"
              ": > \"$d/urlhound-started\"\n"
              "i=0\n"
              "while [ ! -e \"$d/urlhound-go\" ] && [ $i -lt 200 ]; do sleep 0.1; i=$((i+1)); done\n"
              "exec \"$d/UrlHound.real\" \"$@\"\n");
    fs::permissions(dir.file("UrlHound"), fs::perms::owner_all);

    first = Start();
    ASSERT_GT(first, 0);
    ASSERT_TRUE(XSession::WaitFor([&] { return dir.Exists("urlhound-started"); }, 15)) << "the first never ran UrlHound";
    second = Start();
    ASSERT_GT(second, 0);
    ASSERT_TRUE(XSession::WaitFor([&] { return x.WindowsOf(second).size() == 1; }, 15)) << "the second said nothing";
    const XWin message = x.WindowsOf(second)[0];
    EXPECT_EQ(message.title, "Brimlow");

    // The first goes on: it brings its splash to the front for the call, then shows its main window.
    dir.Write("urlhound-go", "");
    ASSERT_TRUE(XSession::WaitFor([&] { return CatchesSignal(first, SIGTERM); }, 20)) << "the first never loaded";
    ASSERT_TRUE(XSession::WaitFor([&] { return MainWindowOf(first).has_value(); }, 20)) << "no main window";
    const XWin main = *MainWindowOf(first);
    const int mainPlace = x.StackPlace(main.id);
    const int messagePlace = x.StackPlace(message.id);
    ASSERT_GE(mainPlace, 0);
    ASSERT_GE(messagePlace, 0) << "the message is gone";
    EXPECT_GT(messagePlace, mainPlace) << "the message stands behind the first copy's main window";
    for (const XWin& w : x.WindowsOf(first))
        EXPECT_LT(x.StackPlace(w.id), messagePlace) << "a window of the first covers the message: " << w.title;

    // The message still answers: closing it ends the second copy, and the first goes on.
    x.Close(message.id);
    EXPECT_EQ(WaitChild(second, 10), 0);
    second = -1;
    x.Close(main.id);
    EXPECT_EQ(WaitChild(first, 20), 0);
    first = -1;
}

// On a desktop the opener is xdg-open: without one on PATH (and no BROWSER) nothing can open
// an address, and the seam says so; with one, the address reaches it.
TEST(DesktopOpener, SaysWhetherTheAddressCouldBeHandedOn)
{
    TempProgramFolder dir;
    ScopedEnv env;
    env.Unset("BROWSER");
    env.Unset("DEFAULT_BROWSER");
    QtBrowser browser;

    // The opener's folder has no blank in its path: the desktop runs it from a command line.
    const fs::path bin = dir.root() / "bin";
    fs::create_directories(bin);
    env.Set("PATH", bin.string());
    EXPECT_FALSE(browser.Open("http://www.brimlow.example/help/brimlow.htm"));

    const fs::path got = dir.root() / "opened";
    TempProgramFolder::WriteFile(bin / "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + got.string() + "'\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    EXPECT_TRUE(browser.Open("http://www.brimlow.example/help/brimlow.htm"));
    ASSERT_TRUE(XSession::WaitFor([&] { return fs::exists(got) && !ReadSinkFile(got).empty(); }, 10))
        << "the opener never ran";
    EXPECT_EQ(ReadSinkFile(got), "http://www.brimlow.example/help/brimlow.htm\n");
}
