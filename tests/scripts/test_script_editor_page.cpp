// The Script Editor page on its own, on a FakePageHost, with the fake scheduler, launcher
// and key sender: recording, the command list, script files, and the test runner's ticks.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "host/MActivityReport.h"
#include "platform/TextFile.h"
#include "platform/qt/QtPlatform.h"
#include "scripts/ScriptEditorPage.h"
#include "shell/MAboutBox.h"
#include "support/FakePageHost.h"
#include "support/GuiTestSupport.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using namespace std::chrono_literals;

namespace {

class Listener final : public ScriptRunListener {
public:
    bool ScriptRunEnded(ScriptRunEnd how) override
    {
        ends.push_back(how);
        return takeOver;
    }
    bool CleanupUnderWay() const override { return cleanup; }
    std::vector<ScriptRunEnd> ends;
    bool takeOver = false;
    bool cleanup = false;
};

class ScriptEditorPageTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    test::FakePageHost host;
    std::unique_ptr<ScriptEditorPage> page;
    Listener listener;

    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        host.page = PageHost::kScriptEditor;
        page = std::make_unique<ScriptEditorPage>(host, tp.platform);
        page->show();
        page->SetRunListener(&listener);
    }
    std::vector<std::string> Commands() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < page->SE_lstCommands->count(); ++i)
            out.push_back(page->SE_lstCommands->text(i).toStdString());
        return out;
    }
    void SetCommands(const std::vector<std::string>& commands)
    {
        page->SetCommands(commands);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(page->SE_txtScript, key, mods); }
    std::string Box() const { return page->SE_txtScript->toPlainText().toStdString(); }
    std::string Log() const { return ReadActivityLog(tp.platform); }
    // Runs the timer until the run ends (at most `limit` of fake time).
    void Play(std::chrono::milliseconds limit = 60s)
    {
        for (auto t = 0ms; t < limit && page->IsPlaying(); t += 50ms)
            tp.scheduler.Advance(50ms);
    }
};

TEST_F(ScriptEditorPageTest, TheLayoutCarriesItsCaptionsHelpNumbersAndFocusOrder)
{
    struct Control {
        const char* name;
        int help;
    };
    const Control controls[] = {
        {"SE_txtScriptName", 201}, {"SE_txtTargetName", 202}, {"SE_lstCommands", 203}, {"SE_txtScript", 204},
        {"SE_rtfScriptDescription", 205}, {"SE_rtfTutorial", 206}, {"SE_cmdLoad", 207}, {"SE_cmdBrowse", 208},
        {"SE_cmdNext", 209}, {"SE_cmdPause", 210}, {"SE_cmdScrRemove", 210}, {"SE_cmdInsert", 211},
        {"SE_cmdTest", 212}, {"SE_cmdSave", 213}, {"SE_cmdClear", 214}, {"SE_cmdExit", 215},
        {"SE_cmdControl", 216}, {"SE_cmdTab", 217}, {"SE_cmdAlt", 218},
    };
    for (const auto& c : controls) {
        auto* w = test::Named<QWidget>(page.get(), c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->property("helpContextId").toInt(), c.help) << c.name;
    }
    EXPECT_EQ(page->SE_cmdTest->toolTip(), "Run the script file.");
    EXPECT_EQ(page->SE_cmdPause->toolTip(), "Set a timed dealy between key strokes.");
    EXPECT_EQ(page->SE_cmdClear->toolTip(), "Clear the commands under \"Key Strokes\".");
    EXPECT_EQ(page->Label16->text(), " This utility is designed to send key\nstrokes to the targeted application.");
    EXPECT_EQ(page->Frame3->title(), "Quick Tutorial");
    EXPECT_EQ(page->lblLatestScripts->text(),
              QStringLiteral("Download the latest scripts: ") + QString::fromLatin1(kSupportPage));
    EXPECT_EQ(page->SE_lstCommands->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(page->SE_lstScriptCode->isVisible());
    EXPECT_EQ(page->SE_lstScriptCode->focusPolicy(), Qt::NoFocus);

    // The focus order of the page, "Pause" last.
    const char* order[] = {"SE_txtScriptName", "SE_txtTargetName", "SE_cmdControl", "SE_cmdTab", "SE_cmdAlt",
                           "SE_cmdLoad", "SE_cmdBrowse", "SE_cmdNext", "SE_cmdScrRemove", "SE_cmdInsert",
                           "SE_cmdTest", "SE_cmdSave", "SE_cmdClear", "SE_cmdExit", "SE_lstCommands",
                           "SE_txtScript", "SE_rtfTutorial", "SE_rtfScriptDescription", "SE_cmdPause"};
    auto listed = [&](QWidget* w) {
        for (const char* n : order)
            if (w->objectName() == QLatin1String(n))
                return true;
        return false;
    };
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget* next = test::Named<QWidget>(page.get(), order[i - 1])->nextInFocusChain();
        while (!listed(next))
            next = next->nextInFocusChain();
        EXPECT_EQ(next->objectName().toStdString(), order[i]);
    }

    page->ShowTutorial();
    EXPECT_TRUE(page->SE_rtfTutorial->toPlainText().startsWith("\n              QUICK TUTORIAL\n"));
}

