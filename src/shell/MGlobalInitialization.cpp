#include "shell/MGlobalInitialization.h"

#include "bleach/MBleachUtility.h"
#include "cachebrowser/MUrlHound.h"
#include "cookies/MCookieEditor.h"
#include "platform/Errors.h"
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
        // A UrlHound killed while it wrote left the dump under its temporary name: it holds
        // the same history, and goes with the dumps.
        if (name == kSearchReportName) {
            std::vector<textfile::FolderFile> files;
            try {
                files = textfile::FolderFiles(platform.programFolder);
            } catch (const RuntimeError&) {
            }
            for (const auto& f : files)
                if (IsDumpTempName(f.name))
                    DestroyFile(platform, f.path, true);
        }
        const auto path = textfile::InFolder(platform.programFolder, name);
        if (textfile::FileExists(path))
            DestroyFile(platform, path, true);
    }
}

}  // namespace brimlow
