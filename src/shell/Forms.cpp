#include "shell/Forms.h"

#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"

namespace brimlow {

Forms::Forms(Platform& platform) : m_platform(platform) {}

frmSplash* Forms::splash() const { return m_splash; }
frmMain* Forms::main() const { return m_main; }
frmLogin* Forms::login() const { return m_login; }

Forms::~Forms()
{
    // Main first: its own clean-up may still reach the splash.
    delete m_main.data();
    delete m_login.data();
    delete m_splash.data();
    for (auto& w : m_unloaded)
        delete w.data();
}

frmSplash& Forms::LoadSplash()
{
    if (!m_splash) {
        m_splash = new frmSplash(*this);
        m_splash->Form_Load();
    }
    return *m_splash;
}

frmMain& Forms::LoadMain()
{
    if (!m_main) {
        // Known to the splash before the load runs: a click on the splash while the load
        // lets messages run shows the window that is still loading.
        m_main = new frmMain(m_platform, this);
        m_main->Form_Load();
    }
    return *m_main;
}

frmLogin& Forms::LoadLogin()
{
    if (!m_login)
        m_login = new frmLogin(*this);
    return *m_login;
}

void Forms::Unload(QWidget* w)
{
    if (!w)
        return;
    w->hide();
    m_unloaded.emplace_back(w);
    w->deleteLater();
}

void Forms::UnloadSplash()
{
    frmSplash* w = m_splash;
    m_splash = nullptr;
    Unload(w);
}

void Forms::UnloadMain()
{
    frmMain* w = m_main;
    m_main = nullptr;
    Unload(w);
}

void Forms::UnloadLogin()
{
    frmLogin* w = m_login;
    m_login = nullptr;
    Unload(w);
}

}  // namespace brimlow
