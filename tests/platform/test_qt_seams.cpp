// The real timer, pause and volume seams on Qt, and the timer fake that the page tests lean on.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/qt/QtPlatform.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using namespace std::chrono_literals;

TEST(QtDialogs, TheSaveDialogAsksBeforeReplacingUnlessToldNotTo)
{
    for (const bool confirm : {true, false}) {
        FileDialogOptions options = TextReportSaveOptions("/tmp");
        options.confirmReplace = confirm;
        bool seen = false, asks = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            seen = dialog != nullptr;
            if (dialog) {
                asks = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                dialog->reject();
            }
        });
        QtDialogs dialogs;
        EXPECT_EQ(dialogs.ShowSave(options), std::nullopt);
        ASSERT_TRUE(seen);
        EXPECT_EQ(asks, confirm);
    }
}

TEST(QtScheduler, TimersRepeatUntilStoppedAndAPauseLetsThemRun)
{
    QtScheduler scheduler;
    int ticks = 0;
    std::unique_ptr<Timer> timer;
    timer = scheduler.NewTimer([&] {
        if (++ticks == 3)
            timer->stop();
    });
    timer->setInterval(5ms);
    EXPECT_FALSE(timer->isActive()) << "made stopped";
    timer->start();
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 5ms);

    QElapsedTimer wall;
    wall.start();
    scheduler.Pause(60ms);
    EXPECT_GE(wall.elapsed(), 59);
    EXPECT_EQ(ticks, 3) << "the pause let the timer fire, and the handler stopped it";
    EXPECT_FALSE(timer->isActive());

    bool posted = false;
    QTimer::singleShot(0, [&] { posted = true; });
    scheduler.Pause(0ms);
    EXPECT_TRUE(posted) << "even a zero pause lets pending messages run";
}

TEST(QtVolumes, TheRootComesFirstAndNoneTwice)
{
    QtVolumes volumes;
    const auto roots = volumes.MountedRoots();
    ASSERT_FALSE(roots.empty());
    EXPECT_EQ(roots.front(), "/");
    for (std::size_t i = 0; i < roots.size(); ++i)
        for (std::size_t j = i + 1; j < roots.size(); ++j)
            EXPECT_NE(roots[i], roots[j]);
}

TEST(FakeScheduler, AdvanceFiresDueTimersInTimeOrderAndMovesTheClock)
{
    test::TestPlatform tp;
    std::vector<std::string> fired;
    auto fast = tp.scheduler.NewTimer([&] { fired.push_back("fast"); });
    auto slow = tp.scheduler.NewTimer([&] { fired.push_back("slow"); });
    fast->setInterval(300ms);
    slow->setInterval(500ms);
    fast->start();
    slow->start();
    const double before = tp.clock.monotonic;

    tp.scheduler.Advance(999ms);
    EXPECT_EQ(fired, (std::vector<std::string>{"fast", "slow", "fast", "fast"}));  // 300 500 600 900
    EXPECT_DOUBLE_EQ(tp.clock.monotonic - before, 0.999);
    fired.clear();
    slow->stop();
    slow->start();  // restarts its interval: next at 999 + 500
    tp.scheduler.Advance(501ms);
    EXPECT_EQ(fired, (std::vector<std::string>{"fast", "slow", "fast"}));  // 1200 1499 1500
    EXPECT_EQ(tp.scheduler.activeTimers(), 2u);
    slow.reset();
    EXPECT_EQ(tp.scheduler.activeTimers(), 1u) << "a destroyed timer leaves the scheduler";
}

TEST(FakeScheduler, APauseInsideAHandlerFiresWhatFallsDueMeanwhile)
{
    test::TestPlatform tp;
    int heartbeats = 0;
    auto heartbeat = tp.scheduler.NewTimer([&] { ++heartbeats; });
    heartbeat->setInterval(1000ms);
    heartbeat->start();
    std::unique_ptr<Timer> script;
    script = tp.scheduler.NewTimer([&] {
        script->stop();
        tp.scheduler.Pause(3000ms);  // a script's [PAUSE]3
    });
    script->setInterval(10ms);
    script->start();

    tp.scheduler.Advance(10ms);
    EXPECT_EQ(tp.scheduler.pauses, std::vector<std::chrono::milliseconds>{3000ms});
    EXPECT_EQ(heartbeats, 3);  // at 1000, 2000 and 3000
    EXPECT_EQ(tp.scheduler.now(), 3010ms);
}
