// The Quick Clean Up page in a real main window, with the real Cookie Editor page, runner,
// UrlHound and store. The Script Editor stands behind its narrow interface: it records what
// it is asked to play and ends each run when the test says so.
#include "cookies/MCookieEditor.h"
#include "cookies/CookieSourceDeleter.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QPlainTextEdit>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

#include "bleach/BleachUtilityPage.h"
#include "bleach/FolderList.h"
#include "platform/TextFile.h"
#include "platform/inetcache/InetCache.h"
#include "scripts/QuickCleanUpPage.h"
#include "scripts/ScriptEditorPage.h"
#include "host/MActivityReport.h"
#include "host/MRunUrlHound.h"
#include "host/UserSettingsFile.h"
#include "shell/frmMain.h"
#include "host/frmRefreshingCache.h"
#include "support/GuiTestSupport.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "RunFakes.h"

using namespace brimlow;

namespace {

// The real runner, with a look at the progress window while the tool runs.
class ProbeRunner final : public ProcessRunner {
public:
    void RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& folder) override
    {
        if (main && *main && (*main)->refreshingCache())
            barShown.push_back((*main)->refreshingCache()->isVisible() &&
                               (*main)->refreshingCache()->ProgressBar1->isVisible());
        real.RunAndWait(argv, folder);
    }
    frmMain** main = nullptr;
    std::vector<bool> barShown;
    PosixProcessRunner real;
};

class RecordingScripts final : public ScriptRunner {
public:
    bool LoadScriptFile(const std::filesystem::path& path) override
    {
        loaded.push_back(path.filename().string());
        return std::filesystem::exists(path);
    }
    void EmptyScript() override {}
    void ClearCommand() override {}
    bool TestScript() override
    {
        ++tests;
        playing = !refuse;
        return playing;
    }
    bool IsPlaying() const override { return playing; }
    void SetRunListener(ScriptRunListener* l) override { listener = l; }
    void End(ScriptRunEnd how = ScriptRunEnd::Completed)
    {
        playing = false;
        listener->ScriptRunEnded(how);
    }
    std::vector<std::string> loaded;
    int tests = 0;
    bool playing = false;
    bool refuse = false;  // the test refuses the next scripts
    ScriptRunListener* listener = nullptr;
};

using test::Count;

class QuickCleanUpTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    frmMain* mainPtr = nullptr;
    std::unique_ptr<frmMain> main;
    ProbeRunner runner;
    RecordingScripts scripts;
    QuickCleanUpPage* page = nullptr;
    std::string user = test::kTestUser;

    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.user.name = user;
        tp.platform.runner = &runner;
        runner.main = &mainPtr;
        dir.WithUrlHound();
    }
    void TearDown() override
    {
        main.reset();
        ReleaseCookieTables();
        ReleaseSelectedScripts();
    }
    std::string Source(const std::string& site, const std::string& owner = "")
    {
        return "Cookie:" + (owner.empty() ? user : owner) + "@" + site + "/";
    }
    void Seed(const std::vector<std::string>& sources)
    {
        test::SeedCookieSources(dir.storeFolder(), sources);
    }
    void Start()
    {
        main = std::make_unique<frmMain>(tp.platform);
        mainPtr = main.get();
        page = &main->quickCleanUpPage();
        page->SetScriptRunner(&scripts);
        main->show();
        main->Form_Load();
    }
    void Script(const std::string& name, bool checked)
    {
        dir.Write(name, "/usr/bin/true\r\n\x01\r\nA script\r\n\x01\r\nabc\r\n");
        page->ListScriptFiles();
        page->QC_lstScripts->item(page->QC_lstScripts->count() - 1)->setCheckState(checked ? Qt::Checked
                                                                                          : Qt::Unchecked);
    }
    std::string StoreRows() { return test::RunSqlite(dir.storeFolder(), "SELECT * FROM entries ORDER BY seq;"); }
    std::string Log() { return ReadActivityLog(tp.platform); }
};

}  // namespace

