#include "cachedump/CacheDumpRecord.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileTime.h"
#include "platform/PosixIo.h"

namespace brimlow {

namespace {

constexpr std::string_view kNone = "N\\A";

template <typename T>
void AppendDecimal(std::string& out, T value)
{
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, res.ptr);
}

// A value line of a record cannot hold a line end: a reader would take what follows for
// the next field and read every later record out of step. The store refuses such texts, but
// another program may have written them; their CR and LF go out as the percent escapes a
// URL carries them in, so the line stays one line and still shows where they stood.
// The first CR or LF of `text` from `from` on, or npos. (find_first_of asks, for every byte,
// whether it is in the set: a walk spent more time there than in writing.)
std::size_t FindLineEnd(std::string_view text, std::size_t from) noexcept
{
    for (std::size_t i = from; i < text.size(); ++i)
        if (text[i] == '\n' || text[i] == '\r')
            return i;
    return std::string_view::npos;
}

void AppendLine(std::string& out, std::string_view text)
{
    // Texts without a line end, all but never, take two library scans and one copy.
    if (text.empty() ||
        (!std::memchr(text.data(), '\n', text.size()) && !std::memchr(text.data(), '\r', text.size()))) {
        out.append(text);
        out.push_back('\n');
        return;
    }
    std::size_t start = 0;
    for (std::size_t at = FindLineEnd(text, 0); at != std::string_view::npos; at = FindLineEnd(text, start)) {
        out.append(text.substr(start, at - start));
        out.append(text[at] == '\n' ? "%0A" : "%0D");
        start = at + 1;
    }
    out.append(text.substr(start));
    out.push_back('\n');
}

// The header block goes out byte for byte with one LF after it, except a line of it that a
// reader would take for the record's closing "@" ("@" alone, or "@" CR): that "@" goes out
// as "%40", so the record ends only at the writer's own "@" line.
void AppendHeaderBlock(std::string& out, std::string_view header)
{
    if (header.find('@') == std::string_view::npos) {
        out.append(header);
        out.push_back('\n');
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = header.find('\n', start);
        const std::string_view line = header.substr(start, lf == std::string_view::npos ? lf : lf - start);
        if (line == "@" || line == "@\r") {
            out.append("%40");
            out.append(line.substr(1));
        } else {
            out.append(line);
        }
        out.push_back('\n');
        if (lf == std::string_view::npos)
            return;
        start = lf + 1;
    }
}

}  // namespace

void AppendDumpDate(std::string& out, std::uint64_t fileTime)
{
    // Only the calendar day is written: the whole days since 1601 (1601-01-01 lies 134774
    // days before 1970-01-01), as the system conversion gives it. The entries of a cache
    // share few days, so the texts of the days met are kept, one slot per day number (any
    // run of 1024 days in a row stays).
    struct DayText {
        std::int64_t day = -1;
        std::size_t size = 0;
        char text[24];
    };
    thread_local std::array<DayText, 1024> recent;
    constexpr std::uint64_t kTicksPerDay = kTicksPerSecond * 86400;
    const auto days1601 = static_cast<std::int64_t>(fileTime >> 63 ? 0 : fileTime / kTicksPerDay);
    DayText& slot = recent[static_cast<std::size_t>(days1601) % recent.size()];
    if (slot.day != days1601) {
        std::int64_t year;
        unsigned month, day;
        CivilFromDays(days1601 - 134774, year, month, day);
        char* p = std::to_chars(slot.text, slot.text + 3, month).ptr;
        *p++ = '/';
        p = std::to_chars(p, p + 3, day).ptr;
        *p++ = '/';
        p = std::to_chars(p, std::end(slot.text), year).ptr;
        slot.size = static_cast<std::size_t>(p - slot.text);
        slot.day = days1601;
    }
    out.append(slot.text, slot.size);
}

void AppendCacheDumpRecord(std::string& out, const inetcache::CacheEntry& entry)
{
    // The store's strings are zero-terminated texts: a record carries them up to the first zero.
    const auto text = [](const std::string& s) { return std::string_view(s.c_str()); };

    AppendLine(out, text(entry.sourceUrl));
    AppendLine(out, entry.localFileName ? text(*entry.localFileName) : kNone);
    AppendDecimal(out, static_cast<std::uint64_t>(entry.hitRate));
    out.push_back('\n');
    AppendDumpDate(out, entry.expireTime);
    out.push_back('\n');
    AppendDumpDate(out, entry.lastAccessTime);
    out.append("\n@\n");
    if (!entry.headerInfo.empty())
        AppendHeaderBlock(out, entry.headerInfo);  // zeros and CR LF included
    else
        AppendLine(out, kNone);
    out.append("@\n");
}

std::string FormatCacheDumpRecord(const inetcache::CacheEntry& entry)
{
    std::string out;
    AppendCacheDumpRecord(out, entry);
    return out;
}

CacheDumpWriter::CacheDumpWriter(const std::string& path) : m_path(path), m_tempPath(path + kDumpTempSuffix)
{
    // A file of its own, made anew (so 0600 and never a link's target), which takes the
    // dump's name only once it is whole.
    do {
        m_fd = ::mkostemp(m_tempPath.data(), O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        m_error = errno;
    m_buf.reserve(kBufferSize + 8192);
}

CacheDumpWriter::~CacheDumpWriter()
{
    Close();
}

void CacheDumpWriter::WriteRecord(const inetcache::CacheEntry& entry)
{
    if (m_fd < 0 || m_failed)
        return;
    AppendCacheDumpRecord(m_buf, entry);
    if (m_buf.size() >= kBufferSize)
        Flush();
}

void CacheDumpWriter::Fail(int error)
{
    if (!m_failed) {
        m_failed = true;
        m_error = error;
    }
}

void CacheDumpWriter::Flush()
{
    if (!m_failed && !posix::WriteAll(m_fd, m_buf))
        Fail(errno);  // a full disk, say: the rest of this file is lost
    m_buf.clear();
}

// The new dump trades names with the old one, which is then removed: a rename over an
// existing file makes the file system write the new file's data out at once (so that a
// crash cannot leave it empty), which cost a refresh more than the walk that wrote it, for
// a file that is rewritten at the next refresh and destroyed at exit. Readers see the old
// dump or the new one, never none; a kill between the two steps leaves the old one under
// the temporary name, which the next start removes. What is not a file the dump may
// replace (a folder) goes back to its name, and the dump fails as a rename would.
bool CacheDumpWriter::PutInPlace()
{
    if (::renameat2(AT_FDCWD, m_tempPath.c_str(), AT_FDCWD, m_path.c_str(), RENAME_EXCHANGE) == 0) {
        if (::unlink(m_tempPath.c_str()) == 0)
            return true;
        const int error = errno;
        ::renameat2(AT_FDCWD, m_tempPath.c_str(), AT_FDCWD, m_path.c_str(), RENAME_EXCHANGE);
        errno = error;
        return false;
    }
    return ::rename(m_tempPath.c_str(), m_path.c_str()) == 0;
}

bool CacheDumpWriter::Close()
{
    if (m_fd < 0)
        return false;
    Flush();
    if (::close(m_fd) != 0 && errno != EINTR)
        Fail(errno);
    m_fd = -1;
    // Not synced: a dump is rewritten at every refresh and destroyed at exit, and a start
    // destroys what a lost run left. Readers never see half a file.
    if (!m_failed && !PutInPlace())
        Fail(errno);
    if (m_failed)
        ::unlink(m_tempPath.c_str());  // the old dump, if any, stays as it was
    return !m_failed;
}

}  // namespace brimlow
