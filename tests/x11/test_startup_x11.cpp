// Brimlow's start and exit as a user sees them, on a real X display: the splash first, the
// main window after the splash timer or at once on a click, and an exit that leaves only
// the activity log's report of its own destruction.
#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>

#include "support/ProcessWatch.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "x11support/XSession.h"

#include <X11/Xutil.h>

using namespace brimlow::test;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class BrimlowOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.ok()) << "no test display";
        fs::copy_file(BuiltProgramFolder() / "Brimlow", dir.file("Brimlow"));
        dir.WithUrlHound();
        CreateStore(dir.storeFolder());  // an empty cache: the start-up has nothing to report
        for (const char* name : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat", "BrimlowTemp.dat"})
            dir.Write(name, "left over from an earlier run\n");
    }
    void TearDown() override
    {
        if (pid > 0)
            WaitChild(pid, 0.1);
    }

    void Start()
    {
        // Started from another folder: the program folder is where the executable lies.
        pid = SpawnOnDisplay(x, dir.file("Brimlow").string(),
                             {"INETCACHE_DIR=" + dir.storeFolder().string(), "XDG_RUNTIME_DIR=" + runtime()},
                             dir.root().string());
        ASSERT_GT(pid, 0);
    }
    // Brimlow catches the stop signals from the end of its load on.
    bool LoadEnded() const { return CatchesSignal(pid, SIGTERM); }
    std::optional<XWin> Window(bool main)
    {
        for (const auto& w : x.WindowsOf(pid))
            if (w.splash != main)
                return w;
        return std::nullopt;
    }

    // The main window without waiting out the splash's five seconds (the tests above time
    // them): once the load has ended and the splash has the focus, one click on the splash.
    bool MainWindowSoon()
    {
        bool clicked = false;
        return XSession::WaitFor(
            [&] {
                if (Window(true).has_value())
                    return true;
                const auto splash = Window(false);
                if (!clicked && splash && LoadEnded() && x.ActiveWindow() == splash->id) {
                    x.Click(splash->x + splash->width / 2, splash->y + splash->height / 2);
                    clicked = true;
                }
                return false;
            },
            20);
    }

    void ExpectCleanExit()
    {
        EXPECT_EQ(WaitChild(pid, 20), 0);
        pid = -1;
        for (const char* name : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat", "BrimlowTemp.dat"})
            EXPECT_FALSE(dir.Exists(name)) << name;
        ASSERT_TRUE(dir.Exists("ActivityReport.dat"));
        EXPECT_EQ(dir.Read("ActivityReport.dat"),
                  "File deleted\r\n" + dir.file("ActivityReport.dat").string() + "\r\nBleached: True\r\n");
    }

    std::string runtime()
    {
        const auto p = dir.root() / "runtime";
        fs::create_directories(p);
        fs::permissions(p, fs::perms::owner_all);
        return p.string();
    }

    // UrlHound behind a gate: each run first reports itself, then waits (at most 10 s) until
    // the test opens the gate, so the test can look at the screen while Brimlow waits.
    void GateUrlHound()
    {
        fs::rename(dir.file("UrlHound"), dir.file("UrlHound.real"));
        dir.Write("UrlHound",
                  "#!/bin/sh\n"
                  "d=$(dirname \"$0\")\n"
                  ": > \"$d/urlhound-started\"\n"
                  "i=0\n"
                  "while [ ! -e \"$d/urlhound-go\" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n"
                  "exec \"$d/UrlHound.real\" \"$@\"\n");
        fs::permissions(dir.file("UrlHound"), fs::perms::owner_all);
    }

    // The number of distinct colours in the screen area of the window: 1 for a blank box.
    std::size_t Colours(const XWin& w)
    {
        XImage* img = XGetImage(x.dpy(), DefaultRootWindow(x.dpy()), w.x, w.y, static_cast<unsigned>(w.width),
                                static_cast<unsigned>(w.height), AllPlanes, ZPixmap);
        if (!img)
            return 0;
        std::set<unsigned long> seen;
        for (int py = 0; py < w.height; py += 2)
            for (int px = 0; px < w.width; px += 2)
                seen.insert(XGetPixel(img, px, py));
        XDestroyImage(img);
        return seen.size();
    }

    XSession x;
    TempProgramFolder dir;
    pid_t pid = -1;
};

}  // namespace

