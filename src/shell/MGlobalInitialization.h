#pragma once
// The exit clean-up: what the shut-down releases and destroys before the process ends.
#include <array>

#include "platform/Platform.h"
#include "scripts/ScriptTutorial.h"

namespace brimlow {

// The data files destroyed at every exit, in this order. The activity log goes last, so
// the entry about its own destruction is the only one it holds afterwards.
inline constexpr std::array<const char*, 5> kExitDataFiles{
    "\\OrlinAll.dat", "\\OrlinCookie.dat", "\\OrlinVisited.dat", "\\BrimlowTemp.dat", "\\ActivityReport.dat"};

// Empties the module arrays and collections that live until exit.
void ReleaseGlobals();

// Overwrites and deletes each data file of the program folder that exists (names match
// without regard to letter case); a missing one is skipped without a log entry.
void BleachDataFiles(const Platform& platform);

}  // namespace brimlow
