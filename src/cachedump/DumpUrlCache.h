#pragma once
// UrlHound's walks of the Internet cache. A dump mode picks the walks, each of which writes
// one dump file in the folder:
//   0: mode 1 (visited, cookie, all)   1: mode 2, then every entry -> OrlinAll.dat
//   2: mode 3, then "cookie:" -> OrlinCookie.dat   3: "visited:" -> OrlinVisited.dat
//   4: "cookie:" -> OrlinCookie.dat only
// The result is that of the mode's own walk: 0 when it found a first entry, 1 when the
// first lookup failed. Modes outside 0..4 are taken as 0, the full dump Brimlow reads.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace brimlow {

// Every entry must fit this many bytes; one that needs more ends its walk.
inline constexpr std::uint32_t kUrlCacheEntryBudget = 4096;

// The mode as UrlHound reads its first argument: leading blanks, a sign, digits (atoi).
int DumpModeFromArgument(const char* argument) noexcept;

// Runs the walks of `mode` into the current directory, over the user's store.
int DumpUrlCache(int mode);
// The same into `folder` (its text, joined directly to "/OrlinAll.dat" and the others)
// over the store in `storeFolder`.
int DumpUrlCache(int mode, std::string_view folder, const std::filesystem::path& storeFolder);

}  // namespace brimlow
