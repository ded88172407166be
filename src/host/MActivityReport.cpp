#include "host/MActivityReport.h"

#include "platform/TextFile.h"

namespace brimlow {

std::filesystem::path ActivityLogPath(const Platform& platform)
{
    return textfile::InFolder(platform.programFolder, kActivityLogName);
}

void AppendActivityLog(const Platform& platform, std::string_view text)
{
    textfile::Append(ActivityLogPath(platform), text, true);
}

void ResetActivityLog(const Platform& platform)
{
    textfile::TextWriter writer(ActivityLogPath(platform), textfile::OpenMode::Writing, true);
    writer.WriteBlankLines(2);
    writer.Close();
}

std::string ReadActivityLog(const Platform& platform)
{
    const auto path = ActivityLogPath(platform);
    if (!textfile::FileExists(path))
        return {};
    return textfile::ReadAll(path);
}

}  // namespace brimlow
