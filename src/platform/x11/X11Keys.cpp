#include "platform/x11/X11Keys.h"

namespace brimlow::x11 {

X11Desktop& X11Keys::Desktop()
{
    // Opened on first use: a Brimlow that never tests a script never talks to the display here.
    if (!m_desktop)
        m_desktop = std::make_unique<X11Desktop>();
    return *m_desktop;
}

std::optional<brimlow::LaunchedWindow> X11Keys::LaunchMaximized(const std::string& path,
                                                                std::chrono::milliseconds wait)
{
    const LaunchedWindow r = Desktop().Launch(path, static_cast<double>(wait.count()) / 1000.0, m_pump);
    m_lastFailure = r.failure;
    if (!r.ok)
        return std::nullopt;
    m_targets[r.window] = r;
    return brimlow::LaunchedWindow{r.pid, r.window};
}

bool X11Keys::SendKeys(WindowId window, const std::string& keys)
{
    const auto it = m_targets.find(window);
    if (it == m_targets.end() || !Desktop().FocusBelongsTo(it->second))
        return false;
    return Desktop().SendKeys(keys);
}

}  // namespace brimlow::x11
