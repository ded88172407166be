#pragma once
// The seams that stand between the program and the machine. One Platform object is handed
// to frmMain and to every procedure that needs the machine; tests hand it fakes.
// Everything here is Qt-free; the real Qt-based seams live in platform/qt.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct stat;

namespace brimlow {

enum class MsgBoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgBoxIcon { None, Critical, Question, Exclamation, Information };
enum class MsgBoxAnswer { Ok, Cancel, Yes, No };

// The title of a message box that has none of its own.
inline constexpr const char* kProgramTitle = "Brimlow";

struct FileDialogOptions {
    std::string fileName;
    std::string initialFolder;
    std::string defaultExt;
    std::string filter;  // "Text Files (*.txt)|*.txt"
    std::string title;
    // A save dialog asks before the chosen file, when it exists, is replaced; "No" leaves
    // the dialog open for another choice.
    bool confirmReplace = true;
};

// The save dialog of a text report: no file name yet, the program folder, ".txt".
inline FileDialogOptions TextReportSaveOptions(const std::filesystem::path& programFolder)
{
    FileDialogOptions options;
    options.initialFolder = programFolder.string() + "/";
    options.defaultExt = "txt";
    options.filter = "Text Files (*.txt)|*.txt";
    return options;
}

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgBoxAnswer MsgBox(const std::string& text, const std::string& title, MsgBoxButtons buttons,
                                MsgBoxIcon icon) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> ShowSave(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> ShowOpen(const FileDialogOptions& options) = 0;
};

// How a run of another program ended.
struct RunOutcome {
    bool started = false;  // false: the program could not be started at all
    int exitStatus = -1;   // its exit status; -1 when it did not exit normally
    int startError = 0;    // when not started: the errno that says why (0: not known)
};

// Variables ("NAME=value") that a run puts into the program's environment, in place of the
// caller's own of those names.
using RunEnvironment = std::vector<std::string>;

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts argv[0] with the arguments argv[1..] in `workingFolder` and waits for it without
    // a time limit. A program that cannot be started returns at once.
    virtual void RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder) = 0;
    // The same, with `environment` over the caller's, telling how the run ended. A runner
    // that only knows RunAndWait gives the program the caller's environment and reports a
    // clean run.
    virtual RunOutcome RunAndReport(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
                                    const RunEnvironment& environment)
    {
        (void)environment;
        RunAndWait(argv, workingFolder);
        return {true, 0};
    }
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::system_clock::time_point Now() = 0;
    virtual double MonotonicSeconds() = 0;
};

class UserInfo {
public:
    virtual ~UserInfo() = default;
    virtual std::string LoginName() = 0;
};

class ProcessExit {
public:
    virtual ~ProcessExit() = default;
    // Ends the process at once: no further window events run.
    virtual void EndNow(int code) = 0;
};

class Printer {
public:
    virtual ~Printer() = default;
    // Prints the text on the default printer and ends the document. False when no
    // printer is installed; nothing is printed then.
    virtual bool PrintText(const std::string& text) = 0;
};

// Hands a web or mail address to the desktop, which opens it in the user's browser or
// mail program. False when the desktop has nothing to open it with.
class Browser {
public:
    virtual ~Browser() = default;
    virtual bool Open(const std::string& address) = 0;
};

// The registry reads of the about box. Roots and types carry their Windows numbers.
inline constexpr std::uint32_t kHKeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

struct RegistryValue {
    std::uint32_t type = kRegSz;
    std::string data;  // the stored bytes, a string's closing NUL included when it has one
};

class Registry {
public:
    virtual ~Registry() = default;
    // The value, or nothing when the key cannot be opened or holds no such value.
    virtual std::optional<RegistryValue> QueryValue(std::uint32_t root, const std::string& keyName,
                                                    const std::string& valueName) = 0;
};

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Starts the program with a normal window and does not wait for it; false when it
    // cannot be started.
    virtual bool StartDetached(const std::string& path) = 0;
};

