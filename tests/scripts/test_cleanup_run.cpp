// The quick clean-up run alone, without a window: plain lists for the page, a cookie editor
// that deletes from a list, scripts played by a real ScriptPlayer into the fake key sender,
// fake timers. Each run takes milliseconds.
#include <gtest/gtest.h>

#include "scripts/CleanupRun.h"
#include "scripts/RunRequests.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "RunFakes.h"

using namespace brimlow;
using namespace std::chrono_literals;

namespace {

using test::Count;

class CleanupRunTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    test::TestJournal journal;
    test::ListCookies cookies{journal};
    test::ListHost host{cookies};
    test::PlayerScripts scripts{tp.platform, journal};
    CleanupRun run{tp.platform, journal, host};
    test::RunListener listener{run};

    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        run.SetCookies(&cookies);
        run.SetScripts(&scripts);
        scripts.SetRunListener(&listener);
    }
    void Sources(const std::vector<std::string>& sources)
    {
        cookies.sources = sources;
        host.RebuildCookieLists();
    }
    // A script that types one word, listed last.
    void Script(const std::string& name, const std::string& word, bool checked, const std::string& target = "/opt/sink")
    {
        dir.Write(name, target + "\r\n\x01\r\nTypes " + word + ".\r\n\x01\r\n" + word + "\r\n");
        host.scripts.push_back({name, checked});
    }
    std::vector<std::string> Sent() const
    {
        std::vector<std::string> keys;
        for (const auto& k : tp.keys.sent)
            keys.push_back(k.keys);
        return keys;
    }
    void ToTheEnd(std::chrono::milliseconds limit = 60s)
    {
        const auto start = tp.scheduler.now();
        while ((run.state() != CleanupState::Idle || scripts.IsPlaying()) && tp.scheduler.now() - start < limit)
            tp.scheduler.Advance(1ms);
    }
    std::string Loading(const std::string& name) const
    {
        return "\r\nLoading script: 12/10/26  09:00\r\n" + dir.file(name).string() + "\r\n";
    }
    static std::string Played(const std::string& word)
    {
        return "Activating target application: 12/10/26  09:00\r\n/opt/sink\r\nSending keys: " + word +
               "\r\nCompleted script execution: 12/10/26  09:00\r\n";
    }
    static constexpr const char* kPassStart = "Deleting Cookies:\r\n12/10/26    09:00\r\n\r\n";
    static constexpr const char* kPassEnd = "\r\nDeletion Complete:  12/10/26    09:00\r\n\r\n";
};

