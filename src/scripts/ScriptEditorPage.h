#pragma once
// The "Script Editor" page (page 1) of the main window: records key-stroke commands, keeps
// the script's target, commands and description, saves and loads script files, and
// test-runs the script against its target (Timer1, one command per tick).
//
// The run itself is the ScriptPlayer's: it plays a copy of the script, makes sure of where
// the keys go, and logs every step. The page shows the script, forwards the clicks, and
// refuses a test or a load while a run is under way (scripts/RunRequests.h).
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "host/ScriptRunner.h"
#include "host/TextListView.h"
#include "platform/Platform.h"
#include "scripts/QtRunJournal.h"
#include "scripts/RunRequests.h"
#include "scripts/ScriptPlayer.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QPlainTextEdit;

namespace brimlow {

class PageHost;

class ScriptEditorPage : public QWidget, public ScriptRunner {
    Q_OBJECT

public:
    ScriptEditorPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);
    ~ScriptEditorPage() override;

    // The Windows virtual key code of a Qt key (keypad keys included), 0 for none.
    static int VirtualKeyOf(int qtKey, bool keypad);

    // The tutorial text, put there by the start-up.
    void ShowTutorial();

    // Handlers.
    void SE_txtScript_KeyDown(int keyCode, int shift);
    void SE_txtScript_KeyUp(int keyCode, int shift);
    void SE_cmdAlt_Click();
    void SE_cmdControl_Click();
    void SE_cmdTab_Click();
    void SE_cmdPause_Click();
    void SE_cmdClear_Click();
    void SE_cmdNext_Click();
    void SE_cmdInsert_Click();
    void SE_cmdScrRemove_Click();
    void SE_cmdBrowse_Click();
    void SE_cmdLoad_Click();
    void SE_cmdSave_Click();
    void SE_cmdTest_Click();
    void SE_cmdExit_Click();
    void SE_txtScript_Click();
    void SE_txtScriptName_Click();
    void SE_txtTargetName_Click();
    void lblLatestScripts_Click();
    void Timer1_Timer();

    // ScriptRunner: what the quick clean-up asks of the editor.
    bool LoadScriptFile(const std::filesystem::path& path) override;
    // The command list: a command added at the end, and the whole list replaced.
    void AddCommand(std::string_view command);
    void SetCommands(const std::vector<std::string>& commands);
    void EmptyScript() override;
    void ClearCommand() override { SE_cmdClear_Click(); }
    bool TestScript() override { return StartTest(); }
    bool IsPlaying() const override { return m_player.IsPlaying(); }
    void SetRunListener(ScriptRunListener* listener) override { m_listener = listener; }

    const std::string& strCommand() const { return m_strCommand; }
    std::size_t iCommandStep() const { return m_player.step(); }
    const ScriptPlayer& player() const { return m_player; }
    Timer& timer1() const { return m_player.timer(); }

    QLabel* Image4 = nullptr;
    QLabel* Label16 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QPlainTextEdit* SE_rtfTutorial = nullptr;
    QLabel* Label12 = nullptr;
    QLineEdit* SE_txtScriptName = nullptr;
    QPushButton* SE_cmdLoad = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* SE_txtTargetName = nullptr;
    QPushButton* SE_cmdBrowse = nullptr;
    QLabel* Label14 = nullptr;
    TextListView* SE_lstCommands = nullptr;  // a view of m_commands
    QListWidget* SE_lstScriptCode = nullptr;  // hidden, never shown
    QPushButton* SE_cmdTest = nullptr;
    QPushButton* SE_cmdSave = nullptr;
    QPushButton* SE_cmdClear = nullptr;
    QPushButton* SE_cmdPause = nullptr;
    QPushButton* SE_cmdScrRemove = nullptr;
    QPushButton* SE_cmdInsert = nullptr;
    QPushButton* SE_cmdNext = nullptr;
    QLabel* Label15 = nullptr;
    QPushButton* SE_cmdControl = nullptr;
    QPushButton* SE_cmdTab = nullptr;
    QPushButton* SE_cmdAlt = nullptr;
    QPlainTextEdit* SE_txtScript = nullptr;
    QPushButton* SE_cmdExit = nullptr;
    QLabel* Label13 = nullptr;
    QPlainTextEdit* SE_rtfScriptDescription = nullptr;
    QLabel* lblLatestScripts = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void AppendToken(const char* token);
    void ShowCommand();
    std::vector<std::string> Commands() const;

    std::string ShowOpenDialog(const std::string& filter, const std::string& initialFolder = {});
    bool ReadIntoEditor(const std::filesystem::path& path);
    void ShowCommands();
    void ClearCommands();
    bool StartTest();
    bool RefusedWhileRunning(RunRequest request);
    void HandBack(ScriptRunEnd how);

    PageHost& m_host;
    Platform& m_platform;
    std::string m_strCommand;
    CommandList m_commands;  // what SE_lstCommands lists
    bool m_linkPressed = false;
    ScriptRunListener* m_listener = nullptr;
    QtRunJournal m_journal;
    ScriptPlayer m_player;
};

}  // namespace brimlow
