#pragma once
// The "Quick Clean Up" page (page 0) of the main window: the cookies a run deletes and those
// it protects, the scripts it runs, the delay, and the run that Timer2 drives. The run is a
// CleanupRun: it deletes through the Cookie Editor and plays scripts through the Script
// Editor, each reached through its narrow interface only; the page shows the lists and
// forwards the clicks.
#include <QWidget>
#include <string>
#include <vector>

#include "host/ScriptRunner.h"
#include "host/TextListView.h"
#include "platform/Platform.h"
#include "scripts/CleanupRun.h"
#include "scripts/MScriptEditor.h"
#include "scripts/QtRunJournal.h"
#include "scripts/RunRequests.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QPlainTextEdit;
class QListWidgetItem;

namespace brimlow {

class CookieSourceDeleter;
class PageHost;
class frmRefreshingCache;

class QuickCleanUpPage : public QWidget, public ScriptRunListener, private CleanupRunHost {
    Q_OBJECT

    // First, so that the run exists before the members that show it.
    PageHost& m_host;
    Platform& m_platform;
    QtRunJournal m_journal;
    CleanupRun m_run;

public:
    QuickCleanUpPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);

    // The pages the runner drives; the main window hands them over once they exist.
    void SetCookieEditor(CookieSourceDeleter* cookies);
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
    bool ScriptRunEnded(ScriptRunEnd how) override { return m_run.ScriptEnded(how); }
    bool CleanupUnderWay() const override { return m_run.UnderWay(); }

    // For the settings file: the lists' texts and checks, the delay as typed.
    std::vector<std::string> ProtectedCookies() const;
    std::vector<std::string> CheckedScripts() const;
    std::string DelayText() const;
    void AddProtectedCookies(const std::vector<std::string>& sources);
    void SetDelayText(const std::string& text);
    // Checks each listed script by the names the settings file held.
    void RestoreScriptChecks();

    // A script entry's file name as the folder gave it, and its full path.
    static std::string ScriptName(const QListWidgetItem* entry);
    std::filesystem::path ScriptPath(const QListWidgetItem* entry) const;

    const CleanupRun& run() const { return m_run; }
    // Where the run stands, as the run keeps it.
    const bool& bQuickCleanupRunning = m_run.running();
    const std::size_t& iScriptStep = m_run.step();
    const bool& bCookiesDeleted = m_run.cookiesDeleted();

    QLabel* Image3 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    TextListView* QC_lstCookies = nullptr;  // a view of m_toDelete
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
    TextListView* QC_lstScriptCommands = nullptr;  // a view of m_shownScript
    QLabel* Label7 = nullptr;
    Timer* const Timer2 = &m_run.timer();

signals:
    // After every tick of Timer2.
    void runMoved();

private:
    void BuildControls();
    void ProtectSelected();
    void UnprotectSelected();
    void ShowToDelete();
    void Log(const std::string& text);
    bool Allowed(RunRequest request) const;
    void ScriptTicked(QListWidgetItem* item);

    // CleanupRunHost: what the run asks of the page.
    std::vector<std::string> CookiesToDelete() override;
    void ClearCookiesToDelete() override;
    void RebuildCookieLists() override { RefreshCleanupCookieLists(); }
    std::vector<CleanupScript> ScriptList() override;
    void PassStarted(std::size_t sources) override;
    void PassProgress(std::size_t done) override;
    void PassEnded() override;
    void RunMoved() override { emit runMoved(); }

    // What the page needs of the main window.
    bool StartupComplete() const;
    frmRefreshingCache* Progress() const;
    void ShowScriptEditor();

    CookieSourceDeleter* m_cookies = nullptr;
    ScriptRunner* m_scripts = nullptr;
    // The page itself sets checks or removes an entry: no description is shown for that.
    bool m_listQuiet = false;
    // The clicked script, read once: its command list shows it in place.
    ScriptText m_shownScript;
    // "Cookies To Be Deleted:", in the bytes the cookie dump names them by.
    std::vector<std::string> m_toDelete;
};

}  // namespace brimlow
