#include "scripts/RunRequests.h"

namespace brimlow {

RunVerdict JudgeRunRequest(RunRequest request, bool scriptPlaying, bool cleanupUnderWay)
{
    if (!scriptPlaying && !cleanupUnderWay)
        return RunVerdict::Allow;
    switch (request) {
    case RunRequest::Test:
    case RunRequest::Load:
        return RunVerdict::Refuse;
    case RunRequest::Execute:
        // A second click on Execute during its own run is no news; during a Test it is told.
        return cleanupUnderWay ? RunVerdict::Ignore : RunVerdict::Refuse;
    case RunRequest::EditScript:
    case RunRequest::NewScript:
        return RunVerdict::Ignore;
    case RunRequest::DeleteScript:
        // The player keeps its own copy of a tested script; a clean-up reads the list.
        return cleanupUnderWay ? RunVerdict::Ignore : RunVerdict::Allow;
    }
    return RunVerdict::Ignore;
}

}  // namespace brimlow
