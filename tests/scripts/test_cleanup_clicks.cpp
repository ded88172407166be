// Clicks that come while a quick clean-up or a test runs, in the real main window with the
// real Cookie Editor, UrlHound and store; the key sender and the launcher are the fakes and
// the timers run on fake time. Each disturbed run must leave the log, the store and the
// keys that one undisturbed run leaves.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "cookies/MCookieEditor.h"
#include "host/MActivityReport.h"
#include "host/UserSettingsFile.h"
#include "platform/TextFile.h"
#include "platform/inetcache/InetCache.h"
#include "scripts/QuickCleanUpPage.h"
#include "scripts/RunRequests.h"
#include "scripts/ScriptEditorPage.h"
#include "shell/frmMain.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "RunFakes.h"

using namespace brimlow;
using namespace std::chrono_literals;

namespace {

// What a run leaves behind.
struct Outcome {
    std::string log;
    std::string store;
    std::vector<std::string> cookieFiles;
    std::vector<std::string> keys;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os)
{
    *os << "log:\n" << o.log << "\nstore:\n" << o.store << "keys: " << o.keys.size();
}

using test::Count;

// One program folder, store and main window: three cookie sources of this user, one of
// another user (refused, so the phase makes all three passes), one checked script.
class Bench {
public:
    Bench()
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.clock.now = std::chrono::system_clock::from_time_t(1765356000);  // on a whole minute
        dir.WithUrlHound();
        for (const char* site : {"a.example", "b.example", "c.example"})
            for (const char* cookie : {"id=1", "more=2"})
                EXPECT_TRUE(inetcache::InternetSetCookie(std::string("http://") + site + "/", "",
                                                         std::string(cookie) + "; expires=Fri, 01 Jan 2038 00:00:00 GMT",
                                                         test::TestStoreAccess(dir.storeFolder())));
        const auto theirs = dir.storeFolder() / "theirs.txt";
        test::TempProgramFolder::WriteFile(theirs, "id\n1\ntheirs.example/\n0\n0\n0\n0\n0\n*\n");
        test::RunSqlite(dir.storeFolder(),
                        "INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time) VALUES("
                        "'Cookie:someoneelse@theirs.example/', '" + theirs.string() + "', 1, 133000000000000000, "
                        "132000000000000000);");
        dir.Write("clean.scr", "/opt/sink\r\n\x01\r\nClears it.\r\n\x01\r\n[ALT]t\r\nx\r\n[ENTER]\r\n");
        main = std::make_unique<frmMain>(tp.platform);
        main->show();
        main->Form_Load();
        qc = &main->quickCleanUpPage();
        se = &main->scriptEditorPage();
        EXPECT_EQ(qc->QC_lstCookies->count(), 4);
        EXPECT_EQ(qc->QC_lstScripts->count(), 1);
        qc->QC_lstScripts->item(0)->setCheckState(Qt::Checked);
        qc->QC_lstScripts->setCurrentRow(0);
        qc->QC_txtDelay->setText("100");
        // A command being recorded in the editor: the run must leave it as it is.
        se->SE_cmdAlt_Click();
        ResetActivityLog(tp.platform);
    }
    ~Bench()
    {
        tp.runner.beforeRun = nullptr;
        main.reset();
        ReleaseCookieTables();
        ReleaseSelectedScripts();
    }
    bool Busy() const { return qc->run().state() != CleanupState::Idle || se->IsPlaying(); }
    void ToTheEnd()
    {
        for (auto t = 0ms; t < 120s && Busy(); t += 10ms)
            tp.scheduler.Advance(10ms);
        EXPECT_FALSE(Busy());
    }
    Outcome Result()
    {
        Outcome o;
        o.log = ReadActivityLog(tp.platform);
        for (std::size_t at; (at = o.log.find(dir.root().string())) != std::string::npos;)
            o.log.replace(at, dir.root().string().size(), "<root>");
        o.store = test::RunSqlite(dir.storeFolder(), "SELECT url FROM entries ORDER BY url;");
        // A cookie file's name ends in a random version, another in each run.
        for (const auto& f : textfile::FolderFiles(dir.storeFolder() / "Cookies"))
            o.cookieFiles.push_back(f.name.size() > 7 && f.name[f.name.size() - 7] == '.'
                                        ? f.name.substr(0, f.name.size() - 7)
                                        : f.name);
        std::sort(o.cookieFiles.begin(), o.cookieFiles.end());
        for (const auto& k : tp.keys.sent)
            o.keys.push_back(k.keys);
        return o;
    }
    // While the run deletes, UrlHound runs: the window lets messages run meanwhile, so
    // clicks arrive then and timers that fell due would fire.
    void DuringEachUrlHoundRun(std::function<void()> act)
    {
        tp.runner.beforeRun = [this, act](const test::RunCall&) {
            act();
            tp.scheduler.Advance(5ms);
        };
    }
    std::vector<std::string> BoxTitles() const
    {
        std::vector<std::string> titles;
        for (const auto& b : tp.dialogs.boxes)
            titles.push_back(b.title);
        return titles;
    }

