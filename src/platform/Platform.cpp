#include "platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ProgramSearch.h"
#include "platform/Text.h"

extern char** environ;

namespace brimlow {

namespace {

// This process's environment without the variables that `environment` sets, then those.
std::vector<char*> ChildEnvironment(const RunEnvironment& environment)
{
    std::vector<char*> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        const std::string_view name = entry.substr(0, entry.find('='));
        const bool replaced = std::any_of(environment.begin(), environment.end(), [&](const std::string& v) {
            return std::string_view(v).substr(0, v.find('=')) == name;
        });
        if (!replaced)
            env.push_back(*e);
    }
    for (const std::string& v : environment)
        env.push_back(const_cast<char*>(v.c_str()));
    env.push_back(nullptr);
    return env;
}

}  // namespace

RunOutcome PosixProcessRunner::RunAndReport(const std::vector<std::string>& argv,
                                          const std::filesystem::path& workingFolder,
                                          const RunEnvironment& environment)
{
    RunOutcome outcome;
    if (argv.empty())
        return outcome;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env = ChildEnvironment(environment);

    posix_spawn_file_actions_t actions;
    if (const int rc = posix_spawn_file_actions_init(&actions); rc != 0) {
        outcome.startError = rc;
        return outcome;
    }
    posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        outcome.startError = rc;
        return outcome;  // the tool could not be started: the caller goes on with what files there are
    }
    int status = 0;
    pid_t waited = 0;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    // posix_spawn reports a missing program through the child (status 127) on some systems.
    outcome.started = true;
    if (waited == pid && WIFEXITED(status))
        outcome.exitStatus = WEXITSTATUS(status);
    return outcome;
}

double SystemClock::MonotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string PosixUserInfo::LoginName()
{
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return pw->pw_name;
    return {};
}

void RealProcessExit::EndNow(int code)
{
    std::fflush(nullptr);
    std::_Exit(code);
}

std::filesystem::path ExecutableFolder()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path();
    return exe.parent_path();
}

std::filesystem::path UserDataFolder()
{
    namespace fs = std::filesystem;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return fs::path(data);
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir)
            home = pw->pw_dir;
    }
    return fs::path(home ? home : "/") / ".local" / "share";
}

std::filesystem::path DefaultStoreFolder()
{
    if (const char* dir = std::getenv(kStoreFolderVariable); dir && *dir) {
        // A relative name means the folder it names from here, now: taken as it stands, it
        // would name another store in UrlHound, which runs in the working folder.
        std::error_code ec;
        std::filesystem::path absolute = std::filesystem::absolute(dir, ec);
        return ec ? std::filesystem::path(dir) : absolute.lexically_normal();
    }
    return UserDataFolder() / "inetcache";
}

std::filesystem::path UserDataWorkingFolder()
{
    return UserDataFolder() / "brimlow";
}

std::filesystem::path WorkingFolderFor(const std::filesystem::path& executableFolder)
{
    namespace fs = std::filesystem;
    if (::access(executableFolder.c_str(), W_OK | X_OK) == 0)
        return executableFolder;
    const fs::path data = UserDataWorkingFolder();
    std::error_code ec;
    // The parents as the user's umask gives them; the folder itself private to the user.
    fs::create_directories(data.parent_path(), ec);
    if (::mkdir(data.c_str(), 0700) != 0 && errno != EEXIST)
        return executableFolder;
    if (::access(data.c_str(), W_OK | X_OK) != 0)
        return executableFolder;
    return data;
}

std::filesystem::path ToolFolderFor(const std::filesystem::path& executableFolder, const std::string& toolName)
{
    if (::access((executableFolder / toolName).c_str(), X_OK) == 0)
        return executableFolder;
    const auto installed = executableFolder.parent_path() / "libexec" / "brimlow";
    if (::access((installed / toolName).c_str(), X_OK) == 0)
        return installed;
    return executableFolder;
}

std::optional<RegistryValue> SystemRegistry::QueryValue(std::uint32_t root, const std::string& keyName,
                                                        const std::string& valueName)
{
    // Key and value names compare without regard to letter case, as the registry's do.
    if (root != kHKeyLocalMachine || !text::EqualsNoCase(keyName, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") ||
        !text::EqualsNoCase(valueName, "PATH"))
        return std::nullopt;
    for (const char* tool : {"hardinfo", "kinfocenter", "gnome-system-monitor"}) {
        const ProgramLookup found = FindProgram(tool);
        if (found.problem == ProgramProblem::Found)
            return RegistryValue{kRegSz, found.path.string() + std::string(1, '\0')};
    }
    return std::nullopt;
}

int FileCalls::MakeTemporary(char* pattern)
{
    return ::mkostemp(pattern, O_CLOEXEC);
}

long FileCalls::Write(int fd, const void* buf, std::size_t count)
{
    return static_cast<long>(::write(fd, buf, count));
}

long FileCalls::Pread(int fd, void* buf, std::size_t count, std::int64_t offset)
{
    return static_cast<long>(::pread(fd, buf, count, static_cast<off_t>(offset)));
}

int FileCalls::Fsync(int fd)
{
    return ::fsync(fd);
}

int FileCalls::Rename(const char* from, const char* to)
{
    return ::rename(from, to);
}

int PosixFileCalls::Open(const char* path, int flags)
{
    return ::open(path, flags);
}

int PosixFileCalls::Fstat(int fd, struct ::stat* st)
{
    return ::fstat(fd, st);
}

long PosixFileCalls::Pwrite(int fd, const void* buf, std::size_t count, std::int64_t offset)
{
    return static_cast<long>(::pwrite(fd, buf, count, static_cast<off_t>(offset)));
}

int PosixFileCalls::Fdatasync(int fd)
{
    return ::fdatasync(fd);
}

int PosixFileCalls::Close(int fd)
{
    return ::close(fd);
}

int PosixFileCalls::Unlink(const char* path)
{
    return ::unlink(path);
}

}  // namespace brimlow
