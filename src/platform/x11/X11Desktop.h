#pragma once
// The X11 stand-ins for launching an application maximised with the focus and for sending
// it key strokes. Qt-free; one connection to the display of the session ($DISPLAY).
//
// The launcher finds the program (a bare name on the PATH), starts it detached (its own
// session, its folder as the working folder) and waits at most a given time for its window:
// a top-level window, new since the launch, whose _NET_WM_PID is the child, one of its
// descendants (by parent links, or by the session the launch made), or a process running
// the very file launched (an instance already running that the child hands the request
// over to). Any other window, however new and whatever holds the focus, is never taken.
// It activates that window and maximises it (EWMH; without a window manager it sets the
// input focus itself).
//
// The key sender plays key sequences (platform/SendKeys.h) through XTest with libxdo, which
// maps each keysym to a key of the current keyboard layout, and syncs with the server after
// each sequence. X errors are recorded and reported as a failed send; they never end the
// program.
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace brimlow::x11 {

struct LaunchedWindow {
    bool ok = false;
    std::string failure;      // why not, in words for the activity log ("the program is not executable")
    pid_t pid = -1;           // the started child
    pid_t session = -1;       // the session it was started in
    unsigned long window = 0; // its top-level window
    pid_t windowPid = -1;     // the process that owns the window (the child, a descendant, or another instance)
};

class X11Desktop {
public:
    X11Desktop();
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    bool connected() const { return m_display != nullptr; }

    // `pump` runs about every 50 ms while the launcher waits, so the caller's window stays painted.
    LaunchedWindow Launch(const std::string& path, double timeoutSeconds, const std::function<void()>& pump);

    // True when the window that has the keyboard focus is the target's window, or another
    // top-level window of its process or of the launch (a dialog it opened), or one
    // transient for it.
    bool FocusBelongsTo(const LaunchedWindow& target);

    // Plays the sequence to the focused window and waits until the server has taken it.
    // False when the display is gone or an X error came up meanwhile.
    bool SendKeys(std::string_view sequence);

    // The X keysym name a key of the key-sequence parser is sent as ("Return", "a", "plus"),
    // or "" for a key that cannot be sent.
    static std::string KeysymName(const std::string& key);

private:
    struct Impl;
    void* m_display = nullptr;
    void* m_xdo = nullptr;
};

// True when `pid` is `ancestor` or one of its descendants (by the parent links in /proc).
bool IsSameOrDescendant(pid_t pid, pid_t ancestor);

}  // namespace brimlow::x11
