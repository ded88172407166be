#include "cachedump/DumpUrlCache.h"

#include <cstdlib>
#include <system_error>

#include "cachedump/CacheDumpRecord.h"
#include "host/DataFiles.h"
#include "platform/inetcache/InetCache.h"

namespace brimlow {

namespace {

// One walk: creates (truncates) the file, then writes every entry the store returns for the
// pattern until it reports an end or an error. 1 when the first lookup failed, else 0.
int DumpWalk(const char* pattern, std::string_view fileName, std::string_view folder,
             const std::filesystem::path& storeFolder)
{
    // Joined to the folder's text as it stands, the name's leading "\" becoming the separator.
    std::string path(folder);
    path.push_back('/');
    path.append(fileName.substr(1));
    // A file that cannot be created loses this walk's output; the walk still runs.
    CacheDumpWriter out(path);

    inetcache::CacheEntry entry;  // the one entry held in memory, reused call after call
    std::uint32_t bufferSize = kUrlCacheEntryBudget;
    std::unique_ptr<inetcache::CacheEnumeration> walk;
    if (!storeFolder.empty()) {  // empty: the user's store could not even be named
        try {
            walk = inetcache::FindFirstUrlCacheEntry(pattern, entry, bufferSize, storeFolder);
        } catch (...) {
            walk.reset();
        }
    }
    if (!walk)
        return 1;  // nothing for the pattern, a first entry over budget, or no usable store

    out.WriteRecord(entry);
    // An entry over budget, the end of the cache or any failure ends the walk; the size the
    // store asks for is not granted.
    try {
        for (;;) {
            bufferSize = kUrlCacheEntryBudget;
            if (!walk->FindNext(entry, bufferSize))
                break;
            out.WriteRecord(entry);
        }
    } catch (...) {
    }
    walk.reset();
    out.Close();
    return 0;
}

}  // namespace

int DumpModeFromArgument(const char* argument) noexcept
{
    return argument ? std::atoi(argument) : 0;
}

int DumpUrlCache(int mode, std::string_view folder, const std::filesystem::path& storeFolder)
{
    switch (mode) {
    case 1:
        DumpUrlCache(2, folder, storeFolder);
        return DumpWalk("", kAllDumpName, folder, storeFolder);
    case 2:
        DumpUrlCache(3, folder, storeFolder);
        return DumpWalk("cookie:", kCookieDumpName, folder, storeFolder);
    case 3:
        return DumpWalk("visited:", kVisitedDumpName, folder, storeFolder);
    case 4:
        return DumpWalk("cookie:", kCookieDumpName, folder, storeFolder);
    default:
        // 0, and any mode Brimlow never passes: the full dump.
        return DumpUrlCache(1, folder, storeFolder);
    }
}

int DumpUrlCache(int mode)
{
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    // No current directory to name (it was removed, say): open the files relative to it.
    const std::string folder = ec ? std::string(".") : cwd.string();
    std::filesystem::path store;
    try {
        store = inetcache::StoreFolder();
    } catch (...) {
    }
    return DumpUrlCache(mode, folder, store);
}

}  // namespace brimlow
