#pragma once
// Kill points: a piece of work runs in a child process whose file calls (the Platform's
// FileCalls seam) end it with SIGKILL right before a chosen call, as a crash, a power cut or
// "kill -9" would. A test runs the work once per call and looks at the files each end left.
#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace brimlow::test {

struct KillOutcome {
    bool killed = false;             // false: the work ran to its end before the chosen call
    std::vector<std::string> calls;  // the calls made before the end, by name (for messages)
};

// Forks; in the child, `calls` (put into the platform by `work`'s caller through the
// argument) counts every file call and ends the child right before call number `killAt`
// (0-based). The child's other output is discarded. Waits for it.
KillOutcome RunKilledAtCall(std::size_t killAt, const std::function<void(FileCalls& calls)>& work);

}  // namespace brimlow::test
