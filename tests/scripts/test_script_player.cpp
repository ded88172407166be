// The script player alone: fake timers, launcher and key sender, a journal with a fixed
// date and time. Minutes of play run in milliseconds.
#include <gtest/gtest.h>

#include "scripts/RunRequests.h"
#include "scripts/ScriptPlayer.h"
#include "support/TestPlatform.h"
#include "RunFakes.h"

using namespace brimlow;
using namespace std::chrono_literals;

namespace {

class ScriptPlayerTest : public testing::Test {
protected:
    test::TestPlatform tp;
    test::TestJournal journal;
    std::vector<ScriptRunEnd> ends;
    ScriptPlayer player{tp.platform, journal, [this](ScriptRunEnd how) { ends.push_back(how); }};

    // Runs the timers until the run ends, at most `limit` of fake time; returns the time taken.
    std::chrono::milliseconds Play(std::chrono::milliseconds limit = 60s)
    {
        const auto start = tp.scheduler.now();
        while (player.IsPlaying() && tp.scheduler.now() - start < limit)
            tp.scheduler.Advance(10ms);
        return tp.scheduler.now() - start;
    }
    std::vector<std::string> Sent() const
    {
        std::vector<std::string> keys;
        for (const auto& k : tp.keys.sent)
            keys.push_back(k.keys);
        return keys;
    }
};

TEST_F(ScriptPlayerTest, PlaysOneCommandPerTickWaitsOutAPauseAndLogsEveryStep)
{
    ASSERT_EQ(player.Play("/opt/x", {"a", "[PAUSE]2", "[ENTER]"}), PlayStart::Started);
    EXPECT_EQ(player.state(), PlayerState::Armed);
    EXPECT_EQ(player.timer().interval(), 50ms);
    tp.scheduler.Advance(50ms);  // the first tick: launch and the first command
    EXPECT_EQ(tp.launcher.launched, std::vector<std::string>{"/opt/x"});
    EXPECT_EQ(tp.launcher.waits, std::vector<std::chrono::milliseconds>{10000ms});
    EXPECT_EQ(Sent(), std::vector<std::string>{"a"});
    tp.scheduler.Advance(50ms);  // the pause
    EXPECT_EQ(player.state(), PlayerState::Pausing);
    EXPECT_EQ(player.pauseLeft(), 2000ms);
    tp.scheduler.Advance(1990ms);
    EXPECT_EQ(Sent(), std::vector<std::string>{"a"}) << "nothing goes before the pause is over";
    tp.scheduler.Advance(10ms);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"a", "{ENTER}"}));
    EXPECT_TRUE(ends.empty());
    tp.scheduler.Advance(50ms);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(ends, std::vector<ScriptRunEnd>{ScriptRunEnd::Completed});
    EXPECT_EQ(player.outcome(), ScriptRunEnd::Completed);
    EXPECT_EQ(player.step(), 0u);
    EXPECT_EQ(tp.scheduler.activeTimers(), 0u);
    EXPECT_EQ(journal.log, "Activating target application: 12/10/26  09:00\r\n/opt/x\r\n"
                           "Sending keys: a\r\nSending keys: [PAUSE]2\r\nSending keys: [ENTER]\r\n"
                           "Completed script execution: 12/10/26  09:00\r\n");
}

TEST_F(ScriptPlayerTest, SendingKeysNamesTheCommandSentAfterOnesThatCompileToNothing)
{
    // "[SEPARATOR]" and "" compile to nothing: the compiled list has three entries.
    ASSERT_EQ(player.Play("/opt/x", {"[SEPARATOR]", "a", "", "[TAB]", "b"}), PlayStart::Started);
    EXPECT_EQ(player.compiled(), (std::vector<CompiledCommand>{{"a", 1}, {"{TAB}", 3}, {"b", 4}}));
    Play();
    EXPECT_EQ(Sent(), (std::vector<std::string>{"a", "{TAB}", "b"}));
    EXPECT_NE(journal.log.find("\r\nSending keys: a\r\nSending keys: [TAB]\r\nSending keys: b\r\nCompleted"),
              std::string::npos)
        << journal.log;
}

