#include "scripts/MQuickCleanUp.h"

#include <unordered_map>
#include <utility>

#include "host/UserSettingsFile.h"
#include "platform/Numbers.h"

namespace brimlow {

CleanupCookieLists RebuildCleanupCookieLists(std::vector<std::string> dumpSources,
                                             const std::vector<std::string>& protectedSources, bool dumpHealthy)
{
    // A set of the protected entries alone (a handful, where the dump may hold 100,000
    // sources), marked as the dump names them; the sources to delete stay where they are,
    // closed up over the protected ones, and become the list.
    std::unordered_map<std::string_view, bool> named;
    named.reserve(protectedSources.size());
    for (const auto& p : protectedSources)
        named.emplace(p, false);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < dumpSources.size(); ++i) {
        const auto it = named.find(dumpSources[i]);
        if (it != named.end()) {
            it->second = true;
            continue;
        }
        if (kept != i)
            dumpSources[kept] = std::move(dumpSources[i]);
        ++kept;
    }
    dumpSources.resize(kept);
    CleanupCookieLists lists;
    for (const auto& p : protectedSources)
        if (!dumpHealthy || p.empty() || named.at(p))
            lists.protect.push_back(p);
    lists.toDelete = std::move(dumpSources);
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