TEST_F(ScriptEditorPageTest, TheLatestScriptsLinkOpensOnALeftClickOnly)
{
    QLabel* link = page->lblLatestScripts;
    const QPoint inside = link->rect().center();
    QTest::mouseClick(link, Qt::RightButton, {}, inside);
    QTest::mouseClick(link, Qt::MiddleButton, {}, inside);
    // Pressed on the link, released off it: the user changed their mind.
    QTest::mousePress(link, Qt::LeftButton, {}, inside);
    QTest::mouseRelease(link, Qt::LeftButton, {}, link->rect().bottomRight() + QPoint(20, 20));
    EXPECT_TRUE(tp.browser.opened.empty());
    QTest::mouseClick(link, Qt::LeftButton, {}, inside);
    EXPECT_EQ(tp.browser.opened, std::vector<std::string>{kSupportPage});
}

TEST_F(ScriptEditorPageTest, TextDroppedOrPastedIntoKeyStrokesNeverGetsIn)
{
    page->SE_cmdTab_Click();
    QWidget* area = page->SE_txtScript->viewport();
    QMimeData text;
    text.setText("pasted");
    const QPoint at = area->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(area, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(area, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(area, &drop);
    // The box shows exactly the command being recorded, so Next stores just that.
    EXPECT_EQ(Box(), "[TAB]");
    page->SE_cmdNext_Click();
    page->SE_cmdNext_Click();
    EXPECT_EQ(Commands(), std::vector<std::string>{"[TAB]"});
}

TEST_F(ScriptEditorPageTest, LoadAndTestAreRefusedWhileAQuickCleanUpIsUnderWay)
{
    dir.Write("s.scr", "/opt/x\r\na\r\n");
    page->SE_txtTargetName->setText("/opt/kept");
    SetCommands({"kept"});
    page->SE_cmdAlt_Click();
    listener.cleanup = true;
    tp.dialogs.openPaths.push_back(dir.file("s.scr").string());
    page->SE_cmdLoad_Click();
    page->SE_cmdTest_Click();
    ASSERT_EQ(tp.dialogs.boxes.size(), 2u);
    for (const auto& box : tp.dialogs.boxes) {
        EXPECT_EQ(box.title, "Test Running");
        EXPECT_EQ(box.text, "The quick clean-up is running.\r\nPlease wait until it has finished.");
    }
    EXPECT_TRUE(tp.dialogs.openDialogs.empty());
    EXPECT_EQ(Commands(), std::vector<std::string>{"kept"});
    EXPECT_EQ(page->strCommand(), "[ALT]");
    EXPECT_FALSE(page->IsPlaying());
    // The clean-up itself starts its script through TestScript, and it plays.
    EXPECT_TRUE(page->TestScript());
    EXPECT_TRUE(page->IsPlaying());
    // Once it stands still, the user may mend and test.
    Play();
    listener.cleanup = false;
    page->SE_cmdLoad_Click();
    EXPECT_EQ(page->SE_txtTargetName->text(), "/opt/x");
    EXPECT_EQ(page->strCommand(), "") << "Load clears the command being recorded";
}

TEST_F(ScriptEditorPageTest, RecordingReplacesWhatTheBoxWouldTypeByTokens)
{
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Box(), "[BKSP]");
    page->SE_cmdClear_Click();
    // Shift with A (the Shift key goes down first), then b.
    Key(Qt::Key_A, Qt::ShiftModifier);
    Key(Qt::Key_B);
    EXPECT_EQ(Box(), "[SHIFT][SHIFT]ab");
    EXPECT_EQ(page->strCommand(), "[SHIFT][SHIFT]ab");
    // Keypad 7 and the top-row 7, a punctuation key, F12, keypad plus.
    page->SE_cmdClear_Click();
    Key(Qt::Key_7, Qt::KeypadModifier);
    Key(Qt::Key_7);
    Key(Qt::Key_Semicolon);
    Key(Qt::Key_F12);
    Key(Qt::Key_Plus, Qt::KeypadModifier);
    Key(Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    // Ctrl, then Alt with Ctrl held, then C with both.
    EXPECT_EQ(Box(), "77[F12][ADD][CTRL][ALT][CTRL][ALT][CTRL]c");
    // Delete with nothing selected records "[DEL]"; over a selection it empties the command.
    Key(Qt::Key_Delete);
    EXPECT_EQ(Box(), "77[F12][ADD][CTRL][ALT][CTRL][ALT][CTRL]c[DEL]");
    page->SE_txtScript->selectAll();
    Key(Qt::Key_Delete);
    EXPECT_EQ(Box(), "");
    EXPECT_EQ(page->strCommand(), "");

    // The token buttons; "ALT" then "Next" stores "[ALT]".
    page->SE_cmdControl_Click();
    page->SE_cmdTab_Click();
    page->SE_cmdPause_Click();
    EXPECT_EQ(Box(), "[CTRL][TAB][PAUSE]");
    page->SE_cmdClear_Click();
    QTest::mouseClick(page->SE_cmdAlt, Qt::LeftButton);
    QTest::mouseClick(page->SE_cmdNext, Qt::LeftButton);
    EXPECT_EQ(Commands(), std::vector<std::string>{"[ALT]"});
    EXPECT_EQ(Box(), "");
}

TEST_F(ScriptEditorPageTest, NextInsertAndDeleteEditTheCommandList)
{
    page->SE_cmdNext_Click();  // an empty box adds nothing
    EXPECT_TRUE(Commands().empty());
    page->SE_cmdInsert_Click();  // no current line: nothing
    EXPECT_TRUE(Commands().empty());
    SetCommands({"1", "2", "3", "4", "5"});
    page->SE_lstCommands->setCurrentRow(1);
    page->SE_cmdInsert_Click();  // an empty box inserts an empty command
    EXPECT_EQ(Commands(), (std::vector<std::string>{"1", "", "2", "3", "4", "5"}));
    SetCommands({"1", "2", "3", "4", "5"});
    page->SE_lstCommands->setCurrentRow(1);
    page->SE_lstCommands->setRowSelected(3, true);
    page->SE_cmdScrRemove_Click();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"1", "3", "5"}));

    // Browse cancelled empties the target and the command being built.
    page->SE_txtTargetName->setText("/bin/x");
    page->SE_cmdAlt_Click();
    page->SE_cmdBrowse_Click();
    EXPECT_EQ(page->SE_txtTargetName->text(), "");
    EXPECT_EQ(page->strCommand(), "");
    ASSERT_EQ(tp.dialogs.openDialogs.size(), 1u);
    EXPECT_EQ(tp.dialogs.openDialogs[0].filter, "Application Files|*.exe|All Files|*.*");
}

