#include "shell/MGlobalInitialization.h"

#include "bleach/MBleachUtility.h"
#include "cachebrowser/MUrlHound.h"
#include "cookies/MCookieEditor.h"
#include "platform/TextFile.h"
#include "host/UserSettingsFile.h"

namespace brimlow {

void ReleaseGlobals()
{
    // The key-stroke tokens need nothing here: a command is cut into tokens where it is
    // compiled, and nothing keeps them afterwards.
    ReleaseCacheRecords();
    ReleaseCookieTables();
    TheDestructionList().Clear();
    ReleaseSelectedScripts();
}

void BleachDataFiles(const Platform& platform)
{
    for (const char* name : kExitDataFiles) {
        const auto path = textfile::InFolder(platform.programFolder, name);
        if (textfile::FileExists(path))
            DestroyFile(platform, path, true);
    }
}

}  // namespace brimlow
