#pragma once
// Saving a report the user asked to keep, and telling the user a file could not be used.
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace brimlow {

// "<number>Error <verb> file: <name>" in a box with the program's title, as the pages
// report a file they could not open, write or delete.
void ShowFileError(const Platform& platform, int number, std::string_view verb, const std::string& name);

// Asks for a file name in the text report dialog and writes `text` there, replacing the
// file. Cancelled: nothing happens and nothing is said. A file that cannot be written is
// reported by ShowFileError ("opening").
void SaveReportAs(const Platform& platform, const std::string& text);

}  // namespace brimlow
