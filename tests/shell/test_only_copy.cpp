// A later copy for the same working folder calls the first, which comes to the front, and
// says that Brimlow is already running; a folder nobody holds has nobody to call.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include "shell/Forms.h"
#include "shell/OnlyCopy.h"
#include "shell/frmMain.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "support/Unprivileged.h"

using namespace brimlow;

namespace {

bool WaitFor(const std::function<bool()>& done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 3000)
        QTest::qWait(20);
    return done();
}

}  // namespace

TEST(OnlyCopy, ALaterCopyCallsTheFirstAndSaysItRuns)
{
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    int calls = 0;
    FirstCopyListener first(dir.folder(), [&] { ++calls; });
    ASSERT_TRUE(first.listening());

    SayAnotherCopyRuns(tp.platform);
    EXPECT_TRUE(WaitFor([&] { return calls == 1; }));
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
    EXPECT_EQ(tp.dialogs.boxes[0].text, "Brimlow is already running for this working folder, and has been brought "
                                        "to the front.\r\nThis copy ends and touches no file.\r\n\r\n"
                                        "Working folder: " + dir.folder().string());
    EXPECT_TRUE(std::filesystem::is_empty(dir.folder()));  // no socket file, no lock file

    // Another folder's copy is not called.
    test::TempProgramFolder other;
    tp.platform.programFolder = other.folder();
    tp.platform.storeFolder = other.storeFolder();
    SayAnotherCopyRuns(tp.platform);
    QTest::qWait(100);
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(tp.dialogs.boxes.size(), 2u);
    EXPECT_NE(tp.dialogs.boxes[1].text.find("switch to it"), std::string::npos) << tp.dialogs.boxes[1].text;
}

TEST(OnlyCopy, TheCallBringsTheMinimisedMainWindowBack)
{
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    tp.runner.passThrough = false;
    Forms forms(tp.platform);
    frmMain& main = forms.LoadMain();
    main.show();
    main.showMinimized();
    ASSERT_TRUE(WaitFor([&] { return main.isMinimized(); }));
    FirstCopyListener first(dir.folder(), [&] { BringToFront(forms); });
    ASSERT_TRUE(CallFirstCopy(dir.folder()));
    EXPECT_TRUE(WaitFor([&] { return !main.isMinimized(); }));
    EXPECT_TRUE(main.isVisible());
}

TEST(OnlyCopy, TakingTheFolderEndsThisCopyWhenItIsHeldOrCannotBeLocked)
{
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    tp.platform.programFolder = dir.folder();

    WorkingFolderLock first;
    EXPECT_EQ(TakeWorkingFolder(first, tp.platform), std::nullopt);
    EXPECT_TRUE(first.held());
    EXPECT_TRUE(tp.dialogs.boxes.empty());

    WorkingFolderLock second;
    EXPECT_EQ(TakeWorkingFolder(second, tp.platform), 0);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_NE(tp.dialogs.boxes[0].text.find("already running"), std::string::npos);
    first.Release();

    // A folder this user may write in but not open: the lock cannot be taken, which is said,
    // and the copy ends instead of going on unguarded.
    {
        test::Unprivileged user({{dir.root(), 0755}, {dir.folder(), 0333}});
        ASSERT_TRUE(user.ok());
        WorkingFolderLock third;
        EXPECT_EQ(TakeWorkingFolder(third, tp.platform), 1);
        EXPECT_FALSE(third.held());
    }
    ASSERT_EQ(tp.dialogs.boxes.size(), 2u);
    EXPECT_EQ(tp.dialogs.boxes[1].title, "Brimlow");
    EXPECT_EQ(tp.dialogs.boxes[1].icon, MsgBoxIcon::Critical);
    EXPECT_EQ(tp.dialogs.boxes[1].text,
              "Brimlow cannot lock its working folder (Permission denied), so it cannot make sure that no other copy "
              "uses the same files.\r\nIt ends and touches no file.\r\n\r\nWorking folder: " +
                  dir.folder().string());
    EXPECT_TRUE(std::filesystem::is_empty(dir.folder()));
}
