#include "host/MRunUrlHound.h"

namespace brimlow {

std::vector<std::string> UrlHoundCommand(const Platform& platform, bool cookieOnly)
{
    std::vector<std::string> argv{(platform.programFolder / kUrlHoundName).string()};
    if (cookieOnly)
        argv.emplace_back("4");
    return argv;
}

void RunHiddenAndWait(const Platform& platform, const std::vector<std::string>& command)
{
    if (platform.runner)
        platform.runner->RunAndWait(command, platform.programFolder);
}

}  // namespace brimlow
