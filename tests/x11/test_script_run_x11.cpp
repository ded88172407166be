// A script test-run through the real Script Editor page on a real X display: the real
// launcher starts the key sink, the real key sender types into it, the real timers and
// pauses run. Also the page's screenshots with a loaded script.
#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QPlainTextEdit>
#include <csignal>
#include <filesystem>
#include <functional>
#include <fstream>
#include <gtest/gtest.h>
#include <utility>

#include "host/MActivityReport.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtText.h"
#include "platform/x11/X11Keys.h"
#include "scripts/ScriptEditorPage.h"
#include "shell/frmMain.h"
#include "support/FakePageHost.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "x11support/XSession.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

std::vector<long> Times(const fs::path& p)
{
    std::vector<long> out;
    std::ifstream in(p);
    for (long t; in >> t;)
        out.push_back(t);
    return out;
}

// The real launcher behind the player, with a wait of the test's choosing: the player asks
// for its own wait (kept in `asked`), the launcher waits `wait` when one is set. A target
// that never opens a window then costs the test that wait, not the player's ten seconds.
class WaitSetLauncher final : public Launcher {
public:
    explicit WaitSetLauncher(Launcher& real) : m_real(real) {}
    std::optional<LaunchedWindow> LaunchMaximized(const std::string& path, std::chrono::milliseconds wait) override
    {
        asked.push_back(wait);
        return m_real.LaunchMaximized(path, this->wait.value_or(wait));
    }
    std::string LastFailure() const override { return m_real.LastFailure(); }

    std::optional<std::chrono::milliseconds> wait;
    std::vector<std::chrono::milliseconds> asked;

private:
    Launcher& m_real;
};

class ScriptRunOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.ok()) << "no test display";
        fs::create_directories(dir.folder() / "app");
        fs::copy_file(KEYSINK_PATH, sink());
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.platform.scheduler = &scheduler;
        tp.platform.launcher = &launcher;
        tp.platform.keys = &keys;
        tp.clock.now = std::chrono::system_clock::from_time_t(1765356000);
        host.page = PageHost::kScriptEditor;
    }
    void TearDown() override
    {
        page.reset();
        main.reset();
        test::EndProcessesOf(sink());
        test::EndProcessesOf(quietSink());
        for (pid_t p : spawned) {
            kill(p, SIGTERM);
            test::WaitChild(p, 5);
        }
    }
    fs::path sink() const { return dir.folder() / "app" / "keysink"; }
    // A sink that never opens a window (keysink.cpp).
    fs::path quietSink() const { return dir.folder() / "app" / "keysink-quiet"; }
    std::string Stamp() const
    {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(1765356000);
        const QLocale l = QLocale::system();
        return ToBytes(l.toString(when.date(), QLocale::ShortFormat)) + "  " +
               ToBytes(l.toString(when.time(), QLocale::ShortFormat));
    }
    void MakePage()
    {
        page = std::make_unique<ScriptEditorPage>(host, tp.platform);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }
    void SetScript(const std::string& target, const std::vector<std::string>& commands)
    {
        page->SE_txtTargetName->setText(FromBytes(target));
        for (const auto& c : commands)
            page->AddCommand(c);
    }
    // Clicks Test and waits (at most 30 s) until the run is over.
    void PlayToTheEnd()
    {
        QTest::mouseClick(page->SE_cmdTest, Qt::LeftButton);
        for (int i = 0; i < 600 && page->IsPlaying(); ++i)
            QTest::qWait(50);
        ASSERT_FALSE(page->IsPlaying());
    }
    // A key of the test's own into the sink `w` after a run that must have sent it nothing:
    // the sink takes its keys in order, so once this one is in its log, any key of the run
    // would stand before it. The log, once the key is in.
    // The key goes once the window manager has given the sink the focus, and the log is read
    // once the sink has written the key's release too: it writes the press and the release
    // as two events come in, and a loaded machine can hold it between the two.
    std::string LogAfterAKeyOfOurOwn(const test::XWin& w, const fs::path& log)
    {
        x.Click(w.x + 30, w.y + 30);
        EXPECT_TRUE(test::XSession::WaitFor([&] { return x.ActiveWindow() == w.id; }, 5)) << "the sink has no focus";
        x.Key("m");
        test::XSession::WaitFor([&] { return test::ReadSinkFile(log).find("up M ") != std::string::npos; }, 5);
        return test::ReadSinkFile(log);
    }

    test::XSession x;
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    test::FakePageHost host;
    QtScheduler scheduler;
    // While the launcher waits, messages run; and when the test says so, the wait holds
    // until a state of the test's has come (another program's window is up, say), however
    // slow the machine, so that a short injected wait still spans it.
    std::function<bool()> holdLaunchUntil;
    x11::X11Keys keys{[this] {
        QCoreApplication::processEvents();
        if (holdLaunchUntil) {
            EXPECT_TRUE(test::XSession::WaitFor(std::exchange(holdLaunchUntil, nullptr), 15));
        }
    }};
    WaitSetLauncher launcher{keys};
    std::unique_ptr<ScriptEditorPage> page;
    std::unique_ptr<frmMain> main;
    std::vector<pid_t> spawned;
};

}  // namespace