    test::TempProgramFolder dir;
    test::TestPlatform tp;
    std::unique_ptr<frmMain> main;
    QuickCleanUpPage* qc = nullptr;
    ScriptEditorPage* se = nullptr;
};

class CleanupClicksTest : public testing::Test {
protected:
    // One undisturbed quick clean-up.
    static Outcome Single()
    {
        Bench b;
        QTest::mouseClick(b.qc->QC_cmdExecute, Qt::LeftButton);
        b.ToTheEnd();
        EXPECT_TRUE(b.tp.dialogs.boxes.empty());
        return b.Result();
    }
};

TEST_F(CleanupClicksTest, OneRunLeavesOneCookiePhaseOneScriptAndTheKeyStrokesBeingRecorded)
{
    Bench b;
    QTest::mouseClick(b.qc->QC_cmdExecute, Qt::LeftButton);
    b.ToTheEnd();
    const Outcome o = b.Result();
    EXPECT_EQ(o.store, "Cookie:someoneelse@theirs.example/\n");
    EXPECT_TRUE(o.cookieFiles.empty());
    EXPECT_EQ(o.keys, (std::vector<std::string>{"%(t)", "x", "{ENTER}"}));
    EXPECT_EQ(Count(o.log, "Deleting Cookies:\r\n"), 3u) << o.log;
    EXPECT_EQ(Count(o.log, kNotOwnCookieLog), 3u);
    EXPECT_EQ(Count(o.log, "ERROR"), 0u) << o.log;
    EXPECT_EQ(Count(o.log, "Loading script: "), 1u);
    EXPECT_EQ(Count(o.log, "Completed script execution: "), 1u);
    EXPECT_TRUE(b.tp.dialogs.boxes.empty());
    // The run's load left the command being recorded as it was.
    EXPECT_EQ(b.se->strCommand(), "[ALT]");
    EXPECT_EQ(b.se->SE_txtScript->toPlainText().toStdString(), "[ALT]");
    EXPECT_EQ(b.se->SE_txtScriptName->text().toStdString(), b.dir.file("clean.scr").string());
}

TEST_F(CleanupClicksTest, ExecuteClickedAgainDuringTheCookiePhaseGivesOneRun)
{
    const Outcome single = Single();
    Bench b;
    int clicks = 0;
    QTest::mouseClick(b.qc->QC_cmdExecute, Qt::LeftButton);
    b.DuringEachUrlHoundRun([&] {
        ++clicks;
        QTest::mouseClick(b.qc->QC_cmdExecute, Qt::LeftButton);
    });
    b.ToTheEnd();
    EXPECT_GE(clicks, 1);
    EXPECT_EQ(b.Result(), single);
    EXPECT_TRUE(b.tp.dialogs.boxes.empty());
}

TEST_F(CleanupClicksTest, ADoubleClickWithADelayOfOneAndAClickDuringTheDelayGiveOneRun)
{
    {
        Bench b;
        b.qc->QC_txtDelay->setText("1");
        QTest::mouseDClick(b.qc->QC_cmdExecute, Qt::LeftButton);
        QTest::mouseClick(b.qc->QC_cmdExecute, Qt::LeftButton);
        b.ToTheEnd();
        const Outcome o = b.Result();
        EXPECT_EQ(Count(o.log, "Quick Cleanup: [Execute] clicked"), 1u);
        EXPECT_EQ(Count(o.log, "Deleting Cookies:\r\n"), 3u);
        EXPECT_EQ(o.keys.size(), 3u);
        EXPECT_TRUE(b.tp.dialogs.boxes.empty());
    }
    const Outcome single = Single();
    Bench b;
    QTest::mouseClick(b.qc->QC_cmdExecute, Qt::LeftButton);
    b.tp.scheduler.Advance(50ms);
    QTest::mouseClick(b.qc->QC_cmdExecute, Qt::LeftButton);
    b.ToTheEnd();
    EXPECT_EQ(b.Result(), single);
}

