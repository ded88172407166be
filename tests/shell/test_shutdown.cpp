// The one shut-down path: the close box and File > Exit both end here.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

#include "bleach/MBleachUtility.h"
#include "shell/Forms.h"
#include "shell/SessionEnd.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
#include "support/GuiTestSupport.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using brimlow::test::Named;

namespace {

enum class Way { CloseBox, FileExit };

class Shutdown : public ::testing::TestWithParam<Way> {
protected:
    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.runner.passThrough = false;  // no UrlHound here: the dump files are the test's own
        forms = std::make_unique<Forms>(tp.platform);
    }
    void Close(frmMain& main)
    {
        if (GetParam() == Way::CloseBox)
            main.close();
        else
            Named<QAction>(&main, "mnuFileExit")->trigger();
    }
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    std::unique_ptr<Forms> forms;
};

}  // namespace

TEST_P(Shutdown, DestroysTheDataFilesAndEndsOnce)
{
    dir.Write("OrlinAll.dat", "http://a.example/\n");
    dir.Write("orlincookie.DAT", "Cookie:tester@a.example/\n");  // another letter case
    dir.Write("OrlinVisited.dat", "Visited: x\n");
    dir.Write("OrlinCookie.dat.q7Zk2M", "Cookie:tester@b.example/\n");  // a killed UrlHound's
    dir.Write("OrlinCookie.dat.keep", "not a dump being written\n");
    dir.Write("BrimlowTemp.dat", "report\r\n");
    dir.Write("ActivityReport.dat", "Bleach Utility: [Execute] clicked\r\n\r\n");
    dir.Write("keep.scr", "script\n");
    TheDestructionList().AddToDestructionList((dir.folder() / "keep.scr").string());

    forms->LoadSplash();
    frmMain* main = forms->main();
    frmSplash* splash = forms->splash();
    splash->Timer1_Timer();  // the main window is up, the splash hidden
    ASSERT_TRUE(main->isVisible());

    bool mainHiddenDuringCleanUp = false;
    bool splashShownDuringCleanUp = false;
    bool timerStoppedDuringCleanUp = false;
    // The fake exit looks at the windows at the moment the process would end.
    struct ProbeExit final : ProcessExit {
        std::function<void()> probe;
        int calls = 0;
        void EndNow(int) override
        {
            ++calls;
            probe();
        }
    } probeExit;
    bool windowsUnloaded = false;
    probeExit.probe = [&] { windowsUnloaded = !forms->splash() && !forms->main() && !forms->login(); };
    tp.platform.exit = &probeExit;
    // The splash is on screen while the files go.
    struct Probe : QObject {
        std::function<void()> onShow;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show && o->objectName() == "frmSplash")
                onShow();
            return false;
        }
    } probe;
    probe.onShow = [&] {
        mainHiddenDuringCleanUp = !main->isVisible();
        timerStoppedDuringCleanUp = !splash->Timer1->isActive();
        splashShownDuringCleanUp = dir.Exists("OrlinAll.dat");  // shown before the clean-up
    };
    splash->Timer1->start();  // armed, as if the load had only just ended
    qApp->installEventFilter(&probe);
    Close(*main);
    qApp->removeEventFilter(&probe);

    EXPECT_TRUE(mainHiddenDuringCleanUp);
    EXPECT_TRUE(timerStoppedDuringCleanUp);
    EXPECT_TRUE(splashShownDuringCleanUp);
    EXPECT_EQ(probeExit.calls, 1);
    EXPECT_TRUE(windowsUnloaded);
    EXPECT_EQ(TheDestructionList().size(), 0u);

    for (const char* gone :
         {"OrlinAll.dat", "orlincookie.DAT", "OrlinVisited.dat", "OrlinCookie.dat.q7Zk2M", "BrimlowTemp.dat"})
        EXPECT_FALSE(dir.Exists(gone)) << gone;
    EXPECT_TRUE(dir.Exists("keep.scr"));
    EXPECT_TRUE(dir.Exists("OrlinCookie.dat.keep"));
    EXPECT_EQ(dir.Read("ActivityReport.dat"),
              "File deleted\r\n" + (dir.folder() / "ActivityReport.dat").string() + "\r\nBleached: True\r\n");
    EXPECT_TRUE(tp.dialogs.boxes.empty());

    // The window is gone; nothing runs the shut-down a second time.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(probeExit.calls, 1);
}

TEST_P(Shutdown, MissingFilesAreSkippedWithoutALogEntry)
{
    frmMain& main = forms->LoadMain();
    main.show();
    Close(main);
    EXPECT_EQ(tp.exit.calls, 1);
    EXPECT_FALSE(dir.Exists("ActivityReport.dat"));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, Shutdown, ::testing::Values(Way::CloseBox, Way::FileExit),
                         [](const testing::TestParamInfo<Way>& info) {
                             return info.param == Way::CloseBox ? "CloseBox" : "FileExit";
                         });

TEST(ShutdownStandalone, ClosingTwiceRunsTheShutDownOnce)
{
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    frmMain main(tp.platform);
    main.Form_Load();
    main.show();
    dir.Write("BrimlowTemp.dat", "x\r\n");
    main.close();
    EXPECT_FALSE(main.isVisible());
    EXPECT_FALSE(dir.Exists("BrimlowTemp.dat"));
    main.show();
    main.close();
    EXPECT_EQ(tp.exit.calls, 1);
    EXPECT_EQ(tp.exit.lastCode, 0);
}

TEST(ShutdownOnSignal, StopSignalClosesThroughTheShutDown)
{
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    Forms forms(tp.platform);
    frmMain& main = forms.LoadMain();
    main.show();
    dir.Write("OrlinVisited.dat", "Visited: x\n");
    {
        SessionEndWatcher watcher(forms);
        ::raise(SIGTERM);
        for (int i = 0; i < 50 && tp.exit.calls == 0; ++i)
            QTest::qWait(20);
    }
    EXPECT_EQ(tp.exit.calls, 1);
    EXPECT_FALSE(dir.Exists("OrlinVisited.dat"));
    EXPECT_EQ(forms.main(), nullptr);
}