TEST_F(QuickCleanUpTest, CheckedScriptsRunInOrderAndAMissingOneIsSkipped)
{
    Start();
    Script("1first.scr", true);
    Script("2skip.scr", false);
    Script("3third.scr", true);
    Script("4gone.scr", true);
    Script("5last.scr", true);
    std::filesystem::remove(dir.file("4gone.scr"));
    page->QC_cmdExecute_Click();
    page->Timer2_Timer();
    EXPECT_EQ(scripts.loaded, std::vector<std::string>{"1first.scr"});
    EXPECT_FALSE(page->Timer2->isActive()) << "Timer2 waits for the script's end";
    scripts.End();
    ASSERT_TRUE(page->Timer2->isActive());
    page->Timer2_Timer();  // the unchecked entry: one more delay
    EXPECT_EQ(scripts.loaded.size(), 1u);
    EXPECT_TRUE(page->Timer2->isActive());
    page->Timer2_Timer();
    EXPECT_EQ(scripts.loaded, (std::vector<std::string>{"1first.scr", "3third.scr"}));
    scripts.End();
    page->Timer2_Timer();  // the missing one: a log line, and on with the next
    EXPECT_EQ(scripts.tests, 2) << "nothing is replayed for the missing script";
    EXPECT_NE(Log().find("ERROR: Script could not be loaded\r\n" + dir.file("4gone.scr").string()), std::string::npos);
    ASSERT_TRUE(page->Timer2->isActive());
    page->Timer2_Timer();
    EXPECT_EQ(scripts.loaded.back(), "5last.scr");
    scripts.End();
    page->Timer2_Timer();
    EXPECT_FALSE(page->bQuickCleanupRunning);
    EXPECT_EQ(page->iScriptStep, 0u);
    EXPECT_EQ(Count(Log(), "Loading script: "), 4u);
}

TEST_F(QuickCleanUpTest, ExecuteDuringARunDoesNothingAndAStalledRunResumes)
{
    Start();
    Script("a.scr", true);
    Script("b.scr", true);
    page->QC_cmdExecute_Click();
    scripts.refuse = true;  // the test refuses the first: the run stands still
    page->Timer2_Timer();
    EXPECT_FALSE(scripts.playing);
    EXPECT_FALSE(page->Timer2->isActive());
    EXPECT_TRUE(page->bQuickCleanupRunning);
    EXPECT_EQ(page->run().state(), CleanupState::Stalled);
    scripts.refuse = false;
    page->QC_cmdExecute_Click();
    ASSERT_TRUE(page->Timer2->isActive());
    page->Timer2_Timer();
    EXPECT_EQ(scripts.loaded, (std::vector<std::string>{"a.scr", "b.scr"}));
    EXPECT_TRUE(scripts.playing);
    page->QC_cmdExecute_Click();  // under way: nothing
    EXPECT_FALSE(page->Timer2->isActive());
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    scripts.End();
    // An entry deleted while the run stood still: an index past the end ends the run.
    delete page->QC_lstScripts->takeItem(1);
    page->Timer2_Timer();
    EXPECT_FALSE(page->bQuickCleanupRunning);
}

TEST_F(QuickCleanUpTest, TheDelayCases)
{
    Start();
    struct Case {
        const char* text;
        const char* message;
        int interval;
    } cases[] = {
        {"abc", "Delay Script value must be numeric.", 0},
        {"0", "Delay Script value can not be greater than 10000 or less than 1.", 0},
        {"1", nullptr, 1}, {"10000", nullptr, 10000}, {"1.5", nullptr, 2}, {"2.5", nullptr, 2},
    };
    for (const auto& c : cases) {
        tp.dialogs.boxes.clear();
        page->QC_txtDelay->setText(c.text);
        page->QC_cmdExecute_Click();
        if (c.message) {
            ASSERT_EQ(tp.dialogs.boxes.size(), 1u) << c.text;
            EXPECT_EQ(tp.dialogs.boxes[0].text, c.message);
            EXPECT_EQ(tp.dialogs.boxes[0].title, "Delay Error");
            EXPECT_EQ(tp.dialogs.boxes[0].icon, MsgBoxIcon::None);
            EXPECT_FALSE(page->Timer2->isActive());
        } else {
            EXPECT_TRUE(tp.dialogs.boxes.empty()) << c.text;
            EXPECT_TRUE(page->Timer2->isActive());
            EXPECT_EQ(page->Timer2->interval(), std::chrono::milliseconds(c.interval)) << c.text;
            page->Timer2_Timer();  // no cookies, no scripts: the run ends at its first tick
            EXPECT_EQ(page->run().state(), CleanupState::Idle);
        }
    }
}

