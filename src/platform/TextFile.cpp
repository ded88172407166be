#include "platform/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
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

// ---- BlockReading ----

namespace {
// The first piece is small, so that the caller starts at once.
constexpr std::size_t kFirstPiece = std::size_t{64} << 10;
constexpr std::size_t kPiece = std::size_t{256} << 10;
constexpr std::size_t kRoomPast = 64;
// A file this large is read by two threads, each a half: the copy out of the page cache then
// takes half the time, less than the caller's parse of it.
constexpr std::size_t kTwoHalves = std::size_t{4} << 20;
}  // namespace

BlockReading::BlockReading(const fs::path& path, FileBlock reuse, FileCalls* calls)
    : m_file{std::move(reuse.bytes), 0}, m_calls(calls)
{
    static PosixFileCalls real;
    if (!m_calls)
        m_calls = &real;
    m_fd = OpenFor(path, OpenMode::Reading, false);
    try {
        struct stat st;
        m_size = ::fstat(m_fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
        // Sized from the file, and a byte more, so that its end shows at once.
        m_file.bytes.Renew(m_size + 1 + kRoomPast);
        m_room = m_file.bytes.capacity() - kRoomPast;
        m_halves = m_size >= kTwoHalves ? 2 : 1;
        const std::size_t half = m_halves == 2 ? m_size / 2 : m_room;
        m_half[0].start = 0;
        m_half[0].end = half;
        m_half[1].start = half;
        m_half[1].end = m_room;  // the last half reads to the file's end, as far as the room goes
        m_running.store(m_halves, std::memory_order_relaxed);
    } catch (...) {
        ::close(m_fd);
        throw;
    }
    for (int k = 0; k < m_halves; ++k) {
        try {
            m_readers[k] = std::thread([this, k] { Read(k); });
        } catch (const std::system_error&) {
            Read(k);  // no thread to be had: read it here, first
        }
    }
}

BlockReading::~BlockReading()
{
    m_stop.store(true, std::memory_order_relaxed);
    for (std::thread& reader : m_readers)
        if (reader.joinable())
            reader.join();
    ::close(m_fd);
}

void BlockReading::Read(int k) noexcept
{
    Half& half = m_half[k];
    const bool last = k == m_halves - 1;
    std::size_t at = half.start;
    std::size_t piece = kFirstPiece;
    while (!m_stop.load(std::memory_order_relaxed)) {
        if (at == half.end) {
            if (last) {
                // The room is full: the file has grown unless it ends right here.
                char probe;
                long n;
                do {
                    n = m_calls->Pread(m_fd, &probe, 1, static_cast<std::int64_t>(at));
                } while (n < 0 && errno == EINTR);
                half.full = n != 0;
                half.error = n < 0 ? errno : 0;
            }
            break;
        }
        long n;
        do {
            n = m_calls->Pread(m_fd, m_file.bytes.data() + at, std::min(piece, half.end - at),
                               static_cast<std::int64_t>(at));
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {  // the file's end (a first half that ends early: the file shrank)
            half.error = n < 0 ? errno : 0;
            break;
        }
        at += static_cast<std::size_t>(n);
        half.in.store(at - half.start, std::memory_order_release);
        Publish(false);
        piece = kPiece;
    }
    if (m_running.fetch_sub(1, std::memory_order_acq_rel) == 1)
        Publish(true);
}

void BlockReading::Publish(bool ended) noexcept
{
    // The bytes that have arrived run from the start to the first gap: through a first half
    // only once it is all in.
    std::size_t arrived = 0;
    for (int k = 0; k < m_halves; ++k) {
        const std::size_t in = m_half[k].in.load(std::memory_order_acquire);
        arrived = m_half[k].start + in;
        if (m_half[k].start + in < m_half[k].end)
            break;
    }
    if (ended) {
        m_state.store(arrived | kEnded, std::memory_order_release);
    } else {
        std::size_t state = m_state.load(std::memory_order_relaxed);
        while (state < arrived && !m_state.compare_exchange_weak(state, arrived, std::memory_order_release,
                                                                 std::memory_order_relaxed)) {
        }
    }
    m_state.notify_all();
}

std::size_t BlockReading::WaitPast(std::size_t have, bool& ended) const noexcept
{
    for (;;) {
        const std::size_t state = m_state.load(std::memory_order_acquire);
        ended = (state & kEnded) != 0;
        const std::size_t in = state & ~kEnded;
        if (ended || in > have)
            return in;
        m_state.wait(state, std::memory_order_acquire);
    }
}

FileBlock BlockReading::Finish(bool& whole)
{
    for (std::thread& reader : m_readers)
        if (reader.joinable())
            reader.join();
    for (int k = 0; k < m_halves; ++k)
        if (m_half[k].error)
            throw RuntimeError::FromErrno(m_half[k].error, "read");
    whole = !m_half[m_halves - 1].full;
    m_file.size = m_state.load(std::memory_order_acquire) & ~kEnded;
    return std::move(m_file);
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