TEST_F(ScriptRunOnX11, TheSinkGetsExactlyTheScriptsKeysWithTheModifiersHeld)
{
    MakePage();
    SetScript(sink().string(), {"[CTRL]a", "hello", "[SHIFT]x", "[TAB]", "[PAUSE]1", "[ENTER]"});
    PlayToTheEnd();

    const fs::path log = dir.folder() / "app" / "keysink.log";
    const std::string want = "down Ctrl C\ndown A C\nup A C\nup Ctrl -\n"
                             "down H -\nup H -\ndown E -\nup E -\ndown L -\nup L -\ndown L -\nup L -\n"
                             "down O -\nup O -\n"
                             "down Shift S\ndown X S\nup X S\nup Shift -\n"
                             "down Tab -\nup Tab -\n"
                             "down Return -\nup Return -\n";
    EXPECT_TRUE(test::XSession::WaitFor([&] { return test::ReadSinkFile(log).size() >= want.size(); }, 5));
    EXPECT_EQ(test::ReadSinkFile(log), want);
    // The pause stands between the Tab and the Enter.
    const auto times = Times(log.string() + ".times");
    ASSERT_EQ(times.size(), 22u);
    EXPECT_GE(times[20] - times[19], 1000);

    if (const char* out = std::getenv("BRIMLOW_SCREENSHOT_DIR")) {
        // The sink, maximised by the launcher, showing what it received.
        const std::string cmd = "DISPLAY=" + x.name() + " import -window root '" +
                                (fs::path(out) / "key-sink-after-run.png").string() + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }

    const std::string target = sink().string();
    EXPECT_EQ(ReadActivityLog(tp.platform),
              "\r\nScript Editor: [Test] clicked\r\n\r\n"
              "Activating target application: " + Stamp() + "\r\n" + target + "\r\n"
              "Sending keys: [CTRL]a\r\nSending keys: hello\r\nSending keys: [SHIFT]x\r\nSending keys: [TAB]\r\n"
              "Sending keys: [PAUSE]1\r\nSending keys: [ENTER]\r\n"
              "Completed script execution: " + Stamp() + "\r\n");
}

