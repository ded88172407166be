#pragma once
// Brimlow's command line: "--help" and "--version" print and end the program before any
// window opens or any file is touched, and they need no display. Brimlow takes no other
// argument; the window system's own options (-platform, -style, ...) are the toolkit's.
#include <QStringList>
#include <optional>
#include <string>

namespace brimlow {

// Before the application object exists: the exit status when the program is to end now
// (help or version printed), otherwise nothing.
std::optional<int> AnswerInformationRequest(int argc, char** argv, const std::string& version);

// With the application object, whose arguments have lost the toolkit's own options: false,
// with a message on standard error, when an option or argument is left that Brimlow does not know.
bool CheckRemainingArguments(const QStringList& arguments);

}  // namespace brimlow
