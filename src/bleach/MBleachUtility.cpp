#include "bleach/MBleachUtility.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "host/MActivityReport.h"
#include "platform/Errors.h"

namespace brimlow {

namespace fs = std::filesystem;

// ---- DestructionList ----

namespace {

bool IsUtf8(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t follow;
        if (c < 0x80)
            follow = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            follow = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            follow = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            follow = 3;
        else
            return false;
        if (s.size() - i - 1 < follow)
            return false;
        for (std::size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += follow + 1;
    }
    return true;
}

}  // namespace

std::string DestructionList::FoldKey(const std::string& path)
{
    // The path's bytes may be UTF-8 or Latin-1 (the locale decides); the two fold their
    // accented capitals differently, and the tag keeps one kind from meeting the other.
    const bool utf8 = IsUtf8(path);
    std::string key;
    key.reserve(path.size() + 1);
    key.push_back(utf8 ? 'U' : 'L');
    for (std::size_t i = 0; i < path.size(); ++i) {
        auto c = static_cast<unsigned char>(path[i]);
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<unsigned char>(c + 0x20);
        } else if (utf8) {
            // U+00C0..U+00DE (but U+00D7, the multiplication sign) are C3 80..C3 9E.
            if (c == 0xC3 && i + 1 < path.size()) {
                auto d = static_cast<unsigned char>(path[i + 1]);
                if (d >= 0x80 && d <= 0x9E && d != 0x97)
                    d = static_cast<unsigned char>(d + 0x20);
                key.push_back(static_cast<char>(c));
                key.push_back(static_cast<char>(d));
                ++i;
                continue;
            }
        } else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
            c = static_cast<unsigned char>(c + 0x20);
        }
        key.push_back(static_cast<char>(c));
    }
    return key;
}

bool DestructionList::NotInDestructionList(const std::string& path) const
{
    try {
        return m_items.find(FoldKey(path)) == m_items.end();
    } catch (...) {
        return true;  // a lookup that fails counts as absent
    }
}

void DestructionList::AddToDestructionList(const std::string& path)
{
    if (!m_items.emplace(FoldKey(path), path).second)
        throw RuntimeError(err::KeyInUse, "This key is already associated with an element of this collection: " + path);
}

void DestructionList::RemoveFromDestructionList(const std::string& path)
{
    if (m_items.erase(FoldKey(path)) == 0)
        throw RuntimeError(err::InvalidArgument, "Invalid procedure call or argument: " + path);
}

void DestructionList::Clear()
{
    m_items.clear();
}

std::size_t DestructionList::size() const
{
    return m_items.size();
}

std::vector<std::string> DestructionList::Items() const
{
    std::vector<std::string> items;
    items.reserve(m_items.size());
    for (const auto& [key, path] : m_items)
        items.push_back(path);
    std::sort(items.begin(), items.end());
    return items;
}

DestructionList& TheDestructionList()
{
    static DestructionList list;
    return list;
}

// ---- ClearFileAttributes ----

namespace {

// The owner's write permission is what the read-only attribute stands for here.
bool GiveOwnerWrite(const fs::path& path) noexcept
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR))
        return true;  // a link has no attributes of its own to clear; nothing goes through it
    const mode_t mode = (st.st_mode & 07777) | S_IWUSR;
    if (::fchmodat(AT_FDCWD, path.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0)
        return true;
    if (errno != EOPNOTSUPP && errno != ENOTSUP)
        return false;
    // The C library can change a mode without following only through /proc; without it,
    // chmod, provided the path is still no link.
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode))
        return true;
    return ::chmod(path.c_str(), mode) == 0;
}

}  // namespace

void ClearFileAttributes(const Platform& platform, const fs::path& path)
{
    if (!GiveOwnerWrite(path))
        AppendActivityLogOrSay(platform, "Failed to clear file attributes>\r\n");
}

// ---- DestroyFile ----

namespace {

// Bytes per write call of the overwrite. 256 KiB keeps the source pattern in the CPU cache while
// the kernel copies it; 1 MiB and more measured half as fast, 64 KiB a little slower.
constexpr std::size_t kOverwriteChunk = 1u << 18;

FileCalls& CallsOf(const Platform& platform)
{
    static PosixFileCalls real;
    return platform.files ? *platform.files : real;
}

[[noreturn]] void ThrowErrno(const fs::path& path, const char* what)
{
    throw RuntimeError::FromErrno(errno, std::string(what) + " " + path.string());
}

// CR LF pairs, one chunk's worth, built once.
const std::string& CrLfChunk()
{
    static const std::string chunk = [] {
        std::string s(kOverwriteChunk, '\r');
        for (std::size_t i = 1; i < s.size(); i += 2)
            s[i] = '\n';
        return s;
    }();
    return chunk;
}

class Descriptor {
public:
    Descriptor(FileCalls& calls, int fd) : m_calls(calls), m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            m_calls.Close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    FileCalls& m_calls;
    int m_fd;
};

enum class Kind { Missing, Regular, Link, Other };

Kind Examine(const fs::path& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Kind::Missing;
        ThrowErrno(path, "lstat");  // a folder without search rights, a name too long, ...
    }
    if (S_ISDIR(st.st_mode))
        return Kind::Missing;  // a folder is no file
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
            return Kind::Missing;  // as the file list sees it: a link to a folder is no file
        return Kind::Link;
    }
    return S_ISREG(st.st_mode) ? Kind::Regular : Kind::Other;
}