TEST_F(CleanupClicksTest, LoadEditTestNewAndDeleteDuringARunChangeNothingOfIt)
{
    const Outcome single = Single();
    Bench b;
    b.tp.dialogs.openPaths.push_back(b.dir.file("clean.scr").string());
    // Were Delete Script to ask, it would be told Yes.
    b.tp.dialogs.answers = {MsgBoxAnswer::Yes, MsgBoxAnswer::Yes, MsgBoxAnswer::Yes};
    const auto everything = [&] {
        b.se->SE_cmdLoad_Click();
        b.se->SE_cmdTest_Click();
        b.qc->QC_cmdEditScript_Click();
        b.qc->QC_cmdNewScript_Click();
        b.qc->QC_cmdDeleteScript_Click();
    };
    QTest::mouseClick(b.qc->QC_cmdExecute, Qt::LeftButton);
    b.DuringEachUrlHoundRun(everything);
    for (auto t = 0ms; t < 60s && b.se->player().state() != PlayerState::Playing; t += 10ms)
        b.tp.scheduler.Advance(10ms);
    ASSERT_EQ(b.se->player().state(), PlayerState::Playing);
    b.tp.runner.beforeRun = nullptr;
    everything();  // while the script is being sent
    b.ToTheEnd();

    EXPECT_EQ(b.Result(), single);
    // Load and Test were told that a run is under way; nothing else said a word.
    const std::vector<std::string> titles = b.BoxTitles();
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(titles, std::vector<std::string>(titles.size(), kTestRunningTitle));
    EXPECT_EQ(b.tp.dialogs.boxes.front().text, kCleanupRunningMessage);
    EXPECT_EQ(b.tp.dialogs.boxes.back().text, kTestRunningMessage);
    EXPECT_TRUE(b.tp.dialogs.openDialogs.empty());
    EXPECT_TRUE(b.dir.Exists("clean.scr"));
    EXPECT_EQ(b.qc->QC_lstScripts->count(), 1);
    EXPECT_EQ(b.main->SSTab1->currentIndex(), frmMain::kQuickCleanUp);
    EXPECT_EQ(b.se->strCommand(), "[ALT]");
}

TEST_F(CleanupClicksTest, ExecuteDuringATestIsRefusedAndTheTestFinishesWhole)
{
    const auto test = [](Bench& b) {
        b.main->SSTab1->setCurrentIndex(frmMain::kScriptEditor);
        ASSERT_TRUE(b.se->LoadScriptFile(b.dir.file("clean.scr")));
        QTest::mouseClick(b.se->SE_cmdTest, Qt::LeftButton);
        ASSERT_TRUE(b.se->IsPlaying());
    };
    Outcome alone;
    {
        Bench b;
        test(b);
        b.ToTheEnd();
        alone = b.Result();
        EXPECT_EQ(alone.keys.size(), 3u);
    }
    Bench b;
    test(b);
    b.tp.scheduler.Advance(60ms);  // the target is up, the first command sent
    b.qc->QC_cmdExecute_Click();
    b.ToTheEnd();
    EXPECT_EQ(b.Result(), alone);
    EXPECT_EQ(b.BoxTitles(), std::vector<std::string>{kTestRunningTitle});
    EXPECT_EQ(b.tp.dialogs.boxes[0].text, kTestRunningMessage);
    const std::string log = b.Result().log;
    EXPECT_EQ(Count(log, "Completed script execution: "), 1u);
    EXPECT_LT(log.find("Sending keys: [ENTER]"), log.find("Completed script execution: "));
    EXPECT_NE(b.Result().store.find("Cookie:tester@a.example/"), std::string::npos) << "no cookie was deleted";
}

}  // namespace
