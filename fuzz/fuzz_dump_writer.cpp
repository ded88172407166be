// UrlHound's record writer, read back by the cache dump loader: whatever the store's entries
// hold, the dump reads back as exactly one record per entry, each field as written (a CR or
// LF in a value line as "%0D" or "%0A", a header line "@" as "%40").
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cachebrowser/MUrlHound.h"
#include "cachedump/CacheDumpRecord.h"

using namespace brimlow;

namespace {

std::string Escaped(const std::string& raw)
{
    std::string out;
    for (char c : std::string(raw.c_str()))  // up to the first zero, as the writer takes it
        out += c == '\n' ? "%0A" : c == '\r' ? "%0D" : std::string(1, c);
    return out;
}

std::string HeaderAsRead(const std::string& header)
{
    if (header.empty())
        return "\r\nN\\A\r\n";
    std::string out = "\r\n";
    for (std::string line : fuzz::PlainLines(header + "\n"))
        out += (line == "@" ? "%40" : line) + "\r\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile file;
    FuzzedDataProvider in(data, size);
    std::vector<inetcache::CacheEntry> entries;
    std::string dump;
    while (in.remaining_bytes() > 0 && entries.size() < 16) {
        inetcache::CacheEntry e;
        e.sourceUrl = in.ConsumeRandomLengthString(64);
        if (in.ConsumeBool())
            e.localFileName = in.ConsumeRandomLengthString(32);
        e.hitRate = in.ConsumeIntegral<std::uint32_t>();
        e.expireTime = in.ConsumeIntegral<std::uint64_t>();
        e.lastAccessTime = in.ConsumeIntegral<std::uint64_t>();
        e.headerInfo = in.ConsumeRandomLengthString(128);
        AppendCacheDumpRecord(dump, e);
        entries.push_back(std::move(e));
    }
    file.Set(dump);
    const auto records = ReadCacheDump(file.path());
    FUZZ_CHECK(records.size() == entries.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& e = entries[i];
        const auto& r = records[i];
        FUZZ_CHECK(r.Source == Escaped(e.sourceUrl));
        FUZZ_CHECK(r.Location == (e.localFileName ? Escaped(*e.localFileName) : "N\\A"));
        FUZZ_CHECK(r.HitRate == std::to_string(e.hitRate));
        std::string date;
        AppendDumpDate(date, e.expireTime);
        FUZZ_CHECK(r.Expires == date);
        FUZZ_CHECK(r.Header == HeaderAsRead(e.headerInfo));
    }
    return 0;
}
