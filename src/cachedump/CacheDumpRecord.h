#pragma once
// The dump files UrlHound writes and Brimlow reads: a headerless run of eight-line records
// per cache entry (source URL, local file or "N\A", hit rate, expiry date, last access date,
// "@", header block or "N\A", "@"), every line ended by a single LF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/DataFiles.h"
#include "platform/inetcache/InetCache.h"

namespace brimlow {

// A FILETIME as the UTC date "M/D/YYYY" without leading zeros. A time the calendar
// conversion refuses (top bit set) is written as the zero time's date, 1/1/1601.
void AppendDumpDate(std::string& out, std::uint64_t fileTime);

// One record, appended to `out` byte for byte as it goes into the file. No content can add,
// drop or shift a record: a CR or LF in the URL or the file name is written as "%0D" or
// "%0A", and a header line that would read as the closing "@" has its "@" written as "%40".
void AppendCacheDumpRecord(std::string& out, const inetcache::CacheEntry& entry);
std::string FormatCacheDumpRecord(const inetcache::CacheEntry& entry);

// A dump file written through a 64 KiB buffer into a temporary file of its own beside it
// (the dump's name and kDumpTempSuffix, made by mkstemp: mode 0600, and a link planted under
// the dump's name is never followed), which Close renames over the dump. A file that cannot
// be created or written swallows the rest of its output, so the walk goes on, and leaves the
// old dump as it was; error() then tells why (the errno of the first failure), for UrlHound
// to report.
class CacheDumpWriter {
public:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    explicit CacheDumpWriter(const std::string& path);
    ~CacheDumpWriter();
    CacheDumpWriter(const CacheDumpWriter&) = delete;
    CacheDumpWriter& operator=(const CacheDumpWriter&) = delete;

    bool isOpen() const noexcept { return m_fd >= 0; }
    // 0, or the errno of the first failure to create, write, close or rename the file.
    int error() const noexcept { return m_error; }
    void WriteRecord(const inetcache::CacheEntry& entry);
    // Flushes, closes and puts the file in the dump's place; true when every byte got there.
    bool Close();

private:
    void Flush();
    void Fail(int error);
    bool PutInPlace();
    std::string m_path;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_failed = false;
    int m_error = 0;
    std::string m_buf;
};

}  // namespace brimlow
