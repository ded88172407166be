#pragma once
// The exit clean-up: what the shut-down releases and destroys before the process ends.
#include "host/DataFiles.h"
#include "platform/Platform.h"
#include "scripts/ScriptTutorial.h"

namespace brimlow {

// Empties the module arrays and collections that live until exit.
void ReleaseGlobals();

// Overwrites and deletes each data file of the program folder that exists (names match
// without regard to letter case); a missing one is skipped without a log entry.
void BleachDataFiles(const Platform& platform);

}  // namespace brimlow
