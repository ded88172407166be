#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "bleach/MBleachUtility.h"
#include "host/MActivityReport.h"
#include "support/Unprivileged.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

// The overwrite's content for a file of `length` bytes: CR LF pairs over exactly that length,
// so an odd length ends with a lone CR.
std::string CrLfOver(std::size_t length)
{
    std::string s(length, '\r');
    for (std::size_t i = 1; i < length; i += 2)
        s[i] = '\n';
    return s;
}

std::string Deleted(const fs::path& p, bool bleached)
{
    return "File deleted\r\n" + p.string() + "\r\nBleached: " + (bleached ? "True" : "False") + "\r\n";
}

void WriteSynced(const fs::path& p, const std::string& bytes, mode_t mode = 0644)
{
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << p;
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
    ASSERT_EQ(::chmod(p.c_str(), mode), 0);
}

std::string ReadFile(const fs::path& p)
{
    int fd = ::open(p.c_str(), O_RDONLY);
    if (fd < 0)
        return "<unreadable>";
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return s;
}

std::string PreadAll(int fd)
{
    std::string s(256, '\0');
    const ssize_t n = ::pread(fd, s.data(), s.size(), 0);
    s.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return s;
}

bool Present(const fs::path& p)
{
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

// The physical byte address of the file's logical offset 0, when the file system tells it.
std::optional<std::uint64_t> PhysicalStart(int fd)
{
    alignas(struct fiemap) char buf[sizeof(struct fiemap) + sizeof(struct fiemap_extent)] = {};
    auto* map = reinterpret_cast<struct fiemap*>(buf);
    map->fm_start = 0;
    map->fm_length = 1;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = 1;
    if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0)
        return std::nullopt;
    const auto& e = map->fm_extents[0];
    if (e.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_DATA_INLINE |
                      FIEMAP_EXTENT_NOT_ALIGNED | FIEMAP_EXTENT_ENCODED))
        return std::nullopt;
    return e.fe_physical + (0 - e.fe_logical);
}

// Watches the file calls of DestroyFile: records their order and forwards to the real ones
// unless a test stages a fault. Stands in the platform for as long as it lives.
struct CallWatch final : FileCalls {
    std::vector<std::string> calls;
    int openFlags = 0;
    std::uint64_t bytesWritten = 0;
    std::uint64_t writeEnd = 0;
    int writeCalls = 0;
    std::function<void()> beforeUnlink;
    bool countOnlyWrites = false;  // pretend to write (for sizes too big to write in a test)
    std::size_t writeAtMost = 0;   // when set, every write is a short one of at most this many bytes
    int failSyncWith = 0;

    explicit CallWatch(test::TestPlatform& tp) : m_platform(tp.platform) { m_platform.files = this; }
    ~CallWatch() override { m_platform.files = nullptr; }

    int Open(const char* p, int flags) override
    {
        calls.push_back("open");
        openFlags = flags;
        return real.Open(p, flags);
    }
    int Fstat(int fd, struct ::stat* st) override { return real.Fstat(fd, st); }
    long Pwrite(int fd, const void* buf, std::size_t n, std::int64_t off) override
    {
        if (calls.empty() || calls.back() != "write")
            calls.push_back("write");  // a run of writes is one entry
        ++writeCalls;
        if (writeAtMost)
            n = std::min(n, writeAtMost);
        const long w = countOnlyWrites ? static_cast<long>(n) : real.Pwrite(fd, buf, n, off);
        if (w > 0) {
            bytesWritten += static_cast<std::uint64_t>(w);
            writeEnd = std::max<std::uint64_t>(writeEnd, static_cast<std::uint64_t>(off) + static_cast<std::uint64_t>(w));
        }
        return w;
    }
    int Fdatasync(int fd) override
    {
        calls.push_back("fdatasync");
        if (failSyncWith) {
            errno = failSyncWith;
            return -1;
        }
        return real.Fdatasync(fd);
    }
    int Close(int fd) override
    {
        calls.push_back("close");
        return real.Close(fd);
    }
    int Unlink(const char* p) override
    {
        if (beforeUnlink)
            beforeUnlink();
        calls.push_back("unlink");
        return real.Unlink(p);
    }

private:
    Platform& m_platform;
    PosixFileCalls real;
};

class DestroyFileTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    void SetUp() override { tp.platform.programFolder = dir.folder(); tp.platform.storeFolder = dir.storeFolder(); }
    std::string Log() { return ReadActivityLog(tp.platform); }
    fs::path Victim(const std::string& bytes, const std::string& name = "victim file.txt")
    {
        const fs::path p = dir.root() / name;
        WriteSynced(p, bytes);
        return p;
    }
};

}  // namespace

TEST_F(DestroyFileTest, OverwritesInPlaceWithCrLfPairsSyncsThenDeletes)
{
    // The extents must come from a real disk: tmpfs has none to report.
    fs::path folder = dir.root();
    struct statfs sfs;
    std::string diskTemp;
    if (::statfs(folder.c_str(), &sfs) == 0 && sfs.f_type == 0x01021994 /* tmpfs */) {
        diskTemp = "/var/tmp/brimlow-bleach-XXXXXX";
        ASSERT_NE(::mkdtemp(diskTemp.data()), nullptr);
        folder = diskTemp;
    }
    const fs::path victim = folder / "ten bytes.dat";
    WriteSynced(victim, "0123456789");

    const int held = ::open(victim.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    const auto blockBefore = PhysicalStart(held);

    CallWatch watch(tp);
    std::string contentAtUnlink;
    std::optional<std::uint64_t> blockAtUnlink;
    watch.beforeUnlink = [&] {
        contentAtUnlink = PreadAll(held);
        blockAtUnlink = PhysicalStart(held);
    };
    DestroyFile(tp.platform, victim, true);

    EXPECT_EQ(watch.calls, (std::vector<std::string>{"open", "write", "fdatasync", "close", "unlink"}));
    EXPECT_EQ(watch.openFlags & (O_TRUNC | O_CREAT | O_APPEND), 0) << "the overwrite must not truncate";
    EXPECT_NE(watch.openFlags & O_NOFOLLOW, 0);
    EXPECT_EQ(watch.bytesWritten, 10u);
    EXPECT_EQ(contentAtUnlink, CrLfOver(10));
    EXPECT_EQ(PreadAll(held), CrLfOver(10)) << "the bytes went into the file the old content lived in";
    struct stat st;
    ASSERT_EQ(::fstat(held, &st), 0);
    EXPECT_EQ(st.st_nlink, 0u);
    if (blockBefore && blockAtUnlink) {
        EXPECT_EQ(*blockAtUnlink, *blockBefore) << "the original blocks are the ones rewritten";
    } else {
        std::printf("note: the file system reports no extents here; block check skipped\n");
    }
    ::close(held);

    EXPECT_FALSE(Present(victim));
    EXPECT_EQ(Log(), Deleted(victim, true));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    if (!diskTemp.empty())
        fs::remove_all(diskTemp);
}

TEST_F(DestroyFileTest, EmptyFileIsOpenedSyncedAndDeletedWithNothingWritten)
{
    const fs::path victim = Victim("");
    CallWatch watch(tp);
    DestroyFile(tp.platform, victim, true);
    EXPECT_EQ(watch.calls, (std::vector<std::string>{"open", "fdatasync", "close", "unlink"}));
    EXPECT_EQ(watch.bytesWritten, 0u);
    EXPECT_FALSE(Present(victim));
    EXPECT_EQ(Log(), Deleted(victim, true));
}

TEST_F(DestroyFileTest, WithoutBleachTheFileIsOnlyDeleted)
{
    const fs::path victim = Victim("keep me out of it");
    CallWatch watch(tp);
    DestroyFile(tp.platform, victim, false);
    EXPECT_EQ(watch.calls, (std::vector<std::string>{"unlink"}));
    EXPECT_FALSE(Present(victim));
    EXPECT_EQ(Log(), Deleted(victim, false));
}

TEST_F(DestroyFileTest, ShortWritesOfOddCountsKeepThePairsInStep)
{
    const fs::path victim = Victim("0123456789");
    CallWatch watch(tp);
    watch.writeAtMost = 3;
    std::string contentAtUnlink;
    watch.beforeUnlink = [&] { contentAtUnlink = ReadFile(victim); };
    DestroyFile(tp.platform, victim, true);
    EXPECT_EQ(contentAtUnlink, CrLfOver(10));
    EXPECT_EQ(Log(), Deleted(victim, true));
}

TEST_F(DestroyFileTest, AHardLinkedWitnessHoldsExactlyTheFilesLengthOfCrLf)
{
    // A second name for the file's blocks outlives the unlink and shows what was written into
    // them: the pattern over exactly the old length, never more (a file that doubled first
    // would not fit on a nearly full disk). An odd length ends with a lone CR.
    constexpr std::size_t chunk = 1u << 18;  // one write of the overwrite
    const std::size_t lengths[] = {1, 2, 9, 10, chunk - 1, chunk, chunk + 1, 3 * chunk + 7};
    fs::create_directories(dir.root() / "witness");
    for (const std::size_t length : lengths) {
        SCOPED_TRACE("length " + std::to_string(length));
        std::string old(length, 'x');
        for (std::size_t i = 0; i < length; ++i)
            old[i] = static_cast<char>('a' + i % 26);
        const fs::path victim = Victim(old, "victim " + std::to_string(length));
        const fs::path witness = dir.root() / "witness" / std::to_string(length);
        fs::create_hard_link(victim, witness);
        int between = 0;
        CallWatch watch(tp);
        DestroyFile(tp.platform, victim, true, [&] { ++between; });
        EXPECT_EQ(watch.bytesWritten, length);
        EXPECT_EQ(watch.writeCalls, static_cast<int>((length + chunk - 1) / chunk));
        EXPECT_EQ(between, watch.writeCalls) << "the caller's turn comes after every write";
        EXPECT_FALSE(Present(victim));
        const std::string left = ReadFile(witness);
        EXPECT_EQ(left.size(), length) << "the file grew or shrank";
        EXPECT_TRUE(left == CrLfOver(length)) << "not the CR LF pattern";
        if (length % 2 == 1) {
            EXPECT_EQ(left.back(), '\r') << "an odd length ends with a lone CR";
        }
    }
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(DestroyFileTest, AFailedSyncIsAFailureAndTheFileStays)
{
    const fs::path victim = Victim("abc");
    CallWatch watch(tp);
    watch.failSyncWith = EIO;
    DestroyFile(tp.platform, victim, true);
    EXPECT_EQ(watch.calls, (std::vector<std::string>{"open", "write", "fdatasync", "close"}));
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "Unknown Error: 57");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
    EXPECT_EQ(tp.dialogs.boxes[0].buttons, MsgBoxButtons::Ok);
    EXPECT_EQ(Log(), "ERROR: Unknown Error #57\r\n" + victim.string() + "\r\n");
    EXPECT_EQ(ReadFile(victim), CrLfOver(3)) << "the steps done before the failure stay done";
}

TEST_F(DestroyFileTest, NoFileGivesOnlyItsLogEntry)
{
    fs::create_directories(dir.root() / "a folder");
    for (const fs::path& p : {dir.root() / "nothing here.txt", dir.root() / "no folder" / "x.txt",
                              dir.root() / "a folder"}) {
        ::unlink(ActivityLogPath(tp.platform).c_str());
        DestroyFile(tp.platform, p, true);
        EXPECT_EQ(Log(), "ERROR: File does not exist.\r\n" + p.string() + "\r\n") << p;
    }
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    EXPECT_TRUE(fs::is_directory(dir.root() / "a folder"));
}

TEST_F(DestroyFileTest, SymbolicLinkIsRemovedItselfAndItsTargetIsUntouched)
{
    const std::string secret = "the target's own bytes\n";
    const fs::path target = dir.root() / "target.txt";
    WriteSynced(target, secret, 0444);
    const fs::path link = dir.root() / "link.txt";
    fs::create_symlink(target, link);
    const fs::path dangling = dir.root() / "dangling.txt";
    fs::create_symlink(dir.root() / "gone.txt", dangling);

    CallWatch watch(tp);
    DestroyFile(tp.platform, link, true);
    DestroyFile(tp.platform, dangling, true);

    EXPECT_EQ(watch.calls, (std::vector<std::string>{"unlink", "unlink"})) << "nothing is opened through a link";
    EXPECT_FALSE(Present(link));
    EXPECT_FALSE(Present(dangling));
    EXPECT_EQ(ReadFile(target), secret);
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u) << "attributes are not changed through the link";
    EXPECT_EQ(Log(), Deleted(link, false) + Deleted(dangling, false));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(DestroyFileTest, ANamedPipeIsRemovedWithoutBeingOpened)
{
    // Opening a FIFO for writing would wait for a reader; a device node would be written to.
    const fs::path fifo = dir.root() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    CallWatch watch(tp);
    DestroyFile(tp.platform, fifo, true);
    EXPECT_EQ(watch.calls, (std::vector<std::string>{"unlink"}));
    EXPECT_FALSE(Present(fifo));
    EXPECT_EQ(Log(), Deleted(fifo, false));
}

TEST_F(DestroyFileTest, FilesOfTwoGigabytesAndMoreAreDestroyed)
{
    const std::uint64_t size = (std::uint64_t{1} << 31) + 10;
    auto makeSparse = [&](const fs::path& p) {
        int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ::close(fd);
    };
    const fs::path plain = dir.root() / "big plain.bin";
    makeSparse(plain);
    DestroyFile(tp.platform, plain, false);
    EXPECT_FALSE(Present(plain));

    // The size path with bleaching, without writing 4 GiB to the disk: the writes are
    // counted, everything else is real.
    const fs::path bleached = dir.root() / "big bleached.bin";
    makeSparse(bleached);
    {
        CallWatch watch(tp);
        watch.countOnlyWrites = true;
        DestroyFile(tp.platform, bleached, true);
        EXPECT_EQ(watch.bytesWritten, size);
        EXPECT_EQ(watch.writeEnd, size) << "the file never grows";
        EXPECT_EQ(watch.calls, (std::vector<std::string>{"open", "write", "fdatasync", "close", "unlink"}));
    }
    EXPECT_FALSE(Present(bleached));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    EXPECT_EQ(Log(), Deleted(plain, false) + Deleted(bleached, true));
}

TEST_F(DestroyFileTest, DestroyingTheActivityLogLeavesOnlyItsOwnEntry)
{
    AppendActivityLog(tp.platform, "Bleach Utility: [Execute] clicked\r\n\r\n");
    AppendActivityLog(tp.platform, "Cookie Editor: [Set Cookie] clicked\r\n");
    const fs::path log = ActivityLogPath(tp.platform);
    DestroyFile(tp.platform, log, true);
    EXPECT_EQ(Log(), Deleted(log, true));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(DestroyFileTest, AFailureToLogTheFailureDoesNotEscape)
{
    // The program folder is gone, so no entry can be written: the missing file's entry fails,
    // and so does the destroyed file's. That is the log's failure, said once, not the
    // destruction's.
    tp.platform.programFolder = dir.root() / "no such folder";
    const fs::path victim = Victim("x");
    EXPECT_NO_THROW(DestroyFile(tp.platform, dir.root() / "missing.txt", true));
    EXPECT_NO_THROW(DestroyFile(tp.platform, victim, true));
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text.substr(0, 50), "The activity log could not be written (file not fo");
    EXPECT_FALSE(Present(victim)) << "the delete came before the entry that failed";
}

TEST_F(DestroyFileTest, ClearFileAttributesGivesOwnerWriteAndLeavesLinksAlone)
{
    const fs::path ro = Victim("read only");
    ASSERT_EQ(::chmod(ro.c_str(), 0444), 0);
    ClearFileAttributes(tp.platform, ro);
    struct stat st;
    ASSERT_EQ(::stat(ro.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    const fs::path target = Victim("target");
    ASSERT_EQ(::chmod(target.c_str(), 0400), 0);
    const fs::path link = dir.root() / "to target";
    fs::create_symlink(target, link);
    ClearFileAttributes(tp.platform, link);
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0400u);
    EXPECT_EQ(Log(), "");

    ClearFileAttributes(tp.platform, dir.root() / "missing");
    EXPECT_EQ(Log(), "Failed to clear file attributes>\r\n");
}

// ---- As an unprivileged user ----

namespace {

struct ChildOutcome {
    bool ran = false;
    std::vector<test::MsgBoxCall> boxes;
};

// Runs DestroyFile as nobody (65534), with a platform of its own whose message boxes come
// back; the activity log is the program folder's real one.
ChildOutcome DestroyAsNobody(const fs::path& programFolder, const fs::path& path, bool bleachFirst)
{
    ChildOutcome out;
    test::TestPlatform child;
    child.platform.programFolder = programFolder;
    {
        test::Unprivileged nobody;
        if (!nobody.ok())
            return out;
        DestroyFile(child.platform, path, bleachFirst);
    }
    out.ran = true;
    out.boxes = child.dialogs.boxes;
    return out;
}

}  // namespace

TEST_F(DestroyFileTest, PermissionsAsAnUnprivilegedUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to another user";
    // nobody must reach the folders and write its log into the program folder.
    ASSERT_EQ(::chmod(dir.root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(dir.folder().c_str(), 0777), 0);
    const fs::path locked = dir.root() / "locked";    // root's, nobody may not delete in it
    const fs::path open = dir.root() / "open";        // anyone may delete in it
    const fs::path nobodys = dir.root() / "nobodys";  // nobody's own folder
    fs::create_directories(locked);
    fs::create_directories(open);
    fs::create_directories(nobodys);
    ASSERT_EQ(::chmod(locked.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    ASSERT_EQ(::chown(nobodys.c_str(), 65534, 65534), 0);

    const std::string denied = "Access Denied\tPermission to the file has been denied.";
    struct Case {
        const char* what;
        fs::path path;
        mode_t mode;
        bool ownedByNobody;
        bool bleach;
        bool destroyed;
        std::string box;  // title TAB text, or empty
        std::string log;
    };
    const Case cases[] = {
        {"root's file in root's folder, bleach", locked / "a.txt", 0644, false, true, false, denied,
         "ERROR: Acces Denied.\r\n" + (locked / "a.txt").string() + "\r\n"},
        {"root's file in root's folder, delete only", locked / "b.txt", 0644, false, false, false, denied,
         "ERROR: Acces Denied.\r\n" + (locked / "b.txt").string() + "\r\n"},
        {"root's read-only file in an open folder, delete only", open / "c.txt", 0444, false, false, true, "",
         "Failed to clear file attributes>\r\n" + Deleted(open / "c.txt", false)},
        {"root's read-only file in an open folder, bleach", open / "d.txt", 0444, false, true, false, denied,
         "Failed to clear file attributes>\r\nERROR: Acces Denied.\r\n" + (open / "d.txt").string() + "\r\n"},
        {"nobody's read-only file, bleach", nobodys / "e.txt", 0444, true, true, true, "",
         Deleted(nobodys / "e.txt", true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSynced(c.path, "0123456789", c.mode);
        if (c.ownedByNobody) {
            ASSERT_EQ(::chown(c.path.c_str(), 65534, 65534), 0);
        }
        ::unlink(ActivityLogPath(tp.platform).c_str());

        const ChildOutcome out = DestroyAsNobody(dir.folder(), c.path, c.bleach);
        ASSERT_TRUE(out.ran);
        if (c.box.empty()) {
            EXPECT_TRUE(out.boxes.empty());
        } else {
            ASSERT_EQ(out.boxes.size(), 1u);
            EXPECT_EQ(out.boxes[0].title + "\t" + out.boxes[0].text, c.box);
            EXPECT_EQ(out.boxes[0].buttons, MsgBoxButtons::Ok);
        }
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(Present(c.path), !c.destroyed);
        if (!c.destroyed) {
            EXPECT_EQ(ReadFile(c.path), "0123456789") << "a failure before the overwrite leaves the content";
        }
    }
}
