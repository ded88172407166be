#pragma once
// UrlHound's walks of the Internet cache. A dump mode picks the walks, each of which writes
// one dump file in the folder:
//   0: mode 1 (visited, cookie, all)   1: mode 2, then every entry -> OrlinAll.dat
//   2: mode 3, then "cookie:" -> OrlinCookie.dat   3: "visited:" -> OrlinVisited.dat
//   4: "cookie:" -> OrlinCookie.dat only
// The status is that of the mode's own walk: 0 when it found a first entry, 1 when the
// first lookup found nothing (or a first entry over budget) in a healthy store. When a walk
// could not do its work (no store, a store it may not read, a damaged or newer store, a dump
// file it could not write) the status names that cause instead, whichever walk met it, so
// that an empty dump is never taken for an empty cache. Modes outside 0..4 are taken as 0,
// the full dump Brimlow reads.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "host/UrlHoundStatus.h"

namespace brimlow {

// Every entry must fit this many bytes; one that needs more ends its walk.
inline constexpr std::uint32_t kUrlCacheEntryBudget = 4096;

struct DumpOutcome {
    int status = kDumpFound;
    // Empty, or one line (without its line end) saying what failed and where.
    std::string problem;
};

// The mode as UrlHound reads its first argument: leading blanks, a sign, digits (atoi).
int DumpModeFromArgument(const char* argument) noexcept;

// Runs the walks of `mode` into the current directory, over the store in `storeFolder`.
DumpOutcome DumpUrlCache(int mode, const std::filesystem::path& storeFolder);
// The same into `folder` (its text, joined directly to "/OrlinAll.dat" and the others)
// over the store in `storeFolder`.
DumpOutcome DumpUrlCache(int mode, std::string_view folder, const std::filesystem::path& storeFolder);

}  // namespace brimlow
