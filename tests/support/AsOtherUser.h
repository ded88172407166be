#pragma once
// Runs a piece of a test as an unprivileged user (uid/gid 65534) in a forked child, so a
// permission denial really happens even when the suite runs as root. The child's result is
// the value `body` returns (0..255); a crash or a failed drop reports -1.
#include <functional>

namespace brimlow::test {

int RunAsOtherUser(const std::function<int()>& body);

}  // namespace brimlow::test
