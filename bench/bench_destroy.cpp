// Destroying a 256 MiB file with bleaching (its 256 MiB overwritten with CR LF pairs in place and
// synced, then the delete) beside dd writing the same 256 MiB with 1 MiB blocks and fdatasync,
// on the same disk in the same run. Prints both rates and their ratio.
//
// The files go to $BENCH_DIR, or else to a folder beside this program (the build folder, on
// the real disk); tmpfs would measure memory, not the disk.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bleach/MBleachUtility.h"
#include "platform/Platform.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace brimlow;

constexpr std::uint64_t kFileSize = 256ull << 20;
constexpr std::uint64_t kBytesWritten = kFileSize;  // the overwrite writes the file's own length

class NoBoxes final : public Dialogs {
public:
    MsgBoxAnswer MsgBox(const std::string& text, const std::string&, MsgBoxButtons, MsgBoxIcon) override
    {
        lastBox = text;
        ++boxes;
        return MsgBoxAnswer::Ok;
    }
    std::optional<std::string> ShowSave(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> ShowOpen(const FileDialogOptions&) override { return std::nullopt; }
    int boxes = 0;
    std::string lastBox;
};

fs::path g_folder;

// Time stamps of the phases of one destruction, taken through the module's file-call seam
// (the real calls run): open, first write, sync start, sync end, unlink start, unlink end.
using Clock = std::chrono::steady_clock;
struct Phases {
    Clock::time_point open, syncStart, syncEnd, unlinkStart, unlinkEnd;
} g_ph;
double g_writeSeconds = 0, g_syncSeconds = 0, g_unlinkSeconds = 0;

// The real calls, with the phases' time stamps taken around them.
struct PhaseCalls final : FileCalls {
    int Open(const char* p, int f) override
    {
        g_ph.open = Clock::now();
        return real.Open(p, f);
    }
    int Fstat(int fd, struct ::stat* st) override { return real.Fstat(fd, st); }
    long Pwrite(int fd, const void* buf, std::size_t n, std::int64_t off) override { return real.Pwrite(fd, buf, n, off); }
    int Fdatasync(int fd) override
    {
        g_ph.syncStart = Clock::now();
        const int rc = real.Fdatasync(fd);
        g_ph.syncEnd = Clock::now();
        return rc;
    }
    int Close(int fd) override { return real.Close(fd); }
    int Unlink(const char* p) override
    {
        g_ph.unlinkStart = Clock::now();
        const int rc = real.Unlink(p);
        g_ph.unlinkEnd = Clock::now();
        return rc;
    }
    PosixFileCalls real;
} g_phaseCalls;
double g_destroySeconds = 0, g_ddSeconds = 0;
int g_destroyRuns = 0, g_ddRuns = 0;

// A file of real (allocated, synced) bytes, so the overwrite rewrites blocks on the disk.
bool MakeFile(const fs::path& p)
{
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::string block(1 << 20, 'x');
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < kFileSize; done += block.size())
        ok = ::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

void BM_DestroyFile(benchmark::State& state)
{
    NoBoxes boxes;
    Platform platform;
    platform.programFolder = g_folder;
    platform.dialogs = &boxes;
    platform.files = &g_phaseCalls;
    const fs::path victim = g_folder / "victim.bin";
    for (auto _ : state) {
        if (!MakeFile(victim)) {
            state.SkipWithError("cannot create the 256 MiB file");
            break;
        }
        ::sync();
        const auto t0 = std::chrono::steady_clock::now();
        DestroyFile(platform, victim, true);
        const auto t1 = std::chrono::steady_clock::now();
        if (boxes.boxes || fs::exists(victim)) {
            state.SkipWithError(("destruction failed: " + boxes.lastBox).c_str());
            break;
        }
        state.SetIterationTime(Seconds(t0, t1));
        g_destroySeconds += Seconds(t0, t1);
        g_writeSeconds += Seconds(g_ph.open, g_ph.syncStart);
        g_syncSeconds += Seconds(g_ph.syncStart, g_ph.syncEnd);
        g_unlinkSeconds += Seconds(g_ph.unlinkStart, g_ph.unlinkEnd);
        ++g_destroyRuns;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytesWritten));
}

void BM_dd(benchmark::State& state)
{
    const fs::path out = g_folder / "dd.bin";
    const std::string of = "of=" + out.string();
    const std::string count = "count=" + std::to_string(kBytesWritten >> 20);
    const char* argv[] = {"dd", "if=/dev/zero", of.c_str(), "bs=1M", count.c_str(), "conv=fdatasync", "status=none",
                          nullptr};
    for (auto _ : state) {
        ::sync();
        const auto t0 = std::chrono::steady_clock::now();
        pid_t pid;
        int status = 0;
        if (posix_spawnp(&pid, "dd", nullptr, nullptr, const_cast<char**>(argv), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("dd failed");
            break;
        }
        const auto t1 = std::chrono::steady_clock::now();
        fs::remove(out);
        state.SetIterationTime(Seconds(t0, t1));
        g_ddSeconds += Seconds(t0, t1);
        ++g_ddRuns;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytesWritten));
}

BENCHMARK(BM_DestroyFile)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dd)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    const char* env = std::getenv("BENCH_DIR");
    std::string templ = (env && *env ? fs::path(env) : ExecutableFolder()).string() + "/bench-destroy-XXXXXX";
    if (!::mkdtemp(templ.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    g_folder = templ;
    struct statfs sfs;
    if (::statfs(g_folder.c_str(), &sfs) == 0 && sfs.f_type == 0x01021994)
        std::fprintf(stderr, "warning: %s is tmpfs; the figures are memory, not disk\n", g_folder.c_str());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::error_code ec;
    fs::remove_all(g_folder, ec);
    if (g_destroyRuns && g_ddRuns) {
        const double mib = static_cast<double>(kBytesWritten) / (1 << 20);
        const double overwriteRate = g_destroyRuns * mib / (g_writeSeconds + g_syncSeconds);
        const double wholeRate = g_destroyRuns * mib / g_destroySeconds;
        const double ddRate = g_ddRuns * mib / g_ddSeconds;
        const double ms = 1000.0 / g_destroyRuns;
        std::printf("folder: %s\n", g_folder.c_str());
        std::printf("DestroyFile per run: write %.0f ms, sync %.0f ms, delete %.0f ms, whole %.0f ms\n",
                    g_writeSeconds * ms, g_syncSeconds * ms, g_unlinkSeconds * ms, g_destroySeconds * ms);
        std::printf("overwrite rate (%.0f MiB written incl. sync): %.0f MiB/s\n", mib, overwriteRate);
        std::printf("whole DestroyFile rate (incl. the delete):   %.0f MiB/s\n", wholeRate);
        std::printf("dd bs=1M count=%.0f conv=fdatasync rate:      %.0f MiB/s\n", mib, ddRate);
        std::printf("ratio overwrite / dd: %.2f   (whole DestroyFile / dd: %.2f)\n", overwriteRate / ddRate,
                    wholeRate / ddRate);
    }
    return 0;
}
