// What the bleach utility's lists read from the file system.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bleach/BleachFolders.h"
#include "platform/Errors.h"
#include "support/Unprivileged.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

TEST(BleachFolders, PathsAndPrefixes)
{
    const struct {
        const char* path;
        const char* normal;
        const char* prefix;  // of the path as given
    } cases[] = {
        {"/", "/", "/"},
        {"//", "/", "//"},
        {"/tmp", "/tmp", "/tmp/"},
        {"/tmp/", "/tmp", "/tmp/"},
        {"/a//b/./c/", "/a/b/c", "/a//b/./c/"},
        {"/a/b/../c", "/a/c", "/a/b/../c/"},
        {"/..", "/", "/../"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalFolderPath(c.path), c.normal) << c.path;
        EXPECT_EQ(FolderPrefix(c.path), c.prefix) << c.path;
    }
    EXPECT_EQ(FolderPrefix("/") + "a.txt", "/a.txt");
    EXPECT_EQ(FolderChain("/"), (std::vector<std::string>{"/"}));
    EXPECT_EQ(FolderChain("/home/me/"), (std::vector<std::string>{"/", "/home", "/home/me"}));
}

TEST(BleachFolders, RootOfIsTheLongestRootAboveTheFolder)
{
    const std::vector<std::string> roots{"/", "/media/usb", "/media/usb2", "/home"};
    EXPECT_EQ(RootOf("/media/usb/photos", roots), "/media/usb");
    EXPECT_EQ(RootOf("/media/usb2", roots), "/media/usb2");
    EXPECT_EQ(RootOf("/media/usb22", roots), "/");  // a name that merely begins alike
    EXPECT_EQ(RootOf("/home", roots), "/home");
    EXPECT_EQ(RootOf("/etc", roots), "/");
    EXPECT_EQ(RootOf("/etc", {"/home"}), "");
}

TEST(BleachFolders, ListsFilesAndFoldersApartWithTheirBytes)
{
    test::TempProgramFolder dir;
    const fs::path f = dir.root() / "listed";
    fs::create_directories(f / "sub");
    test::TempProgramFolder::WriteFile(f / "a.txt", "a");
    test::TempProgramFolder::WriteFile(f / ".hidden", "h");
    const std::string odd = "caf\xE9-\xFF.bin";  // not UTF-8
    test::TempProgramFolder::WriteFile(f / odd, "o");
    fs::create_symlink(f / "sub", f / "link-to-sub");
    fs::create_symlink(f / "a.txt", f / "link-to-a");
    fs::create_symlink(f / "nowhere", f / "dangling");

    const FolderContents c = ReadFolder(f.string());
    ASSERT_EQ(c.status, FolderContents::Listed);
    EXPECT_EQ(Sorted(c.files), Sorted({"a.txt", ".hidden", odd, "link-to-a", "dangling"}));
    EXPECT_EQ(Sorted(c.folders), Sorted({"sub", "link-to-sub"}));

    EXPECT_EQ(ReadFolder((f / "gone").string()).status, FolderContents::Missing);
    EXPECT_EQ(ReadFolder((f / "a.txt").string()).status, FolderContents::Missing);
}

TEST(BleachFolders, AFolderThatCannotBeReadIsToldApartFromAMissingOne)
{
    test::TempProgramFolder dir;
    const fs::path f = dir.root() / "locked";
    fs::create_directories(f);
    test::TempProgramFolder::WriteFile(f / "secret.txt", "s");
    test::Unprivileged user({{dir.root(), 0755}, {f, 0}});
    ASSERT_TRUE(user.ok());
    const FolderContents c = ReadFolder(f.string());
    EXPECT_EQ(c.status, FolderContents::Unreadable);
    EXPECT_TRUE(c.files.empty());
}

TEST(BleachFolders, AVolumeThatHasGoneIsADeviceError)
{
    EXPECT_EQ(CheckVolume("/"), 0);
    EXPECT_EQ(CheckVolume("/no/such/volume"), err::DeviceUnavailable);
}
