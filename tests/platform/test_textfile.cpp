#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "support/Unprivileged.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
using namespace brimlow::textfile;
using brimlow::test::TempProgramFolder;

namespace {

std::vector<std::string> AllLines(const fs::path& p)
{
    LineReader r(p);
    std::vector<std::string> lines;
    while (!r.AtEndOfStream())
        lines.push_back(r.ReadLine());
    return lines;
}

}  // namespace

TEST(TextFile, ReadLineSplitsAtLfAndDropsOneCr)
{
    TempProgramFolder dir;
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\nc", {"a", "b", "c"}},
        {"a\r\r\nb\n", {"a\r", "b"}},   // only the CR right before LF goes
        {"\n\r\n\n", {"", "", ""}},
        {"x\ry", {"x\ry"}},              // a bare CR is no line end
        {"", {}},
        {"last\r", {"last\r"}},
    };
    for (const auto& c : cases) {
        dir.Write("f.txt", c.bytes);
        EXPECT_EQ(AllLines(dir.file("f.txt")), c.lines) << testing::PrintToString(c.bytes);
        // Bytes already in memory split the same way.
        std::vector<std::string> inMemory;
        std::string_view rest = c.bytes, line;
        while (NextLine(rest, line))
            inMemory.emplace_back(line);
        EXPECT_EQ(inMemory, c.lines) << testing::PrintToString(c.bytes);
    }
}

TEST(TextFile, LongLinesCrossTheReadBuffer)
{
    TempProgramFolder dir;
    std::string big(200000, 'q');
    dir.Write("big.txt", big + "\r\n" + big + "\n");
    auto lines = AllLines(dir.file("big.txt"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], big);
    EXPECT_EQ(lines[1], big);
}

TEST(TextFile, ReadPastEndFails)
{
    TempProgramFolder dir;
    dir.Write("one.txt", "only\n");
    LineReader r(dir.file("one.txt"));
    EXPECT_EQ(r.ReadLine(), "only");
    EXPECT_TRUE(r.AtEndOfStream());
    try {
        r.ReadLine();
        FAIL() << "no error past the end";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kInputPastEnd);
    }
}

TEST(TextFile, WritersAddExactlyWhatTheyAreAskedTo)
{
    TempProgramFolder dir;
    {
        TextWriter w(dir.file("w.txt"), OpenMode::Writing);
        w.Write("a");
        w.WriteLine("b");
        w.WriteBlankLines(2);
        w.WriteLine();
        w.Close();
    }
    EXPECT_EQ(dir.Read("w.txt"), "ab\r\n\r\n\r\n\r\n");
    WriteAll(dir.file("w.txt"), "new");
    EXPECT_EQ(dir.Read("w.txt"), "new");  // writing empties the file first
    Append(dir.file("w.txt"), "+more");
    EXPECT_EQ(dir.Read("w.txt"), "new+more");
    // Bytes are never converted.
    std::string binary("\x00\xff\xe9\r\x1a", 5);
    WriteAll(dir.file("bin.txt"), binary);
    EXPECT_EQ(ReadAll(dir.file("bin.txt")), binary);
}

TEST(TextFile, ProgramFileNamesResolveWithoutRegardToCase)
{
    TempProgramFolder dir;
    dir.Write("OrlinCookie.dat", "x\n");
    EXPECT_TRUE(FileExists(InFolder(dir.folder(), "\\OrlinCookie.Dat")));
    EXPECT_EQ(ReadAll(InFolder(dir.folder(), "ORLINCOOKIE.DAT")), "x\n");
    // Writing a program file through another spelling replaces the one file.
    WriteAll(InFolder(dir.folder(), "orlincookie.dat"), "y");
    EXPECT_EQ(dir.Read("OrlinCookie.dat"), "y");
    EXPECT_FALSE(dir.Exists("orlincookie.dat"));
    EXPECT_FALSE(FileExists(InFolder(dir.folder(), "Other.dat")));
}

TEST(TextFile, APathTheUserChoseIsUsedExactlyAsGiven)
{
    TempProgramFolder dir;
    const std::string old("old notes\r\n\x00\xe9", 13);
    dir.Write("notes.txt", old);
    EXPECT_FALSE(FileExists(dir.file("Notes.txt")));
    for (OpenMode mode : {OpenMode::Writing, OpenMode::Appending}) {
        TextWriter w(dir.file("Notes.txt"), mode);
        w.WriteLine("new");
        w.Close();
    }
    EXPECT_EQ(dir.Read("Notes.txt"), "new\r\nnew\r\n");
    EXPECT_EQ(dir.Read("notes.txt"), old);
    EXPECT_THROW(ReadAll(dir.file("NOTES.TXT")), RuntimeError);

    // A writer opened for reading never empties the file; writing through it fails.
    {
        TextWriter r(dir.file("notes.txt"), OpenMode::Reading);
        r.Write("x");
        EXPECT_THROW(r.Close(), RuntimeError);
    }
    EXPECT_EQ(dir.Read("notes.txt"), old);
    EXPECT_THROW(TextWriter(dir.file("missing.txt"), OpenMode::Reading), RuntimeError);
    EXPECT_FALSE(dir.Exists("missing.txt"));
}

TEST(TextFile, FailuresCarryRuntimeNumbers)
{
    TempProgramFolder dir;
    auto number = [](auto&& f) {
        try {
            f();
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(number([&] { LineReader r(dir.file("missing.txt")); }), 53);
    EXPECT_EQ(number([&] { Append(dir.file("missing.txt"), "x", false); }), 53);
    EXPECT_EQ(number([&] { WriteAll(dir.folder() / "no such folder" / "f.txt", "x"); }), 53);
    dir.Write("plain", "x");
    EXPECT_EQ(number([&] { WriteAll(dir.file("plain") / "f.txt", "x"); }), 76);
    EXPECT_EQ(number([&] { ReadAll(dir.folder()); }), 75);
    {
        // A read-only file in a read-only folder: neither overwritten nor replaced.
        test::Unprivileged user({{dir.root(), 0755}, {dir.folder(), 0555}, {dir.file("plain"), 0444}});
        ASSERT_TRUE(user.ok());
        EXPECT_EQ(number([&] { WriteAll(dir.file("plain"), "y"); }), 70);
    }
    EXPECT_EQ(dir.Read("plain"), "x");
}

TEST(TextFile, DeleteNeedsForceForReadOnlyFiles)
{
    TempProgramFolder dir;
    dir.Write("ro.txt", "x");
    ::chmod(dir.file("ro.txt").c_str(), 0444);
    try {
        DeleteFile(dir.file("ro.txt"), false);
        FAIL() << "read-only file deleted without force";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 70);
    }
    DeleteFile(dir.file("ro.txt"), true);
    EXPECT_FALSE(dir.Exists("ro.txt"));
}

TEST(TextFile, FolderFilesListsOnlyFilesOfTheFolder)
{
    TempProgramFolder dir;
    dir.Write("b.scr", "");
    dir.Write("a.scr", "");
    fs::create_directory(dir.file("sub"));
    auto files = FolderFiles(dir.folder());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "a.scr");
    EXPECT_EQ(files[1].path, dir.file("b.scr"));
    EXPECT_EQ(FileSize(dir.file("a.scr")), 0u);
    EXPECT_TRUE(FolderExists(dir.folder()));
    EXPECT_FALSE(FolderExists(dir.file("a.scr")));
}
