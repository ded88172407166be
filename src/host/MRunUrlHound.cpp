#include "host/MRunUrlHound.h"

namespace brimlow {

std::vector<std::string> UrlHoundCommand(const Platform& platform, bool cookieOnly)
{
    const auto& folder = platform.toolFolder.empty() ? platform.programFolder : platform.toolFolder;
    std::vector<std::string> argv{(folder / kUrlHoundName).string()};
    if (cookieOnly)
        argv.emplace_back("4");
    return argv;
}

RunOutcome RunHiddenAndWait(const Platform& platform, const std::vector<std::string>& command)
{
    if (!platform.runner)
        return {};
    return platform.runner->RunAndReport(command, platform.programFolder);
}

}  // namespace brimlow
