#include "host/MRunUrlHound.h"

#include <cstring>

#include "host/MActivityReport.h"
#include "host/UrlHoundStatus.h"
#include "platform/Errors.h"

namespace brimlow {

namespace {

// The failure said last; the same one is not said again until a run works.
std::string& LastFailureSaid()
{
    static std::string said;
    return said;
}

bool& LastRunHealthy()
{
    static bool healthy = true;
    return healthy;
}

std::filesystem::path ToolPath(const Platform& platform)
{
    return UrlHoundCommand(platform, false).front();
}

UrlHoundFailure StoreFailure(const Platform& platform, const std::string& what, const std::string& logWhat)
{
    const std::string store = platform.storeFolder.empty() ? std::string("(none)") : platform.storeFolder.string();
    return {what + "\r\nThe cache and cookie lists stay empty.\r\n\r\nStore folder: " + store,
            "ERROR: " + logWhat + ": " + store + "\r\n"};
}

}  // namespace

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
    // UrlHound walks the store that this program's cookie calls change, whatever this
    // process's own environment says.
    RunEnvironment environment;
    if (!platform.storeFolder.empty())
        environment.push_back(std::string(kStoreFolderVariable) + "=" + platform.storeFolder.string());
    return platform.runner->RunAndReport(command, platform.programFolder, environment);
}

std::optional<UrlHoundFailure> UrlHoundFailureFor(const Platform& platform, const RunOutcome& outcome)
{
    const std::string tool = ToolPath(platform).string();
    // 127: the shell's and some spawners' way of saying the program was not there.
    if (!outcome.started || outcome.exitStatus == 127) {
        const std::string why = outcome.startError ? std::strerror(outcome.startError) : "it was not found";
        return UrlHoundFailure{"UrlHound, the program that reads the Internet cache, could not be started (" + why +
                                   ").\r\nThe cache and cookie lists cannot be refreshed.\r\n\r\nProgram folder: " +
                                   ToolPath(platform).parent_path().string(),
                               "ERROR: UrlHound could not be started (" + why + "): " + tool + "\r\n"};
    }
    switch (outcome.exitStatus) {
    case kDumpFound:
    case kDumpNothingFound:
        return std::nullopt;
    case kDumpNoStore:
        return StoreFailure(platform,
                            "There is no Internet cache store: nothing has put an entry into it yet, or it is "
                            "looked for in the wrong folder.",
                            "no Internet cache store");
    case kDumpStoreUnreadable:
        return StoreFailure(platform,
                            "The Internet cache store cannot be read: this user has no permission to read it.",
                            "the Internet cache store cannot be read (permission denied)");
    case kDumpStoreDamaged:
        return StoreFailure(platform,
                            "The Internet cache store is damaged, or its index file is not a store.",
                            "the Internet cache store is damaged");
    case kDumpStoreNewer:
        return StoreFailure(platform,
                            "The Internet cache store was written by a newer version of the program; it is "
                            "left untouched.",
                            "the Internet cache store is of a newer version");
    case kDumpFolderUnwritable:
        return UrlHoundFailure{"UrlHound could not write its dump files into the program folder.\r\nThe cache and "
                               "cookie lists are empty or out of date.\r\n\r\nProgram folder: " +
                                   platform.programFolder.string(),
                               "ERROR: UrlHound cannot write its dump files into the program folder: " +
                                   platform.programFolder.string() + "\r\n"};
    case kDumpStoreFailed:
        return StoreFailure(platform,
                            "The Internet cache store could not be read (it may be busy, or the machine short "
                            "of memory).",
                            "the Internet cache store could not be read");
    case -1:
        return UrlHoundFailure{"UrlHound ended abnormally.\r\nThe cache and cookie lists may be out of date.\r\n\r\n"
                               "Program folder: " +
                                   ToolPath(platform).parent_path().string(),
                               "ERROR: UrlHound ended abnormally: " + tool + "\r\n"};
    default:
        return UrlHoundFailure{"UrlHound failed (exit status " + std::to_string(outcome.exitStatus) +
                                   ").\r\nThe cache and cookie lists may be out of date.\r\n\r\nProgram folder: " +
                                   ToolPath(platform).parent_path().string(),
                               "ERROR: UrlHound failed with exit status " + std::to_string(outcome.exitStatus) +
                                   ": " + tool + "\r\n"};
    }
}

RunOutcome RunUrlHound(const Platform& platform, bool cookieOnly)
{
    const RunOutcome outcome = RunHiddenAndWait(platform, UrlHoundCommand(platform, cookieOnly));
    LastRunHealthy() = true;
    if (!platform.runner)
        return outcome;  // a platform that runs nothing has nothing to report
    const std::optional<UrlHoundFailure> failure = UrlHoundFailureFor(platform, outcome);
    LastRunHealthy() = !failure;
    std::string& said = LastFailureSaid();
    if (!failure) {
        said.clear();
        return outcome;
    }
    if (failure->logEntry == said)
        return outcome;
    said = failure->logEntry;
    try {
        AppendActivityLog(platform, failure->logEntry);
    } catch (const RuntimeError&) {
        // A working folder that takes no file takes no log either; the message still says it.
    }
    if (platform.dialogs)
        platform.dialogs->MsgBox(failure->message, kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::Exclamation);
    return outcome;
}

bool LastUrlHoundRunHealthy()
{
    return LastRunHealthy();
}

}  // namespace brimlow
