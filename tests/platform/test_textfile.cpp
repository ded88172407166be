#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/wait.h>
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

namespace {

// Runs `call` in a child process and tells what it threw, or -1 when it was still blocked
// after five seconds (the child is then killed), or 0 when it returned.
int NumberWithin5s(const std::function<void()>& call)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -2;
    const pid_t pid = ::fork();
    if (pid == 0) {
        int number = 0;
        try {
            call();
        } catch (const RuntimeError& e) {
            number = e.number();
        } catch (...) {
            number = -3;
        }
        [[maybe_unused]] auto n = ::write(pipeFds[1], &number, sizeof number);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    int number = -1;
    for (int waited = 0; waited < 100; ++waited) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            if (::read(pipeFds[0], &number, sizeof number) != sizeof number)
                number = -4;
            ::close(pipeFds[0]);
            return number;
        }
        ::usleep(50000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(pipeFds[0]);
    return -1;
}

}  // namespace

TEST(TextFile, AFifoIsRefusedAtOnceInsteadOfBlocking)
{
    TempProgramFolder dir;
    const fs::path fifo = dir.file("alice.dat");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(NumberWithin5s([&] { ReadAll(fifo); }), 75);
    EXPECT_EQ(NumberWithin5s([&] { LineReader r(fifo); }), 75);
    EXPECT_EQ(NumberWithin5s([&] { Append(fifo, "x"); }), 75) << "no reader";
    EXPECT_EQ(NumberWithin5s([&] { WriteAll(fifo, "x"); }), 75);
    // With a reader at the other end the open itself succeeds, and the check refuses it:
    // nothing goes into the pipe.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(NumberWithin5s([&] { Append(fifo, "x"); }), 75);
    char c;
    EXPECT_LE(::read(reader, &c, 1), 0);
    ::close(reader);
    EXPECT_EQ(NumberWithin5s([&] { ReadAll("/dev/null"); }), 75) << "a device is no file either";

    // The listing of a folder holds its regular files, and links to them, only.
    dir.Write("a.scr", "x");
    fs::create_symlink(dir.file("a.scr"), dir.file("b.scr"));
    ASSERT_EQ(::mkfifo(dir.file("c.scr").c_str(), 0600), 0);
    fs::create_symlink(dir.file("c.scr"), dir.file("d.scr"));
    std::vector<std::string> names;
    for (const auto& f : FolderFiles(dir.folder()))
        names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a.scr", "b.scr"}));
}

TEST(TextFile, WritesNeverGoThroughALinkAtTheNameButReadsDo)
{
    TempProgramFolder dir;
    const fs::path victim = dir.root() / "victim";
    TempProgramFolder::WriteFile(victim, "precious");
    fs::create_symlink(victim, dir.file("ActivityReport.dat"));
    EXPECT_EQ(NumberWithin5s([&] { Append(dir.file("ActivityReport.dat"), "logged"); }), 75);
    EXPECT_EQ(NumberWithin5s([&] { WriteAll(dir.file("ActivityReport.dat"), "report"); }), 75);
    EXPECT_EQ(NumberWithin5s([&] { TextWriter w(dir.file("ActivityReport.dat"), OpenMode::Writing); }), 75);
    EXPECT_EQ(TempProgramFolder::ReadFile(victim), "precious");
    EXPECT_EQ(ReadAll(dir.file("ActivityReport.dat")), "precious");
}

TEST(TextFile, FilesAreCreatedPrivateToTheUser)
{
    TempProgramFolder dir;
    const mode_t oldMask = ::umask(0);
    Append(dir.file("ActivityReport.dat"), "x");
    WriteAll(dir.file("BrimlowTemp.dat"), "y");
    {
        TextWriter w(dir.file("a.scr"), OpenMode::Writing);
        w.WriteLine("target");
        w.Close();
    }
    ::umask(oldMask);
    for (const char* name : {"ActivityReport.dat", "BrimlowTemp.dat", "a.scr"})
        EXPECT_EQ(TempProgramFolder::ModeOf(dir.file(name)), 0600u) << name;
}
