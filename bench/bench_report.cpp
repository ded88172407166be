// Large result sets through the real windows, the real UrlHound and a store of 100,000
// entries (25,000 visited, 25,000 cookies, 50,000 content entries with headers):
//  - LoadCacheDump of the whole-cache dump and LoadCookieDump of the cookie dump, each
//    beside grep counting the "@" lines of the same file (started and waited for);
//  - "Generate Report" of the 50,000 content entries (a search for "pic"), from the click to a
//    window that answers input again (the report box painted, a key handled on it);
//  - the start-up from the splash's load to a main window that answers input, with the
//    splash's 5 s left out (the hand-over is taken at once, as a click on the splash does).
// "Answers input" is measured as the round trip of an event posted to the main window: it
// is delivered only after the work queued before it (painting, layout) is done.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

#include "cachebrowser/MUrlHound.h"
#include "cachebrowser/UrlHoundPage.h"
#include "host/TextListView.h"
#include "cookies/MCookieEditor.h"
#include "host/MRunUrlHound.h"
#include "platform/TextFile.h"
#include "shell/ActivityReportPage.h"
#include "shell/Forms.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace brimlow;

namespace {

constexpr std::size_t kEntries = 100000;
constexpr int kResults = 50000;

// Delivered only once the events queued before it have run.
class Probe final : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        arrived = true;
        return true;
    }
    bool arrived = false;
};

