#include "platform/Platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace brimlow {

void PosixProcessRunner::RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder)
{
    if (argv.empty())
        return;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return;  // the tool could not be started: the caller goes on with what files there are
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
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

}  // namespace brimlow
