#pragma once
// The one place where Brimlow starts another program: UrlHound, found in the tool folder,
// hidden, with the working folder as its current folder, waited for without a time limit.
// The callers read whatever dump files the working folder then holds.
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace brimlow {

#ifdef _WIN32
inline constexpr const char* kUrlHoundName = "UrlHound.exe";
#else
inline constexpr const char* kUrlHoundName = "UrlHound";
#endif

// The command for a run of UrlHound: all three dumps, or the cookie dump only ("4").
std::vector<std::string> UrlHoundCommand(const Platform& platform, bool cookieOnly);

RunOutcome RunHiddenAndWait(const Platform& platform, const std::vector<std::string>& command);

// What the user is told of a run that failed: a message in plain words that says what
// failed and where (the store's folder, the program folder), and the activity log's line.
struct UrlHoundFailure {
    std::string message;
    std::string logEntry;  // "ERROR: ...", ended by CR LF
};

// Nothing for a run that worked, an empty but healthy store included.
std::optional<UrlHoundFailure> UrlHoundFailureFor(const Platform& platform, const RunOutcome& outcome);

// Runs UrlHound as RunHiddenAndWait does and, when the run failed, says so once: a message
// box and an entry in the activity log. While the same failure lasts (every refresh meets
// it again) it is not said again; a run that works lets the next failure speak.
RunOutcome RunUrlHound(const Platform& platform, bool cookieOnly);

// Whether the last run of RunUrlHound walked a healthy store (found entries, or found none
// in a store that is there and readable), so its dumps tell what the store holds. True
// before any run and on a platform that runs nothing: the dumps there are what they are.
bool LastUrlHoundRunHealthy();

}  // namespace brimlow
