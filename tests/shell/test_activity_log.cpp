#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/MActivityReport.h"
#include "platform/Errors.h"
#include "support/AsOtherUser.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

class ActivityLog : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    void SetUp() override { tp.platform.programFolder = dir.folder(); }
};

TEST_F(ActivityLog, AppendJoinsTextsUnchangedAndCreatesTheLog)
{
    EXPECT_FALSE(dir.Exists("ActivityReport.dat"));
    AppendActivityLog(tp.platform, "");
    EXPECT_EQ(dir.Read("ActivityReport.dat"), "");  // an empty append creates an empty log
    AppendActivityLog(tp.platform, "A");
    AppendActivityLog(tp.platform, "B");
    AppendActivityLog(tp.platform, "Bleach Utility: [Execute] clicked\r\n\r\n");
    EXPECT_EQ(dir.Read("ActivityReport.dat"), "AB" "Bleach Utility: [Execute] clicked\r\n\r\n");
    EXPECT_EQ(ReadActivityLog(tp.platform), dir.Read("ActivityReport.dat"));
}

TEST_F(ActivityLog, ResetLeavesTwoEmptyLines)
{
    AppendActivityLog(tp.platform, "old entry\r\n");
    ResetActivityLog(tp.platform);
    EXPECT_EQ(dir.Read("ActivityReport.dat"), "\r\n\r\n");
    ::unlink(dir.file("ActivityReport.dat").c_str());
    ResetActivityLog(tp.platform);
    EXPECT_EQ(dir.Read("ActivityReport.dat"), "\r\n\r\n");
}

TEST_F(ActivityLog, LoadOfMissingLogIsEmptyAndAnyCaseIsFound)
{
    EXPECT_EQ(ReadActivityLog(tp.platform), "");
    dir.Write("activityreport.DAT", "x\r\n");
    EXPECT_EQ(ReadActivityLog(tp.platform), "x\r\n");
    AppendActivityLog(tp.platform, "y");
    EXPECT_EQ(dir.Read("activityreport.DAT"), "x\r\ny");
}

TEST_F(ActivityLog, FailuresGoToTheCaller)
{
    // The program folder stays writable only for its owner; another user's append fails
    // with "permission denied" and the failure reaches the caller unchanged.
    ::chmod(dir.root().c_str(), 0755);
    ::chmod(dir.folder().c_str(), 0755);
    const int number = test::RunAsOtherUser([&] {
        try {
            AppendActivityLog(tp.platform, "x");
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    });
    EXPECT_EQ(number, 70);
    EXPECT_FALSE(dir.Exists("ActivityReport.dat"));
}
