// "Delete File" on the Cookie Editor page: a source of 50 cookies in a store of 1,000
// cookie sources, with the real page, runner, UrlHound and store under the offscreen
// platform. Reports the time per deleted cookie and how it divides between the UrlHound
// runs, the dump loads and the list refills, and the number of UrlHound runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QTabWidget>
#include <cstdlib>
#include <memory>
#include <string>

#include "cookies/CookieEditorPage.h"
#include "cookies/MCookieEditor.h"
#include "host/TextListView.h"
#include "platform/inetcache/InetCache.h"
#include "shell/frmMain.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

constexpr int kCookies = 50;
constexpr std::size_t kSources = 1000;

void BM_DeleteFile(benchmark::State& state)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    test::SeedEntries(dir.storeFolder(), kSources - 1, {test::SeedKind::Cookie});
    test::TestPlatform tp;
    PosixProcessRunner runner;
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    tp.platform.runner = &runner;
    const std::string source = "Cookie:" + tp.user.name + "@big.example/";

    frmMain main(tp.platform);
    main.show();
    main.Form_Load();
    main.SSTab1->setCurrentIndex(frmMain::kCookieEditor);
    CookieEditorPage& page = main.cookieEditorPage();

    double seconds = 0;
    CookieEditorPage::RefreshFigures sum;
    std::size_t deleted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kCookies; ++i)
            inetcache::InternetSetCookie("http://big.example/", "c" + std::to_string(i),
                                         "v; expires = Fri,31-Dec-2100 00:00:00 GMT",
                                         test::TestStoreAccess(dir.storeFolder()));
        page.RefreshCookies();
        for (int r = 0; r < page.CE_lstCookieSources->count(); ++r)
            if (page.CE_lstCookieSources->bytes(r) == source)
                page.SelectCookieSource(static_cast<std::size_t>(r));
        if (page.CE_lstCookieEntries->count() != kCookies)
            state.SkipWithError("the source is not shown with its cookies");
        page.figures = {};
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        page.CE_cmdDeleteFile_Click();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        if (GetCookie(tp.platform, "http://big.example/", "") != kCookieErrorText)
            state.SkipWithError("cookies left in the store");
        deleted += kCookies;
        sum.urlHoundRuns += page.figures.urlHoundRuns;
        sum.urlHoundSeconds += page.figures.urlHoundSeconds;
        sum.dumpLoadSeconds += page.figures.dumpLoadSeconds;
        sum.listRefillSeconds += page.figures.listRefillSeconds;
        sum.setCookieSeconds += page.figures.setCookieSeconds;
        sum.showSourceSeconds += page.figures.showSourceSeconds;
        state.ResumeTiming();
    }
    const double n = static_cast<double>(deleted);
    state.counters["ms_per_cookie"] = 1000 * seconds / n;
    state.counters["urlhound_ms_per_cookie"] = 1000 * sum.urlHoundSeconds / n;
    state.counters["dump_load_ms_per_cookie"] = 1000 * sum.dumpLoadSeconds / n;
    state.counters["list_refill_ms_per_cookie"] = 1000 * sum.listRefillSeconds / n;
    state.counters["set_cookie_ms_per_cookie"] = 1000 * sum.setCookieSeconds / n;
    state.counters["show_source_ms_per_cookie"] = 1000 * sum.showSourceSeconds / n;
    // The list refill's own timer includes the source shown by the selection; the rest is
    // the handlers' own work and the message runs.
    state.counters["other_ms_per_cookie"] = 1000 *
                                            (seconds - sum.urlHoundSeconds - sum.dumpLoadSeconds -
                                             sum.listRefillSeconds - sum.setCookieSeconds - sum.showSourceSeconds) /
                                            n;
    state.counters["urlhound_runs_per_delete"] =
        static_cast<double>(sum.urlHoundRuns) / static_cast<double>(state.iterations());
}

BENCHMARK(BM_DeleteFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