// Seconds until an event posted now is handled.
double SecondsToAnswer()
{
    QElapsedTimer t;
    t.start();
    Probe probe;
    QCoreApplication::postEvent(&probe, new QEvent(QEvent::User), Qt::LowEventPriority);
    while (!probe.arrived)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// The real runner, timed: the start-up's share that is UrlHound's own.
class TimedRunner final : public ProcessRunner {
public:
    RunOutcome RunAndReport(const std::vector<std::string>& argv, const fs::path& folder,
                            const RunEnvironment& environment) override
    {
        QElapsedTimer t;
        t.start();
        const RunOutcome outcome = real.RunAndReport(argv, folder, environment);
        seconds += static_cast<double>(t.nsecsElapsed()) / 1e9;
        ++runs;
        return outcome;
    }
    void RunAndWait(const std::vector<std::string>& argv, const fs::path& folder) override
    {
        RunAndReport(argv, folder, {});
    }
    double seconds = 0;
    int runs = 0;
    PosixProcessRunner real;
};

// One program folder with UrlHound and the store, shared by the benchmarks.
struct BigStore {
    BigStore()
    {
        dir.WithUrlHound();
        test::SeedEntries(dir.storeFolder(), kEntries,
                          {test::SeedKind::Visited, test::SeedKind::Url, test::SeedKind::Cookie, test::SeedKind::Url});
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.platform.toolFolder = dir.folder();
        tp.platform.runner = &runner;
    }
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    TimedRunner runner;
};

BigStore& Store()
{
    static BigStore store;
    return store;
}

fs::path DumpOf(BigStore& s, const char* name)
{
    if (!fs::exists(textfile::InFolder(s.dir.folder(), kAllDumpName)))
        RunHiddenAndWait(s.tp.platform, UrlHoundCommand(s.tp.platform, false));
    return textfile::InFolder(s.dir.folder(), name);
}

void DumpCounters(benchmark::State& state, const fs::path& dump, std::size_t records)
{
    state.counters["records"] = static_cast<double>(records);
    state.counters["dump_MB"] = static_cast<double>(fs::file_size(dump)) / (1024.0 * 1024.0);
}

void BM_LoadCacheDump(benchmark::State& state)
{
    BigStore& s = Store();
    const fs::path dump = DumpOf(s, kAllDumpName);
    for (auto _ : state) {
        LoadCacheDump(s.tp.platform, kDumpAll);
        benchmark::DoNotOptimize(iCacheCount());
    }
    DumpCounters(state, dump, iCacheCount());
}
BENCHMARK(BM_LoadCacheDump)->Iterations(15)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadCookieDump(benchmark::State& state)
{
    BigStore& s = Store();
    const fs::path dump = DumpOf(s, kCookieDumpName);
    for (auto _ : state) {
        LoadCookieDump(s.tp.platform);
        benchmark::DoNotOptimize(iCookieCount());
    }
    DumpCounters(state, dump, iCookieCount());
}
BENCHMARK(BM_LoadCookieDump)->Iterations(15)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick of the loaders: grep counting the lines that are exactly "@" in the same
// file, started and waited for as a user's shell would.
void GrepDump(benchmark::State& state, const fs::path& dump)
{
    std::string path = dump.string();
    char grep[] = "grep", count[] = "-c", whole[] = "-x", at[] = "@";
    char* argv[] = {grep, count, whole, at, path.data(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "grep", &fa, nullptr, argv, environ) != 0 || ::waitpid(pid, &status, 0) != pid ||
            !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("grep failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&fa);
}

void BM_GrepDump(benchmark::State& state, const char* name)
{
    BigStore& s = Store();
    const fs::path dump = DumpOf(s, name);
    GrepDump(state, dump);
    DumpCounters(state, dump, 0);
}
BENCHMARK_CAPTURE(BM_GrepDump, all, kAllDumpName)->Iterations(15)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_GrepDump, cookie, kCookieDumpName)->Iterations(15)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GenerateReport(benchmark::State& state)
{
    BigStore& s = Store();
    auto main = std::make_unique<frmMain>(s.tp.platform);
    main->Form_Load();
    main->show();
    SecondsToAnswer();
    UrlHoundPage& uh = main->urlHoundPage();
    uh.UH_txtCacheSearchString->setPlainText(QStringLiteral("pic"));
    QElapsedTimer searchTimer;
    searchTimer.start();
    uh.UH_cmdCacheSearch_Click();
    const double searchSeconds = static_cast<double>(searchTimer.nsecsElapsed()) / 1e9;
    if (uh.UH_lstCacheSearch->count() != kResults) {
        state.SkipWithError(("results: " + std::to_string(uh.UH_lstCacheSearch->count())).c_str());
        return;
    }
    QPlainTextEdit* box = main->activityReportPage().AR_txtCacheSearchReport;
    double handler = 0, shown = 0, key = 0;
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        main->setCurrentPage(PageHost::kUrlHound);
        SecondsToAnswer();
        if (textfile::FileExists(SearchReportPath(s.tp.platform)))
            textfile::DeleteFile(SearchReportPath(s.tp.platform), true);
        state.ResumeTiming();

        QElapsedTimer t;
        t.start();
        uh.UH_cmdViewReport_Click();
        handler += static_cast<double>(t.nsecsElapsed()) / 1e9;
        SecondsToAnswer();
        shown += static_cast<double>(t.nsecsElapsed()) / 1e9;
        QElapsedTimer k;
        k.start();
        QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
        SecondsToAnswer();
        key += static_cast<double>(k.nsecsElapsed()) / 1e9;

        state.PauseTiming();
        bytes = fs::file_size(SearchReportPath(s.tp.platform));
        state.ResumeTiming();
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["search_s"] = searchSeconds;
    state.counters["handler_s"] = handler / n;
    state.counters["shown_and_answering_s"] = shown / n;
    state.counters["ctrl_end_s"] = key / n;
    state.counters["report_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["results"] = uh.UH_lstCacheSearch->count();
    main->hide();
}
BENCHMARK(BM_GenerateReport)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The start-up in a process of its own, as a launch is: this program run again with
// --startup-child. The child prints the steady clock's reading when its main window first
// answers, and UrlHound's share; the parent started the clock before the spawn.
constexpr const char* kStartUpChild = "--startup-child";
std::string g_self;

int StartUpChild(int& argc, char** argv, const fs::path& folder)
{
    QApplication app(argc, argv);
    test::TestPlatform tp;
    TimedRunner runner;
    tp.platform.programFolder = folder;
    tp.platform.toolFolder = folder;
    tp.platform.storeFolder = DefaultStoreFolder();  // as the program's own start names it
    tp.platform.runner = &runner;
    Forms forms(tp.platform);
    forms.LoadSplash().Form_Click();  // the hand-over without the splash's 5 s
    SecondsToAnswer();
    const auto answered = std::chrono::steady_clock::now().time_since_epoch();
    const int listed = forms.main() ? forms.main()->urlHoundPage().UH_lstCacheMain->count() : -1;
    std::printf("%lld %.6f %d %d\n", static_cast<long long>(std::chrono::nanoseconds(answered).count()),
                runner.seconds, runner.runs, listed);
    std::fflush(stdout);
    std::_Exit(0);  // the bench's folder is cleaned by the parent
}

void BM_StartUp(benchmark::State& state)
{
    BigStore& s = Store();
    double whole = 0, urlhound = 0;
    int runs = 0;
    const fs::path out = s.dir.root() / "startup.txt";
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now().time_since_epoch();
        const std::string cmd = "'" + g_self + "' " + kStartUpChild + " '" + s.dir.folder().string() + "' > '" +
                                out.string() + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("the start-up child failed");
            break;
        }
        state.PauseTiming();
        long long answeredNs = 0;
        double hound = 0;
        int n = 0, listed = 0;
        FILE* f = std::fopen(out.c_str(), "r");
        const bool read = f && std::fscanf(f, "%lld %lf %d %d", &answeredNs, &hound, &n, &listed) == 4;
        if (f)
            std::fclose(f);
        if (!read || listed != static_cast<int>(kEntries)) {
            state.SkipWithError("the main window did not list the store");
            break;
        }
        whole += static_cast<double>(answeredNs - std::chrono::nanoseconds(started).count()) / 1e9;
        urlhound += hound;
        runs += n;
        state.ResumeTiming();
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["launch_to_answer_s"] = whole / n;
    state.counters["urlhound_s"] = urlhound / n;
    state.counters["urlhound_runs"] = runs / n;
    state.counters["less_urlhound_s"] = (whole - urlhound) / n;
}
BENCHMARK(BM_StartUp)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::string(argv[1]) == kStartUpChild)
        return StartUpChild(argc, argv, argv[2]);
    g_self = fs::read_symlink("/proc/self/exe").string();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
