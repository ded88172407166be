// The quick clean-up on a real X display: the real main window with its real
// Quick Clean Up and Script Editor pages, the real timers, the real launcher starting the key
// sink and the real key sender typing into it. Only the message boxes are fakes.
#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QTabWidget>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

#include "host/MActivityReport.h"
#include "host/frmRefreshingCache.h"
#include "host/UserSettingsFile.h"
#include "cookies/MCookieEditor.h"
#include "platform/inetcache/InetCache.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtText.h"
#include "platform/x11/X11Keys.h"
#include "scripts/QuickCleanUpPage.h"
#include "scripts/ScriptEditorPage.h"
#include "shell/frmMain.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "x11support/XSession.h"

using namespace brimlow;
namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kDelayMs = 300;

// The sink's lines for a word typed in lower case: each letter pressed and released.
std::string Typed(const std::string& word)
{
    std::string out;
    for (char c : word) {
        const char up = static_cast<char>(c - 'a' + 'A');
        out += std::string("down ") + up + " -\nup " + up + " -\n";
    }
    return out;
}

class QuickCleanUpOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.ok()) << "no test display";
        fs::create_directories(dir.folder() / "app");
        fs::copy_file(KEYSINK_PATH, sink());
        dir.WithUrlHound();
        test::CreateStore(dir.storeFolder());  // an empty cache: the start-up has nothing to report
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.platform.scheduler = &scheduler;
        tp.platform.launcher = &keys;
        tp.platform.keys = &keys;
        tp.clock.now = std::chrono::system_clock::from_time_t(1765356000);
        main = std::make_unique<frmMain>(tp.platform);
        main->show();
        main->Form_Load();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        qc = &main->quickCleanUpPage();
        se = &main->scriptEditorPage();
        QObject::connect(qc, &QuickCleanUpPage::runMoved, [this] { ticks.push_back(Steady::now()); });
    }
    void TearDown() override
    {
        main.reset();
        test::EndProcessesOf(sink());
        ReleaseCookieTables();
        ReleaseSelectedScripts();
    }
    fs::path sink() const { return dir.folder() / "app" / "keysink"; }
    fs::path sinkLog() const { return dir.folder() / "app" / "keysink.log"; }
    std::string Stamp() const
    {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(1765356000);
        const QLocale l = QLocale::system();
        return ToBytes(l.toString(when.date(), QLocale::ShortFormat)) + "  " +
               ToBytes(l.toString(when.time(), QLocale::ShortFormat));
    }
    // A script that types one word into the sink, listed at the end of the script list.
    void Script(const std::string& name, const std::string& word, bool checked)
    {
        dir.Write(name, sink().string() + "\r\n\x01\r\nTypes " + word + ".\r\n\x01\r\n" + word + "\r\n");
        qc->ListScriptFiles();
        QListWidgetItem* item = qc->QC_lstScripts->item(qc->QC_lstScripts->count() - 1);
        ASSERT_EQ(item->text().toStdString(), name);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    void ExecuteToTheEnd(int delayMs = kDelayMs)
    {
        ResetActivityLog(tp.platform);
        qc->QC_txtDelay->setText(QString::number(delayMs));
        qc->QC_cmdExecute_Click();
        ASSERT_TRUE(qc->Timer2->isActive());
        for (int i = 0; i < 1200 && (qc->bQuickCleanupRunning || qc->Timer2->isActive() || se->IsPlaying()); ++i)
            QTest::qWait(50);
        ASSERT_FALSE(qc->bQuickCleanupRunning);
    }
    // The log of one script played by the run, from its loading to its completion.
    std::string PlayedEntry(const std::string& name, const std::string& word) const
    {
        return "\r\nLoading script: " + Stamp() + "\r\n" + dir.file(name).string() + "\r\n" +
               "Activating target application: " + Stamp() + "\r\n" + sink().string() + "\r\n" +
               "Sending keys: " + word + "\r\n" + "Completed script execution: " + Stamp() + "\r\n";
    }

    test::XSession x;
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    QtScheduler scheduler;
    x11::X11Keys keys{[] { QCoreApplication::processEvents(); }};
    std::unique_ptr<frmMain> main;
    QuickCleanUpPage* qc = nullptr;
    ScriptEditorPage* se = nullptr;
    std::vector<Steady::time_point> ticks;
};

}  // namespace

