#include "support/KillPoints.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brimlow::test {

namespace {

// Forwards to the real calls; writes each call's name to `report` before it makes it, and
// ends the process instead of making call number `killAt`.
class KillAtCall final : public FileCalls {
public:
    KillAtCall(std::size_t killAt, int report) : m_killAt(killAt), m_report(report) {}

    int Open(const char* path, int flags) override { return Before("open"), m_real.Open(path, flags); }
    int Fstat(int fd, struct ::stat* st) override { return Before("fstat"), m_real.Fstat(fd, st); }
    long Pwrite(int fd, const void* buf, std::size_t n, std::int64_t off) override
    {
        return Before("pwrite"), m_real.Pwrite(fd, buf, n, off);
    }
    int Fdatasync(int fd) override { return Before("fdatasync"), m_real.Fdatasync(fd); }
    int Close(int fd) override { return Before("close"), m_real.Close(fd); }
    int Unlink(const char* path) override { return Before("unlink"), m_real.Unlink(path); }
    int MakeTemporary(char* pattern) override { return Before("mkostemp"), m_real.MakeTemporary(pattern); }
    long Write(int fd, const void* buf, std::size_t n) override { return Before("write"), m_real.Write(fd, buf, n); }
    int Fsync(int fd) override { return Before("fsync"), m_real.Fsync(fd); }
    int Rename(const char* from, const char* to) override { return Before("rename"), m_real.Rename(from, to); }

private:
    void Before(const char* name)
    {
        if (m_count++ == m_killAt)
            ::raise(SIGKILL);
        const std::string line = std::string(name) + "\n";
        [[maybe_unused]] const ssize_t n = ::write(m_report, line.data(), line.size());
    }
    std::size_t m_killAt;
    std::size_t m_count = 0;
    int m_report;
    PosixFileCalls m_real;
};

}  // namespace

KillOutcome RunKilledAtCall(std::size_t killAt, const std::function<void(FileCalls& calls)>& work)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        if (const int null = ::open("/dev/null", O_WRONLY); null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        KillAtCall calls(killAt, pipeFds[1]);
        try {
            work(calls);
        } catch (...) {
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    KillOutcome outcome;
    std::string names;
    char buf[256];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            names.append(buf, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    for (std::size_t start = 0, end; (end = names.find('\n', start)) != std::string::npos; start = end + 1)
        outcome.calls.push_back(names.substr(start, end - start));
    return outcome;
}

}  // namespace brimlow::test
