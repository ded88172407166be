// The launcher and the key sender on a real X display, with the key sink as the target: the
// window that the launch takes (only the launched program's, never another that appears
// meanwhile), the program a name stands for, and the words for each failed launch.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Keys.h"
#include "support/ScopedEnv.h"
#include "support/TempProgramFolder.h"
#include "x11support/XSession.h"

// Last: the X headers define names (None, Bool, Status) that the others use.
#include <X11/Xatom.h>
#include <X11/Xutil.h>

using namespace brimlow;
using namespace brimlow::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Maximised(Display* d, Window w)
{
    Atom actual;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool vert = false, horz = false;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &actual, &format, &n,
                           &after, &data) == Success &&
        data) {
        auto* atoms = reinterpret_cast<unsigned long*>(data);
        for (unsigned long i = 0; i < n; ++i) {
            vert = vert || atoms[i] == XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False);
            horz = horz || atoms[i] == XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
        }
        XFree(data);
    }
    return vert && horz;
}

// A top-level window of this very process, as Brimlow's own about box would be: mapped, with
// this process's pid on it.
Window OwnWindow(Display* d)
{
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 40, 40, 300, 200, 0, 0, 0xffffff);
    const unsigned long pid = static_cast<unsigned long>(::getpid());
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    char* hostList[] = {host};
    XTextProperty machine{};
    if (XStringListToTextProperty(hostList, 1, &machine)) {
        XSetWMClientMachine(d, w, &machine);
        XFree(machine.value);
    }
    XStoreName(d, w, "About Brimlow");
    XMapRaised(d, w);
    XSync(d, False);
    return w;
}

class KeySenderOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.ok()) << "no test display";
        setenv("DISPLAY", x.name().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        fs::create_directories(dir.folder() / "app");
        desktop = std::make_unique<x11::X11Desktop>();
        ASSERT_TRUE(desktop->connected());
    }
    void TearDown() override
    {
        // Every sink that a test or a launch started, whoever its parent is by now.
        for (const fs::path& sink : sinks)
            EndProcessesOf(sink);
        for (pid_t p : spawned) {
            kill(p, SIGTERM);
            WaitChild(p, 5);
        }
    }
    // A copy of the key sink in the app folder; its name picks its behaviour (keysink.cpp).
    fs::path Sink(const std::string& name = "keysink")
    {
        const fs::path p = dir.folder() / "app" / name;
        if (!fs::exists(p)) {
            fs::copy_file(KEYSINK_PATH, p);
            sinks.push_back(p);
        }
        return p;
    }
    // What the sinks in the app folder received; the other programs log beside it.
    std::string SinkLog() const { return ReadFile(dir.folder() / "app" / "keysink.log"); }
    std::string OtherLog() const { return ReadFile(dir.folder() / "keysink.log"); }
    // A sink started by the test itself, in `folder`: its log is "keysink.log" there.
    pid_t Spawn(const fs::path& sink, const fs::path& folder)
    {
        const pid_t pid = SpawnOnDisplay(x, sink.string(), {}, folder.string());
        spawned.push_back(pid);
        return pid;
    }

    x11::LaunchedWindow Launch(const std::string& path, double timeout = 10)
    {
        int pumps = 0;
        return desktop->Launch(path, timeout, [&] { ++pumps; });
    }

    XSession x;
    TempProgramFolder dir;
    std::unique_ptr<x11::X11Desktop> desktop;
    std::vector<fs::path> sinks;
    std::vector<pid_t> spawned;
};

}  // namespace