TEST_F(CleanupRunTest, OneCookiePhaseThenTheCheckedScriptsEachOneDelayApart)
{
    Sources({"Cookie:u@a/", "Cookie:u@keep/", "Cookie:u@b/"});
    host.protect = {"Cookie:u@keep/"};
    host.RebuildCookieLists();
    Script("1first.scr", "one", true);
    Script("2skip.scr", "xyz", false);
    Script("3third.scr", "two", true);
    std::vector<std::pair<std::chrono::milliseconds, CleanupState>> moves;
    ASSERT_EQ(run.Execute("100"), ExecuteOutcome::Started);
    EXPECT_EQ(run.state(), CleanupState::Waiting);
    EXPECT_EQ(run.timer().interval(), 100ms);
    EXPECT_FALSE(run.running());
    while (run.state() != CleanupState::Idle || scripts.IsPlaying()) {
        const int ticks = host.ticks;
        tp.scheduler.Advance(1ms);
        if (host.ticks != ticks)
            moves.push_back({tp.scheduler.now(), run.state()});
    }
    // Execute at 0; the first tick one delay later deletes and starts the first script; the
    // script takes two 50 ms ticks; each later entry comes one delay after the last.
    EXPECT_EQ(moves, (std::vector<std::pair<std::chrono::milliseconds, CleanupState>>{
                         {100ms, CleanupState::ScriptRunning},
                         {300ms, CleanupState::Waiting},
                         {400ms, CleanupState::ScriptRunning},
                         {600ms, CleanupState::Idle}}));
    EXPECT_EQ(cookies.sources, std::vector<std::string>{"Cookie:u@keep/"});
    EXPECT_EQ(Sent(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(run.passes(), 1);
    EXPECT_FALSE(run.running());
    EXPECT_EQ(run.step(), 0u);
    EXPECT_TRUE(run.cookiesDeleted());
    EXPECT_EQ(tp.scheduler.activeTimers(), 0u);
    EXPECT_EQ(journal.log, "\r\nQuick Cleanup: [Execute] clicked\r\n" + std::string(kPassStart) +
                               "deleted Cookie:u@a/\r\ndeleted Cookie:u@b/\r\n" + kPassEnd + Loading("1first.scr") +
                               Played("one") + Loading("3third.scr") + Played("two"));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

// The log, the deletions and the keys of one run, with something done to it on the way.
struct RunRecord {
    std::string log;
    std::vector<std::string> sourcesLeft;
    std::vector<std::string> keys;
    int passes = 0;
    bool operator==(const RunRecord&) const = default;
};

class CleanupRunOnceTest : public CleanupRunTest {
protected:
    void SetUp() override
    {
        CleanupRunTest::SetUp();
        Script("only.scr", "word", true);
        Fresh();
    }
    // The cookies and the journal as before the first run.
    void Fresh()
    {
        host.protect = {"Cookie:u@keep/"};
        Sources({"Cookie:u@a/", "Cookie:u@b/", "Cookie:u@keep/", "Cookie:u@c/", "Cookie:u@a/"});
        journal.log.clear();
        tp.keys.sent.clear();
        host.passes = 0;
    }
    RunRecord Record() const { return {journal.log, cookies.sources, Sent(), host.passes}; }
};

TEST_F(CleanupRunOnceTest, ExecuteAgainDuringTheCookiePhaseIsIgnored)
{
    // The deletions let messages run: a click on Execute arrives, and Timer2 would fire.
    std::vector<ExecuteOutcome> again;
    cookies.whileDeleting = [&] {
        again.push_back(run.Execute("1"));
        tp.scheduler.Advance(5ms);
    };
    ASSERT_EQ(run.Execute("1"), ExecuteOutcome::Started);
    ToTheEnd();
    EXPECT_EQ(again, std::vector<ExecuteOutcome>(3, ExecuteOutcome::Ignored));
    EXPECT_EQ(host.passes, 1);
    EXPECT_EQ(cookies.deleted, 3);
    // The source listed twice is not found the second time; nothing else is.
    EXPECT_EQ(Count(journal.log, "ERROR: Cookie was not found\r\n"), 1u) << journal.log;
    EXPECT_EQ(Count(journal.log, "Deleting Cookies:"), 1u);
    EXPECT_EQ(Count(journal.log, "Loading script: "), 1u);
    EXPECT_EQ(Sent(), std::vector<std::string>{"word"});
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(CleanupRunOnceTest, ExecuteAgainDuringTheDelayOrTheScriptIsIgnored)
{
    // A double-click, a click during the delay, one while the script plays: each run gives
    // what one click gives.
    ASSERT_EQ(run.Execute("40"), ExecuteOutcome::Started);
    ToTheEnd();
    const RunRecord single = Record();
    ASSERT_EQ(single.keys, std::vector<std::string>{"word"});
    for (int which = 0; which < 3; ++which) {
        Fresh();
        ASSERT_EQ(run.Execute("40"), ExecuteOutcome::Started);
        if (which == 0) {
            EXPECT_EQ(run.Execute("40"), ExecuteOutcome::Ignored);  // the second click of a double-click
        } else if (which == 1) {
            tp.scheduler.Advance(20ms);
            EXPECT_EQ(run.Execute("40"), ExecuteOutcome::Ignored);
        } else {
            tp.scheduler.Advance(60ms);
            ASSERT_TRUE(scripts.IsPlaying());
            EXPECT_EQ(run.Execute("40"), ExecuteOutcome::Ignored);
        }
        ToTheEnd();
        EXPECT_EQ(Record(), single) << which;
    }
}

TEST_F(CleanupRunOnceTest, ExecuteDuringATestIsRefusedAndTheTestFinishesWhole)
{
    ASSERT_EQ(scripts.player.Play("/opt/sink", {"a", "b", "c"}), PlayStart::Started);
    tp.scheduler.Advance(60ms);
    EXPECT_EQ(run.Execute("1"), ExecuteOutcome::Refused);
    EXPECT_EQ(run.state(), CleanupState::Idle);
    ToTheEnd();
    EXPECT_EQ(Sent(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(journal.log, "Activating target application: 12/10/26  09:00\r\n/opt/sink\r\nSending keys: a\r\n"
                           "Sending keys: b\r\nSending keys: c\r\nCompleted script execution: 12/10/26  09:00\r\n");
    EXPECT_EQ(cookies.deleted, 0);
}

TEST_F(CleanupRunTest, SourcesThatSurviveAreTriedInThreePassesThenTheScriptsRun)
{
    Sources({"Cookie:other@theirs/", "Cookie:u@mine/"});
    cookies.refused = {"Cookie:other@theirs/"};
    Script("a.scr", "x", true);
    ASSERT_EQ(run.Execute("1"), ExecuteOutcome::Started);
    ToTheEnd();
    EXPECT_EQ(run.passes(), 3);
    EXPECT_EQ(Count(journal.log, kPassStart), 3u);
    EXPECT_EQ(Count(journal.log, kPassEnd), 3u);
    EXPECT_EQ(Count(journal.log, "refused Cookie:other@theirs/\r\n"), 3u);
    EXPECT_EQ(Count(journal.log, "deleted Cookie:u@mine/\r\n"), 1u);
    EXPECT_EQ(Sent(), std::vector<std::string>{"x"});

    // No cookie editor sources at all: nothing is logged for the listed ones.
    journal.log.clear();
    cookies.sources.clear();
    host.toDelete = {"Cookie:u@gone/"};
    ASSERT_EQ(run.Execute("1"), ExecuteOutcome::Started);
    ToTheEnd();
    EXPECT_EQ(journal.log.find("ERROR"), std::string::npos);
    EXPECT_EQ(run.passes(), 1);
}

TEST_F(CleanupRunTest, ARefusedScriptStallsTheRunAndExecuteOrATestResumesIt)
{
    Script("1empty.scr", "nothing", true, "");  // no target: the test refuses it
    Script("2next.scr", "two", true);
    Script("3last.scr", "three", true);
    ASSERT_EQ(run.Execute("10"), ExecuteOutcome::Started);
    ToTheEnd(1s);
    EXPECT_EQ(run.state(), CleanupState::Stalled);
    EXPECT_TRUE(run.running());
    EXPECT_FALSE(run.UnderWay());
    EXPECT_EQ(JudgeRunRequest(RunRequest::Test, false, run.UnderWay()), RunVerdict::Allow);
    EXPECT_TRUE(tp.scheduler.activeTimers() == 0 && Sent().empty());
    // Execute resumes with the script after the refused one.
    ASSERT_EQ(run.Execute("10"), ExecuteOutcome::Resumed);
    tp.scheduler.Advance(10ms);
    EXPECT_EQ(scripts.loaded, (std::vector<std::string>{"1empty.scr", "2next.scr"}));
    ToTheEnd();
    EXPECT_EQ(Sent(), (std::vector<std::string>{"two", "three"}));
    EXPECT_EQ(run.state(), CleanupState::Idle);

    // Stalled again; this time a test from the editor mends it, and its end goes on.
    tp.keys.sent.clear();
    ASSERT_EQ(run.Execute("10"), ExecuteOutcome::Started);
    ToTheEnd(1s);
    ASSERT_EQ(run.state(), CleanupState::Stalled);
    ASSERT_EQ(scripts.player.Play("/opt/sink", {"mended"}), PlayStart::Started);
    ToTheEnd();
    EXPECT_EQ(Sent(), (std::vector<std::string>{"mended", "two", "three"}));
    EXPECT_FALSE(run.running());
}

TEST_F(CleanupRunTest, AMissingScriptIsLoggedAndTheNextRunsAndAShorterListEndsTheRun)
{
    Script("1gone.scr", "zap", true);
    Script("2next.scr", "two", true);
    std::filesystem::remove(dir.file("1gone.scr"));
    ASSERT_EQ(run.Execute("5"), ExecuteOutcome::Started);
    ToTheEnd();
    EXPECT_EQ(Sent(), std::vector<std::string>{"two"});
    EXPECT_NE(journal.log.find(Loading("1gone.scr") + "ERROR: Script could not be loaded\r\n" +
                               dir.file("1gone.scr").string() + "\r\n" + Loading("2next.scr")),
              std::string::npos)
        << journal.log;

    // A stall, then the list loses its entries before Execute resumes: the run ends.
    host.scripts = {{"empty.scr", true}, {"later.scr", true}};
    dir.Write("empty.scr", "\r\nabc\r\n");
    ASSERT_EQ(run.Execute("5"), ExecuteOutcome::Started);
    ToTheEnd(1s);
    ASSERT_EQ(run.state(), CleanupState::Stalled);
    host.scripts.clear();
    ASSERT_EQ(run.Execute("5"), ExecuteOutcome::Resumed);
    ToTheEnd();
    EXPECT_EQ(run.state(), CleanupState::Idle);
    EXPECT_FALSE(run.running());
    EXPECT_EQ(run.step(), 0u);
}

TEST_F(CleanupRunTest, AnInvalidDelayStartsNothingButForgetsTheCookiePhase)
{
    Sources({"Cookie:u@a/"});
    ASSERT_EQ(run.Execute("1"), ExecuteOutcome::Started);
    ToTheEnd();
    ASSERT_TRUE(run.cookiesDeleted());
    EXPECT_EQ(run.Execute("abc"), ExecuteOutcome::DelayNotNumeric);
    EXPECT_FALSE(run.cookiesDeleted());
    EXPECT_EQ(run.Execute("0"), ExecuteOutcome::DelayOutOfRange);
    EXPECT_EQ(run.state(), CleanupState::Idle);
    EXPECT_EQ(tp.scheduler.activeTimers(), 0u);
    // A stray tick does nothing.
    run.Tick();
    EXPECT_EQ(run.state(), CleanupState::Idle);
    EXPECT_FALSE(run.running());
}

}  // namespace
