#include "platform/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/Platform.h"
#include "platform/PosixIo.h"
#include "platform/Text.h"

namespace brimlow::textfile {

namespace {

[[noreturn]] void Throw(const fs::path& path)
{
    throw RuntimeError::FromErrno(errno, path.string());
}

void WriteFully(int fd, const char* data, std::size_t size, const fs::path& path)
{
    if (!posix::WriteAll(fd, std::string_view(data, size)))
        Throw(path);
}

[[noreturn]] void ThrowNotARegularFile(const fs::path& path)
{
    throw RuntimeError(err::PathFileAccess, "not a regular file: " + path.string());
}

// Every open of the program's files: it never waits (a FIFO or a device would block in the
// open for ever), writes never go through a link planted at the name, a file it creates is
// private to the user, and whatever is opened must be a regular file.
int OpenFor(const fs::path& path, OpenMode mode, bool create)
{
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
    case OpenMode::Reading:
        flags |= O_RDONLY;
        break;
    case OpenMode::Writing:
        flags |= O_WRONLY | O_TRUNC | O_NOFOLLOW;
        break;
    case OpenMode::Appending:
        flags |= O_WRONLY | O_APPEND | O_NOFOLLOW;
        break;
    }
    if (create && mode != OpenMode::Reading)
        flags |= O_CREAT;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A FIFO without a reader, or a socket, refuses a non-blocking open for writing.
        struct stat st;
        if (errno == ENXIO && ::lstat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))
            ThrowNotARegularFile(path);
        Throw(path);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
        Throw(path);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        ThrowNotARegularFile(path);
    }
    // A regular file never blocks; the flag goes so nothing later reads it as "try again".
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

bool SameNameNoCase(std::string_view a, std::string_view b) noexcept
{
    return text::EqualsNoCase(a, b);
}

std::string LowerCaseName(std::string_view name)
{
    return text::ToLowerAscii(name);
}

fs::path Resolve(const fs::path& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0)
        return path;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string wanted = path.filename().string();
    if (wanted.empty())
        return path;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return path;
    std::string best;
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        if (SameNameNoCase(name, wanted) && (best.empty() || name < best))
            best = std::move(name);
    }
    return best.empty() ? path : folder / best;
}

fs::path InFolder(const fs::path& folder, std::string_view name)
{
    while (!name.empty() && (name.front() == '\\' || name.front() == '/'))
        name.remove_prefix(1);
    return Resolve(folder / fs::path(std::string(name)));
}

bool FileExists(const fs::path& path) noexcept
{
    struct stat st;
    const fs::path& p = path;
    if (::lstat(p.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        return ::stat(p.c_str(), &target) != 0 || !S_ISDIR(target.st_mode);
    }
    return !S_ISDIR(st.st_mode);
}

bool FolderExists(const fs::path& path) noexcept
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::uint64_t FileSize(const fs::path& path)
{
    const fs::path& p = path;
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0)
        Throw(p);
    return static_cast<std::uint64_t>(st.st_size);
}

void DeleteFile(const fs::path& path, bool force)
{
    const fs::path& p = path;
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0)
        Throw(p);
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        Throw(p);
    }
    if (!force && !S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
        errno = EACCES;  // a read-only file needs the force flag
        Throw(p);
    }
    if (::unlink(p.c_str()) != 0)
        Throw(p);
}

