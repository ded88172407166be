#include "platform/x11/X11Desktop.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern "C" {
#include <xdo.h>
}

#include "platform/ProgramSearch.h"
#include "platform/SendKeys.h"

namespace brimlow::x11 {

namespace {

std::atomic<int> g_xErrors{0};

int RecordXError(Display*, XErrorEvent*)
{
    ++g_xErrors;
    return 0;
}

Display* Dpy(void* d) { return static_cast<Display*>(d); }

std::vector<unsigned long> LongList(Display* d, Window w, const char* prop, Atom type)
{
    std::vector<unsigned long> out;
    Atom actual = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, XInternAtom(d, prop, False), 0, 65536, False, type, &actual, &format, &n, &after,
                           &data) == Success &&
        data) {
        if (format == 32) {
            auto* v = reinterpret_cast<unsigned long*>(data);
            out.assign(v, v + n);
        }
        XFree(data);
    }
    return out;
}

pid_t WindowPid(Display* d, Window w)
{
    const auto pids = LongList(d, w, "_NET_WM_PID", XA_CARDINAL);
    return pids.empty() ? -1 : static_cast<pid_t>(pids[0]);
}

Window ActiveWindow(Display* d)
{
    const auto a = LongList(d, DefaultRootWindow(d), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return a.empty() ? None : static_cast<Window>(a[0]);
}

std::vector<unsigned long> ClientList(Display* d)
{
    return LongList(d, DefaultRootWindow(d), "_NET_CLIENT_LIST", XA_WINDOW);
}

bool Viewable(Display* d, Window w)
{
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

bool HasWindowManager(Display* d)
{
    return !LongList(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty();
}

void SendRootMessage(Display* d, Window w, const char* type, long l0, long l1, long l2, long l3)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, type, False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

// The top-level client window that holds `w`: the first of `w` and its ancestors that
// carries WM_STATE or _NET_WM_PID.
Window ClientOf(Display* d, Window w)
{
    const Atom wmState = XInternAtom(d, "WM_STATE", False);
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    for (int depth = 0; w != None && depth < 64; ++depth) {
        int n = 0;
        Atom* props = XListProperties(d, w, &n);
        bool client = false;
        for (int i = 0; i < n; ++i)
            client = client || props[i] == wmState || props[i] == pidAtom;
        if (props)
            XFree(props);
        if (client)
            return w;
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, w, &root, &parent, &children, &count))
            return None;
        if (children)
            XFree(children);
        if (parent == root)
            return None;
        w = parent;
    }
    return None;
}

struct ProcLinks {
    pid_t parent = -1;
    pid_t session = -1;
};

ProcLinks LinksOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    // "pid (comm) state ppid pgrp session ...": comm may hold blanks and parentheses; the
    // last ")" ends it.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    char state = 0;
    int ppid = -1, pgrp = -1, session = -1;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d %d %d", &state, &ppid, &pgrp, &session) != 4)
        return {};
    return {ppid, session};
}

// Whether `pid` runs the file `program` (the same file, whatever path reached it). Never
// this program itself, even when a script names it as its target.
bool RunsFile(pid_t pid, const struct stat& program)
{
    if (pid <= 0 || pid == ::getpid())
        return false;
    struct stat exe{};
    return ::stat(("/proc/" + std::to_string(pid) + "/exe").c_str(), &exe) == 0 && exe.st_dev == program.st_dev &&
           exe.st_ino == program.st_ino;
}

// A window whose WM_CLIENT_MACHINE names another host belongs to a process there: its
// _NET_WM_PID says nothing about the processes here.
bool OnThisMachine(Display* d, Window w)
{
    XTextProperty machine{};
    if (!XGetWMClientMachine(d, w, &machine))
        return true;
    const std::string host(reinterpret_cast<const char*>(machine.value), machine.nitems);
    XFree(machine.value);
    char here[256] = {};
    if (::gethostname(here, sizeof here - 1) != 0)
        return true;
    return host == here;
}