TEST_F(BrimlowOnX11, SplashIsPaintedBeforeTheLoadAndAKeyOnItHandsOverAtOnce)
{
    GateUrlHound();
    Start();
    // Brimlow now waits for the first UrlHound run of its load, with the splash shown.
    ASSERT_TRUE(XSession::WaitFor([&] { return dir.Exists("urlhound-started"); }, 15)) << "UrlHound never ran";
    ASSERT_TRUE(Window(false).has_value()) << "no splash while the load runs";
    EXPECT_GT(Colours(*Window(false)), 8u) << "the splash is a blank box while the load runs";
    dir.Write("urlhound-go", "");

    // The load ends at once now; a key typed on the splash must win against the 5 s timer.
    const auto opened = Clock::now();
    ASSERT_TRUE(XSession::WaitFor([&] { return LoadEnded(); }, 10)) << "the load never ended";
    ASSERT_TRUE(Window(false).has_value());
    ASSERT_TRUE(XSession::WaitFor([&] { return x.ActiveWindow() == Window(false)->id; }, 5))
        << "the splash has no focus";
    EXPECT_FALSE(Window(true).has_value());
    x.Key("a");
    ASSERT_TRUE(XSession::WaitFor([&] { return Window(true).has_value(); }, 10));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - opened).count(), 3.5) << "the key did not hand over";
    EXPECT_TRUE(XSession::WaitFor([&] { return !Window(false).has_value(); }, 2));
    x.Close(Window(true)->id);
    ExpectCleanExit();
}

TEST_F(BrimlowOnX11, SplashThenMainWindowAfterFiveSecondsThenCleanExit)
{
    Start();
    ASSERT_TRUE(XSession::WaitFor([&] { return Window(false).has_value(); }, 15)) << "no splash";
    const auto splashSeen = Clock::now();
    auto splash = *Window(false);
    EXPECT_EQ(splash.width, 520);
    EXPECT_EQ(splash.height, 160);
    EXPECT_FALSE(Window(true).has_value()) << "main window shown with the splash";

    ASSERT_TRUE(XSession::WaitFor([&] { return Window(true).has_value(); }, 15)) << "no main window";
    const double after = std::chrono::duration<double>(Clock::now() - splashSeen).count();
    EXPECT_GE(after, 4.5);
    EXPECT_LE(after, 10.0);
    EXPECT_TRUE(XSession::WaitFor([&] { return !Window(false).has_value(); }, 2)) << "splash still shown";

    // The start-up ran UrlHound in the program folder, not in the folder Brimlow started in.
    EXPECT_FALSE(fs::exists(dir.root() / "OrlinAll.dat"));

    x.Close(Window(true)->id);
    ExpectCleanExit();
}

TEST_F(BrimlowOnX11, ClickOnSplashShowsMainWindowAtOnce)
{
    Start();
    ASSERT_TRUE(XSession::WaitFor([&] { return Window(false).has_value(); }, 15));
    // Once the load has ended and the splash has the focus, the click must win against the
    // 5 s timer.
    ASSERT_TRUE(XSession::WaitFor([&] { return LoadEnded(); }, 10)) << "the load never ended";
    auto splash = *Window(false);
    ASSERT_TRUE(XSession::WaitFor([&] { return x.ActiveWindow() == splash.id; }, 5)) << "the splash has no focus";
    const auto clicked = Clock::now();
    x.Click(splash.x + splash.width / 2, splash.y + splash.height / 2);
    ASSERT_TRUE(XSession::WaitFor([&] { return Window(true).has_value(); }, 10));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - clicked).count(), 3.0);
    EXPECT_TRUE(XSession::WaitFor([&] { return !Window(false).has_value(); }, 2));

    // File, Exit through the keyboard ends the program on the same path as the close box.
    auto main = *Window(true);
    x.Click(main.x + main.width / 2, main.y - 8);  // the title bar: focus without touching a control
    x.Key("f", true);
    ASSERT_TRUE(XSession::WaitFor([&] { return x.ShowsPopup(pid); }, 5)) << "the File menu did not open";
    x.Key("x");
    ExpectCleanExit();
}

