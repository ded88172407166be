#include "x11support/XSession.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <chrono>
#include <cstdio>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace brimlow::test {

namespace {

std::vector<unsigned long> CardinalList(Display* d, Window w, const char* prop, Atom type)
{
    std::vector<unsigned long> out;
    Atom actual;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, XInternAtom(d, prop, False), 0, 4096, False, type, &actual, &format, &n, &after,
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

std::string Title(Display* d, Window w)
{
    Atom actual;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(d, "UTF8_STRING", False), &actual, &format, &n, &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), n);
        XFree(data);
    }
    return title;
}

// The windows looked at belong to other processes and may go at any moment, between the
// list that names them and the call that asks about them. Xlib's own handler ends the test
// process on such an error; here the call fails and the look goes on without that window.
int OnXError(Display* d, XErrorEvent* e)
{
    if (e->error_code == BadWindow || e->error_code == BadDrawable)
        return 0;
    char text[256] = {};
    XGetErrorText(d, e->error_code, text, sizeof text);
    std::fprintf(stderr, "X error: %s (request %d)\n", text, e->request_code);
    return 0;
}

}  // namespace

XSession::XSession()
{
    XSetErrorHandler(OnXError);
    std::ifstream in(std::string(X11_STATE_DIR) + "/display");
    std::getline(in, m_name);
    if (!m_name.empty())
        m_dpy = XOpenDisplay(m_name.c_str());
}

XSession::~XSession()
{
    if (m_dpy)
        XCloseDisplay(m_dpy);
}

std::vector<XWin> XSession::WindowsOf(pid_t pid)
{
    std::vector<XWin> wins;
    XSync(m_dpy, False);
    for (unsigned long w : CardinalList(m_dpy, DefaultRootWindow(m_dpy), "_NET_CLIENT_LIST", XA_WINDOW)) {
        auto pids = CardinalList(m_dpy, w, "_NET_WM_PID", XA_CARDINAL);
        if (pids.empty() || static_cast<pid_t>(pids[0]) != pid)
            continue;
        XWindowAttributes a;
        if (!XGetWindowAttributes(m_dpy, w, &a))
            continue;
        XWin win;
        win.id = w;
        win.title = Title(m_dpy, w);
        Window child;
        XTranslateCoordinates(m_dpy, w, DefaultRootWindow(m_dpy), 0, 0, &win.x, &win.y, &child);
        win.width = a.width;
        win.height = a.height;
        win.viewable = a.map_state == IsViewable;
        const Atom splashType = XInternAtom(m_dpy, "_NET_WM_WINDOW_TYPE_SPLASH", False);
        for (unsigned long t : CardinalList(m_dpy, w, "_NET_WM_WINDOW_TYPE", XA_ATOM))
            win.splash = win.splash || t == splashType;
        if (win.viewable)
            wins.push_back(win);
    }
    return wins;
}

Window XSession::ActiveWindow()
{
    XSync(m_dpy, False);
    const auto active = CardinalList(m_dpy, DefaultRootWindow(m_dpy), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return active.empty() ? 0 : static_cast<Window>(active[0]);
}

int XSession::StackPlace(Window w)
{
    XSync(m_dpy, False);
    const auto order = CardinalList(m_dpy, DefaultRootWindow(m_dpy), "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    for (std::size_t i = 0; i < order.size(); ++i)
        if (static_cast<Window>(order[i]) == w)
            return static_cast<int>(i);
    return -1;
}

bool XSession::ShowsPopup(pid_t pid)
{
    XSync(m_dpy, False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(m_dpy, DefaultRootWindow(m_dpy), &root, &parent, &children, &n))
        return false;
    bool found = false;
    for (unsigned int i = 0; i < n && !found; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(m_dpy, children[i], &a) || !a.override_redirect || a.map_state != IsViewable)
            continue;
        auto pids = CardinalList(m_dpy, children[i], "_NET_WM_PID", XA_CARDINAL);
        found = !pids.empty() && static_cast<pid_t>(pids[0]) == pid;
    }
    if (children)
        XFree(children);
    return found;
}

bool XSession::WaitFor(const std::function<bool()>& cond, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (cond())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return cond();
}

void XSession::Click(int x, int y)
{
    XTestFakeMotionEvent(m_dpy, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(m_dpy, 1, True, CurrentTime);
    XTestFakeButtonEvent(m_dpy, 1, False, CurrentTime);
    XSync(m_dpy, False);
}

void XSession::Key(const char* keysym, bool alt)
{
    const KeyCode altCode = XKeysymToKeycode(m_dpy, XK_Alt_L);
    const KeyCode code = XKeysymToKeycode(m_dpy, XStringToKeysym(keysym));
    if (alt)
        XTestFakeKeyEvent(m_dpy, altCode, True, CurrentTime);
    XTestFakeKeyEvent(m_dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(m_dpy, code, False, CurrentTime);
    if (alt)
        XTestFakeKeyEvent(m_dpy, altCode, False, CurrentTime);
    XSync(m_dpy, False);
}

void XSession::Close(Window w)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(m_dpy, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(m_dpy, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_dpy, w, False, NoEventMask, &e);
    XSync(m_dpy, False);
}

pid_t SpawnOnDisplay(const XSession& x, const std::string& exe, const std::vector<std::string>& extraEnv,
                     const std::string& cwd)
{
    return SpawnOnDisplay(x.name(), exe, extraEnv, cwd);
}

pid_t SpawnOnDisplay(const std::string& display, const std::string& exe, const std::vector<std::string>& extraEnv,
                     const std::string& cwd)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string kv(*e);
        if (kv.rfind("DISPLAY=", 0) == 0 || kv.rfind("QT_QPA_PLATFORM=", 0) == 0)
            continue;
        env.push_back(kv);
    }
    env.push_back("DISPLAY=" + display);
    env.push_back("QT_QPA_PLATFORM=xcb");
    for (const auto& e : extraEnv)
        env.push_back(e);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string prog = exe;
    char* argv[] = {prog.data(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv, envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

int WaitChild(pid_t pid, double seconds)
{
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

ChildProcess::~ChildProcess()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        WaitChild(m_pid, 5);
    }
}

int ChildProcess::Wait(double seconds)
{
    const int status = WaitChild(m_pid, seconds);
    m_pid = -1;  // reaped: the number may name another process from now on
    return status;
}

std::string ReadSinkFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

std::vector<pid_t> ProcessesOf(const std::filesystem::path& exe)
{
    std::vector<pid_t> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code linkError;
        // A process that has ended (a zombie too) has no executable any more.
        if (std::filesystem::read_symlink(e.path() / "exe", linkError) == exe && !linkError)
            out.push_back(std::stoi(name));
    }
    return out;
}

}  // namespace

void EndProcessesOf(const std::filesystem::path& exe)
{
    for (pid_t p : ProcessesOf(exe))
        kill(p, SIGTERM);
    if (XSession::WaitFor([&] { return ProcessesOf(exe).empty(); }, 5))
        return;
    for (pid_t p : ProcessesOf(exe))
        kill(p, SIGKILL);
    XSession::WaitFor([&] { return ProcessesOf(exe).empty(); }, 5);
}

}  // namespace brimlow::test
