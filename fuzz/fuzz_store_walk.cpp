// The store walk over entries that another program wrote straight into index.sqlite: the
// walk returns exactly the rows whose url starts with the pattern (letter case ignored), in
// seq order, each field as stored, an entry too big for the buffer as 122 with the size it
// needs; and the dump of the walk reads back as one record per entry.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "FuzzSupport.h"
#include "cachebrowser/MUrlHound.h"
#include "cachedump/CacheDumpRecord.h"
#include "platform/inetcache/InetCache.h"
#include "platform/inetcache/Store.h"

using namespace brimlow;
using inetcache::CacheEntry;
namespace fs = std::filesystem;

namespace {

const fs::path g_store = fs::path("/dev/shm") / ("brimlow-fuzz-store-" + std::to_string(::getpid()));
// The scratch store goes when the run ends.
struct RemoveStore {
    ~RemoveStore() { std::error_code ec; fs::remove_all(g_store, ec); }
} g_removeStore;

bool StartsNoCase(const std::string& s, const std::string& prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(prefix[i]);
        if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a + 32);
        if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
        if (a != b)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path& store = g_store;
    fs::remove_all(store);
    FuzzedDataProvider in(data, size);
    const char* patterns[] = {"", "cookie:", "visited:"};
    const std::string pattern = patterns[in.ConsumeIntegralInRange<int>(0, 2)];
    const std::uint32_t budget = in.ConsumeIntegralInRange<std::uint32_t>(112, 1024);

    std::vector<CacheEntry> rows;
    {
        auto connection = inetcache::detail::OpenForWrite(store);
        inetcache::sqlite::Db& db = connection.db();
        inetcache::sqlite::Transaction tx(db);
        inetcache::detail::EnsureSchema(db);
        inetcache::sqlite::Statement st(db, "INSERT OR IGNORE INTO entries(url, local_file, hit_rate, expire_time, "
                                            "last_access_time, header) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
        while (in.remaining_bytes() > 0 && rows.size() < 12) {
            CacheEntry e;
            const int kind = in.ConsumeIntegralInRange<int>(0, 2);
            e.sourceUrl = std::string(kind == 0 ? "Cookie:" : kind == 1 ? "Visited: " : "http://") +
                          in.ConsumeRandomLengthString(40);
            if (in.ConsumeBool())
                e.localFileName = in.ConsumeRandomLengthString(24);
            e.hitRate = in.ConsumeIntegral<std::uint32_t>();
            e.expireTime = in.ConsumeIntegral<std::uint64_t>() >> 1;
            e.lastAccessTime = in.ConsumeIntegral<std::uint64_t>() >> 1;
            e.headerInfo = in.ConsumeRandomLengthString(200);
            inetcache::detail::BindEntry(st, e);
            st.Run();
            if (db.Changes() == 1)
                rows.push_back(std::move(e));
        }
        tx.Commit();
    }

    std::vector<CacheEntry> want;
    for (const auto& r : rows)
        if (pattern.empty() || StartsNoCase(r.sourceUrl, pattern))
            want.push_back(r);

    // The walk with the fuzzed budget, taking a too-big entry with the size it asks for.
    std::vector<CacheEntry> got;
    CacheEntry e;
    std::uint32_t buffer = budget;
    auto walk = inetcache::FindFirstUrlCacheEntry(pattern.c_str(), e, buffer, store);
    bool first = true;
    for (;;) {
        const bool ok = first ? walk != nullptr : walk->FindNext(e, buffer);
        if (!ok) {
            const auto error = inetcache::GetLastError();
            if (error == inetcache::kErrorInsufficientBuffer) {
                FUZZ_CHECK(got.size() < want.size());
                FUZZ_CHECK(buffer == inetcache::EntrySize(want[got.size()]) && buffer > budget);
                if (first)
                    walk = inetcache::FindFirstUrlCacheEntry(pattern.c_str(), e, buffer, store);
                else
                    FUZZ_CHECK(walk->FindNext(e, buffer));
                FUZZ_CHECK(!first || walk);
            } else {
                FUZZ_CHECK(error == inetcache::kErrorNoMoreItems);
                break;
            }
        }
        first = false;
        got.push_back(e);
        buffer = budget;
    }
    FUZZ_CHECK(got.size() == want.size());
    std::string dump;
    for (std::size_t i = 0; i < got.size(); ++i) {
        FUZZ_CHECK(got[i].sourceUrl == want[i].sourceUrl);
        FUZZ_CHECK(got[i].localFileName == want[i].localFileName);
        FUZZ_CHECK(got[i].hitRate == want[i].hitRate);
        FUZZ_CHECK(got[i].expireTime == want[i].expireTime);
        FUZZ_CHECK(got[i].lastAccessTime == want[i].lastAccessTime);
        FUZZ_CHECK(got[i].headerInfo == want[i].headerInfo);
        AppendCacheDumpRecord(dump, got[i]);
    }
    static fuzz::MemoryFile file;
    file.Set(dump);
    FUZZ_CHECK(ReadCacheDump(file.path()).size() == got.size());
    return 0;
}
