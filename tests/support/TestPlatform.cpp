#include "support/TestPlatform.h"

namespace brimlow::test {

MsgBoxAnswer FakeDialogs::MsgBox(const std::string& text, const std::string& title, MsgBoxButtons buttons,
                                 MsgBoxIcon icon)
{
    boxes.push_back({text, title, buttons, icon});
    if (answers.empty())
        return MsgBoxAnswer::Ok;
    MsgBoxAnswer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<std::string> FakeDialogs::ShowSave(const FileDialogOptions& options)
{
    saveDialogs.push_back(options);
    if (savePaths.empty())
        return std::nullopt;
    auto p = savePaths.front();
    savePaths.pop_front();
    return p;
}

std::optional<std::string> FakeDialogs::ShowOpen(const FileDialogOptions& options)
{
    openDialogs.push_back(options);
    if (openPaths.empty())
        return std::nullopt;
    auto p = openPaths.front();
    openPaths.pop_front();
    return p;
}

void RecordingRunner::RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder)
{
    calls.push_back({argv, workingFolder});
    if (passThrough)
        m_real.RunAndWait(argv, workingFolder);
}

TestPlatform::TestPlatform()
{
    platform.dialogs = &dialogs;
    platform.runner = &runner;
    platform.clock = &clock;
    platform.user = &user;
    platform.exit = &exit;
    platform.printer = &printer;
    platform.browser = &browser;
    platform.registry = &registry;
    platform.starter = &starter;
}

}  // namespace brimlow::test
