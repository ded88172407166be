#pragma once
// The launcher and key sender seams on X11: one display connection serves both, and the
// sender remembers each launched target, so that "the window has the focus" also admits a
// dialog of the target's process.
#include <functional>
#include <map>

#include "platform/Platform.h"
#include "platform/x11/X11Desktop.h"

namespace brimlow::x11 {

class X11Keys final : public Launcher, public KeySender {
public:
    // `pump` runs while the launcher waits for the window (let pending messages run).
    explicit X11Keys(std::function<void()> pump = {}) : m_pump(std::move(pump)) {}

    std::optional<brimlow::LaunchedWindow> LaunchMaximized(const std::string& path,
                                                           std::chrono::milliseconds wait) override;
    bool SendKeys(WindowId window, const std::string& keys) override;

    std::string LastFailure() const override { return m_lastFailure; }

private:
    X11Desktop& Desktop();
    std::function<void()> m_pump;
    std::unique_ptr<X11Desktop> m_desktop;
    std::map<WindowId, LaunchedWindow> m_targets;
    std::string m_lastFailure;
};

}  // namespace brimlow::x11
