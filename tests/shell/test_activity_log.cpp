#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/MActivityReport.h"
#include "platform/Errors.h"
#include "support/Unprivileged.h"
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
    // A program folder the user may not write: the append fails with "permission denied"
    // and the failure reaches the caller unchanged.
    int number = 0;
    {
        test::Unprivileged user({{dir.root(), 0755}, {dir.folder(), 0555}});
        ASSERT_TRUE(user.ok());
        try {
            AppendActivityLog(tp.platform, "x");
        } catch (const RuntimeError& e) {
            number = e.number();
        }
    }
    EXPECT_EQ(number, 70);
    EXPECT_FALSE(dir.Exists("ActivityReport.dat"));
}