// A target or a command line of a script file may hold a CR: the log shows it escaped, so
// it cannot start a line that reads as one of the player's.
TEST_F(ScriptPlayerTest, TheLogEscapesLineEndsInTheTargetAndTheCommands)
{
    ASSERT_EQ(player.Play("/opt/x\rCompleted script execution: forged", {"a\rb", "[PAUSE]x\r"}), PlayStart::Started);
    Play();
    EXPECT_EQ(journal.log, "Activating target application: 12/10/26  09:00\r\n"
                           "/opt/x\\x0DCompleted script execution: forged\r\n"
                           "Sending keys: a\\x0Db\r\n"
                           "Sending keys: [PAUSE]x\\x0D\r\n"
                           "ERROR: The pause is not a number of seconds and was skipped: [PAUSE]x\\x0D\r\n"
                           "Completed script execution: 12/10/26  09:00\r\n");
}

TEST_F(ScriptPlayerTest, ARefusedPlayStartsNothingAndASecondOneWhilePlayingChangesNothing)
{
    EXPECT_EQ(player.Play("", {"a"}), PlayStart::NoTarget);
    EXPECT_EQ(player.Play("/opt/x", {"[SEPARATOR]", ""}), PlayStart::NoCommands);
    EXPECT_TRUE(player.compiled().empty());
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(tp.scheduler.activeTimers(), 0u);

    ASSERT_EQ(player.Play("/opt/x", {"a", "b"}), PlayStart::Started);
    tp.scheduler.Advance(50ms);
    EXPECT_EQ(player.Play("/opt/y", {"z"}), PlayStart::Busy);
    EXPECT_EQ(player.target(), "/opt/x");
    EXPECT_EQ(player.compiled().size(), 2u);
    Play();
    EXPECT_EQ(Sent(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(tp.launcher.launched, std::vector<std::string>{"/opt/x"});
    EXPECT_EQ(ends, std::vector<ScriptRunEnd>{ScriptRunEnd::Completed});
    EXPECT_EQ(journal.log.find("Activating"), journal.log.rfind("Activating"));
}

// A launcher that lets the test act while it waits for the window, as the real one lets
// messages run.
class WaitingLauncher final : public Launcher {
public:
    std::optional<LaunchedWindow> LaunchMaximized(const std::string& path, std::chrono::milliseconds wait) override
    {
        if (meanwhile)
            meanwhile();
        return inner->LaunchMaximized(path, wait);
    }
    std::string LastFailure() const override { return inner->LastFailure(); }
    Launcher* inner = nullptr;
    std::function<void()> meanwhile;
};

TEST_F(ScriptPlayerTest, WhileTheLauncherWaitsThePlayerIsBusyAndNoTickPlays)
{
    WaitingLauncher launcher;
    launcher.inner = &tp.launcher;
    tp.platform.launcher = &launcher;
    PlayStart during = PlayStart::Started;
    launcher.meanwhile = [&] {
        EXPECT_EQ(player.state(), PlayerState::Launching);
        during = player.Play("/opt/other", {"x"});
        tp.scheduler.Advance(500ms);  // ticks that fall due while it waits
        EXPECT_TRUE(tp.keys.attempts.empty());
    };
    ASSERT_EQ(player.Play("/opt/x", {"a", "b"}), PlayStart::Started);
    Play();
    EXPECT_EQ(during, PlayStart::Busy);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(tp.launcher.launched, std::vector<std::string>{"/opt/x"});
}

TEST_F(ScriptPlayerTest, NoKeyGoesAnywhereWhenTheLaunchFailsAndTheLogSaysWhy)
{
    tp.launcher.result = std::nullopt;
    tp.launcher.failure = "not found";
    ASSERT_EQ(player.Play("xedit", {"a", "b"}), PlayStart::Started);
    Play();
    EXPECT_TRUE(tp.keys.attempts.empty());
    EXPECT_EQ(journal.log, "Activating target application: 12/10/26  09:00\r\nxedit\r\n"
                           "ERROR: The application did not start, or no window of it appeared within 10 seconds; "
                           "no keys were sent.\r\nCause: not found\r\n"
                           "Stopped script execution: 12/10/26  09:00\r\n");
    EXPECT_EQ(ends, std::vector<ScriptRunEnd>{ScriptRunEnd::Failed});
    EXPECT_EQ(tp.scheduler.activeTimers(), 0u);

    // The focus leaves the target after the first command: the run stops before the second.
    journal.log.clear();
    tp.launcher.result = LaunchedWindow{77, 0x500001};
    tp.keys.focused = 0x500001;
    ASSERT_EQ(player.Play("/opt/x", {"a", "b"}), PlayStart::Started);
    tp.scheduler.Advance(50ms);
    tp.keys.focused = 0x999999;
    Play();
    EXPECT_EQ(tp.keys.sent, (std::vector<test::FakeKeySender::Keys>{{0x500001, "a"}}));
    EXPECT_NE(journal.log.find("Sending keys: b\r\nERROR: The targeted application does not have the focus; the "
                               "script was stopped before: b\r\nStopped script execution: "),
              std::string::npos)
        << journal.log;
    EXPECT_EQ(journal.log.find("Completed"), std::string::npos);
    EXPECT_EQ(ends, (std::vector<ScriptRunEnd>{ScriptRunEnd::Failed, ScriptRunEnd::Failed}));
}

TEST_F(ScriptPlayerTest, PausesThatAreNoNumberAreSkippedNegativeOnesWaitNotAndLongOnesWaitWhole)
{
    ASSERT_EQ(player.Play("/opt/x", {"[PAUSE]x", "abc[PAUSE]5", "[PAUSE]0", "[PAUSE]-3", "a"}), PlayStart::Started);
    // Five ticks and the completion: nothing waits.
    EXPECT_LE(Play(), 400ms);
    EXPECT_NE(journal.log.find("Sending keys: [PAUSE]x\r\nERROR: The pause is not a number of seconds and was "
                               "skipped: [PAUSE]x\r\nSending keys: abc[PAUSE]5\r\nERROR: The pause is not a number "
                               "of seconds and was skipped: abc[PAUSE]5\r\nSending keys: [PAUSE]0\r\nSending keys: "
                               "[PAUSE]-3\r\nSending keys: a\r\n"),
              std::string::npos)
        << journal.log;
    EXPECT_EQ(Sent(), std::vector<std::string>{"a"});

    // Three hours: longer than a timer's interval may be at once, waited out whole.
    tp.keys.sent.clear();
    ASSERT_EQ(player.Play("/opt/x", {"[PAUSE]10800", "b"}), PlayStart::Started);
    tp.scheduler.Advance(100ms);
    tp.scheduler.Advance(10800s - 60ms);
    EXPECT_TRUE(tp.keys.sent.empty());
    EXPECT_EQ(player.state(), PlayerState::Pausing);
    tp.scheduler.Advance(10ms);
    EXPECT_EQ(Sent(), std::vector<std::string>{"b"});
}

TEST(RunRequests, OneRunAtATime)
{
    using R = RunRequest;
    using V = RunVerdict;
    struct Case {
        R request;
        V idle, playing, cleanup, cleanupPlaying;
    } cases[] = {
        {R::Test, V::Allow, V::Refuse, V::Refuse, V::Refuse},
        {R::Load, V::Allow, V::Refuse, V::Refuse, V::Refuse},
        {R::Execute, V::Allow, V::Refuse, V::Ignore, V::Ignore},
        {R::EditScript, V::Allow, V::Ignore, V::Ignore, V::Ignore},
        {R::NewScript, V::Allow, V::Ignore, V::Ignore, V::Ignore},
        {R::DeleteScript, V::Allow, V::Allow, V::Ignore, V::Ignore},
    };
    for (const auto& c : cases) {
        const int r = static_cast<int>(c.request);
        EXPECT_EQ(JudgeRunRequest(c.request, false, false), c.idle) << r;
        EXPECT_EQ(JudgeRunRequest(c.request, true, false), c.playing) << r;
        EXPECT_EQ(JudgeRunRequest(c.request, false, true), c.cleanup) << r;
        EXPECT_EQ(JudgeRunRequest(c.request, true, true), c.cleanupPlaying) << r;
    }
    EXPECT_STREQ(RunningMessage(true), kTestRunningMessage);
    EXPECT_STREQ(RunningMessage(false), kCleanupRunningMessage);
}

}  // namespace
