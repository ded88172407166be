#include "shell/MGlobalInitialization.h"

#include "bleach/MBleachUtility.h"
#include "cachebrowser/MUrlHound.h"
#include "cookies/MCookieEditor.h"
#include "platform/TextFile.h"
#include "host/UserSettingsFile.h"

namespace brimlow {

void ReleaseGlobals()
{
    // The script tokens join here as their module lands.
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
