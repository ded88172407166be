#pragma once
// One run at a time. A script plays into one program at a time, and the script editor shows
// the script being played; so while a run is under way, a request that would start another
// run or change the script being played is refused or ignored:
//
//   request        | a script plays (Test or clean-up) | a clean-up is under way, no script plays
//   ---------------+-----------------------------------+-----------------------------------------
//   Test, Load     | refused, "Test Running"           | refused, "Test Running"
//   Execute        | ignored in a clean-up, else       | ignored
//                  | refused, "Test Running"           |
//   Edit Script,   | ignored                           | ignored
//   New Script     |                                   |
//   Delete Script  | ignored in a clean-up, else done  | ignored
//
// A clean-up that stands still (its script was refused) is not under way: the user may mend
// the script and test it, and Execute resumes it.
#include <string>

namespace brimlow {

enum class RunRequest { Test, Execute, Load, EditScript, NewScript, DeleteScript };

enum class RunVerdict {
    Allow,
    Refuse,  // with the "Test Running" message
    Ignore,  // nothing happens
};

RunVerdict JudgeRunRequest(RunRequest request, bool scriptPlaying, bool cleanupUnderWay);

inline constexpr const char* kTestRunningTitle = "Test Running";
inline constexpr const char* kTestRunningMessage =
    "A script is being tested already.\r\nPlease wait until it has finished.";
inline constexpr const char* kCleanupRunningMessage =
    "The quick clean-up is running.\r\nPlease wait until it has finished.";

// The refusal's text: the script being played, or else the clean-up.
inline const char* RunningMessage(bool scriptPlaying)
{
    return scriptPlaying ? kTestRunningMessage : kCleanupRunningMessage;
}

}  // namespace brimlow