// Whether `owner`, the process behind a window, is the launch's: the child, a descendant
// of it, or a process of the session the launch made. Never this program itself.
bool OfTheLaunch(pid_t owner, const LaunchedWindow& launch)
{
    if (owner <= 0 || owner == ::getpid())
        return false;
    if (IsSameOrDescendant(owner, launch.pid))
        return true;
    // A descendant whose parent has ended hangs below init now, but stays in the session.
    return launch.session > 1 && LinksOf(owner).session == launch.session;
}

// "10 seconds", "1 second", "2.5 seconds".
std::string SecondsText(double seconds)
{
    char text[32];
    if (seconds == std::floor(seconds))
        std::snprintf(text, sizeof text, "%.0f", seconds);
    else
        std::snprintf(text, sizeof text, "%.1f", seconds);
    return std::string(text) + (seconds == 1 ? " second" : " seconds");
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Starts `path` in a session of its own, `session`, with its folder as the working folder,
// as a grandchild that nobody needs to wait for. Returns the grandchild's pid, or -1 with
// errno's value in `error`.
pid_t SpawnDetached(const std::string& path, int& error, pid_t& session)
{
    namespace fs = std::filesystem;
    std::string folder = fs::path(path).parent_path().string();
    if (folder.empty())
        folder = ".";
    int pidPipe[2];
    int errPipe[2];
    if (pipe2(pidPipe, O_CLOEXEC) != 0) {
        error = errno;
        return -1;
    }
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        error = errno;
        close(pidPipe[0]);
        close(pidPipe[1]);
        return -1;
    }
    std::string program = path;
    char* argv[] = {program.data(), nullptr};
    const pid_t middle = fork();
    if (middle == 0) {
        // Only async-signal-safe calls from here on.
        close(pidPipe[0]);
        close(errPipe[0]);
        setsid();
        const pid_t child = fork();
        if (child == 0) {
            int e = 0;
            if (chdir(folder.c_str()) != 0)
                e = errno;
            else {
                sigset_t none;
                sigemptyset(&none);
                sigprocmask(SIG_SETMASK, &none, nullptr);
                execv(program.c_str(), argv);
                e = errno;
            }
            (void)!write(errPipe[1], &e, sizeof e);
            _exit(127);
        }
        (void)!write(pidPipe[1], &child, sizeof child);
        _exit(child > 0 ? 0 : 1);
    }
    close(pidPipe[1]);
    close(errPipe[1]);
    pid_t child = -1;
    error = 0;
    session = middle;  // the middle process leads the new session
    if (middle < 0) {
        error = errno;
    } else {
        int status = 0;
        while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
        }
        if (read(pidPipe[0], &child, sizeof child) != static_cast<ssize_t>(sizeof child))
            child = -1;
        int e = 0;
        ssize_t got;
        while ((got = read(errPipe[0], &e, sizeof e)) < 0 && errno == EINTR) {
        }
        if (got == static_cast<ssize_t>(sizeof e)) {
            error = e;
            child = -1;
        } else if (child < 0) {
            error = EAGAIN;
        }
    }
    close(pidPipe[0]);
    close(errPipe[0]);
    return child;
}

// Decodes one UTF-8 character (or takes a single byte as Latin-1).
unsigned long CodePoint(const std::string& s)
{
    const auto b = [&](std::size_t i) { return static_cast<unsigned long>(static_cast<unsigned char>(s[i])); };
    switch (s.size()) {
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    case 4: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    default: return b(0);
    }
}

}  // namespace

bool IsSameOrDescendant(pid_t pid, pid_t ancestor)
{
    if (pid <= 0 || ancestor <= 0)
        return false;
    for (int depth = 0; pid > 1 && depth < 256; ++depth) {
        if (pid == ancestor)
            return true;
        pid = LinksOf(pid).parent;
    }
    return pid == ancestor;
}

X11Desktop::X11Desktop()
{
    XSetErrorHandler(RecordXError);
    if (Display* d = XOpenDisplay(nullptr)) {
        m_display = d;
        m_xdo = xdo_new_with_opened_display(d, nullptr, 0);
    }
}

X11Desktop::~X11Desktop()
{
    if (m_xdo)
        xdo_free(static_cast<xdo_t*>(m_xdo));
    if (m_display)
        XCloseDisplay(Dpy(m_display));
}

