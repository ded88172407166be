// An absurd script file (tens of megabytes) clicked in the Quick Clean Up list or loaded into
// the Script Editor (Edit Script; Load and the clean-up's load read it the same way) takes
// memory within a small multiple of its size. Each measurement runs
// in a fresh child process (this test program again, in its child mode), so what an earlier
// one left in the heap cannot hide a peak: the child resets its peak RSS, does the one
// action with the real pages, and reports how far its RSS rose.
#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scripts/QuickCleanUpPage.h"
#include "scripts/ScriptEditorPage.h"
#include "support/FakePageHost.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

extern char** environ;

using namespace brimlow;

namespace {

// "<action> LF <folder> LF <report>": the folders hold blanks.
constexpr const char* kChildVariable = "BRIMLOW_SCRIPT_MEMORY_CHILD";

long StatusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string k = key;
    while (std::getline(in, line))
        if (line.compare(0, k.size(), k) == 0)
            return std::stol(line.substr(k.size()));
    return -1;
}

// The shapes of an absurd script of about `size` bytes.
std::string ScriptOfShape(const std::string& shape, std::size_t size)
{
    std::string s = "/usr/bin/true\r\n\x01\r\n";
    s.reserve(size + 64);
    if (shape == "description") {
        while (s.size() < size)
            s += "A line of the description that goes on and on.\r\n";
        s += "\x01\r\n[ALT]t\r\n";
    } else if (shape == "one-command") {
        s += "d\r\n\x01\r\n" + std::string(size, 'a') + "\r\n";
    } else {
        const std::string line = shape == "short-commands" ? "[ALT]t\r\n" : "a\r\n";
        s += "d\r\n\x01\r\n";
        while (s.size() < size)
            s += line;
    }
    return s;
}

struct Rise {
    long peakKb = -1;
    long keptKb = -1;
    long tookMs = -1;
};

// Runs this program in its child mode for `action` on the script in `folder`.
Rise MeasureInChild(const std::string& action, const std::filesystem::path& folder)
{
    const std::filesystem::path report = folder / "rise.txt";
    std::filesystem::remove(report);
    const std::string spec = action + "\n" + folder.string() + "\n" + report.string();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).substr(0, std::string_view(kChildVariable).size()) != kChildVariable)
            env.emplace_back(*e);
    env.push_back(std::string(kChildVariable) + "=" + spec);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=ScriptMemoryChild.*";
    char* argv[] = {self.data(), filter.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return {};
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Rise r;
    std::ifstream in(report);
    in >> r.peakKb >> r.keptKb >> r.tookMs;
    return r;
}

}  // namespace

// The child mode: one action, measured.
TEST(ScriptMemoryChild, OneAction)
{
    const char* spec = std::getenv(kChildVariable);
    if (!spec)
        GTEST_SKIP() << "runs only as the child of ScriptMemory";
    std::istringstream words(spec);
    std::string action, folder, report;
    std::getline(words, action);
    std::getline(words, folder);
    std::getline(words, report);

    test::TestPlatform tp;
    tp.platform.programFolder = folder;
    test::FakePageHost host;
    QuickCleanUpPage qc(host, tp.platform);
    ScriptEditorPage se(host, tp.platform);
    qc.SetScriptRunner(&se);
    qc.show();
    se.show();
    qc.ListScriptFiles();
    ASSERT_EQ(qc.QC_lstScripts->count(), 1);
    if (action != "click") {
        const QSignalBlocker quiet(qc.QC_lstScripts);  // current, but not yet shown
        qc.QC_lstScripts->setCurrentRow(0);
    }
    QApplication::processEvents();

    { std::ofstream("/proc/self/clear_refs") << "5"; }  // the peak starts again from here
    const long before = StatusKb("VmRSS:");
    const auto started = std::chrono::steady_clock::now();
    if (action == "click")
        qc.QC_lstScripts->setCurrentRow(0);
    else
        qc.QC_cmdEditScript_Click();
    QApplication::processEvents();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    const long peak = StatusKb("VmHWM:");
    const long now = StatusKb("VmRSS:");
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    std::ofstream(report) << (peak - before) << " " << (now - before) << " " << took.count() << "\n";
}

TEST(ScriptMemory, AnAbsurdScriptTakesASmallMultipleOfItsSize)
{
    const char* mb = std::getenv("BRIMLOW_SCRIPT_MEMORY_MB");
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's shadow and quarantine say nothing of the program's own memory: the
    // actions still run whole, on a smaller file, for what the sanitizer itself finds.
    constexpr bool measures = false;
    constexpr std::size_t defaultMb = 8;
#else
    constexpr bool measures = true;
    constexpr std::size_t defaultMb = 56;
#endif
    const std::size_t size = (mb ? std::strtoul(mb, nullptr, 10) : defaultMb) << 20;
    // The multiple of the file's size that a shape may take, above a fixed 64 MB. A
    // description lives in the box as UTF-16 and passes through one more such copy on its
    // way in; a command of one key on a line of three bytes costs its offset and the list's
    // own position of the row, several times its bytes.
    const struct {
        const char* shape;
        long multiple;
    } shapes[] = {{"short-commands", 4}, {"one-command", 4}, {"description", 5}, {"tiny-commands", 8}};
    for (const auto& [shape, multiple] : shapes) {
        test::TempProgramFolder dir;
        dir.Write("absurd.scr", ScriptOfShape(shape, size));
        for (const std::string action : {"click", "edit"}) {
            const Rise r = MeasureInChild(action, dir.folder());
            const long sizeKb = static_cast<long>(size >> 10);
            std::printf("%-15s %-5s file %ld MB: peak rise %ld MB, kept %ld MB, %ld ms\n", shape, action.c_str(),
                        sizeKb >> 10, r.peakKb >> 10, r.keptKb >> 10, r.tookMs);
            ASSERT_GE(r.peakKb, 0) << "the child reported nothing";
            if (measures) {
                EXPECT_LE(r.peakKb, multiple * sizeKb + 64 * 1024) << shape << " " << action;
            }
        }
    }
}
