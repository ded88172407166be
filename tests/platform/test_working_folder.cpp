// Where the program keeps its files: the executable's folder when the user may write there,
// else a private folder in the user's data folder; UrlHound beside the executable or in the
// installed tool folder.
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Platform.h"
#include "support/ScopedEnv.h"
#include "support/TempProgramFolder.h"
#include "support/Unprivileged.h"

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
    test::ScopedEnv env;
    env.Set("XDG_DATA_HOME", (dir.root() / "data").string());
    EXPECT_EQ(WorkingFolderFor(dir.folder()), dir.folder());
    EXPECT_FALSE(fs::exists(dir.root() / "data"));  // nothing made that is not needed
}

TEST(WorkingFolder, IsAPrivateDataFolderWhenTheExecutablesFolderIsNotWritable)
{
    test::TempProgramFolder dir;
    // A program folder that the user may enter but not write, as an installed one.
    const fs::path home = dir.root() / "home";
    fs::create_directories(home);
    ASSERT_EQ(::chown(home.c_str(), test::Unprivileged::User(), test::Unprivileged::Group()), 0);

    for (const bool viaXdg : {true, false}) {
        SCOPED_TRACE(viaXdg ? "XDG_DATA_HOME" : "HOME");
        test::ScopedEnv env;
        if (viaXdg) {
            env.Set("XDG_DATA_HOME", (home / "xdg").string());
        } else {
            env.Unset("XDG_DATA_HOME");
            env.Set("HOME", home.string());
        }
        test::Unprivileged user({{dir.root(), 0755}, {dir.folder(), 0555}});
        ASSERT_TRUE(user.ok());
        const fs::path want = viaXdg ? home / "xdg" / "brimlow" : home / ".local" / "share" / "brimlow";
        EXPECT_EQ(WorkingFolderFor(dir.folder()), want);
        struct stat st {};
        ASSERT_EQ(::stat(want.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u);
        EXPECT_EQ(st.st_uid, ::geteuid());
        // Found again on the next start, as it is.
        EXPECT_EQ(WorkingFolderFor(dir.folder()), want);
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