LaunchedWindow X11Desktop::Launch(const std::string& path, double timeoutSeconds, const std::function<void()>& pump)
{
    LaunchedWindow r;
    Display* d = Dpy(m_display);
    if (!d) {
        r.failure = "there is no X display to start it on";
        return r;
    }
    const ProgramLookup program = FindProgram(path);
    if (program.problem != ProgramProblem::Found) {
        r.failure = DescribeProgramProblem(program);
        return r;
    }
    // The file itself: an instance that a launch hands over to runs this very file.
    struct stat programFile{};
    if (::stat(program.path.c_str(), &programFile) != 0) {
        r.failure = std::string("it could not be started: ") + std::strerror(errno);
        return r;
    }
    XSync(d, False);
    const auto before = ClientList(d);
    int error = 0;
    r.pid = SpawnDetached(program.path.string(), error, r.session);
    if (r.pid < 0) {
        r.failure = std::string("it could not be started: ") + std::strerror(error);
        return r;
    }

    const double end = Now() + timeoutSeconds;
    while (r.window == 0) {
        XSync(d, False);
        for (unsigned long w : ClientList(d)) {
            if (std::find(before.begin(), before.end(), w) != before.end() || !Viewable(d, w))
                continue;
            if (!OnThisMachine(d, w))
                continue;
            const pid_t owner = WindowPid(d, w);
            if (OfTheLaunch(owner, r) || RunsFile(owner, programFile)) {
                r.window = w;
                r.windowPid = owner;
                break;
            }
        }
        if (r.window != 0 || Now() >= end)
            break;
        if (pump)
            pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (r.window == 0) {
        r.failure = "no window of it appeared within " + SecondsText(timeoutSeconds);
        return r;
    }

    const Window w = static_cast<Window>(r.window);
    if (HasWindowManager(d)) {
        // Source 2: a request on the user's behalf, which window managers honour.
        SendRootMessage(d, w, "_NET_ACTIVE_WINDOW", 2, CurrentTime, 0, 0);
        SendRootMessage(d, w, "_NET_WM_STATE", 1, static_cast<long>(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
                        static_cast<long>(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False)), 2);
    } else {
        XMapRaised(d, w);
        XSetInputFocus(d, w, RevertToParent, CurrentTime);
    }
    XSync(d, False);
    // The focus arrives a moment later; wait for it (at most two seconds) so the first keys go there.
    const double focusEnd = Now() + 2.0;
    while (!FocusBelongsTo(r) && Now() < focusEnd) {
        if (pump)
            pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    r.ok = true;
    return r;
}

bool X11Desktop::FocusBelongsTo(const LaunchedWindow& target)
{
    Display* d = Dpy(m_display);
    if (!d || target.window == 0)
        return false;
    XSync(d, False);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    Window client = focus == None || focus == PointerRoot ? None : ClientOf(d, focus);
    if (client == None)
        client = ActiveWindow(d);
    if (client == None || !Viewable(d, client))
        return false;
    if (client == static_cast<Window>(target.window))
        return true;
    const pid_t owner = WindowPid(d, client);
    if (owner > 0 && OnThisMachine(d, client) &&
        ((owner == target.windowPid && owner != ::getpid()) || OfTheLaunch(owner, target)))
        return true;
    // A dialog without a pid of its own that stands over the target's window.
    Window w = client;
    for (int depth = 0; depth < 16; ++depth) {
        Window over = None;
        if (!XGetTransientForHint(d, w, &over) || over == None)
            break;
        if (over == static_cast<Window>(target.window))
            return true;
        w = over;
    }
    return false;
}

std::string X11Desktop::KeysymName(const std::string& key)
{
    struct Named {
        const char* key;
        const char* keysym;
    };
    static const Named names[] = {
        {"BKSP", "BackSpace"}, {"BREAK", "Break"}, {"CAPSLOCK", "Caps_Lock"}, {"DEL", "Delete"},
        {"DOWN", "Down"},      {"END", "End"},     {"ENTER", "Return"},       {"ESC", "Escape"},
        {"HELP", "Help"},      {"HOME", "Home"},   {"INS", "Insert"},         {"LEFT", "Left"},
        {"NUMLOCK", "Num_Lock"}, {"PGDN", "Next"}, {"PGUP", "Prior"},         {"PRTSC", "Print"},
        {"RIGHT", "Right"},    {"SCROLLLOCK", "Scroll_Lock"}, {"TAB", "Tab"}, {"UP", "Up"},
        {"ADD", "KP_Add"},     {"SUBTRACT", "KP_Subtract"}, {"MULTIPLY", "KP_Multiply"}, {"DIVIDE", "KP_Divide"},
        {"SHIFT", "Shift_L"},  {"CTRL", "Control_L"}, {"ALT", "Alt_L"},
    };
    if (key.size() > 1 && IsNamedKey(key)) {
        for (const Named& n : names)
            if (key == n.key)
                return n.keysym;
        if (key[0] == 'F')
            return key;  // F1 to F16
        return {};
    }
    const unsigned long cp = CodePoint(key);
    if (cp == '\t')
        return "Tab";
    if (cp == '\n' || cp == '\r')
        return "Return";
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
        return {};
    const KeySym ks = cp <= 0xFF ? static_cast<KeySym>(cp) : static_cast<KeySym>(0x01000000 | cp);
    if (const char* name = XKeysymToString(ks))
        return name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "U%04lX", cp);
    return buf;
}

namespace {

struct KeyCodeLevel {
    KeyCode code = 0;
    bool shift = false;
};

// The key of the current keyboard layout that gives `ks`, and whether it needs Shift.
std::optional<KeyCodeLevel> KeyOf(Display* d, KeySym ks)
{
    const KeyCode code = XKeysymToKeycode(d, ks);
    if (code == 0)
        return std::nullopt;
    XkbStateRec state{};
    const unsigned int group = XkbGetState(d, XkbUseCoreKbd, &state) == Success ? state.group : 0;
    for (unsigned int level = 0; level < 2; ++level)
        if (XkbKeycodeToKeysym(d, code, group, level) == ks)
            return KeyCodeLevel{code, level == 1};
    return std::nullopt;
}

}  // namespace

bool X11Desktop::SendKeys(std::string_view sequence)
{
    Display* d = Dpy(m_display);
    auto* xdo = static_cast<xdo_t*>(m_xdo);
    if (!d || !xdo)
        return false;
    XSync(d, False);
    const int errorsBefore = g_xErrors;
    const KeyCode shiftCode = XKeysymToKeycode(d, XK_Shift_L);
    bool shiftHeld = false;
    std::map<std::string, std::pair<KeyCode, bool>> down;  // key -> its code and whether Shift was added for it
    for (const KeyEvent& e : ParseSendKeys(sequence)) {
        const std::string name = KeysymName(e.key);
        if (name.empty())
            continue;
        const auto key = KeyOf(d, XStringToKeysym(name.c_str()));
        if (!key) {
            // Not on the layout: libxdo binds it to a spare key for the moment.
            if (e.down)
                xdo_send_keysequence_window_down(xdo, CURRENTWINDOW, name.c_str(), 0);
            else
                xdo_send_keysequence_window_up(xdo, CURRENTWINDOW, name.c_str(), 0);
            continue;
        }
        if (e.down) {
            const bool addShift = key->shift && !shiftHeld && shiftCode != 0;
            if (addShift)
                XTestFakeKeyEvent(d, shiftCode, True, CurrentTime);
            XTestFakeKeyEvent(d, key->code, True, CurrentTime);
            down[e.key] = {key->code, addShift};
        } else {
            const auto it = down.find(e.key);
            const KeyCode code = it != down.end() ? it->second.first : key->code;
            XTestFakeKeyEvent(d, code, False, CurrentTime);
            if (it != down.end() && it->second.second)
                XTestFakeKeyEvent(d, shiftCode, False, CurrentTime);
            if (it != down.end())
                down.erase(it);
        }
        if (e.key == "SHIFT")
            shiftHeld = e.down;
        XFlush(d);
        // Events of one millisecond would share a time stamp, and a release and a press of
        // one key at the same time read as the key's auto-repeat.
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    XSync(d, False);
    return g_xErrors == errorsBefore;
}

}  // namespace brimlow::x11
