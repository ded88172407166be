#pragma once
// The activity log "ActivityReport.dat" in the program folder: a journal for the user that
// every tab appends to. Each call opens and closes the file itself, so an entry is in the
// file when the call returns and nothing is buffered between calls. Failures are not caught
// here: they go to the caller as RuntimeError.
#include <string>
#include <string_view>

#include "host/DataFiles.h"
#include "platform/Platform.h"

namespace brimlow {

std::filesystem::path ActivityLogPath(const Platform& platform);

// Appends the text unchanged, creating the log when it is missing.
void AppendActivityLog(const Platform& platform, std::string_view text);

// A name or value (a cookie's, a source's, a script's path, keys) as it stands in a log
// entry: every control byte (CR, LF, the others below space, and DEL) shows as \xHH, so no
// name can end the line it stands in and make what follows read as an entry of its own.
// A backslash before "x" shows as \x5C, so that every \xHH in an entry is an escape. Other
// bytes are kept as they are. Every writer puts foreign text into the log through it.
std::string LogSafe(std::string_view text);

// For a caller whose work is done whatever becomes of its entry (a file destroyed stays
// destroyed): appends as AppendActivityLog does, and when the log cannot be written says so
// in a message box, once, in place of failing. Later failures are silent until an append
// works again. False when the entry could not be written.
bool AppendActivityLogOrSay(const Platform& platform, std::string_view text);
// Replaces the log by one that holds two empty lines (CR LF CR LF).
void ResetActivityLog(const Platform& platform);
// The whole log, or "" when there is none.
std::string ReadActivityLog(const Platform& platform);

}  // namespace brimlow
