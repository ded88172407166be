// A working folder whose disk is full at exit: the data files are destroyed (their blocks are
// rewritten in place, which takes no new space), but the log cannot take their entries. That
// is said once, not as a failure of each destruction.
#include <cerrno>
#include <gtest/gtest.h>

#include "host/MActivityReport.h"
#include "shell/MGlobalInitialization.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

// The real calls, but every plain write (the log's appends) meets a full disk.
class FullDisk final : public PosixFileCalls {
public:
    long Write(int fd, const void* buf, std::size_t n) override
    {
        if (full) {
            errno = ENOSPC;
            return -1;
        }
        return PosixFileCalls::Write(fd, buf, n);
    }
    bool full = true;
};

}  // namespace

TEST(FullWorkingFolder, TheExitDestroysTheDataFilesAndSaysOnceThatTheLogCouldNotBeWritten)
{
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    tp.platform.programFolder = dir.folder();
    FullDisk disk;
    tp.platform.files = &disk;
    for (const char* name : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat", "BrimlowTemp.dat"})
        dir.Write(name, "what this run saw\n");
    dir.Write("ActivityReport.dat", "what this run did\r\n");

    BleachDataFiles(tp.platform);
    for (const char* name : {"OrlinAll.dat", "OrlinCookie.dat", "OrlinVisited.dat", "BrimlowTemp.dat"})
        EXPECT_FALSE(dir.Exists(name)) << name;
    // The log went too; the append of its own entry found the disk full.
    EXPECT_EQ(dir.Read("ActivityReport.dat"), "");
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
    EXPECT_EQ(tp.dialogs.boxes[0].text,
              "The activity log could not be written (disk full).\r\nWhat was done is done; its entry, and perhaps "
              "those that follow, are missing from the log.\r\n\r\nActivity log: " +
                  dir.file("ActivityReport.dat").string());

    // Once the log takes entries again, the next time it cannot is said again.
    disk.full = false;
    EXPECT_TRUE(AppendActivityLogOrSay(tp.platform, "x\r\n"));
    disk.full = true;
    EXPECT_FALSE(AppendActivityLogOrSay(tp.platform, "y\r\n"));
    EXPECT_FALSE(AppendActivityLogOrSay(tp.platform, "z\r\n"));
    EXPECT_EQ(tp.dialogs.boxes.size(), 2u);
    EXPECT_EQ(dir.Read("ActivityReport.dat"), "x\r\n");
}
