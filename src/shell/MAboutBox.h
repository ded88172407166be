#pragma once
// The about box's and the Help menu's work that needs no window: the web pages the program
// opens, the registry read that finds the system information tool, and starting it.
#include <cstdint>
#include <string>

#include "host/WebPages.h"
#include "platform/Platform.h"

namespace brimlow {

inline constexpr const char* kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kSysInfoValue = "PATH";
inline constexpr const char* kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSysInfoLocationValue = "MSINFO";
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// Reads one registry value as text into keyVal. A string is kept without its closing NUL;
// a DWORD becomes the number its bytes spell (see the .cpp); any other type leaves keyVal
// as it was. Returns false, with keyVal "", when the key or value cannot be read or the
// value is larger than 1024 bytes. A value with no data at all throws RuntimeError (5).
bool GetKeyValue(const Platform& platform, std::uint32_t keyRoot, const std::string& keyName,
                 const std::string& subKeyRef, std::string& keyVal);

// Starts the system information tool from the first registry location, else from the
// folder of the second; shows "System Information Is Unavailable At This Time" when
// neither gives a program that starts.
void StartSysInfo(const Platform& platform);

}  // namespace brimlow
