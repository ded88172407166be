#include "shell/LastResortCleanUp.h"

#include <atomic>
#include <cstdlib>
#include <exception>
#include <optional>

#include "host/MActivityReport.h"
#include "shell/MGlobalInitialization.h"

namespace brimlow {

namespace {

// No window may open on the way out: every box is answered as if by its default button.
class SilentDialogs final : public Dialogs {
public:
    MsgBoxAnswer MsgBox(const std::string&, const std::string&, MsgBoxButtons buttons, MsgBoxIcon) override
    {
        return buttons == MsgBoxButtons::YesNo || buttons == MsgBoxButtons::YesNoCancel ? MsgBoxAnswer::No
                                                                                      : MsgBoxAnswer::Ok;
    }
    std::optional<std::string> ShowSave(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> ShowOpen(const FileDialogOptions&) override { return std::nullopt; }
};

SilentDialogs g_silent;
std::optional<Platform> g_platform;
std::atomic<bool> g_armed{false};
std::atomic<bool> g_ran{false};
bool g_hooked = false;

extern "C" void RunAtExit()
{
    RunLastResortCleanUp();
}

}  // namespace

void ArmLastResortCleanUp(const Platform& platform)
{
    g_platform = platform;
    g_platform->dialogs = &g_silent;
    if (!g_hooked) {
        std::atexit(RunAtExit);
        g_hooked = true;
    }
    g_ran = false;
    g_armed = true;
}

void DisarmLastResortCleanUp() noexcept
{
    g_armed = false;
}

bool LastResortCleanUpArmed() noexcept
{
    return g_armed;
}

void RunLastResortCleanUp() noexcept
{
    if (!g_armed.exchange(false) || g_ran.exchange(true) || !g_platform)
        return;
    try {
        BleachDataFiles(*g_platform);
    } catch (...) {
    }
    try {
        AppendActivityLog(*g_platform, kLastResortLogLine);
    } catch (...) {
    }
}

}  // namespace brimlow
