#pragma once
// The one place where Brimlow starts another program: UrlHound, hidden, in the program
// folder, waited for without a time limit. Its exit code is not read and a failed start is
// not reported; the callers read whatever dump files the program folder then holds.
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

void RunHiddenAndWait(const Platform& platform, const std::vector<std::string>& command);

}  // namespace brimlow
