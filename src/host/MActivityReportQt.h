#pragma once
// The activity log shown in a text box: the one procedure of the log that needs a widget.
#include "platform/Platform.h"

class QPlainTextEdit;

namespace brimlow {

// The box's text becomes the whole log, or "" when there is none (a zero-byte log too).
void LoadActivityLog(const Platform& platform, QPlainTextEdit* box);

}  // namespace brimlow