// Writes the CR LF pattern over the whole file from offset 0, exactly its own length (an odd
// length ends with a lone CR), in place: no truncation and no growth, so the old blocks are
// the ones rewritten and a full disk is no obstacle. Syncs the data to the disk. `between`
// runs after each write, so the caller can keep its window alive.
void OverwriteInPlace(FileCalls& ops, const fs::path& path, const std::function<void()>& between)
{
    int fd;
    do {
        // O_NONBLOCK: should the name turn into a FIFO meanwhile, the open must not hang.
        fd = ops.Open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        ThrowErrno(path, "open");
    Descriptor file(ops, fd);

    struct stat st;
    if (ops.Fstat(file.get(), &st) != 0)
        ThrowErrno(path, "fstat");
    if (!S_ISREG(st.st_mode))
        throw RuntimeError(err::PathFileAccess, "not a regular file: " + path.string());

    const std::string& pairs = CrLfChunk();
    const auto total = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t done = 0;
    while (done < total) {
        // After a short write of an odd count, start one byte into the pattern so the
        // pairs stay aligned.
        const std::size_t skew = static_cast<std::size_t>(done & 1);
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(pairs.size() - skew, total - done));
        const ssize_t n = ops.Pwrite(file.get(), pairs.data() + skew, count, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(path, "write");
        }
        if (n == 0) {
            errno = ENOSPC;
            ThrowErrno(path, "write");
        }
        done += static_cast<std::uint64_t>(n);
        if (between)
            between();
    }

    int rc;
    do {
        rc = ops.Fdatasync(file.get());
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        ThrowErrno(path, "fdatasync");
    if (ops.Close(file.release()) != 0 && errno != EINTR)
        ThrowErrno(path, "close");
}

void ReportFailure(const Platform& platform, const fs::path& path, int number) noexcept
{
    const bool denied = number == err::PermissionDenied;
    try {
        if (platform.dialogs) {
            if (denied)
                platform.dialogs->MsgBox("Permission to the file has been denied.", "Access Denied", MsgBoxButtons::Ok,
                                         MsgBoxIcon::None);
            else
                platform.dialogs->MsgBox("Unknown Error: " + std::to_string(number), kProgramTitle, MsgBoxButtons::Ok,
                                         MsgBoxIcon::None);
        }
    } catch (...) {
        // The entry below still records the failure.
    }
    // A log that cannot be written is said once; the caller (the exit clean-up among them)
    // goes on either way.
    if (denied)
        AppendActivityLogOrSay(platform, "ERROR: Acces Denied.\r\n" + path.string() + "\r\n");
    else
        AppendActivityLogOrSay(platform,
                               "ERROR: Unknown Error #" + std::to_string(number) + "\r\n" + path.string() + "\r\n");
}

}  // namespace

void DestroyFile(const Platform& platform, const fs::path& path, bool bleachFirst,
                 const std::function<void()>& betweenWrites)
{
    const char* destroyed = nullptr;
    try {
        const Kind kind = Examine(path);
        if (kind == Kind::Missing) {
            AppendActivityLogOrSay(platform, "ERROR: File does not exist.\r\n" + path.string() + "\r\n");
            return;
        }
        bool bleached = false;
        if (kind == Kind::Regular) {
            ClearFileAttributes(platform, path);
            if (bleachFirst) {
                OverwriteInPlace(CallsOf(platform), path, betweenWrites);
                bleached = true;
            }
        }
        // A link is removed itself and its target is left alone; only a regular file's
        // content is ever overwritten.
        if (CallsOf(platform).Unlink(path.c_str()) != 0)
            ThrowErrno(path, "unlink");
        destroyed = bleached ? "True" : "False";
    } catch (const RuntimeError& e) {
        ReportFailure(platform, path, e.number());
        return;
    } catch (...) {
        ReportFailure(platform, path, err::Unknown);
        return;
    }
    // The file is gone: a log that cannot take the entry is no failure of the destruction.
    AppendActivityLogOrSay(platform, "File deleted\r\n" + path.string() + "\r\nBleached: " + destroyed + "\r\n");
}

}  // namespace brimlow
