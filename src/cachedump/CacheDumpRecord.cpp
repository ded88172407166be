#include "cachedump/CacheDumpRecord.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileTime.h"

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
void AppendLine(std::string& out, std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t at = text.find_first_of("\r\n"); at != std::string_view::npos;
         at = text.find_first_of("\r\n", start)) {
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
    const auto st = FileTimeToSystemTime(fileTime);
    const SystemTime date = st ? *st : SystemTime{};
    AppendDecimal(out, date.month);
    out.push_back('/');
    AppendDecimal(out, date.day);
    out.push_back('/');
    AppendDecimal(out, date.year);
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

CacheDumpWriter::CacheDumpWriter(const std::string& path)
{
    do {
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
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

void CacheDumpWriter::Flush()
{
    std::size_t done = 0;
    while (!m_failed && done < m_buf.size()) {
        const ssize_t n = ::write(m_fd, m_buf.data() + done, m_buf.size() - done);
        if (n < 0) {
            if (errno != EINTR) {
                m_failed = true;  // a full disk, say: the rest of this file is lost
                m_error = errno;
            }
            continue;
        }
        done += static_cast<std::size_t>(n);
    }
    m_buf.clear();
}

bool CacheDumpWriter::Close()
{
    if (m_fd < 0)
        return false;
    Flush();
    if (::close(m_fd) != 0 && !m_failed) {
        m_failed = true;
        m_error = errno;
    }
    m_fd = -1;
    return !m_failed;
}

}  // namespace brimlow
