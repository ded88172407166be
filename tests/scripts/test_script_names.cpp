// Script file names are bytes end to end. "caf\xe9.scr" (Latin-1) is no UTF-8 text: the list
// shows it as "caf\uFFFD.scr", the very text of the file named by the UTF-8 bytes of that
// replacement character. Side by side in the real window, every action on one entry reaches
// its own file: the description, Edit Script, the run's load and its log line, the settings
// file's checks, the editor's Load and Save, and Delete Script.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "cookies/MCookieEditor.h"
#include "host/MActivityReport.h"
#include "host/UserSettingsFile.h"
#include "platform/qt/QtText.h"
#include "scripts/QuickCleanUpPage.h"
#include "scripts/ScriptEditorPage.h"
#include "shell/frmMain.h"
#include "support/MainWindowTest.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using namespace std::chrono_literals;

namespace {

const std::string kLatin = "caf\xe9.scr";
const std::string kReplacement = "caf\xef\xbf\xbd.scr";

std::string ScriptBytes(const std::string& who)
{
    return "/usr/bin/" + who + "\r\n\x01\r\nThe " + who + " script.\r\n\x01\r\n" + who + "\r\n";
}

class ScriptNamesTest : public test::MainWindowTest {
protected:
    QuickCleanUpPage* qc = nullptr;
    ScriptEditorPage* se = nullptr;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        test::CreateStore(dir.storeFolder());
        dir.Write(kLatin, ScriptBytes("latin"));
        dir.Write(kReplacement, ScriptBytes("utf"));
        Start();
    }
    void Start()
    {
        main = std::make_unique<frmMain>(tp.platform);
        main->show();
        main->Form_Load();
        qc = &main->quickCleanUpPage();
        se = &main->scriptEditorPage();
    }
    int Row(const std::string& name) const
    {
        for (int i = 0; i < qc->QC_lstScripts->count(); ++i)
            if (QuickCleanUpPage::ScriptName(qc->QC_lstScripts->item(i)) == name)
                return i;
        ADD_FAILURE() << "not listed: " << name;
        return 0;
    }
    QListWidgetItem* Entry(const std::string& name) const { return qc->QC_lstScripts->item(Row(name)); }
    std::string Description() const { return qc->QC_rtfScriptDescription->toPlainText().toStdString(); }
    std::string Path(const std::string& name) const { return dir.file(name).string(); }
};

}  // namespace

TEST_F(ScriptNamesTest, BothAreListedAndEachShowsAndEditsItsOwnFile)
{
    ASSERT_EQ(qc->QC_lstScripts->count(), 2);
    EXPECT_EQ(Entry(kLatin)->text(), Entry(kReplacement)->text()) << "the two names look alike";

    qc->QC_lstScripts->setCurrentRow(Row(kLatin));
    EXPECT_EQ(Description(), "The latin script.\n");
    qc->QC_lstScripts->setCurrentRow(Row(kReplacement));
    EXPECT_EQ(Description(), "The utf script.\n");

    qc->QC_lstScripts->setCurrentRow(Row(kLatin));
    qc->QC_cmdEditScript_Click();
    EXPECT_EQ(se->SE_txtTargetName->text().toStdString(), "/usr/bin/latin");
    EXPECT_EQ(LineBytes(se->SE_txtScriptName), Path(kLatin));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(ScriptNamesTest, TheRunLoadsAndLogsTheCheckedOneAndTheSettingsKeepItsCheck)
{
    Entry(kLatin)->setCheckState(Qt::Checked);
    ResetActivityLog(tp.platform);
    qc->QC_cmdExecute_Click();
    for (auto t = 0ms; t < 60s && (qc->run().UnderWay() || qc->bQuickCleanupRunning); t += 50ms)
        tp.scheduler.Advance(50ms);
    EXPECT_FALSE(qc->bQuickCleanupRunning);
    EXPECT_EQ(tp.launcher.launched, std::vector<std::string>{"/usr/bin/latin"});
    const std::string log = ReadActivityLog(tp.platform);
    EXPECT_NE(log.find("\r\n" + Path(kLatin) + "\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(Path(kReplacement)), std::string::npos) << log;

    main->close();  // the shut-down writes the settings
    const std::string settings = dir.Read(test::kTestUser + std::string(".dat"));
    EXPECT_NE(settings.find("\r\n" + kLatin + "\r\n"), std::string::npos);
    EXPECT_EQ(settings.find(kReplacement), std::string::npos);
    main.reset();
    ReleaseSelectedScripts();

    Start();
    EXPECT_EQ(Entry(kLatin)->checkState(), Qt::Checked);
    EXPECT_EQ(Entry(kReplacement)->checkState(), Qt::Unchecked);
}

TEST_F(ScriptNamesTest, TheEditorLoadsAndSavesTheChosenBytes)
{
    tp.dialogs.openPaths.push_back(Path(kLatin));
    se->SE_cmdLoad_Click();
    EXPECT_EQ(se->SE_txtTargetName->text().toStdString(), "/usr/bin/latin");
    EXPECT_EQ(LineBytes(se->SE_txtScriptName), Path(kLatin));

    // Saved under the other name: that file changes, the loaded one stays.
    se->AddCommand("more");
    tp.dialogs.savePaths.push_back(Path(kReplacement));
    se->SE_cmdSave_Click();
    EXPECT_EQ(dir.Read(kReplacement), "/usr/bin/latin\r\n\x01\r\nThe latin script.\r\n\x01\r\nlatin\r\nmore\r\n");
    EXPECT_EQ(dir.Read(kLatin), ScriptBytes("latin"));
    EXPECT_EQ(LineBytes(se->SE_txtScriptName), Path(kReplacement));

    // A target whose name is no text either is saved as it was loaded.
    const std::string oddTarget = "/opt/caf\xe9/run";
    dir.Write("odd.scr", oddTarget + "\r\n\x01\r\n\xe9t\xe9\r\n\x01\r\na\r\n");
    tp.dialogs.openPaths.push_back(Path("odd.scr"));
    se->SE_cmdLoad_Click();
    tp.dialogs.savePaths.push_back(Path("again.scr"));
    se->SE_cmdSave_Click();
    EXPECT_EQ(dir.Read("again.scr"), dir.Read("odd.scr"));

    // The save's message names the chosen file by its bytes.
    const std::string folderName = "dossier\xe9.scr";
    std::filesystem::create_directory(dir.file(folderName));
    tp.dialogs.savePaths.push_back(Path(folderName));
    se->SE_cmdSave_Click();
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "75Error opening file: " + Path(folderName));
}

TEST_F(ScriptNamesTest, DeleteScriptRemovesOnlyTheChosenFile)
{
    tp.dialogs.answers = {MsgBoxAnswer::Yes};
    qc->QC_lstScripts->setCurrentRow(Row(kReplacement));
    qc->QC_cmdDeleteScript_Click();
    EXPECT_FALSE(dir.Exists(kReplacement));
    EXPECT_EQ(dir.Read(kLatin), ScriptBytes("latin"));
    ASSERT_EQ(qc->QC_lstScripts->count(), 1);
    EXPECT_EQ(QuickCleanUpPage::ScriptName(qc->QC_lstScripts->item(0)), kLatin);

    tp.dialogs.answers = {MsgBoxAnswer::Yes};
    qc->QC_lstScripts->setCurrentRow(0);
    qc->QC_cmdDeleteScript_Click();
    EXPECT_FALSE(dir.Exists(kLatin));
    EXPECT_EQ(qc->QC_lstScripts->count(), 0);
}
