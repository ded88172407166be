#pragma once
// The one place where Brimlow starts another program: UrlHound, found in the tool folder,
// hidden, with the working folder as its current folder, waited for without a time limit.
// The callers read whatever dump files the working folder then holds.
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

}  // namespace brimlow