TEST_F(ScriptEditorPageTest, SaveThenLoadRoundTripsTheFileByteForByte)
{
    const std::string six = "/opt/app/run\r\n\x01\r\nClears the history.\r\n\x01\r\n[ALT]t\r\n[PAUSE]2\r\n";
    page->SE_txtTargetName->setText("/opt/app/run");
    page->SE_rtfScriptDescription->setPlainText("Clears the history.");
    SetCommands({"[ALT]t", "[PAUSE]2"});
    tp.dialogs.savePaths.push_back(dir.file("six.scr").string());
    page->SE_cmdSave_Click();
    ASSERT_EQ(tp.dialogs.saveDialogs.size(), 1u);
    EXPECT_EQ(tp.dialogs.saveDialogs[0].filter, "Script Files|*.scr");
    EXPECT_EQ(tp.dialogs.saveDialogs[0].defaultExt, "scr");
    EXPECT_EQ(tp.dialogs.saveDialogs[0].initialFolder, dir.folder().string() + "/");
    EXPECT_TRUE(tp.dialogs.saveDialogs[0].confirmReplace);
    EXPECT_EQ(dir.Read("six.scr"), six);
    EXPECT_EQ(page->SE_txtScriptName->text().toStdString(), dir.file("six.scr").string());

    page->SE_txtTargetName->setText("other");
    SetCommands({"x"});
    tp.dialogs.openPaths.push_back(dir.file("six.scr").string());
    page->SE_cmdLoad_Click();
    ASSERT_EQ(tp.dialogs.openDialogs.size(), 1u);
    EXPECT_EQ(tp.dialogs.openDialogs[0].initialFolder, dir.folder().string() + "/") << "Load starts where Save put it";
    EXPECT_EQ(page->SE_txtTargetName->text(), "/opt/app/run");
    EXPECT_EQ(Commands(), (std::vector<std::string>{"[ALT]t", "[PAUSE]2"}));
    EXPECT_EQ(page->SE_rtfScriptDescription->toPlainText(), "Clears the history.");
    EXPECT_EQ(page->SE_lstScriptCode->count(), 0);
    EXPECT_TRUE(tp.dialogs.boxes.empty());

    // Loaded, then saved again: the same bytes.
    tp.dialogs.savePaths.push_back(dir.file("again.scr").string());
    page->SE_cmdSave_Click();
    EXPECT_EQ(dir.Read("again.scr"), six);
    // Over an existing script only after the question; "No" keeps it as it was.
    dir.Write("kept.scr", "an older script\r\n");
    tp.dialogs.savePaths.push_back(dir.file("kept.scr").string());
    tp.dialogs.replaceAnswers.push_back(false);
    page->SE_cmdSave_Click();
    EXPECT_EQ(dir.Read("kept.scr"), "an older script\r\n");
    EXPECT_EQ(tp.dialogs.replaceQuestions, std::vector<std::string>{dir.file("kept.scr").string()});
}

