#include "host/ReportFiles.h"

#include "platform/Errors.h"
#include "platform/TextFile.h"

namespace brimlow {

void ShowFileError(const Platform& platform, int number, std::string_view verb, const std::string& name)
{
    platform.dialogs->MsgBox(std::to_string(number) + "Error " + std::string(verb) + " file: " + name,
                             kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);
}

void SaveReportAs(const Platform& platform, const std::string& text)
{
    const auto path = platform.dialogs->ShowSave(TextReportSaveOptions(platform.programFolder));
    if (!path)
        return;
    try {
        textfile::TextWriter out(*path, textfile::OpenMode::Writing, true);
        out.Write(text);
        out.Close();
    } catch (const RuntimeError& e) {
        ShowFileError(platform, e.number(), "opening", *path);
    }
}

}  // namespace brimlow