// The settings live across real runs, each its own process: what a run reads from the
// user's settings file at its start, it writes back at its exit, and the next run reads
// that file in turn.
TEST_F(BrimlowOnX11, TheSettingsComeBackThroughRealRestarts)
{
    std::string login;
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        login = pw->pw_name;
    ASSERT_FALSE(login.empty());
    for (char& c : login)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    dir.Write("a.scr", "t\r\n");
    dir.Write("b.scr", "t\r\n");
    const fs::path kept = dir.root() / "kept folder";
    fs::create_directories(kept);
    // A protected source stays protected while the store holds it.
    ASSERT_TRUE(brimlow::inetcache::InternetSetCookie("http://keep.example/", "id", "1; expires=Fri, 01 Jan 2100 00:00:00 GMT",
                                                      TestStoreAccess(dir.storeFolder())));
    const std::string S = "\x01\r\n";  // a separator line
    const std::string rest = S + "Cookie:" + std::string(kTestUser) + "@keep.example/\r\n" + S + S + "b.scr\r\n" + S +
                             S + "750\r\n" + S + S + kept.string() + "\r\n" + S;
    // The tab number is the page shown at the exit, the first: the file is written anew.
    dir.Write(login + ".dat", "3\r\n" + rest);
    const std::string settings = "0\r\n" + rest;
    for (int run = 1; run <= 2; ++run) {
        Start();
        ASSERT_TRUE(MainWindowSoon()) << "no main window, run " << run;
        x.Close(Window(true)->id);
        ExpectCleanExit();
        EXPECT_EQ(dir.Read(login + ".dat"), settings) << "run " << run;
    }
}

// A second copy for the same working folder brings the first to the front, says in a box of
// its own that one is running, and ends without touching a file of the first.
TEST_F(BrimlowOnX11, ASecondCopyBringsTheFirstToTheFrontAndTouchesNoFile)
{
    Start();
    ASSERT_TRUE(MainWindowSoon()) << "no main window";
    const XWin first = *Window(true);
    XIconifyWindow(x.dpy(), first.id, DefaultScreen(x.dpy()));
    XFlush(x.dpy());
    ASSERT_TRUE(XSession::WaitFor([&] { return !Window(true).has_value(); }, 5)) << "the main window stays up";

    std::map<std::string, std::pair<std::string, fs::file_time_type>> before;
    for (const auto& e : fs::directory_iterator(dir.folder()))
        before[e.path().filename().string()] = {dir.Read(e.path().filename().string()), e.last_write_time()};

    ChildProcess secondCopy(SpawnOnDisplay(x, dir.file("Brimlow").string(),
                                           {"INETCACHE_DIR=" + dir.storeFolder().string(),
                                            "XDG_RUNTIME_DIR=" + runtime()},
                                           dir.root().string()));
    const pid_t second = secondCopy.pid();
    ASSERT_GT(second, 0);
    EXPECT_TRUE(XSession::WaitFor([&] { return Window(true).has_value(); }, 10)) << "the first stayed iconified";
    ASSERT_TRUE(XSession::WaitFor([&] { return !x.WindowsOf(second).empty(); }, 10)) << "the second said nothing";
    const std::vector<XWin> said = x.WindowsOf(second);
    ASSERT_EQ(said.size(), 1u);  // the message box alone: no splash, no main window
    EXPECT_EQ(said[0].title, "Brimlow");
    x.Close(said[0].id);
    EXPECT_EQ(secondCopy.Wait(10), 0);

    std::map<std::string, std::pair<std::string, fs::file_time_type>> after;
    for (const auto& e : fs::directory_iterator(dir.folder()))
        after[e.path().filename().string()] = {dir.Read(e.path().filename().string()), e.last_write_time()};
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [name, file] : before) {
        ASSERT_TRUE(after.count(name)) << name;
        EXPECT_EQ(after[name].first, file.first) << name;
        EXPECT_TRUE(after[name].second == file.second) << name;
    }

    ASSERT_TRUE(Window(true).has_value());
    x.Close(Window(true)->id);
    ExpectCleanExit();
}
