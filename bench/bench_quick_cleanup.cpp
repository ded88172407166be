// The quick clean-up end to end: "Execute" on a store of 1,000 cookie sources of three
// cookies each, none protected and no script, through the real Cookie Editor page, the
// real UrlHound and the real store. Reports the whole time, the time per deleted cookie
// and the number of UrlHound runs. Each iteration starts from a fresh copy of the store.
#include "cookies/MCookieEditor.h"
#include "cookies/CookieSourceDeleter.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <string>

#include "platform/TextFile.h"
#include "platform/inetcache/InetCache.h"
#include "cookies/CookieEditorPage.h"
#include "scripts/QuickCleanUpPage.h"
#include "shell/frmMain.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

namespace fs = std::filesystem;
using namespace brimlow;

namespace {

constexpr int kSources = 1000;
constexpr int kCookiesPerSource = 3;

class CountingRunner final : public ProcessRunner {
public:
    void RunAndWait(const std::vector<std::string>& argv, const fs::path& folder) override
    {
        ++runs;
        real.RunAndWait(argv, folder);
    }
    int runs = 0;
    PosixProcessRunner real;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The store of the benchmark in `store`: one source is set through the store's own cookie
// calls, and the other sources are copies of it under other host names (setting 3,000
// cookies one by one, each flushed to the disk, would take longer than the clean-up).
void SeedStore(const fs::path& store)
{
    fs::remove_all(store);
    test::CreateStore(store);
    for (int c = 0; c < kCookiesPerSource; ++c)
        inetcache::InternetSetCookie("http://site0.example/", "",
                                     "c" + std::to_string(c) + "=v; expires=Fri, 01 Jan 2038 00:00:00 GMT",
                                     test::TestStoreAccess(store));
    const std::string row = test::RunSqlite(
        store, "SELECT url, local_file, hit_rate, expire_time, last_access_time FROM entries;", {"-separator", "|"});
    std::vector<std::string> f;
    std::size_t from = 0;
    for (std::size_t bar; (bar = row.find('|', from)) != std::string::npos; from = bar + 1)
        f.push_back(row.substr(from, bar - from));
    f.push_back(row.substr(from, row.find('\n', from) - from));
    const std::string file = textfile::ReadAll(f[1]);
    std::string sql = "BEGIN;";
    for (int s = 1; s < kSources; ++s) {
        const std::string host = "site" + std::to_string(s) + ".example";
        const std::string path = Replaced(f[1], "site0.example", host);
        textfile::WriteAll(path, Replaced(file, "site0.example", host));
        sql += "INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time) VALUES('" +
               Replaced(f[0], "site0.example", host) + "','" + path + "'," + f[2] + "," + f[3] + "," + f[4] + ");";
    }
    test::RunSqlite(store, sql + "COMMIT;");
}

void BM_QuickCleanUpExecute(benchmark::State& state)
{
    test::TempProgramFolder dir;
    dir.WithUrlHound();
    test::TestPlatform tp;
    CountingRunner runner;
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    tp.platform.runner = &runner;
    double seconds = 0;
    int deleted = 0, runs = 0;
    CookieEditorPage::RefreshFigures parts;
    for (auto _ : state) {
        state.PauseTiming();
        SeedStore(dir.storeFolder());
        auto main = std::make_unique<frmMain>(tp.platform);
        main->Form_Load();
        QuickCleanUpPage& page = main->quickCleanUpPage();
        if (page.QC_lstCookies->count() != kSources) {
            state.SkipWithError(("sources listed: " + std::to_string(page.QC_lstCookies->count())).c_str());
            break;
        }
        runner.runs = 0;
        main->cookieEditorPage().figures = {};
        page.QC_txtDelay->setText("1");
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        page.QC_cmdExecute_Click();
        page.Timer2_Timer();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        state.PauseTiming();
        runs += runner.runs;
        const auto& f = main->cookieEditorPage().figures;
        parts.urlHoundSeconds += f.urlHoundSeconds;
        parts.dumpLoadSeconds += f.dumpLoadSeconds;
        parts.listRefillSeconds += f.listRefillSeconds;
        parts.setCookieSeconds += f.setCookieSeconds;
        parts.showSourceSeconds += f.showSourceSeconds;
        const std::string left = test::RunSqlite(dir.storeFolder(), "SELECT count(*) FROM entries;");
        if (left != "0\n") {
            state.SkipWithError(("sources left in the store: " + left).c_str());
            break;
        }
        deleted += kSources * kCookiesPerSource;
        main.reset();
        ReleaseCookieTables();
        state.ResumeTiming();
    }
    state.counters["whole_s"] = seconds / static_cast<double>(state.iterations());
    state.counters["ms_per_deleted_cookie"] = 1000.0 * seconds / deleted;
    state.counters["urlhound_runs"] = static_cast<double>(runs) / static_cast<double>(state.iterations());
    // Where the time goes, in seconds per iteration: the tool's runs, reading its dump,
    // refilling the editor's lists, the store's writes, showing a source.
    const double n = static_cast<double>(state.iterations());
    state.counters["urlhound_s"] = parts.urlHoundSeconds / n;
    state.counters["dump_load_s"] = parts.dumpLoadSeconds / n;
    state.counters["list_refill_s"] = parts.listRefillSeconds / n;
    state.counters["set_cookie_s"] = parts.setCookieSeconds / n;
    state.counters["show_source_s"] = parts.showSourceSeconds / n;
}
BENCHMARK(BM_QuickCleanUpExecute)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