// A timer control: once started it calls its handler every interval, on the thread that
// runs the windows, until it is stopped. Starting a running timer starts its interval afresh.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(std::chrono::milliseconds interval) = 0;
    virtual std::chrono::milliseconds interval() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Makes the timers, and waits while the windows go on working (a script's pause).
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // A stopped timer that calls onTimer each time it fires.
    virtual std::unique_ptr<Timer> NewTimer(std::function<void()> onTimer) = 0;
    // Returns after the time has passed; pending messages and timers run meanwhile.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

// A top-level window of another program; 0 is none.
using WindowId = std::uint64_t;

struct LaunchedWindow {
    int pid = 0;
    WindowId window = 0;
};

// Starts a program, detached, and brings its main window up maximised with the focus.
class Launcher {
public:
    virtual ~Launcher() = default;
    // The started program and its window, or nothing when it did not start or showed no
    // window within the wait.
    virtual std::optional<LaunchedWindow> LaunchMaximized(const std::string& path,
                                                          std::chrono::milliseconds wait) = 0;
    // Why the last launch gave no window, in words for the activity log ("" after one that did).
    virtual std::string LastFailure() const { return {}; }
};

// Types keys into another program's window.
class KeySender {
public:
    virtual ~KeySender() = default;
    // Plays the keys (the SendKeys syntax: + ^ % prefixes, parentheses, {NAME}, {NAME n},
    // braced literals) into `window`. Sends nothing and returns false unless that window holds
    // the focus when the keys go.
    virtual bool SendKeys(WindowId window, const std::string& keys) = 0;
};

// The file calls that destroying a file, replacing a file and changing a cookie make, so
// that a test can watch their order, stage a fault or end the process at a chosen call. Each returns what the
// POSIX call returns and leaves errno as it does. The calls of a replacement make the real
// calls unless a watcher takes them over too.
class FileCalls {
public:
    virtual ~FileCalls() = default;
    virtual int Open(const char* path, int flags) = 0;
    virtual int Fstat(int fd, struct ::stat* st) = 0;
    virtual long Pwrite(int fd, const void* buf, std::size_t count, std::int64_t offset) = 0;
    virtual int Fdatasync(int fd) = 0;
    virtual int Close(int fd) = 0;
    virtual int Unlink(const char* path) = 0;
    // mkostemp(pattern, O_CLOEXEC): the file created with O_EXCL, mode 0600, and its name
    // written into `pattern`'s trailing XXXXXX.
    virtual int MakeTemporary(char* pattern);
    virtual long Write(int fd, const void* buf, std::size_t count);
    virtual long Pread(int fd, void* buf, std::size_t count, std::int64_t offset);
    virtual int Fsync(int fd);
    virtual int Rename(const char* from, const char* to);
};

// The real calls.
class PosixFileCalls : public FileCalls {
public:
    int Open(const char* path, int flags) override;
    int Fstat(int fd, struct ::stat* st) override;
    long Pwrite(int fd, const void* buf, std::size_t count, std::int64_t offset) override;
    int Fdatasync(int fd) override;
    int Close(int fd) override;
    int Unlink(const char* path) override;
};

// The drive list's entries: the root paths of the mounted volumes, "/" first.
class Volumes {
public:
    virtual ~Volumes() = default;
    virtual std::vector<std::string> MountedRoots() = 0;
};

struct Platform {
    // The working folder: what the program keeps of its own (the dump files, the activity
    // log, the settings file, the script files, the search report). See WorkingFolderFor.
    std::filesystem::path programFolder;
    // Where UrlHound is found (see ToolFolderFor); empty: the working folder.
    std::filesystem::path toolFolder;
    // The folder of this user's Internet cache and cookie store (see DefaultStoreFolder).
    // Empty: no store is named, and every store call fails.
    std::filesystem::path storeFolder;
    Dialogs* dialogs = nullptr;
    ProcessRunner* runner = nullptr;
    Clock* clock = nullptr;
    UserInfo* user = nullptr;
    ProcessExit* exit = nullptr;
    Printer* printer = nullptr;
    Browser* browser = nullptr;
    Registry* registry = nullptr;
    ProgramStarter* starter = nullptr;
    Scheduler* scheduler = nullptr;
    Launcher* launcher = nullptr;
    KeySender* keys = nullptr;
    Volumes* volumes = nullptr;
    FileCalls* files = nullptr;  // nullptr: the real calls
};

// ---- Real, Qt-free implementations ----

class PosixProcessRunner final : public ProcessRunner {
public:
    void RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder) override
    {
        RunAndReport(argv, workingFolder, {});
    }
    RunOutcome RunAndReport(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
                            const RunEnvironment& environment) override;
};

class SystemClock final : public Clock {
public:
    std::chrono::system_clock::time_point Now() override { return std::chrono::system_clock::now(); }
    double MonotonicSeconds() override;
};

class PosixUserInfo final : public UserInfo {
public:
    std::string LoginName() override;
};

class RealProcessExit final : public ProcessExit {
public:
    void EndNow(int code) override;
};

// Here no registry exists. The one value the program reads, the system information tool's
// path, answers the first of the desktop's system information tools found on PATH.
class SystemRegistry final : public Registry {
public:
    std::optional<RegistryValue> QueryValue(std::uint32_t root, const std::string& keyName,
                                            const std::string& valueName) override;
};

// The folder that holds the running executable.
std::filesystem::path ExecutableFolder();

// The working folder for an executable in `executableFolder`: that folder itself when this
// user may write there (a build tree, a copy in the user's own folder), else the user's
// data folder ${XDG_DATA_HOME:-$HOME/.local/share}/brimlow, created with mode 0700. When
// that cannot be created either, the executable's folder (the failures then say where).
std::filesystem::path WorkingFolderFor(const std::filesystem::path& executableFolder);
// ${XDG_DATA_HOME:-$HOME/.local/share}/brimlow (not created).
std::filesystem::path UserDataWorkingFolder();
// The user's data folder ${XDG_DATA_HOME:-$HOME/.local/share}, the one place that reads
// them: an XDG_DATA_HOME that is not absolute is ignored (it would name another folder in
// each process that starts elsewhere), and without HOME the account's home folder stands in.
std::filesystem::path UserDataFolder();

// The environment variable that names the store's folder, for Brimlow and for UrlHound.
inline constexpr const char* kStoreFolderVariable = "INETCACHE_DIR";
// The store folder of this process: $INETCACHE_DIR (a relative one made absolute against the
// current folder, once, when the process starts and asks), else UserDataFolder()/inetcache.
std::filesystem::path DefaultStoreFolder();

// The folder UrlHound is found in: beside the executable, else the installed tool folder
// <prefix>/libexec/brimlow beside <prefix>/bin. The executable's folder when neither holds it.
std::filesystem::path ToolFolderFor(const std::filesystem::path& executableFolder, const std::string& toolName);

}  // namespace brimlow
