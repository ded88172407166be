#pragma once
// The "Quick Clean Up" page (page 0) of the main window: the cookies a run deletes and those
// it protects, the scripts it runs, the delay, and the runner that Timer2 drives. The runner
// deletes through the Cookie Editor and plays scripts through the Script Editor, each
// reached through its narrow interface only.
#include <QWidget>
#include <string>
#include <vector>

#include "host/ScriptRunner.h"
#include "platform/Platform.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QPlainTextEdit;
class QTimer;

namespace brimlow {

class CookieSourceDeleter;
class PageHost;
class frmRefreshingCache;

class QuickCleanUpPage : public QWidget, public ScriptRunListener {
    Q_OBJECT

public:
    QuickCleanUpPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);

    // The pages the runner drives; the main window hands them over once they exist.
    void SetCookieEditor(CookieSourceDeleter* cookies) { m_cookies = cookies; }
    void SetScriptRunner(ScriptRunner* scripts);

    // Rebuilds the cookie lists from the cookie dump; adds new script files to the list.
    void RefreshCleanupCookieLists();
    void ListScriptFiles();

    // Handlers.
    void QC_cmdAdd_Click();
    void QC_cmdRemove_Click();
    void QC_lstCookies_DblClick();
    void QC_lstDelCookies_DblClick();
    void QC_lstScripts_Click();
    void QC_cmdEditScript_Click();
    void QC_cmdNewScript_Click();
    void QC_cmdDeleteScript_Click();
    void QC_cmdExit_Click();
    void QC_cmdExecute_Click();
    void Timer2_Timer();
    // Image3 released with any button but the right one (the main window's pop-up filter
    // calls it under the busy cursor): the cookie editor's full refresh, then the cookie lists.
    void Image3_MouseUp();

    // The script run's end (Timer1's last tick): the clean-up goes on one delay later.
    bool ScriptRunEnded(ScriptRunEnd how) override;

    // For the settings file: the lists' texts and checks, the delay as typed.
    std::vector<std::string> ProtectedCookies() const;
    std::vector<std::string> CheckedScripts() const;
    std::string DelayText() const;
    void AddProtectedCookies(const std::vector<std::string>& sources);
    void SetDelayText(const std::string& text);
    // Checks each listed script by the names the settings file held.
    void RestoreScriptChecks();

    // The full path of a script entry.
    std::filesystem::path ScriptPath(const QString& entry) const;

    bool bQuickCleanupRunning = false;
    std::size_t iScriptStep = 0;
    bool bCookiesDeleted = false;

    QLabel* Image3 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QListWidget* QC_lstCookies = nullptr;
    QLabel* Label10 = nullptr;
    QListWidget* QC_lstDelCookies = nullptr;
    QPushButton* QC_cmdAdd = nullptr;
    QPushButton* QC_cmdRemove = nullptr;
    QLabel* Label39 = nullptr;
    QLineEdit* QC_txtDelay = nullptr;
    QSpinBox* UpDown1 = nullptr;
    QPushButton* QC_cmdExecute = nullptr;
    QPushButton* QC_cmdExit = nullptr;
    QLabel* Label5 = nullptr;
    QListWidget* QC_lstScripts = nullptr;
    QPushButton* QC_cmdEditScript = nullptr;
    QPushButton* QC_cmdNewScript = nullptr;
    QPushButton* QC_cmdDeleteScript = nullptr;
    QLabel* Label6 = nullptr;
    QPlainTextEdit* QC_rtfScriptDescription = nullptr;
    QListWidget* QC_lstScriptCommands = nullptr;
    QLabel* Label7 = nullptr;
    QTimer* Timer2 = nullptr;

private:
    void BuildControls();
    void MoveSelected(QListWidget* from, QListWidget* to);
    void DeleteCookiePass();
    void StartScript(const QString& entry);
    void Log(const std::string& text);
    std::string Now() const;

    // What the page needs of the main window.
    bool StartupComplete() const;
    frmRefreshingCache* Progress() const;
    void ShowScriptEditor();

    PageHost& m_host;
    Platform& m_platform;
    CookieSourceDeleter* m_cookies = nullptr;
    ScriptRunner* m_scripts = nullptr;
};

}  // namespace brimlow
