#pragma once
// The Qt side of the platform seams: real message boxes, file dialogs and the printer,
// and the bundle that owns every real seam of a running Brimlow.
#include <memory>

#include "platform/Platform.h"
#include "platform/x11/X11Keys.h"

class QWidget;

namespace brimlow {

class QtDialogs final : public Dialogs {
public:
    // Message boxes that stay above every other window: for a box that must not end up
    // behind a window another program brings to the front after it.
    enum Placement { kUsual, kStaysOnTop };
    explicit QtDialogs(Placement placement = kUsual) : m_placement(placement) {}
    MsgBoxAnswer MsgBox(const std::string& text, const std::string& title, MsgBoxButtons buttons,
                        MsgBoxIcon icon) override;
    std::optional<std::string> ShowSave(const FileDialogOptions& options) override;
    std::optional<std::string> ShowOpen(const FileDialogOptions& options) override;

private:
    Placement m_placement;
};

class QtPrinter final : public Printer {
public:
    bool PrintText(const std::string& text) override;
};

class QtBrowser final : public Browser {
public:
    bool Open(const std::string& address) override;
};

class QtProgramStarter final : public ProgramStarter {
public:
    bool StartDetached(const std::string& path) override;
};

// Timers on QTimer; a pause runs a local event loop for its length.
class QtScheduler final : public Scheduler {
public:
    std::unique_ptr<Timer> NewTimer(std::function<void()> onTimer) override;
    void Pause(std::chrono::milliseconds duration) override;
};

// QStorageInfo's mounted volumes that are ready, "/" first.
class QtVolumes final : public Volumes {
public:
    std::vector<std::string> MountedRoots() override;
};

// "Text Files (*.txt)|*.txt|All (*.*)|*.*" as a Qt name filter list; a caption without its
// patterns gets them ("Script Files|*.scr" lists "Script Files (*.scr)"). Here "*.*" is every
// file and "*.exe" the files the user may execute.
std::string QtFilterFromCommonDialog(const std::string& filter);
// True when the filter's entry at `index` lists the files the user may execute.
bool QtFilterListsExecutables(const std::string& filter, int index);

// Owns the real seams; platform() hands out a Platform that points at them.
class RealPlatform {
public:
    RealPlatform();
    Platform& platform() { return m_platform; }

private:
    QtDialogs m_dialogs;
    PosixProcessRunner m_runner;
    SystemClock m_clock;
    PosixUserInfo m_user;
    RealProcessExit m_exit;
    QtPrinter m_printer;
    QtBrowser m_browser;
    SystemRegistry m_registry;
    QtProgramStarter m_starter;
    QtScheduler m_scheduler;
    QtVolumes m_volumes;
    x11::X11Keys m_keys;
    Platform m_platform;
};

}  // namespace brimlow