std::vector<FolderFile> FolderFiles(const fs::path& folder)
{
    std::vector<FolderFile> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        throw RuntimeError(ErrorNumberFromErrno(ec.value()), folder.string() + ": " + ec.message());
    for (const auto& entry : it) {
        // Regular files (or links to them) only: a FIFO or a device is nothing to read.
        std::error_code sec;
        if (!entry.is_regular_file(sec))
            continue;
        files.push_back({entry.path().filename().string(), entry.path()});
    }
    std::sort(files.begin(), files.end(), [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
    return files;
}

std::string ReadAll(const fs::path& path)
{
    LineReader reader(path);
    return reader.ReadAll();
}

FileBlock ReadAllInBlock(const fs::path& path, FileBlock reuse)
{
    const int fd = OpenFor(path, OpenMode::Reading, false);
    FileBlock file{std::move(reuse.bytes), 0};
    try {
        // Sized from the file, and a byte more, so that its end shows at once.
        struct stat st;
        file.bytes.Renew(::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1
                                                                  : std::size_t{1} << 16);
        for (;;) {
            if (file.size == file.bytes.capacity())
                file.bytes.Grow(file.size * 2);  // the file grew meanwhile
            ssize_t n;
            do {
                n = ::read(fd, file.bytes.data() + file.size, file.bytes.capacity() - file.size);
            } while (n < 0 && errno == EINTR);
            if (n < 0)
                throw RuntimeError::FromErrno(errno, "read");
            if (n == 0)
                break;
            file.size += static_cast<std::size_t>(n);
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return file;
}

void WriteAll(const fs::path& path, std::string_view text)
{
    TextWriter writer(path, OpenMode::Writing, true);
    writer.Write(text);
    writer.Close();
}

bool NextLine(std::string_view& rest, std::string_view& line) noexcept
{
    if (rest.empty())
        return false;
    const std::size_t lf = rest.find('\n');
    std::size_t len = lf == std::string_view::npos ? rest.size() : lf;
    line = rest.substr(0, len);
    if (lf != std::string_view::npos && len > 0 && line.back() == '\r')
        line.remove_suffix(1);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    return true;
}

void Append(const fs::path& path, std::string_view text, bool create, FileCalls* calls)
{
    const fs::path& p = path;
    int fd = OpenFor(p, OpenMode::Appending, create);
    try {
        static PosixFileCalls real;
        FileCalls& out = calls ? *calls : real;
        while (!text.empty()) {
            const long n = out.Write(fd, text.data(), text.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n == 0)
                    errno = ENOSPC;
                Throw(p);
            }
            text.remove_prefix(static_cast<std::size_t>(n));
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0 && errno != EINTR)
        Throw(p);
}

// ---- TextWriter ----

TextWriter::TextWriter(const fs::path& path, OpenMode mode, bool create)
{
    // Reading mode opens the file read-only: it is never emptied, and a write fails.
    m_fd = OpenFor(path, mode, create);
}

TextWriter::~TextWriter()
{
    if (m_fd >= 0) {
        try {
            Flush();
        } catch (...) {
        }
        ::close(m_fd);
    }
}

void TextWriter::Write(std::string_view text)
{
    m_buf.append(text);
    if (m_buf.size() >= (1u << 16))
        Flush();
}

void TextWriter::WriteLine(std::string_view text)
{
    Write(text);
    Write("\r\n");
}

void TextWriter::WriteBlankLines(std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        Write("\r\n");
}

void TextWriter::Flush()
{
    if (m_buf.empty() || m_fd < 0)
        return;
    std::string pending;
    pending.swap(m_buf);
    WriteFully(m_fd, pending.data(), pending.size(), fs::path("(text stream)"));
}

void TextWriter::Close()
{
    if (m_fd < 0)
        return;
    try {
        Flush();
    } catch (...) {
        ::close(m_fd);
        m_fd = -1;
        throw;
    }
    int rc = ::close(m_fd);
    m_fd = -1;
    if (rc != 0 && errno != EINTR)
        Throw(fs::path("(text stream)"));
}

// ---- LineReader ----

LineReader::LineReader(const fs::path& path) : m_buf(1u << 16)
{
    const fs::path& p = path;
    m_fd = OpenFor(p, OpenMode::Reading, false);
}

LineReader::~LineReader()
{
    Close();
}

void LineReader::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool LineReader::Fill()
{
    if (m_eof || m_fd < 0)
        return false;
    if (m_pos > 0) {
        std::memmove(m_buf.data(), m_buf.data() + m_pos, m_len - m_pos);
        m_len -= m_pos;
        m_pos = 0;
    }
    if (m_len == m_buf.size())
        m_buf.resize(m_buf.size() * 2);
    ssize_t n;
    do {
        n = ::read(m_fd, m_buf.data() + m_len, m_buf.size() - m_len);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        throw RuntimeError::FromErrno(errno, "read");
    if (n == 0) {
        m_eof = true;
        return false;
    }
    m_len += static_cast<std::size_t>(n);
    return true;
}

bool LineReader::AtEndOfStream()
{
    return m_pos >= m_len && !Fill();
}

bool LineReader::ReadLine(std::string& line)
{
    if (AtEndOfStream())
        return false;
    std::size_t scanFrom = m_pos;
    for (;;) {
        const char* start = m_buf.data() + m_pos;
        const void* lf = std::memchr(m_buf.data() + scanFrom, '\n', m_len - scanFrom);
        if (lf) {
            std::size_t end = static_cast<const char*>(lf) - m_buf.data();
            std::size_t len = end - m_pos;
            if (len > 0 && start[len - 1] == '\r')
                --len;
            line.assign(start, len);
            m_pos = end + 1;
            return true;
        }
        std::size_t scanned = m_len - m_pos;
        if (!Fill()) {
            // Last line without a line end.
            line.assign(m_buf.data() + m_pos, m_len - m_pos);
            m_pos = m_len;
            return true;
        }
        scanFrom = m_pos + scanned;
    }
}

std::string LineReader::ReadLine()
{
    std::string line;
    if (!ReadLine(line))
        throw RuntimeError(kInputPastEnd, "Input past end of file");
    return line;
}

std::string LineReader::ReadAll()
{
    std::string all(m_buf.data() + m_pos, m_len - m_pos);
    m_pos = m_len;
    if (m_eof || m_fd < 0)
        return all;
    // The rest straight into one string sized from the file (and a byte more, so that the
    // end shows at once), not through the line buffer grown read by read and copied after.
    struct stat st;
    std::size_t len = all.size();
    all.resize(len + (::fstat(m_fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1
                                                                  : std::size_t{1} << 16));
    for (;;) {
        if (len == all.size())
            all.resize(all.size() * 2);  // the file grew meanwhile
        ssize_t n;
        do {
            n = ::read(m_fd, all.data() + len, all.size() - len);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            throw RuntimeError::FromErrno(errno, "read");
        if (n == 0)
            break;
        len += static_cast<std::size_t>(n);
    }
    all.resize(len);
    m_eof = true;
    return all;
}

}  // namespace brimlow::textfile