TEST_F(KeySenderOnX11, LaunchesTheTargetMaximisedWithTheFocusAndTypesIntoIt)
{
    const auto target = Launch(Sink().string());
    ASSERT_TRUE(target.ok) << target.failure;
    EXPECT_EQ(target.windowPid, target.pid);
    EXPECT_TRUE(XSession::WaitFor([&] { return Maximised(x.dpy(), target.window); }, 5));
    ASSERT_TRUE(desktop->FocusBelongsTo(target));

    for (const char* seq : {"^(a)", "hello", "+(x)", "{TAB}", "{ENTER}", "A{+}~"})
        ASSERT_TRUE(desktop->SendKeys(seq)) << seq;
    const std::string want = "down Ctrl C\ndown A C\nup A C\nup Ctrl -\n"
                             "down H -\nup H -\ndown E -\nup E -\ndown L -\nup L -\ndown L -\nup L -\ndown O -\nup O -\n"
                             "down Shift S\ndown X S\nup X S\nup Shift -\n"
                             "down Tab -\nup Tab -\ndown Return -\nup Return -\n"
                             "down Shift S\ndown A S\nup A S\nup Shift -\n"
                             "down Shift S\ndown + S\nup + S\nup Shift -\n"
                             "down Return -\nup Return -\n";
    EXPECT_TRUE(XSession::WaitFor([&] { return SinkLog().size() >= want.size(); }, 5));
    EXPECT_EQ(SinkLog(), want);
}

// The target never opens a window; meanwhile another program opens one 1.5 s after the
// launch, and so does this process itself (as Brimlow's about box would). Both are new and
// take the focus, and neither is the target's: the launch fails after its wait, and no key
// reaches either window. The launch waits half a second, but its first pump holds it until
// the other program's window is up, however slow the machine: the launcher looks at both
// windows before its wait ends.
TEST_F(KeySenderOnX11, ANewWindowOfAnotherProgramIsNeverTakenForTheTargets)
{
    const fs::path quiet = Sink("keysink-quiet");
    const pid_t other = Spawn(Sink("keysink-late"), dir.folder());  // another file: another program
    Window own = 0;
    x11::X11Keys keys([&] {
        if (own)
            return;
        own = OwnWindow(x.dpy());
        EXPECT_TRUE(XSession::WaitFor([&] { return !x.WindowsOf(other).empty(); }, 15));
    });
    const auto launched = keys.LaunchMaximized(quiet.string(), 500ms);
    EXPECT_FALSE(launched.has_value());
    EXPECT_EQ(keys.LastFailure(), "no window of it appeared within 0.5 seconds");

    // Both windows stood there during the wait.
    ASSERT_FALSE(x.WindowsOf(other).empty()) << "the other program showed no window during the launch";
    ASSERT_NE(own, 0u);
    const Window others = x.WindowsOf(other)[0].id;
    EXPECT_FALSE(Maximised(x.dpy(), others));
    EXPECT_FALSE(Maximised(x.dpy(), own));
    // The key sender types only into a window that a launch gave it.
    EXPECT_FALSE(keys.SendKeys(others, "abc"));
    EXPECT_FALSE(keys.SendKeys(own, "abc"));
    EXPECT_EQ(OtherLog(), "");
    XDestroyWindow(x.dpy(), own);
}

// The target's window comes 1.5 s late; another program, started with it, opens its window
// first and takes the focus. The launch waits for the target's, and the keys go there.
TEST_F(KeySenderOnX11, TheTargetsLateWindowIsTakenNotAnotherThatCameFirst)
{
    const fs::path late = Sink("keysink-late");
    const pid_t other = Spawn(Sink("keysink"), dir.folder());
    const auto target = Launch(late.string());
    ASSERT_FALSE(x.WindowsOf(other).empty()) << "the other program showed no window during the launch";
    ASSERT_TRUE(target.ok) << target.failure;
    EXPECT_EQ(target.windowPid, target.pid);
    EXPECT_NE(target.window, x.WindowsOf(other)[0].id);
    EXPECT_TRUE(XSession::WaitFor([&] { return Maximised(x.dpy(), target.window); }, 5));
    ASSERT_TRUE(desktop->FocusBelongsTo(target));
    ASSERT_TRUE(desktop->SendKeys("q"));
    EXPECT_TRUE(XSession::WaitFor([&] { return SinkLog() == "down Q -\nup Q -\n"; }, 5)) << SinkLog();
    EXPECT_EQ(OtherLog(), "");
}

