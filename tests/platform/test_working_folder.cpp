// Where the program keeps its files: the executable's folder when the user may write there,
// else a private folder in the user's data folder; UrlHound beside the executable or in the
// installed tool folder.
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Platform.h"
#include "support/AsOtherUser.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& file, mode_t mode)
{
    fs::create_directories(file.parent_path());
    test::TempProgramFolder::WriteFile(file, "#!/bin/sh\n");
    ::chmod(file.c_str(), mode);
}

}  // namespace

TEST(WorkingFolder, IsTheExecutablesFolderWhenWritable)
{
    test::TempProgramFolder dir;
    ::setenv("XDG_DATA_HOME", (dir.root() / "data").c_str(), 1);
    EXPECT_EQ(WorkingFolderFor(dir.folder()), dir.folder());
    EXPECT_FALSE(fs::exists(dir.root() / "data"));  // nothing made that is not needed
    ::unsetenv("XDG_DATA_HOME");
}

TEST(WorkingFolder, IsAPrivateDataFolderWhenTheExecutablesFolderIsNotWritable)
{
    test::TempProgramFolder dir;
    // A root-owned program folder that others may enter but not write, as an installed one.
    ::chmod(dir.root().c_str(), 0755);
    ::chmod(dir.folder().c_str(), 0755);
    const fs::path home = dir.root() / "home";
    fs::create_directories(home);
    ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);

    for (const bool viaXdg : {true, false}) {
        const int rc = test::RunAsOtherUser([&] {
            if (viaXdg) {
                ::setenv("XDG_DATA_HOME", (home / "xdg").c_str(), 1);
            } else {
                ::unsetenv("XDG_DATA_HOME");
                ::setenv("HOME", home.c_str(), 1);
            }
            const fs::path want = viaXdg ? home / "xdg" / "brimlow" : home / ".local" / "share" / "brimlow";
            if (WorkingFolderFor(dir.folder()) != want)
                return 1;
            struct stat st {};
            if (::stat(want.c_str(), &st) != 0 || (st.st_mode & 07777) != 0700 || st.st_uid != ::geteuid())
                return 2;
            // Found again on the next start, as it is.
            return WorkingFolderFor(dir.folder()) == want ? 0 : 3;
        });
        EXPECT_EQ(rc, 0) << (viaXdg ? "XDG_DATA_HOME" : "HOME");
    }
}

TEST(ToolFolder, BesideTheExecutableElseTheInstalledToolFolder)
{
    test::TempProgramFolder dir;
    const fs::path bin = dir.root() / "prefix" / "bin";
    const fs::path libexec = dir.root() / "prefix" / "libexec" / "brimlow";
    fs::create_directories(bin);
    // Neither: the executable's folder, so a failed start names where it looked first.
    EXPECT_EQ(ToolFolderFor(bin, "UrlHound"), bin);
    Touch(libexec / "UrlHound", 0755);
    EXPECT_EQ(ToolFolderFor(bin, "UrlHound"), libexec);
    Touch(bin / "UrlHound", 0644);  // not a program: passed over
    EXPECT_EQ(ToolFolderFor(bin, "UrlHound"), libexec);
    ::chmod((bin / "UrlHound").c_str(), 0755);
    EXPECT_EQ(ToolFolderFor(bin, "UrlHound"), bin);
}
