#include "platform/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace brimlow::textfile {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMarker = ".tmp-";
constexpr std::size_t kRandomLength = 6;
// A target name near the file system's limit must still leave room for the rest.
constexpr std::size_t kNameBytesKept = 64;

FileCalls& CallsOr(FileCalls* calls)
{
    static PosixFileCalls real;
    return calls ? *calls : real;
}

[[noreturn]] void Throw(int e, const fs::path& path)
{
    throw RuntimeError::FromErrno(e, path.string());
}

fs::path FolderOf(const fs::path& target)
{
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

bool IsRandomCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

TemporaryFile::TemporaryFile(const fs::path& target, FileCalls* calls) : m_calls(CallsOr(calls)), m_target(target)
{
    const std::string name = target.filename().string();
    std::string pattern = (FolderOf(target) / ("." + name.substr(0, kNameBytesKept) + std::string(kMarker) +
                                               std::to_string(::getpid()) + "-XXXXXX"))
                              .string();
    int fd;
    do {
        fd = m_calls.MakeTemporary(pattern.data());
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        Throw(errno, pattern);
    m_fd = fd;
    m_path = pattern;
}

TemporaryFile::~TemporaryFile()
{
    if (m_fd >= 0)
        m_calls.Close(m_fd);
    if (!m_committed && !m_path.empty())
        m_calls.Unlink(m_path.c_str());
}

void TemporaryFile::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const long n = m_calls.Write(m_fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Throw(errno, m_path);
        }
        if (n == 0)
            Throw(ENOSPC, m_path);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TemporaryFile::Commit()
{
    int rc;
    do {
        rc = m_calls.Fsync(m_fd);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        Throw(errno, m_path);
    const int fd = m_fd;
    m_fd = -1;
    // A close that fails may have lost data the sync did not see (a network file system).
    if (m_calls.Close(fd) != 0 && errno != EINTR)
        Throw(errno, m_path);
    if (m_calls.Rename(m_path.c_str(), m_target.c_str()) != 0)
        Throw(errno, m_target);
    m_committed = true;
    const fs::path folder = FolderOf(m_target);
    if (const int dir = m_calls.Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        m_calls.Fsync(dir);
        m_calls.Close(dir);
    }
}

void WriteAllAtomically(const fs::path& path, std::string_view text, FileCalls* calls)
{
    TemporaryFile file(path, calls);
    file.Write(text);
    file.Commit();
}

std::optional<long> TemporaryFileMaker(std::string_view name)
{
    // "." name ".tmp-" pid "-" XXXXXX
    if (name.size() < 1 + kMarker.size() + 1 + 1 + kRandomLength || name.front() != '.')
        return std::nullopt;
    const std::string_view random = name.substr(name.size() - kRandomLength);
    for (char c : random)
        if (!IsRandomCharacter(c))
            return std::nullopt;
    std::string_view rest = name.substr(0, name.size() - kRandomLength);
    if (rest.back() != '-')
        return std::nullopt;
    rest.remove_suffix(1);
    std::size_t digits = 0;
    while (digits < rest.size() && rest[rest.size() - 1 - digits] >= '0' && rest[rest.size() - 1 - digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 9)
        return std::nullopt;
    const std::string_view pid = rest.substr(rest.size() - digits);
    rest.remove_suffix(digits);
    if (rest.size() < 1 + kMarker.size() || rest.substr(rest.size() - kMarker.size()) != kMarker)
        return std::nullopt;
    return std::stol(std::string(pid));
}

std::size_t RemoveLeftTemporaryFiles(const fs::path& folder, std::string_view target)
{
    const std::string prefix =
        target.empty() ? std::string() : "." + std::string(target.substr(0, kNameBytesKept)) + std::string(kMarker);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    std::size_t removed = 0;
    const int dfd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<long> maker = TemporaryFileMaker(entry->d_name);
        if (!maker || std::string_view(entry->d_name).substr(0, prefix.size()) != prefix)
            continue;
        // A live maker (this process among them) is still writing it; a process of another
        // user (EPERM) is alive too.
        if (*maker == ::getpid() || *maker <= 0 || ::kill(static_cast<pid_t>(*maker), 0) == 0 || errno != ESRCH)
            continue;
        struct stat st;
        if (::fstatat(dfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (::unlinkat(dfd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace brimlow::textfile
