#pragma once
// The program's windows. Each is loaded (created, its Form_Load run) on first use and
// unloaded once; the shut-down unloads them all. Loading a window that is loaded, or
// unloading one that is not, does nothing.
#include <QPointer>
#include <QWidget>
#include <vector>

#include "platform/Platform.h"

namespace brimlow {

class frmMain;
class frmSplash;
class frmLogin;

class Forms {
public:
    explicit Forms(Platform& platform);
    ~Forms();
    Forms(const Forms&) = delete;
    Forms& operator=(const Forms&) = delete;

    Platform& platform() const { return m_platform; }

    // The loaded window, or nullptr.
    frmSplash* splash() const;
    frmMain* main() const;
    frmLogin* login() const;

    // The splash's load runs the whole start-up (it loads the main window).
    frmSplash& LoadSplash();
    // Creates the main window hidden and runs its Form_Load to its end.
    frmMain& LoadMain();
    frmLogin& LoadLogin();

    // Safe from inside the window's own event handlers: the object goes later.
    void UnloadSplash();
    void UnloadMain();
    void UnloadLogin();

private:
    void Unload(QWidget* w);

    Platform& m_platform;
    QPointer<frmSplash> m_splash;
    QPointer<frmMain> m_main;
    QPointer<frmLogin> m_login;
    std::vector<QPointer<QWidget>> m_unloaded;
};

}  // namespace brimlow