TEST_F(QuickCleanUpTest, MovingEntriesAndNewScriptFiles)
{
    Seed({Source("e1.example"), Source("e2.example"), Source("e3.example"), Source("e4.example"),
          Source("e5.example")});
    Start();
    // No current entry: nothing moves even with entries selected.
    page->QC_lstCookies->setCurrentRow(-1);
    page->QC_lstCookies->setRowSelected(0, true);
    page->QC_cmdAdd_Click();
    EXPECT_EQ(page->QC_lstDelCookies->count(), 0);
    page->QC_lstCookies->clearSelection();
    page->QC_lstCookies->setCurrentRow(0, QItemSelectionModel::Select);
    page->QC_lstCookies->setRowSelected(2, true);
    page->QC_cmdAdd_Click();
    EXPECT_EQ(test::ListLines(page->QC_lstDelCookies), (std::vector<std::string>{Source("e3.example"), Source("e1.example")}));
    EXPECT_EQ(page->QC_lstCookies->count(), 3);
    // The double-click on the protected list moves back.
    page->QC_lstDelCookies->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    page->QC_lstDelCookies_DblClick();
    EXPECT_EQ(test::ListLines(page->QC_lstDelCookies), std::vector<std::string>{Source("e1.example")});

    dir.Write("old.scr", "t\r\n");
    main->SSTab1->setCurrentIndex(frmMain::kScriptEditor);
    main->SSTab1->setCurrentIndex(frmMain::kQuickCleanUp);
    ASSERT_EQ(test::ListLines(page->QC_lstScripts), std::vector<std::string>{"old.scr"});
    page->QC_lstScripts->item(0)->setCheckState(Qt::Checked);
    dir.Write("X.SCR", "t\r\n");
    dir.Write("a.scr.txt", "t\r\n");
    dir.Write("x.scr", "t\r\n");
    ASSERT_EQ(::mkfifo(dir.file("pipe.scr").c_str(), 0600), 0);  // no file to read: never a script
    dir.Write("two\nlines.scr", "t\r\n");  // the settings file could not keep its check
    main->SSTab1->setCurrentIndex(frmMain::kScriptEditor);
    main->SSTab1->setCurrentIndex(frmMain::kQuickCleanUp);
    EXPECT_EQ(test::ListLines(page->QC_lstScripts), (std::vector<std::string>{"old.scr", "x.scr"}));
    EXPECT_EQ(page->QC_lstScripts->item(0)->checkState(), Qt::Checked) << "checks are kept";
    EXPECT_EQ(page->QC_lstScripts->item(1)->checkState(), Qt::Unchecked);
}

TEST_F(QuickCleanUpTest, ShowingAScriptAndDeletingOne)
{
    Start();
    dir.Write("d.scr", "/usr/bin/app\r\n\x01\r\nline one\r\nline two\r\nline three\r\n\x01\r\n[ALT]f\r\nx\r\n");
    dir.Write("n.scr", "/usr/bin/app\r\nfirst\r\nsecond\r\n");
    page->ListScriptFiles();
    page->QC_lstScripts->setCurrentRow(0);
    page->QC_lstScripts_Click();
    EXPECT_EQ(page->QC_rtfScriptDescription->toPlainText().toStdString(), "line one\nline two\nline three\n");
    EXPECT_EQ(test::ListLines(page->QC_lstScriptCommands), (std::vector<std::string>{"[ALT]f", "x"}));
    page->QC_lstScripts->setCurrentRow(1);
    page->QC_lstScripts_Click();
    EXPECT_EQ(page->QC_rtfScriptDescription->toPlainText().toStdString(), "");
    EXPECT_EQ(test::ListLines(page->QC_lstScriptCommands), (std::vector<std::string>{"first", "second"}));

    ResetActivityLog(tp.platform);
    tp.dialogs.answers = {MsgBoxAnswer::No};
    page->QC_cmdDeleteScript_Click();
    EXPECT_TRUE(dir.Exists("n.scr"));
    EXPECT_EQ(Log(), "\r\n\r\nBleach Utility: [Delete Script] clicked\r\nBleach Utility: [Delete Script] cancelled by user\r\n");
    EXPECT_EQ(tp.dialogs.boxes.back().title, "Delete Confirmation");
    // The file has already gone: Yes removes its entry without a fault.
    std::filesystem::remove(dir.file("n.scr"));
    tp.dialogs.answers = {MsgBoxAnswer::Yes};
    page->QC_cmdDeleteScript_Click();
    EXPECT_EQ(test::ListLines(page->QC_lstScripts), std::vector<std::string>{"d.scr"});
    tp.dialogs.answers = {MsgBoxAnswer::Yes};
    page->QC_lstScripts->setCurrentRow(0);
    page->QC_cmdDeleteScript_Click();
    EXPECT_FALSE(dir.Exists("d.scr"));
    EXPECT_EQ(page->QC_lstScripts->count(), 0);
    page->QC_cmdDeleteScript_Click();
    EXPECT_EQ(tp.dialogs.boxes.back().title, "Selection Error");
    EXPECT_EQ(tp.dialogs.boxes.back().text, "   You must first select a script to be deleted.");
}

