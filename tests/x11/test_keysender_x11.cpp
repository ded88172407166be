// The launcher and the key sender on a real X display, with the key sink as the target.
#include <X11/Xatom.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "platform/x11/X11Desktop.h"
#include "support/TempProgramFolder.h"
#include "x11support/XSession.h"

using namespace brimlow;
using namespace brimlow::test;
namespace fs = std::filesystem;

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

class KeySenderOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.ok()) << "no test display";
        setenv("DISPLAY", x.name().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        fs::create_directories(dir.folder() / "app");
        fs::copy_file(KEYSINK_PATH, sinkPath());
        desktop = std::make_unique<x11::X11Desktop>();
        ASSERT_TRUE(desktop->connected());
    }
    void TearDown() override
    {
        for (pid_t p : started)
            if (p > 0)
                kill(p, SIGTERM);
        for (pid_t p : spawned) {
            kill(p, SIGTERM);
            WaitChild(p, 5);
        }
    }
    fs::path sinkPath() const { return dir.folder() / "app" / "keysink"; }
    std::string sinkLog() const { return ReadFile(dir.folder() / "app" / "keysink.log"); }

    x11::LaunchedWindow Launch(const std::string& path, double timeout = 10)
    {
        int pumps = 0;
        auto r = desktop->Launch(path, timeout, [&] { ++pumps; });
        started.push_back(r.pid);
        return r;
    }

    XSession x;
    TempProgramFolder dir;
    std::unique_ptr<x11::X11Desktop> desktop;
    std::vector<pid_t> started;
    std::vector<pid_t> spawned;
};

}  // namespace

TEST_F(KeySenderOnX11, LaunchesTheTargetMaximisedWithTheFocusAndTypesIntoIt)
{
    const auto target = Launch(sinkPath().string());
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
    EXPECT_TRUE(XSession::WaitFor([&] { return sinkLog().size() >= want.size(); }, 5));
    EXPECT_EQ(sinkLog(), want);
}

TEST_F(KeySenderOnX11, ATargetThatDoesNotExistStartsNothing)
{
    const auto r = Launch((dir.folder() / "app" / "no such program").string(), 2);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.pid, -1);
    EXPECT_NE(r.failure.find("could not be started"), std::string::npos) << r.failure;
    EXPECT_FALSE(desktop->FocusBelongsTo(r));
}

TEST_F(KeySenderOnX11, AProgramWithoutAWindowTimesOut)
{
    const fs::path script = dir.folder() / "app" / "quiet";
    std::ofstream(script) << "#!/bin/sh\nsleep 30\n";
    fs::permissions(script, fs::perms::owner_all);
    const auto r = Launch(script.string(), 1);
    EXPECT_FALSE(r.ok);
    EXPECT_GT(r.pid, 0);
    EXPECT_NE(r.failure.find("No window"), std::string::npos) << r.failure;
}

TEST_F(KeySenderOnX11, AnotherProgramsWindowWithTheFocusIsNotTheTargets)
{
    const auto target = Launch(sinkPath().string());
    ASSERT_TRUE(target.ok) << target.failure;
    ASSERT_TRUE(desktop->FocusBelongsTo(target));

    // A second sink, started by the test, takes the focus.
    const pid_t other = SpawnOnDisplay(x, KEYSINK_PATH, {}, dir.folder().string());
    spawned.push_back(other);
    ASSERT_GT(other, 0);
    ASSERT_TRUE(XSession::WaitFor([&] { return !x.WindowsOf(other).empty(); }, 10));
    const XWin w = x.WindowsOf(other)[0];
    x.Click(w.x + 20, w.y + 20);
    EXPECT_TRUE(XSession::WaitFor([&] { return !desktop->FocusBelongsTo(target); }, 5));
}
