#include "host/MActivityReport.h"

#include "platform/Errors.h"
#include "platform/TextFile.h"

namespace brimlow {

std::filesystem::path ActivityLogPath(const Platform& platform)
{
    return textfile::InFolder(platform.programFolder, kActivityLogName);
}

namespace {

// The log's failure has been said, and no append has worked since.
bool g_failureSaid = false;

}  // namespace

void AppendActivityLog(const Platform& platform, std::string_view text)
{
    textfile::Append(ActivityLogPath(platform), text, true, platform.files);
    g_failureSaid = false;
}

std::string LogSafe(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const auto b = static_cast<unsigned char>(ch);
        // A backslash that begins "\x" would read as an escape of its own: it is one.
        if (b < 0x20 || b == 0x7f || (ch == '\\' && i + 1 < text.size() && text[i + 1] == 'x')) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool AppendActivityLogOrSay(const Platform& platform, std::string_view text)
{
    bool& said = g_failureSaid;
    try {
        AppendActivityLog(platform, text);
        return true;
    } catch (const RuntimeError& e) {
        if (!said && platform.dialogs)
            platform.dialogs->MsgBox("The activity log could not be written (" + ErrorNumberInWords(e.number()) +
                                         ").\r\nWhat was done is done; its entry, and perhaps those that follow, "
                                         "are missing from the log.\r\n\r\nActivity log: " +
                                         ActivityLogPath(platform).string(),
                                     kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::Exclamation);
        said = true;
        return false;
    }
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