// A listed script that a FIFO has taken the place of is refused at once by the click, Edit
// Script and so the clean-up's load: nothing waits for a writer that never comes.
TEST_F(QuickCleanUpTest, AScriptThatBecameAFifoIsRefusedNotWaitedOn)
{
    dir.Write("a.scr", "/usr/bin/app\r\nfirst\r\n");
    Start();
    auto& se = main->scriptEditorPage();
    page->SetScriptRunner(&se);
    ASSERT_EQ(test::ListLines(page->QC_lstScripts), std::vector<std::string>{"a.scr"});
    std::filesystem::remove(dir.file("a.scr"));
    ASSERT_EQ(::mkfifo(dir.file("a.scr").c_str(), 0600), 0);
    const std::size_t boxes = tp.dialogs.boxes.size();
    page->QC_lstScripts->setCurrentRow(0);
    ASSERT_EQ(tp.dialogs.boxes.size(), boxes + 1);
    EXPECT_EQ(tp.dialogs.boxes.back().title, "File I\\O Error");
    EXPECT_EQ(page->QC_lstScriptCommands->count(), 0);
    page->QC_cmdEditScript_Click();
    ASSERT_EQ(tp.dialogs.boxes.size(), boxes + 2);
    EXPECT_NE(tp.dialogs.boxes.back().text.find(dir.file("a.scr").string()), std::string::npos);
    EXPECT_EQ(se.SE_lstCommands->count(), 0);
}