TEST_F(ScriptRunOnX11, ATargetThatDoesNotExistSendsNothingAnywhere)
{
    // A second sink holds the focus.
    const pid_t other = test::SpawnOnDisplay(x, KEYSINK_PATH, {}, dir.root().string());
    spawned.push_back(other);
    ASSERT_TRUE(test::XSession::WaitFor([&] { return !x.WindowsOf(other).empty(); }, 10));
    MakePage();
    SetScript((dir.folder() / "app" / "missing").string(), {"abc", "[ENTER]"});
    const test::XWin w = x.WindowsOf(other)[0];
    x.Click(w.x + 30, w.y + 30);
    PlayToTheEnd();
    EXPECT_EQ(LogAfterAKeyOfOurOwn(w, dir.root() / "keysink.log"), "down M -\nup M -\n");
    const std::string log = ReadActivityLog(tp.platform);
    EXPECT_NE(log.find("ERROR: The application did not start, or no window of it appeared within 10 seconds; no "
                       "keys were sent.\r\nCause: the program was not found\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Sending keys"), std::string::npos);
}

// The target never opens a window; another program, started with the test, opens one
// 1.5 s after Test and takes the focus. It gets no key: the run ends with the line that no
// window of the application appeared, and never says it completed. The player asks for its
// ten seconds; the launcher waits half a second here, held until the other window is up.
TEST_F(ScriptRunOnX11, AWindowOfAnotherProgramThatOpensDuringTheLaunchGetsNoKey)
{
    using namespace std::chrono_literals;
    fs::copy_file(KEYSINK_PATH, quietSink());
    const fs::path late = dir.root() / "keysink-late";  // another file: another program
    fs::copy_file(KEYSINK_PATH, late);
    MakePage();
    SetScript(quietSink().string(), {"abc", "[ENTER]"});
    const pid_t other = test::SpawnOnDisplay(x, late.string(), {}, dir.root().string());
    spawned.push_back(other);
    launcher.wait = 500ms;
    holdLaunchUntil = [&] { return !x.WindowsOf(other).empty(); };
    PlayToTheEnd();
    EXPECT_EQ(launcher.asked, std::vector<std::chrono::milliseconds>{10000ms});
    ASSERT_FALSE(x.WindowsOf(other).empty()) << "the other program showed no window while the run waited";
    EXPECT_EQ(LogAfterAKeyOfOurOwn(x.WindowsOf(other)[0], dir.root() / "keysink.log"), "down M -\nup M -\n");
    const std::string log = ReadActivityLog(tp.platform);
    EXPECT_NE(log.find("ERROR: The application did not start, or no window of it appeared within 10 seconds; no "
                       "keys were sent.\r\nCause: no window of it appeared within 0.5 seconds\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Sending keys"), std::string::npos) << log;
    EXPECT_EQ(log.find("Completed script execution"), std::string::npos) << log;
}

TEST_F(ScriptRunOnX11, ScreenshotOfThePageWithALoadedScript)
{
    dir.Write("clear-history.scr", "/usr/bin/firefox\r\n\x01\r\nClears the browser's history and its cache.\r\n"
                                   "Run it with the browser closed.\r\n\x01\r\n[ALT]t\r\n[PAUSE]2\r\nh\r\n"
                                   "[SHIFT][CTRL][DEL]\r\n[PAUSE]1\r\n[ENTER]\r\n[ALT][F4]\r\n");
    main = std::make_unique<frmMain>(tp.platform);
    main->SSTab1->setCurrentIndex(PageHost::kScriptEditor);
    auto& se = main->scriptEditorPage();
    se.ShowTutorial();
    ASSERT_TRUE(se.LoadScriptFile(dir.file("clear-history.scr")));
    se.SE_lstCommands->setCurrentRow(3);
    se.SE_cmdControl_Click();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    // Drawn now, and the display holds the drawing, before it is read back.
    main->repaint();
    QGuiApplication::sync();
    EXPECT_EQ(se.SE_lstCommands->count(), 7);
    const char* out = std::getenv("BRIMLOW_SCREENSHOT_DIR");
    const fs::path shot = (out ? fs::path(out) : dir.root()) / "script-editor-page.png";
    const std::string cmd = "DISPLAY=" + x.name() + " import -window root '" + shot.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_GT(fs::file_size(shot), 10000u);
}
