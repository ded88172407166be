// The login and progress windows on a real X display under openbox: what the window manager
// is told about their frame (no title text, no icon, no minimise or maximise), and that the
// progress window is drawn before the work it announces blocks the program.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

#include "cachebrowser/MUrlHound.h"
#include "cachebrowser/UrlHoundPage.h"
#include "host/ShowPainted.h"
#include "host/frmRefreshingCache.h"
#include "shell/Forms.h"
#include "shell/ProgramArt.h"
#include "shell/frmLogin.h"
#include "support/FakePageHost.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "x11support/XSession.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <cstring>

using namespace brimlow;

namespace {

// The bytes of a property of `w`, of any type; nullopt when the window has no such property.
std::optional<std::string> Property(Display* d, Window w, const char* name)
{
    Atom actual = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1 << 20, False, AnyPropertyType, &actual, &format,
                           &n, &after, &data) != Success ||
        actual == None) {
        if (data)
            XFree(data);
        return std::nullopt;
    }
    const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
    std::string bytes(reinterpret_cast<char*>(data), n * unit);
    XFree(data);
    return bytes;
}

// The names of the atoms in an atom-list property.
std::set<std::string> AtomNames(Display* d, Window w, const char* name)
{
    std::set<std::string> out;
    const auto bytes = Property(d, w, name);
    if (!bytes)
        return out;
    for (std::size_t i = 0; i + sizeof(long) <= bytes->size(); i += sizeof(long)) {
        long atom = 0;
        std::memcpy(&atom, bytes->data() + i, sizeof atom);
        if (char* n = XGetAtomName(d, static_cast<Atom>(atom))) {
            out.insert(n);
            XFree(n);
        }
    }
    return out;
}

// The sizes of the pictures in the window's icon property.
std::vector<QSize> IconSizes(Display* d, Window w)
{
    std::vector<QSize> out;
    const auto bytes = Property(d, w, "_NET_WM_ICON");
    std::vector<long> v(bytes ? bytes->size() / sizeof(long) : 0);
    if (!v.empty())
        std::memcpy(v.data(), bytes->data(), v.size() * sizeof(long));
    for (std::size_t i = 0; i + 2 <= v.size();) {
        out.emplace_back(static_cast<int>(v[i]), static_cast<int>(v[i + 1]));
        i += 2 + static_cast<std::size_t>(v[i] * v[i + 1]);
    }
    return out;
}

// Lets Qt run while waiting for a condition on the display, at most `seconds`.
bool WaitWithEvents(const std::function<bool()>& cond, double seconds)
{
    for (int i = 0; i < seconds * 20; ++i) {
        if (cond())
            return true;
        QTest::qWait(50);
    }
    return cond();
}

// The number of distinct colours of the screen area of `window`: 1 for a blank box.
std::size_t Colours(Display* d, const QWidget& window)
{
    const QPoint at = window.mapToGlobal(QPoint(0, 0));
    XImage* img = XGetImage(d, DefaultRootWindow(d), at.x(), at.y(), static_cast<unsigned>(window.width()),
                            static_cast<unsigned>(window.height()), AllPlanes, ZPixmap);
    if (!img)
        return 0;
    std::set<unsigned long> seen;
    for (int y = 0; y < window.height(); ++y)
        for (int x = 0; x < window.width(); ++x)
            seen.insert(XGetPixel(img, x, y));
    XDestroyImage(img);
    return seen.size();
}

class SmallWindowsOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.ok()) << "no test display";
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        // As the program's entry sets them: every window falls back to these.
        QApplication::setApplicationName(QStringLiteral("Brimlow"));
        QApplication::setWindowIcon(ProgramIcon());
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
    }

    // What openbox shows on the frame of `w`, once it has taken the window over.
    void ExpectBareToolFrame(QWidget& w, const char* what)
    {
        SCOPED_TRACE(what);
        ShowPainted(&w);
        Display* d = x.dpy();
        const Window id = static_cast<Window>(w.winId());
        // openbox sets WM_STATE when it takes the window over, and takes it away when the
        // window is hidden; what it sets on the frame besides may outlive a hide.
        ASSERT_TRUE(WaitWithEvents(
            [&] {
                return Property(d, id, "WM_STATE").has_value() && !AtomNames(d, id, "_NET_WM_ALLOWED_ACTIONS").empty();
            },
            10))
            << "openbox never managed the window";
        for (const char* title : {"_NET_WM_NAME", "WM_NAME", "_NET_WM_VISIBLE_NAME", "_NET_WM_ICON_NAME",
                                  "WM_ICON_NAME", "_NET_WM_VISIBLE_ICON_NAME"})
            EXPECT_EQ(Property(d, id, title).value_or(""), "") << title;
        // The window brings no picture of its own; openbox then puts its default one there.
        for (const QSize& size : IconSizes(d, id))
            EXPECT_FALSE(ProgramIcon().availableSizes().contains(size)) << "the program's icon is on the frame";
        XWMHints* hints = XGetWMHints(d, id);
        if (hints) {
            EXPECT_FALSE(hints->flags & (IconPixmapHint | IconWindowHint)) << "WM_HINTS carry an icon";
            XFree(hints);
        }

        // The window asks for a close box and no minimise or maximise (flags, functions,
        // decorations of the Motif hints)...
        const auto motif = Property(d, id, "_MOTIF_WM_HINTS");
        ASSERT_TRUE(motif.has_value() && motif->size() >= 3 * sizeof(long));
        long mwm[3] = {};
        std::memcpy(mwm, motif->data(), sizeof mwm);
        constexpr long kFunctions = 1, kDecorations = 2;
        constexpr long kFuncMinimize = 1 << 3, kFuncMaximize = 1 << 4, kFuncClose = 1 << 5;
        constexpr long kDecorMinimize = 1 << 5, kDecorMaximize = 1 << 6;
        EXPECT_TRUE(mwm[0] & kFunctions);
        EXPECT_EQ(mwm[1] & (kFuncMinimize | kFuncMaximize | kFuncClose), kFuncClose);
        EXPECT_TRUE(mwm[0] & kDecorations);
        EXPECT_EQ(mwm[2] & (kDecorMinimize | kDecorMaximize), 0);
        // ...and the window manager grants no maximise and no resize. (openbox keeps its own
        // iconify function on every framed window whatever the hints say.)
        const auto actions = AtomNames(d, id, "_NET_WM_ALLOWED_ACTIONS");
        EXPECT_TRUE(actions.count("_NET_WM_ACTION_CLOSE")) << "the close box is gone";
        for (const char* no : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT",
                               "_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_FULLSCREEN"})
            EXPECT_FALSE(actions.count(no)) << no;
        EXPECT_TRUE(AtomNames(d, id, "_NET_WM_STATE").count("_NET_WM_STATE_SKIP_TASKBAR")) << "a task-bar button";
        w.hide();
    }

    test::XSession x;
    test::TempProgramFolder dir;
    test::TestPlatform tp;
};

}  // namespace

TEST_F(SmallWindowsOnX11, LoginAndProgressWindowsShowNoTitleTextNoIconAndNoMinimiseOrMaximise)
{
    Forms forms(tp.platform);
    ExpectBareToolFrame(forms.LoadLogin(), "login");
    frmRefreshingCache progress;
    ExpectBareToolFrame(progress, "progress");
    // Shown a second time, as every refresh does.
    ExpectBareToolFrame(progress, "progress shown again");
}

TEST_F(SmallWindowsOnX11, TheProgressWindowIsDrawnBeforeTheRefreshRunsUrlHound)
{
    test::FakePageHost host;
    host.page = PageHost::kUrlHound;
    UrlHoundPage page(host, tp.platform);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

    std::size_t colours = 0;
    bool shown = false;
    tp.runner.passThrough = false;
    tp.runner.beforeRun = [&](const test::RunCall&) {
        // The program blocks from here on: whatever the screen holds now is what the user sees.
        shown = host.refreshingCache()->isVisible();
        colours = Colours(x.dpy(), *host.refreshingCache());
    };
    QTest::mouseClick(page.UH_cmdCacheRefresh, Qt::LeftButton);
    ASSERT_EQ(tp.runner.calls.size(), 1u);
    EXPECT_TRUE(shown);
    // Its background, the bold text and its smoothed edges: a blank frame has one colour.
    EXPECT_GT(colours, 8u) << "the progress window is a blank box while UrlHound runs";
    EXPECT_FALSE(host.refreshingCache()->isVisible());
    ReleaseCacheRecords();
}