TEST_F(QuickCleanUpTest, EditScriptThenNewScriptLeavesTheEditorEmptyButItsDescription)
{
    dir.Write("d.scr", "/usr/bin/app\r\n\x01\r\nthe description\r\n\x01\r\n[ALT]f\r\nx\r\n");
    Start();
    auto& se = main->scriptEditorPage();
    page->SetScriptRunner(&se);
    page->QC_lstScripts->setCurrentRow(0);
    page->QC_cmdEditScript_Click();
    EXPECT_EQ(main->SSTab1->currentIndex(), frmMain::kScriptEditor);
    EXPECT_EQ(se.SE_txtScriptName->text().toStdString(), dir.file("d.scr").string());
    EXPECT_EQ(se.SE_lstCommands->count(), 2);
    se.SE_cmdAlt_Click();
    ASSERT_EQ(se.strCommand(), "[ALT]");

    main->SSTab1->setCurrentIndex(frmMain::kQuickCleanUp);
    page->QC_cmdNewScript_Click();
    EXPECT_EQ(main->SSTab1->currentIndex(), frmMain::kScriptEditor);
    EXPECT_EQ(se.SE_txtScriptName->text().toStdString(), "");
    EXPECT_EQ(se.SE_txtTargetName->text().toStdString(), "");
    EXPECT_EQ(se.SE_lstCommands->count(), 0);
    EXPECT_EQ(se.strCommand(), "");
    EXPECT_EQ(se.SE_txtScript->toPlainText().toStdString(), "");
    EXPECT_EQ(se.SE_rtfScriptDescription->toPlainText().toStdString(), "the description");
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(QuickCleanUpTest, TheLayout)
{
    Start();
    EXPECT_EQ(main->SSTab1->currentIndex(), 0);
    EXPECT_EQ(page->QC_txtDelay->text().toStdString(), "500");
    EXPECT_EQ(page->QC_cmdAdd->text().toStdString(), "Add --->");
    EXPECT_EQ(page->QC_cmdAdd->toolTip().toStdString(), "Protect the selected cookies from delection.");
    EXPECT_EQ(page->QC_cmdExecute->toolTip().toStdString(),
              "Delete all unportected cookies and execute all scripts marked with a check.");
    EXPECT_EQ(page->Image3->toolTip().toStdString(), "click to refresh cache");
    EXPECT_EQ(page->QC_lstCookies->accessibleName().toStdString(), "Cookies To Be Deleted:");
    EXPECT_EQ(page->QC_lstDelCookies->accessibleName().toStdString(), "Protected Cookies:");
    EXPECT_EQ(page->QC_cmdDeleteScript->property("helpContextId").toInt(), 111);
    EXPECT_EQ(page->QC_rtfScriptDescription->property("helpContextId").toInt(), 104);
    EXPECT_EQ(page->QC_lstScriptCommands->geometry(), page->QC_rtfScriptDescription->geometry());
    // The up-down control steps by 10 and never leaves 1..10000.
    page->QC_txtDelay->setText("9995");
    page->UpDown1->stepBy(1);
    EXPECT_EQ(page->QC_txtDelay->text().toStdString(), "10000");
    page->QC_txtDelay->setText("15");
    page->UpDown1->stepBy(-1);
    EXPECT_EQ(page->QC_txtDelay->text().toStdString(), "5");
    page->UpDown1->stepBy(-1);
    EXPECT_EQ(page->QC_txtDelay->text().toStdString(), "1");
    // Focus order: the delay box and its control come last.
    std::vector<std::string> order;
    QWidget* w = page->QC_lstCookies;
    do {
        const QString name = w->objectName();
        if ((name.startsWith("QC_") || name == "UpDown1") && (order.empty() || order.back() != name.toStdString()))
            order.push_back(name.toStdString());
        w = w->nextInFocusChain();
    } while (w != page->QC_lstCookies);
    EXPECT_EQ(order, (std::vector<std::string>{"QC_lstCookies", "QC_lstDelCookies", "QC_lstScripts",
                                               "QC_lstScriptCommands", "QC_cmdAdd", "QC_cmdRemove", "QC_cmdExecute",
                                               "QC_cmdExit", "QC_cmdEditScript", "QC_cmdNewScript",
                                               "QC_cmdDeleteScript", "QC_rtfScriptDescription", "QC_txtDelay",
                                               "UpDown1"}));
}

TEST_F(QuickCleanUpTest, ARestartKeepsProtectedCookiesChecksDelayAndFolder)
{
    Seed({Source("keep.example"), Source("other.example")});
    dir.Write("a.scr", "t\r\n");
    dir.Write("b.scr", "t\r\n");
    Start();
    page->QC_lstCookies->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    page->QC_cmdAdd_Click();
    page->QC_lstScripts->item(1)->setCheckState(Qt::Checked);
    page->QC_txtDelay->setText("750");
    const std::filesystem::path kept = dir.root() / "kept folder";
    std::filesystem::create_directories(kept);
    main->bleachUtilityPage().BU_Dir1->SetPath(kept.string());
    main->close();  // the shut-down saves the settings
    EXPECT_EQ(tp.exit.calls, 1);
    ASSERT_TRUE(dir.Exists(user + ".dat"));
    main.reset();

    Start();
    EXPECT_EQ(test::ListLines(page->QC_lstDelCookies), std::vector<std::string>{Source("keep.example")});
    EXPECT_EQ(test::ListLines(page->QC_lstCookies), std::vector<std::string>{Source("other.example")});
    EXPECT_EQ(page->QC_lstScripts->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(page->QC_lstScripts->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(page->QC_txtDelay->text().toStdString(), "750");
    EXPECT_EQ(main->bleachUtilityPage().Folder(), kept.string());
}

// ---- the cookie phase ----

class QuickCleanUpRealEditorTest : public QuickCleanUpTest {
protected:
    void SetCookie(const std::string& site, const std::string& nameValue)
    {
        ASSERT_TRUE(inetcache::InternetSetCookie("http://" + site + "/", "",
                                                 nameValue + "; expires=Fri, 01 Jan 2038 00:00:00 GMT",
                                                 test::TestStoreAccess(dir.storeFolder())));
    }
    std::map<std::string, std::string> CookieFiles()
    {
        std::map<std::string, std::string> all;
        for (const auto& f : textfile::FolderFiles(dir.storeFolder() / "Cookies"))
            all[f.name] = textfile::ReadAll(f.path);
        return all;
    }
};

TEST_F(QuickCleanUpRealEditorTest, ExecuteDeletesExactlyTheUnprotectedSources)
{
    for (const char* site : {"a.example", "b.example", "c.example", "d.example", "e.example"})
        SetCookie(site, "id=1");
    SetCookie("b.example", "more=2");
    Start();
    ASSERT_EQ(page->QC_lstCookies->count(), 5);
    page->QC_lstCookies->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    page->QC_lstCookies->setRowSelected(3, true);
    page->QC_cmdAdd_Click();
    const std::string keptRows = StoreRows();
    std::map<std::string, std::string> keptFiles;
    for (const auto& [name, bytes] : CookieFiles())
        if (name.find("b.example") != std::string::npos || name.find("d.example") != std::string::npos)
            keptFiles[name] = bytes;
    ASSERT_EQ(keptFiles.size(), 2u);
    ResetActivityLog(tp.platform);
    runner.barShown.clear();

    page->QC_txtDelay->setText("1");
    QTest::mouseClick(page->QC_cmdExecute, Qt::LeftButton);
    EXPECT_TRUE(page->Timer2->isActive());
    EXPECT_EQ(page->Timer2->interval(), std::chrono::milliseconds(1));
    tp.scheduler.Advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(!page->bQuickCleanupRunning && !page->Timer2->isActive());
    // Every refresh of the pass runs with the progress window and its bar on screen.
    ASSERT_FALSE(runner.barShown.empty());
    EXPECT_EQ(runner.barShown, std::vector<bool>(runner.barShown.size(), true));
    EXPECT_FALSE(main->refreshingCache()->isVisible());
    const std::string rows = StoreRows();
    EXPECT_NE(rows.find(Source("b.example")), std::string::npos);
    EXPECT_NE(rows.find(Source("d.example")), std::string::npos);
    EXPECT_EQ(test::RunSqlite(dir.storeFolder(), "SELECT count(*) FROM entries;"), "2\n");
    // The protected two: their rows and their cookie files byte for byte.
    std::string keptOnly;
    for (std::string_view rest = keptRows, line; textfile::NextLine(rest, line);)
        if (line.find(Source("b.example")) != std::string_view::npos ||
            line.find(Source("d.example")) != std::string_view::npos)
            keptOnly += std::string(line) + "\n";
    EXPECT_EQ(rows, keptOnly);
    EXPECT_EQ(CookieFiles(), keptFiles);

    const std::string log = Log();
    EXPECT_EQ(log.find("\r\n\r\n\r\nQuick Cleanup: [Execute] clicked\r\nDeleting Cookies:\r\n"), 0u) << log;
    EXPECT_EQ(Count(log, "Deleting Cookies:\r\n"), 1u) << log;
    EXPECT_EQ(Count(log, "Deleting file\r\n"), 3u) << log;
    EXPECT_EQ(Count(log, "\r\nDeletion Complete:  "), 1u);
    EXPECT_EQ(Count(log, "ERROR"), 0u) << log;
    EXPECT_EQ(test::ListLines(page->QC_lstCookies), std::vector<std::string>{});
}

TEST_F(QuickCleanUpRealEditorTest, AnotherUsersSourceYieldsThreePassesThenTheScriptsRun)
{
    SetCookie("mine.example", "id=1");
    test::RunSqlite(dir.storeFolder(),
                    "INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time) VALUES("
                    "'Cookie:someoneelse@theirs.example/', '/nonexistent/theirs.txt', 1, 133000000000000000, "
                    "132000000000000000);");
    dir.Write("a.scr", "/usr/bin/true\r\nabc\r\n");
    Start();
    page->QC_lstScripts->item(0)->setCheckState(Qt::Checked);
    ResetActivityLog(tp.platform);
    page->QC_cmdExecute_Click();
    page->Timer2_Timer();
    const std::string log = Log();
    EXPECT_EQ(Count(log, "Deleting Cookies:\r\n"), 3u) << log;
    EXPECT_EQ(Count(log, kNotOwnCookieLog), 3u) << log;
    EXPECT_EQ(test::ListLines(page->QC_lstCookies), std::vector<std::string>{"Cookie:someoneelse@theirs.example/"});
    EXPECT_EQ(test::RunSqlite(dir.storeFolder(), "SELECT count(*) FROM entries;"), "1\n");
    EXPECT_EQ(scripts.loaded, std::vector<std::string>{"a.scr"});
}
