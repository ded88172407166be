#pragma once
// What a test can read of a running child from outside, to wait for a state instead of
// guessing it with a sleep.
#include <sys/types.h>

namespace brimlow::test {

// True once the process has a handler for `signal` (its SigCgt mask in /proc). Brimlow
// installs its stop-signal handlers when its load has ended, just before its main loop.
bool CatchesSignal(pid_t pid, int signal);

}  // namespace brimlow::test