TEST_F(QuickCleanUpOnX11, TheFirstAndThirdCheckedScriptsRunInOrderAndTheUncheckedCostsOneDelay)
{
    Script("1first.scr", "one", true);
    Script("2skipped.scr", "xyz", false);
    Script("3third.scr", "two", true);
    ExecuteToTheEnd();

    // Both sinks write into the one log of their folder: the first script's keys, then the
    // third's, and nothing of the unchecked one.
    const std::string want = Typed("one") + Typed("two");
    EXPECT_TRUE(test::XSession::WaitFor([&] { return test::ReadSinkFile(sinkLog()).size() >= want.size(); }, 5));
    EXPECT_EQ(test::ReadSinkFile(sinkLog()), want);

    // Ticks: the first script, the unchecked entry, the third script, the end of the run.
    ASSERT_EQ(ticks.size(), 4u);
    const auto ms = [](Steady::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
    // The unchecked entry stands one whole delay between the end of the first script's
    // tick chain and the third script (a coarse timer may fire up to 5 % early).
    EXPECT_GE(ms(ticks[2] - ticks[1]), kDelayMs * 95 / 100);
    EXPECT_GE(ms(ticks[1] - ticks[0]), kDelayMs * 95 / 100);
    EXPECT_GE(ms(ticks[3] - ticks[2]), kDelayMs * 95 / 100);

    EXPECT_EQ(ReadActivityLog(tp.platform), "\r\n\r\n\r\nQuick Cleanup: [Execute] clicked\r\n" +
                                                PlayedEntry("1first.scr", "one") + PlayedEntry("3third.scr", "two"));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    EXPECT_EQ(qc->iScriptStep, 0u);
}

TEST_F(QuickCleanUpOnX11, ACheckedScriptWhoseFileHasGoneIsSkippedAndTheNextRuns)
{
    Script("1gone.scr", "zap", true);
    Script("2next.scr", "two", true);
    // The editor holds the gone script's keys: they must not be replayed in its place.
    ASSERT_TRUE(se->LoadScriptFile(dir.file("1gone.scr")));
    fs::remove(dir.file("1gone.scr"));
    ExecuteToTheEnd();

    // The gone script would have typed before the next one: what came first is in the log.
    EXPECT_TRUE(test::XSession::WaitFor([&] { return test::ReadSinkFile(sinkLog()).size() >= Typed("two").size(); }, 5));
    EXPECT_EQ(test::ReadSinkFile(sinkLog()), Typed("two"));

    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "File I\\O Error");
    EXPECT_EQ(tp.dialogs.boxes[0].icon, MsgBoxIcon::Critical);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "The requested file does not exist.\r\nPlease check the path and try again.\r\n" +
                                            dir.file("1gone.scr").string());
    const std::string gone = dir.file("1gone.scr").string();
    EXPECT_EQ(ReadActivityLog(tp.platform), "\r\n\r\n\r\nQuick Cleanup: [Execute] clicked\r\n"
                                            "\r\nLoading script: " + Stamp() + "\r\n" + gone + "\r\n" +
                                                "ERROR: Script could not be loaded\r\n" + gone + "\r\n" +
                                                PlayedEntry("2next.scr", "two"));
}

// The page with both cookie lists filled, a checked script and its description; then the
// progress window in the middle of a deletion pass. Into $BRIMLOW_SCREENSHOT_DIR when set.
TEST_F(QuickCleanUpOnX11, ScreenshotsOfThePageAndOfADeletionPass)
{
    const fs::path out = std::getenv("BRIMLOW_SCREENSHOT_DIR") ? fs::path(std::getenv("BRIMLOW_SCREENSHOT_DIR"))
                                                               : dir.root();
    const auto shoot = [&](const std::string& name) {
        const fs::path shot = out / name;
        const std::string cmd = "DISPLAY=" + x.name() + " import -window root '" + shot.string() + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_GT(fs::file_size(shot), 10000u);
    };
    const std::vector<std::string> sites{"news.example", "shop.example", "bank.example", "mail.example",
                                         "video.example", "search.example", "forum.example", "weather.example"};
    for (const auto& site : sites)
        for (const char* name : {"id", "pref", "seen"})
            ASSERT_TRUE(inetcache::InternetSetCookie("http://" + site + "/", name,
                                                     "1; expires = Fri,31-Dec-2100 00:00:00 GMT",
                                                     test::TestStoreAccess(dir.storeFolder())));
    for (int i = 0; i < 12; ++i)
        for (const char* name : {"a", "b", "c"})
            ASSERT_TRUE(inetcache::InternetSetCookie("http://ads" + std::to_string(i) + ".example/", name,
                                                     "1; expires = Fri,31-Dec-2100 00:00:00 GMT",
                                                     test::TestStoreAccess(dir.storeFolder())));
    dir.Write("clear-browser-cache.scr", sink().string() +
                                             "\r\n\x01\r\nEmpties the browser's disk and memory caches.\r\n"
                                             "Run it with the browser closed.\r\n\x01\r\n[ALT]t\r\n[PAUSE]2\r\nd\r\n"
                                             "[ENTER]\r\n");
    Script("close-mail.scr", "abc", false);
    qc->Image3_MouseUp();
    qc->ListScriptFiles();
    // Protect the bank and the mail sources.
    for (int i = 0; i < qc->QC_lstCookies->count(); ++i) {
        const QString t = qc->QC_lstCookies->text(i);
        qc->QC_lstCookies->setRowSelected(i, t.contains("bank.") || t.contains("mail."));
    }
    qc->QC_lstCookies->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    qc->QC_cmdAdd_Click();
    ASSERT_EQ(qc->QC_lstDelCookies->count(), 2);
    QListWidgetItem* checked = qc->QC_lstScripts->findItems("clear-browser-cache.scr", Qt::MatchExactly).value(0);
    ASSERT_TRUE(checked);
    checked->setCheckState(Qt::Checked);
    qc->QC_lstScripts->setCurrentItem(checked);
    qc->QC_lstScripts_Click();
    main->raise();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    // Drawn now, and the display holds the drawing, before it is read back.
    main->repaint();
    QGuiApplication::sync();
    shoot("quick-cleanup-page.png");

    // The pass: the progress window, caught while its bar is under way. The bar's own
    // signal catches it at a step of the pass, however short the pass is; drawn now, and
    // held by the display, before it is read back. The scripts stay unchecked, at the
    // shortest delay.
    checked->setCheckState(Qt::Unchecked);
    int caught = -1;
    QProgressBar* bar = main->refreshingCache()->ProgressBar1;
    const auto watch = QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        if (caught < 0 && main->refreshingCache()->isVisible() && value > 5 && value < bar->maximum()) {
            caught = value;
            main->refreshingCache()->repaint();
            QGuiApplication::sync();
            shoot("quick-cleanup-progress.png");
        }
    });
    ExecuteToTheEnd(1);
    QObject::disconnect(watch);
    EXPECT_GT(caught, 0) << "the progress window was never seen during the pass";
    EXPECT_EQ(qc->QC_lstCookies->count(), 0);
    EXPECT_EQ(qc->QC_lstDelCookies->count(), 2);
}
