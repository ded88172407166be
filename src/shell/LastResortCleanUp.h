#pragma once
// The exit clean-up for the ways out that bypass the shut-down: the display going away (the
// window system library ends the process with exit()), exit() called by any library, a
// fatal error or an escaped exception. Armed when the main window's load begins and
// disarmed by the shut-down, which destroys the data files itself.
#include "platform/Platform.h"

namespace brimlow {

// Remembers the platform (its seams must outlive the process's last exit handler, as the
// objects of main do when exit() is called) and, the first time, hooks the clean-up into
// exit(). Arming again replaces the platform.
void ArmLastResortCleanUp(const Platform& platform);
// The shut-down runs (or the platform goes away): the clean-up will not run.
void DisarmLastResortCleanUp() noexcept;
bool LastResortCleanUpArmed() noexcept;

// When armed: destroys the data files as the shut-down does, without any window (failures
// are only logged), then logs that the program ended without its shut-down. Runs at most
// once; later calls do nothing.
void RunLastResortCleanUp() noexcept;

inline constexpr const char* kLastResortLogLine =
    "Brimlow ended without its shut-down; the data files were destroyed on the way out.\r\n";

}  // namespace brimlow
