#pragma once
// The main window: the tab control SSTab1 with its six pages, the menu bar (File, Tab, one
// Commands menu per page of which only the current page's shows, Help), the flags the pages
// share, the start-up load and the one shut-down path every close goes through.
//
// Construct it, then run Form_Load (Forms::LoadMain does both). Standalone, without Forms,
// the window has no splash to hand over to and unloads nothing but itself.
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "host/PageHost.h"
#include "platform/Platform.h"

class QAction;
class QMenu;
class QTabWidget;

namespace brimlow {

class Forms;
class frmAbout;
class frmRefreshingCache;
class QuickCleanUpPage;
class ScriptEditorPage;
class UrlHoundPage;
class CookieEditorPage;
class BleachUtilityPage;
class ActivityReportPage;
class CookieSourceDeleter;
class TabCommandMenus;

// The pages reach the window only as their PageHost (the page order and codes are there).
class frmMain : public QMainWindow, public PageHost {
    Q_OBJECT

public:

    explicit frmMain(Platform& platform, Forms* forms = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    // False while the load runs, True from its end on: refreshes show the progress window
    // only when it is True.
    bool bNotInitial = false;
    // Keeps the progress window up across the refreshes a cookie deletion makes.
    bool bRefreshStolen = false;

    Platform& platform() const { return m_platform; }
    Forms* forms() const { return m_forms; }

    QTabWidget* SSTab1 = nullptr;
    QuickCleanUpPage& quickCleanUpPage() const { return *m_qc; }
    ScriptEditorPage& scriptEditorPage() const { return *m_se; }
    UrlHoundPage& urlHoundPage() const { return *m_uh; }
    CookieEditorPage& cookieEditorPage() const { return *m_ce; }
    BleachUtilityPage& bleachUtilityPage() const { return *m_bu; }
    ActivityReportPage& activityReportPage() const { return *m_ar; }
    // What the quick clean-up drives the Cookie Editor through.
    CookieSourceDeleter& cookieSourceDeleter() const;

    // PageHost: the window as the pages see it.
    int currentPage() const override;
    void setCurrentPage(int page) override;
    bool notInitial() const override { return bNotInitial; }
    bool refreshStolen() const override { return bRefreshStolen; }
    void setRefreshStolen(bool stolen) override { bRefreshStolen = stolen; }
    // The progress window, loaded hidden by the start-up (nullptr before and after).
    frmRefreshingCache* refreshingCache() const override { return m_refreshingCache.get(); }
    void closeMainWindow() override;
    ActivityReports& reports() override;

    // The page's Commands menu (page order); the menus that Commands items join later.
    QMenu* commandsMenu(int page) const { return m_commands[static_cast<std::size_t>(page)]; }
    // The Commands menus' items and the right-button pop-up of the window's controls.
    TabCommandMenus& tabCommandMenus() const { return *m_tabCommandMenus; }
    QMenu* mnuFile = nullptr;
    QMenu* mnuTab = nullptr;
    QMenu* mnuHelp = nullptr;

    // Start-up: runs to its end before the load returns.
    void Form_Load();

    // Handlers.
    void SSTab1_Click(int previousTab);
    void SSTab1_GotFocus();
    void mnuFileExit_Click();
    void mnuTabQuickCleanUP_Click();
    void mnuTabScriptEditor_Click();
    void mnuTabUrlHound_Click();
    void mnuTabCookieEditor_Click();
    void mnuTabBleachUtility_Click();
    void mnuTabActivityReport_Click();
    void mnuHelpContents_Click();
    void mnuHelpUpgrades_Click();
    void mnuHelpProblems_Click();
    void mnuHelpSuggestions_Click();
    void mnuHelpAbout_Click();

    // The about box while it is open, else nullptr.
    frmAbout* about() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    QMenu* AddCommandsMenu(const char* code, const char* title);
    void InitializeMainForm();
    void SetCommandsMenuFor(int page);
    void SetTabStopsFor(int page);
    void Form_QueryUnload();
    void LoadUserSettings();
    // Writes the settings file from the controls; atExit: also when it would hold what this
    // run wrote last.
    void SaveUserSettings(bool atExit);
    // The user's lasting choices (a protection, a check, the delay, the folder) changed: the
    // settings are written once the event that changed them is done, so a crash or a kill
    // later in the run loses none of them.
    void WatchSettings();
    void SettingsChanged();

    Platform& m_platform;
    Forms* m_forms;
    bool m_unloaded = false;
    // False when the start-up found a settings file it could not read: it is kept as it is.
    bool m_settingsReplaceable = true;
    bool m_settingsSavePending = false;
    std::string m_settingsWritten;  // the bytes this run wrote last
    bool m_settingsFailureSaid = false;
    std::vector<QMetaObject::Connection> m_settingsWatch;

    QuickCleanUpPage* m_qc = nullptr;
    ScriptEditorPage* m_se = nullptr;
    UrlHoundPage* m_uh = nullptr;
    CookieEditorPage* m_ce = nullptr;
    BleachUtilityPage* m_bu = nullptr;
    ActivityReportPage* m_ar = nullptr;
    std::array<QMenu*, kPageCount> m_commands{};
    TabCommandMenus* m_tabCommandMenus = nullptr;
    std::unique_ptr<frmRefreshingCache> m_refreshingCache;
    QPointer<frmAbout> m_about;
};

}  // namespace brimlow