// A disk that fills during the save: the old script is whole, nothing is left beside it,
// and the message is the save's own.
TEST_F(ScriptEditorPageTest, ASaveThatCannotBeWrittenKeepsTheOldScriptAndSaysSo)
{
    class FullDisk final : public PosixFileCalls {
    public:
        long Write(int, const void*, std::size_t) override
        {
            errno = ENOSPC;
            return -1;
        }
    } disk;
    dir.Write("kept.scr", "/usr/bin/old\r\n\x01\r\n\r\n\x01\r\nold\r\n");
    page->SE_txtTargetName->setText("/usr/bin/new");
    SetCommands({"new"});
    tp.platform.files = &disk;
    tp.dialogs.savePaths.push_back(dir.file("kept.scr").string());
    page->SE_cmdSave_Click();
    tp.platform.files = nullptr;
    EXPECT_EQ(dir.Read("kept.scr"), "/usr/bin/old\r\n\x01\r\n\r\n\x01\r\nold\r\n");
    EXPECT_EQ(textfile::FolderFiles(dir.folder()).size(), 1u);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "61Error opening file: " + dir.file("kept.scr").string());
    EXPECT_EQ(tp.dialogs.boxes[0].title, kProgramTitle);
}

TEST_F(ScriptEditorPageTest, LoadTakesFilesWithoutFencesAndSaysWhenOneEndsEarly)
{
    dir.Write("plain.scr", "C:\\x.exe\r\na\r\nb\r\n");
    EXPECT_TRUE(page->LoadScriptFile(dir.file("plain.scr")));
    EXPECT_EQ(page->SE_txtTargetName->text(), "C:\\x.exe");
    EXPECT_EQ(Commands(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(page->SE_rtfScriptDescription->toPlainText(), "");
    EXPECT_TRUE(tp.dialogs.boxes.empty());

    dir.Write("open.scr", "/bin/t\r\n\x01\r\nline one\r\n");
    EXPECT_TRUE(page->LoadScriptFile(dir.file("open.scr")));
    EXPECT_EQ(page->SE_txtTargetName->text(), "/bin/t");
    EXPECT_EQ(page->SE_rtfScriptDescription->toPlainText(), "line one");
    EXPECT_TRUE(Commands().empty());
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "File I\\O Error");
    EXPECT_NE(tp.dialogs.boxes[0].text.find("What it holds has been loaded."), std::string::npos);

    // A missing file: the name stays, the lists are empty, the target keeps its text.
    tp.dialogs.openPaths.push_back(dir.file("missing.scr").string());
    page->SE_cmdLoad_Click();
    ASSERT_EQ(tp.dialogs.boxes.size(), 2u);
    EXPECT_EQ(tp.dialogs.boxes[1].text, "The requested file does not exist.\r\nPlease check the path and try again.\r\n" +
                                            dir.file("missing.scr").string());
    EXPECT_EQ(page->SE_txtTargetName->text(), "/bin/t");
    EXPECT_EQ(page->SE_txtScriptName->text().toStdString(), dir.file("missing.scr").string());

    // Cancelled: the lists are emptied all the same, the target stays.
    SetCommands({"z"});
    page->SE_cmdLoad_Click();
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(page->SE_txtTargetName->text(), "/bin/t");
}

TEST_F(ScriptEditorPageTest, TestRefusesWithoutTargetOrCommandsAndHandsBack)
{
    SetCommands({"a"});
    page->SE_cmdTest_Click();
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Unspecified Target");
    page->SE_txtTargetName->setText("/bin/app");
    SetCommands({"[SEPARATOR]", ""});
    page->SE_cmdTest_Click();
    ASSERT_EQ(tp.dialogs.boxes.size(), 2u);
    EXPECT_EQ(tp.dialogs.boxes[1].title, "Commands Unavailable");
    EXPECT_EQ(tp.dialogs.boxes[1].text, "There are no commands in this script.\r\nPlease reference the \"Quick Tutorial\".");
    EXPECT_FALSE(page->IsPlaying());
    EXPECT_TRUE(listener.ends.empty()) << "a refused test hands nothing back";
    EXPECT_EQ(page->SE_lstScriptCode->count(), 0);
    EXPECT_EQ(Log(), "");
}

TEST_F(ScriptEditorPageTest, ARunLaunchesSendsOneCommandPerTickPausesAndCompletes)
{
    page->SE_txtTargetName->setText("/opt/x");
    SetCommands({"a", "[PAUSE]2", "[SEPARATOR]", "[ENTER]"});
    page->SE_cmdTest_Click();
    EXPECT_TRUE(page->IsPlaying());
    // A second Test while it plays is refused; the run goes on.
    page->SE_cmdTest_Click();
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Test Running");
    tp.scheduler.Advance(50ms);
    EXPECT_EQ(tp.launcher.launched, std::vector<std::string>{"/opt/x"});
    EXPECT_EQ(tp.launcher.waits, std::vector<std::chrono::milliseconds>{10000ms});
    EXPECT_EQ(page->SE_lstScriptCode->count(), 3);
    // The pause: the [ENTER] goes two seconds after it.
    tp.scheduler.Advance(2000ms);
    EXPECT_EQ(tp.keys.sent.size(), 1u);
    Play();
    EXPECT_FALSE(page->IsPlaying());
    EXPECT_EQ(tp.keys.sent, (std::vector<test::FakeKeySender::Keys>{{0x2a00001, "a"}, {0x2a00001, "{ENTER}"}}));
    const std::string log = Log();
    EXPECT_EQ(log.rfind("\r\nScript Editor: [Test] clicked\r\n\r\nActivating target application: ", 0), 0u);
    // The log names the commands sent, past the one that compiled to nothing.
    EXPECT_NE(log.find("\r\n/opt/x\r\nSending keys: a\r\nSending keys: [PAUSE]2\r\nSending keys: [ENTER]\r\n"
                       "Completed script execution: "),
              std::string::npos)
        << log;
    EXPECT_EQ(listener.ends, std::vector<ScriptRunEnd>{ScriptRunEnd::Completed});
    EXPECT_EQ(page->iCommandStep(), 0u);
    EXPECT_TRUE(page->SE_txtScript->hasFocus() || !QApplication::activeWindow());
}

TEST_F(ScriptEditorPageTest, NoKeyGoesAnywhereWhenTheTargetHasNoWindowOrLosesTheFocus)
{
    page->SE_txtTargetName->setText("/no/such/program");
    SetCommands({"a", "b"});
    tp.launcher.result = std::nullopt;
    page->SE_cmdTest_Click();
    Play();
    EXPECT_TRUE(tp.keys.attempts.empty());
    EXPECT_NE(Log().find("ERROR: The application did not start, or no window of it appeared within 10 seconds; "
                         "no keys were sent.\r\nCause: no window of it appeared within 10 seconds\r\n"
                         "Stopped script execution: "),
              std::string::npos);
    EXPECT_EQ(listener.ends, std::vector<ScriptRunEnd>{ScriptRunEnd::Failed});

    // The focus goes elsewhere after the first command: the run stops before the second.
    tp.launcher.result = LaunchedWindow{77, 0x500001};
    tp.keys.focused = 0x500001;
    page->SE_cmdTest_Click();
    tp.scheduler.Advance(50ms);
    tp.keys.focused = 0x999999;
    Play();
    EXPECT_EQ(tp.keys.sent, (std::vector<test::FakeKeySender::Keys>{{0x500001, "a"}}));
    EXPECT_NE(Log().find("ERROR: The targeted application does not have the focus; the script was stopped before: b"),
              std::string::npos);
    EXPECT_EQ(listener.ends, (std::vector<ScriptRunEnd>{ScriptRunEnd::Failed, ScriptRunEnd::Failed}));
}

TEST_F(ScriptEditorPageTest, PausesThatAreNoNumberAreSkippedAndNegativeOnesWaitNotAtAll)
{
    page->SE_txtTargetName->setText("/opt/x");
    SetCommands({"[PAUSE]x", "abc[PAUSE]5", "[PAUSE]0", "[PAUSE]-3", "[PAUSE]0.5"});
    host.page = PageHost::kQuickCleanUp;  // started by the quick clean-up: no "clicked" entry
    listener.takeOver = true;
    EXPECT_TRUE(page->TestScript());
    const auto start = tp.scheduler.now();
    Play();
    EXPECT_TRUE(tp.keys.attempts.empty());
    // Five ticks, the half second and the completion: no other pause waited.
    EXPECT_EQ(tp.scheduler.now() - start, 750ms);
    const std::string log = Log();
    EXPECT_EQ(log.find("[Test] clicked"), std::string::npos);
    EXPECT_NE(log.find("Sending keys: [PAUSE]x\r\nERROR: The pause is not a number of seconds and was skipped: "
                       "[PAUSE]x\r\nSending keys: abc[PAUSE]5\r\nERROR: The pause is not a number of seconds and was "
                       "skipped: abc[PAUSE]5\r\nSending keys: [PAUSE]0\r\nSending keys: [PAUSE]-3\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(listener.ends, std::vector<ScriptRunEnd>{ScriptRunEnd::Completed});
}

}  // namespace

namespace {

TEST(CommonDialogFilter, ListsWhatTheCaptionsPromise)
{
    EXPECT_EQ(QtFilterFromCommonDialog("Script Files|*.scr"), "Script Files (*.scr)");
    EXPECT_EQ(QtFilterFromCommonDialog("Application Files|*.exe|All Files|*.*"), "Application Files (*);;All Files (*)");
    EXPECT_EQ(QtFilterFromCommonDialog("Text Files (*.txt)|*.txt"), "Text Files (*.txt)");
    EXPECT_EQ(QtFilterFromCommonDialog("Pictures|*.png;*.jpg"), "Pictures (*.png *.jpg)");
    EXPECT_TRUE(QtFilterListsExecutables("Application Files|*.exe|All Files|*.*", 0));
    EXPECT_FALSE(QtFilterListsExecutables("Application Files|*.exe|All Files|*.*", 1));
    EXPECT_FALSE(QtFilterListsExecutables("Application Files|*.exe|All Files|*.*", 2));
    EXPECT_FALSE(QtFilterListsExecutables("Script Files|*.scr", 0));
}

}  // namespace
