#pragma once
// A connection to the test display of the X11 fixture, with what the tests need of it:
// the managed windows of a process, synthetic clicks and keys (XTest), and a polite close.
#include <X11/Xlib.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace brimlow::test {

struct XWin {
    Window id = 0;
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false;
    bool splash = false;  // typed as a splash window
};

class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ok() const { return m_dpy != nullptr; }
    const std::string& name() const { return m_name; }
    Display* dpy() const { return m_dpy; }

    // The viewable windows that the window manager manages for `pid`.
    std::vector<XWin> WindowsOf(pid_t pid);
    // Whether `pid` shows a window that the window manager does not manage: a menu, say.
    bool ShowsPopup(pid_t pid);
    // The window that the window manager has given the focus (_NET_ACTIVE_WINDOW), or 0.
    Window ActiveWindow();
    // The place of `w` in the window manager's stacking order (0 at the bottom), -1 when it
    // is not managed.
    int StackPlace(Window w);
    // Polls `cond` every 50 ms for at most `seconds`.
    static bool WaitFor(const std::function<bool()>& cond, double seconds);

    void Click(int x, int y);
    void Key(const char* keysym, bool alt = false);
    void Close(Window w);

private:
    Display* m_dpy = nullptr;
    std::string m_name;
};

// Starts `exe` with the test display, the given extra environment and `cwd`; returns the pid.
pid_t SpawnOnDisplay(const XSession& x, const std::string& exe, const std::vector<std::string>& extraEnv,
                     const std::string& cwd);
// The same on the display named `display` (":7", say).
pid_t SpawnOnDisplay(const std::string& display, const std::string& exe, const std::vector<std::string>& extraEnv,
                     const std::string& cwd);
// Waits at most `seconds` for the child; its exit status, or -1 if it had to be killed.
int WaitChild(pid_t pid, double seconds);

// A child of the test that is ended (SIGTERM, SIGKILL after 5 s) when the test leaves it,
// whichever way the test ends, unless the test has waited for it already.
class ChildProcess {
public:
    explicit ChildProcess(pid_t pid) : m_pid(pid) {}
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    pid_t pid() const { return m_pid; }
    // WaitChild; the child is gone afterwards.
    int Wait(double seconds);

private:
    pid_t m_pid;
};

// What a key sink has written so far: "" before it has written anything.
std::string ReadSinkFile(const std::filesystem::path& path);

// Ends every process whose executable is `exe` (the sinks a test started, whoever their
// parent is now) and waits until they are gone: SIGTERM, then SIGKILL after 5 s.
void EndProcessesOf(const std::filesystem::path& exe);

}  // namespace brimlow::test
