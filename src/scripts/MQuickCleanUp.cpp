#include "scripts/MQuickCleanUp.h"

#include <unordered_set>

#include "host/UserSettingsFile.h"
#include "platform/Numbers.h"

namespace brimlow {

CleanupCookieLists RebuildCleanupCookieLists(const std::vector<std::string>& dumpSources,
                                             const std::vector<std::string>& protectedSources, bool dumpHealthy)
{
    // Sets, so that a thousand sources rebuild in linear time.
    const std::unordered_set<std::string_view> isProtected(protectedSources.begin(), protectedSources.end());
    const std::unordered_set<std::string_view> inDump(dumpSources.begin(), dumpSources.end());
    CleanupCookieLists lists;
    for (const auto& source : dumpSources)
        if (!isProtected.count(source))
            lists.toDelete.push_back(source);
    for (const auto& p : protectedSources)
        if (!dumpHealthy || p.empty() || inDump.count(p))
            lists.protect.push_back(p);
    return lists;
}

bool IsScriptFileName(std::string_view name)
{
    return name.size() >= 4 && name.substr(name.size() - 4) == ".scr" && FitsInASettingsList(name);
}

DelayResult CheckDelay(std::string_view text)
{
    const std::optional<double> value = NumericValue(text);
    if (!value)
        return {DelayCheck::NotNumeric, 0};
    if (*value > 10000 || *value < 1)
        return {DelayCheck::OutOfRange, 0};
    return {DelayCheck::Ok, static_cast<int>(RoundHalfEven(*value))};
}

std::string MissingScriptMessage(std::string_view path)
{
    return "The requested file does not exist.\r\nPlease check the path and try again.\r\n" + std::string(path);
}

}  // namespace brimlow
