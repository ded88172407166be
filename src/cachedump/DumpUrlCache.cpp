#include "cachedump/DumpUrlCache.h"

#include <cstdlib>
#include <cstring>
#include <system_error>

#include "cachedump/CacheDumpRecord.h"
#include "host/DataFiles.h"
#include "platform/inetcache/InetCache.h"

namespace brimlow {

namespace {

// The first failure of a run: every later walk meets the same store, and one line says it.
void Note(DumpOutcome& failure, int status, std::string problem)
{
    if (failure.status != kDumpFound)
        return;
    failure.status = status;
    failure.problem = std::move(problem);
}

// A store call that failed with `error`; the ends of a walk (259, 122) are no failure.
void NoteStoreError(DumpOutcome& failure, std::uint32_t error, const std::filesystem::path& storeFolder)
{
    const std::string index = (storeFolder / "index.sqlite").string();
    switch (error) {
    case inetcache::kErrorNoMoreItems:
    case inetcache::kErrorInsufficientBuffer:
        return;
    case inetcache::kErrorAccessDenied:
        Note(failure, kDumpStoreUnreadable, "the Internet cache store " + index + " cannot be read: permission denied");
        return;
    case inetcache::kErrorFileCorrupt:
        Note(failure, kDumpStoreDamaged, "the Internet cache store " + index + " is damaged or is not a store");
        return;
    case inetcache::kErrorRevisionMismatch:
        Note(failure, kDumpStoreNewer,
             "the Internet cache store " + index + " was written by a newer version; it is left untouched");
        return;
    default:
        Note(failure, kDumpStoreFailed,
             "the Internet cache store " + index + " failed (error " + std::to_string(error) + ")");
        return;
    }
}

// One walk: creates (truncates) the file, then writes every entry the store returns for the
// pattern until it reports an end or an error. 1 when the first lookup failed, else 0; what
// kept the walk from its work goes into `failure`.
int DumpWalk(const char* pattern, std::string_view fileName, std::string_view folder,
             const std::filesystem::path& storeFolder, DumpOutcome& failure)
{
    // Joined to the folder's text as it stands, the name's leading "\" becoming the separator.
    std::string path(folder);
    path.push_back('/');
    path.append(fileName.substr(1));
    // A file that cannot be created loses this walk's output; the walk still runs.
    CacheDumpWriter out(path);
    const auto closeFile = [&] {
        if (!out.Close() && out.error() != 0)
            Note(failure, kDumpFolderUnwritable, "cannot write " + path + ": " + std::strerror(out.error()));
    };

    inetcache::CacheEntry entry;  // the one entry held in memory, reused call after call
    std::uint32_t bufferSize = kUrlCacheEntryBudget;
    std::unique_ptr<inetcache::CacheEnumeration> walk;
    if (storeFolder.empty()) {  // the user's store could not even be named
        Note(failure, kDumpStoreFailed, "the Internet cache store's folder cannot be named");
    } else {
        try {
            walk = inetcache::FindFirstUrlCacheEntry(pattern, entry, bufferSize, storeFolder);
            if (!walk) {
                const std::uint32_t error = inetcache::GetLastError();
                if (error == inetcache::kErrorNoMoreItems && !inetcache::UrlCacheStoreExists(storeFolder))
                    Note(failure, kDumpNoStore,
                         "no Internet cache store in " + storeFolder.string() + " (it holds no index.sqlite)");
                else
                    NoteStoreError(failure, error, storeFolder);
            }
        } catch (...) {
            walk.reset();
            Note(failure, kDumpStoreFailed, "the Internet cache store in " + storeFolder.string() + " failed");
        }
    }
    if (!walk) {
        closeFile();
        return 1;  // nothing for the pattern, a first entry over budget, or no usable store
    }

    out.WriteRecord(entry);
    // An entry over budget, the end of the cache or any failure ends the walk; the size the
    // store asks for is not granted. A failure other than those two ends is reported: the
    // dump then holds only part of the cache.
    try {
        for (;;) {
            bufferSize = kUrlCacheEntryBudget;
            if (!walk->FindNext(entry, bufferSize)) {
                NoteStoreError(failure, inetcache::GetLastError(), storeFolder);
                break;
            }
            out.WriteRecord(entry);
        }
    } catch (...) {
        Note(failure, kDumpStoreFailed, "the Internet cache store in " + storeFolder.string() + " failed");
    }
    walk.reset();
    closeFile();
    return 0;
}

int DumpModes(int mode, std::string_view folder, const std::filesystem::path& storeFolder, DumpOutcome& failure)
{
    switch (mode) {
    case 1:
        DumpModes(2, folder, storeFolder, failure);
        return DumpWalk("", kAllDumpName, folder, storeFolder, failure);
    case 2:
        DumpModes(3, folder, storeFolder, failure);
        return DumpWalk("cookie:", kCookieDumpName, folder, storeFolder, failure);
    case 3:
        return DumpWalk("visited:", kVisitedDumpName, folder, storeFolder, failure);
    case 4:
        return DumpWalk("cookie:", kCookieDumpName, folder, storeFolder, failure);
    default:
        // 0, and any mode Brimlow never passes: the full dump.
        return DumpModes(1, folder, storeFolder, failure);
    }
}

}  // namespace

int DumpModeFromArgument(const char* argument) noexcept
{
    return argument ? std::atoi(argument) : 0;
}

DumpOutcome DumpUrlCache(int mode, std::string_view folder, const std::filesystem::path& storeFolder)
{
    DumpOutcome failure;
    const int own = DumpModes(mode, folder, storeFolder, failure);
    if (failure.status != kDumpFound)
        return failure;
    return DumpOutcome{own, {}};
}

DumpOutcome DumpUrlCache(int mode, const std::filesystem::path& storeFolder)
{
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    // No current directory to name (it was removed, say): open the files relative to it.
    const std::string folder = ec ? std::string(".") : cwd.string();
    return DumpUrlCache(mode, folder, storeFolder);
}

}  // namespace brimlow