// A program that hands the request over to its instance already running, which opens a new
// window and keeps the keys, while the started copy exits at once.
TEST_F(KeySenderOnX11, AProgramThatHandsOverToItsRunningInstanceGetsItsKeys)
{
    const fs::path single = Sink("keysink-single");
    const pid_t running = Spawn(single, dir.folder() / "app");
    ASSERT_TRUE(XSession::WaitFor([&] { return x.WindowsOf(running).size() == 1; }, 10));
    const Window first = x.WindowsOf(running)[0].id;

    x11::X11Keys keys;
    const auto launched = keys.LaunchMaximized(single.string(), 10000ms);
    ASSERT_TRUE(launched.has_value()) << keys.LastFailure();
    EXPECT_EQ(keys.LastFailure(), "");
    EXPECT_NE(launched->pid, running);
    EXPECT_NE(launched->window, first) << "an old window of the instance was taken";
    EXPECT_EQ(x.WindowsOf(running).size(), 2u);
    EXPECT_TRUE(XSession::WaitFor([&] { return Maximised(x.dpy(), launched->window); }, 5));
    ASSERT_TRUE(XSession::WaitFor([&] { return keys.SendKeys(launched->window, "hi"); }, 5));
    EXPECT_TRUE(XSession::WaitFor([&] { return SinkLog() == "down H -\nup H -\ndown I -\nup I -\n"; }, 5))
        << SinkLog();
}

TEST_F(KeySenderOnX11, ABareNameIsTheProgramOfThatNameOnThePath)
{
    const fs::path sink = Sink("brimlow-test-sink");
    ScopedEnv env;
    env.Set("PATH", (dir.folder() / "app").string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : ""));
    const auto target = Launch("brimlow-test-sink");
    ASSERT_TRUE(target.ok) << target.failure;
    EXPECT_TRUE(fs::equivalent(fs::read_symlink("/proc/" + std::to_string(target.pid) + "/exe"), sink));
    // Started in its own folder, where it writes its log.
    ASSERT_TRUE(desktop->SendKeys("z"));
    EXPECT_TRUE(XSession::WaitFor([&] { return SinkLog() == "down Z -\nup Z -\n"; }, 5)) << SinkLog();
}

// Each reason a launch gives no window, in the words the activity log gets. Nothing is left
// running: the programs that cannot be found or run are never started.
TEST_F(KeySenderOnX11, EachFailedLaunchSaysWhy)
{
    const fs::path app = dir.folder() / "app";
    TempProgramFolder::WriteFile(app / "plain", "#!/bin/sh\n");
    fs::permissions(app / "plain", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(app / "folder");
    ScopedEnv env;
    env.Set("PATH", app.string());
    struct Case {
        std::string target;
        std::chrono::milliseconds wait;
        const char* words;
    } cases[] = {
        {(app / "missing").string(), 10000ms, "the program was not found"},
        {"missing", 10000ms, "no program of that name was found on the PATH"},
        {"plain", 10000ms, "the program is not executable"},
        {(app / "plain").string(), 10000ms, "the program is not executable"},
        {(app / "folder").string(), 10000ms, "the program is not a regular file"},
        {"folder", 10000ms, "the program is not a regular file"},
        {Sink("keysink-quiet").string(), 1000ms, "no window of it appeared within 1 second"},
        {Sink("keysink-quiet").string(), 200ms, "no window of it appeared within 0.2 seconds"},
    };
    x11::X11Keys keys;
    for (const Case& c : cases) {
        EXPECT_FALSE(keys.LaunchMaximized(c.target, c.wait).has_value()) << c.target;
        EXPECT_EQ(keys.LastFailure(), c.words) << c.target;
    }
    // A launch that works says nothing.
    ASSERT_TRUE(keys.LaunchMaximized(Sink().string(), 10000ms).has_value()) << keys.LastFailure();
    EXPECT_EQ(keys.LastFailure(), "");
}

TEST_F(KeySenderOnX11, AnotherProgramsWindowWithTheFocusIsNotTheTargets)
{
    const auto target = Launch(Sink().string());
    ASSERT_TRUE(target.ok) << target.failure;
    ASSERT_TRUE(desktop->FocusBelongsTo(target));

    // A second sink, started by the test, takes the focus.
    const pid_t other = Spawn(KEYSINK_PATH, dir.folder());
    ASSERT_GT(other, 0);
    ASSERT_TRUE(XSession::WaitFor([&] { return !x.WindowsOf(other).empty(); }, 10));
    const XWin w = x.WindowsOf(other)[0];
    x.Click(w.x + 20, w.y + 20);
    EXPECT_TRUE(XSession::WaitFor([&] { return !desktop->FocusBelongsTo(target); }, 5));
}
