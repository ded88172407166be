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

    out.append(text(entry.sourceUrl));
    out.push_back('\n');
    if (entry.localFileName)
        out.append(text(*entry.localFileName));
    else
        out.append(kNone);
    out.push_back('\n');
    AppendDecimal(out, static_cast<std::uint64_t>(entry.hitRate));
    out.push_back('\n');
    AppendDumpDate(out, entry.expireTime);
    out.push_back('\n');
    AppendDumpDate(out, entry.lastAccessTime);
    out.append("\n@\n");
    if (!entry.headerInfo.empty()) {
        out.append(entry.headerInfo);  // every byte, zeros and CR LF included
        out.push_back('\n');
    } else {
        out.append(kNone);
        out.push_back('\n');
    }
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
            if (errno != EINTR)
                m_failed = true;  // a full disk, say: the rest of this file is lost
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
    if (::close(m_fd) != 0)
        m_failed = true;
    m_fd = -1;
    return !m_failed;
}

}  // namespace brimlow
