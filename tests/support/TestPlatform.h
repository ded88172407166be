#pragma once
// Fakes of the platform seams. Dialogs never reach the screen: message boxes and file
// dialogs answer from scripted queues and every call is recorded.
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace brimlow::test {

struct MsgBoxCall {
    std::string text;
    std::string title;
    MsgBoxButtons buttons;
    MsgBoxIcon icon;
};

class FakeDialogs final : public Dialogs {
public:
    MsgBoxAnswer MsgBox(const std::string& text, const std::string& title, MsgBoxButtons buttons,
                        MsgBoxIcon icon) override;
    std::optional<std::string> ShowSave(const FileDialogOptions& options) override;
    std::optional<std::string> ShowOpen(const FileDialogOptions& options) override;

    std::deque<MsgBoxAnswer> answers;                  // default: Ok
    std::deque<std::optional<std::string>> savePaths;  // default: cancelled
    // The save dialog's own question before an existing file is replaced, as the platform's
    // dialog asks it: the paths asked about, and the answers (default: Yes). After "No" the
    // dialog stays open, and the next of savePaths is the user's next choice.
    std::vector<std::string> replaceQuestions;
    std::deque<bool> replaceAnswers;
    std::deque<std::optional<std::string>> openPaths;  // default: cancelled
    std::vector<MsgBoxCall> boxes;
    std::vector<FileDialogOptions> saveDialogs;
    std::vector<FileDialogOptions> openDialogs;
};

struct RunCall {
    std::vector<std::string> argv;
    std::filesystem::path workingFolder;
    RunEnvironment environment;
};

// Records every run and, unless told otherwise, really runs it.
class RecordingRunner final : public ProcessRunner {
public:
    void RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder) override
    {
        RunAndReport(argv, workingFolder, {});
    }
    RunOutcome RunAndReport(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
                            const RunEnvironment& environment) override;
    bool passThrough = true;
    std::vector<RunCall> calls;
    // Called with each run before it starts: a test looks at the screen while the program waits.
    std::function<void(const RunCall&)> beforeRun;

private:
    PosixProcessRunner m_real;
};

class FakeClock final : public Clock {
public:
    std::chrono::system_clock::time_point Now() override { return now; }
    double MonotonicSeconds() override { return monotonic; }
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
    double monotonic = 0;
};

// The login name of the fake user, and the user part of the cookie sources that tests seed.
inline constexpr const char* kTestUser = "tester";

class FakeUser final : public UserInfo {
public:
    std::string LoginName() override { return name; }
    std::string name = kTestUser;
};

class FakeExit final : public ProcessExit {
public:
    void EndNow(int code) override
    {
        ++calls;
        lastCode = code;
    }
    int calls = 0;
    int lastCode = -1;
};

class FakePrinter final : public Printer {
public:
    bool PrintText(const std::string& text) override
    {
        if (!installed)
            return false;
        printed.push_back(text);
        return true;
    }
    bool installed = true;
    std::vector<std::string> printed;
};

class FakeBrowser final : public Browser {
public:
    bool Open(const std::string& address) override
    {
        opened.push_back(address);
        return installed;
    }
    bool installed = true;  // false: the desktop has no browser (or mail program)
    std::vector<std::string> opened;
};

// Keys and values as (key, value name) -> value; names compare exactly.
class FakeRegistry final : public Registry {
public:
    std::optional<RegistryValue> QueryValue(std::uint32_t root, const std::string& keyName,
                                            const std::string& valueName) override
    {
        for (const auto& e : entries)
            if (root == kHKeyLocalMachine && e.key == keyName && e.valueName == valueName)
                return e.value;
        return std::nullopt;
    }
    struct Entry {
        std::string key;
        std::string valueName;
        RegistryValue value;
    };
    std::vector<Entry> entries;
};

class FakeStarter final : public ProgramStarter {
public:
    bool StartDetached(const std::string& path) override
    {
        started.push_back(path);
        return startable;
    }
    bool startable = true;
    std::vector<std::string> started;
};

// Timers on a time of its own that only Advance moves: a test steps through five seconds of
// timer ticks in no time. A pause advances the time by its length, so the timers that fall
// due in it fire, as they would while a real pause lets messages run. With `clock` set, the
// clock's monotonic seconds and its wall time move along.
class FakeScheduler final : public Scheduler {
public:
    FakeScheduler();
    ~FakeScheduler() override;
    std::unique_ptr<Timer> NewTimer(std::function<void()> onTimer) override;
    void Pause(std::chrono::milliseconds duration) override;

    // Moves the time on; every timer that falls due fires, earliest first, a repeating one
    // as often as its interval fits.
    void Advance(std::chrono::milliseconds by);
    std::chrono::milliseconds now() const;
    // The timers that exist and are running.
    std::size_t activeTimers() const;

    std::vector<std::chrono::milliseconds> pauses;
    FakeClock* clock = nullptr;

    struct State;

private:
    void MoveTo(std::chrono::milliseconds when);
    std::shared_ptr<State> m_state;
};

class FakeLauncher final : public Launcher {
public:
    std::optional<LaunchedWindow> LaunchMaximized(const std::string& path, std::chrono::milliseconds wait) override
    {
        launched.push_back(path);
        waits.push_back(wait);
        return result;
    }
    std::string LastFailure() const override { return result ? std::string() : failure; }
    std::optional<LaunchedWindow> result = LaunchedWindow{4242, 0x2a00001};
    std::string failure = "no window of it appeared within 10 seconds";
    std::vector<std::string> launched;
    std::vector<std::chrono::milliseconds> waits;
};

// Sends only into the window that the test says holds the focus, as the real one must.
class FakeKeySender final : public KeySender {
public:
    bool SendKeys(WindowId window, const std::string& keys) override
    {
        attempts.push_back({window, keys});
        if (window == 0 || window != focused)
            return false;
        sent.push_back({window, keys});
        return true;
    }
    struct Keys {
        WindowId window;
        std::string keys;
        bool operator==(const Keys&) const = default;
    };
    WindowId focused = 0x2a00001;
    std::vector<Keys> attempts;
    std::vector<Keys> sent;
};

class FakeVolumes final : public Volumes {
public:
    std::vector<std::string> MountedRoots() override { return roots; }
    std::vector<std::string> roots{"/"};
};

// A Platform whose seams are all fakes; programFolder is set by the test.
struct TestPlatform {
    TestPlatform();
    FakeDialogs dialogs;
    RecordingRunner runner;
    FakeClock clock;
    FakeUser user;
    FakeExit exit;
    FakePrinter printer;
    FakeBrowser browser;
    FakeRegistry registry;
    FakeStarter starter;
    FakeScheduler scheduler;
    FakeLauncher launcher;
    FakeKeySender keys;
    FakeVolumes volumes;
    Platform platform;
};

}  // namespace brimlow::test
