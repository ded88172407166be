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

// Names from outside (cookies, sources, script paths, keys) go into an entry through LogSafe:
// none can end the line it stands in, and each \xHH in an entry stands for one byte.
TEST(ActivityLogName, ControlBytesAndABackslashBeforeXAreEscapedAndEveryOtherByteIsKept)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"plain name;=/\\ %", "plain name;=/\\ %"},
        {"a\r\nERROR: forged\r\n", "a\\x0D\\x0AERROR: forged\\x0D\\x0A"},
        {"\n", "\\x0A"},
        {std::string("z\0\x1f\x7f\t", 5), "z\\x00\\x1F\\x7F\\x09"},
        {"caf\xe9 \xef\xbf\xbd \x80\xff", "caf\xe9 \xef\xbf\xbd \x80\xff"},  // not text of the locale: kept
        // A name that holds what reads as an escape is told from one that held the byte.
        {"C:\\x0A\\x", "C:\\x5Cx0A\\x5Cx"},
        {"\\\\ \\X41", "\\\\ \\X41"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogSafe(c.in), c.out) << c.in;
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
