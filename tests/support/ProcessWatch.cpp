#include "support/ProcessWatch.h"

#include <fstream>
#include <string>

namespace brimlow::test {

bool CatchesSignal(pid_t pid, int signal)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1u;
    }
    return false;
}

}  // namespace brimlow::test
