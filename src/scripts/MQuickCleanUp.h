#pragma once
// The Qt-free rules of the Quick Clean Up page: which cookie sources each list holds after
// a rebuild, which files are scripts, and the delay check of "Execute".
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brimlow {

struct CleanupCookieLists {
    std::vector<std::string> toDelete;   // "Cookies To Be Deleted:"
    std::vector<std::string> protect;    // "Protected Cookies:"
};

// Rebuilds both lists from the cookie dump's sources (in dump order): every source that is
// not protected is to be deleted (twice when the dump lists it twice), and a protected
// entry that names no source any more is dropped (an empty entry is kept). Exact compares.
// Only a dump that loaded healthy (a healthy store, read whole) may drop a protected entry:
// after a store that could not be read, damaged or busy, or a dump cut short, the protected
// entries stay as they are, so the settings keep them and no later Execute deletes them.
CleanupCookieLists RebuildCleanupCookieLists(std::vector<std::string> dumpSources,
                                             const std::vector<std::string>& protectedSources,
                                             bool dumpHealthy = true);

// A script file of the working folder: its name ends in ".scr", in exactly that case, and
// the settings file can keep its check (a name with a line end in it would come back as two
// names, so such a file is not taken for a script).
bool IsScriptFileName(std::string_view name);

enum class DelayCheck { Ok, NotNumeric, OutOfRange };

struct DelayResult {
    DelayCheck check = DelayCheck::Ok;
    int intervalMs = 0;  // when Ok: the text rounded to a whole number, a half to even
};

inline constexpr const char* kDelayNotNumeric = "Delay Script value must be numeric.";
inline constexpr const char* kDelayOutOfRange = "Delay Script value can not be greater than 10000 or less than 1.";
inline constexpr const char* kDelayErrorTitle = "Delay Error";

// The delay box's text: a number from 1 to 10000 (both included) in milliseconds.
DelayResult CheckDelay(std::string_view text);

// The missing-file message of the page and the runner, for a full path.
std::string MissingScriptMessage(std::string_view path);
inline constexpr const char* kFileIoErrorTitle = "File I\\O Error";

}  // namespace brimlow
