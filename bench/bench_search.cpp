// Loading and searching a large cache dump, side by side with grep on the same file.
// The dump holds 100,000 records: a third cookie entries, a third visited entries and a
// third content entries with a 300-byte header block, as the dump tool writes them.
// The search looks for three terms joined by OR; grep -c -i -F with the same three terms
// is the yardstick (the goal: the search within three times grep's time).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cachebrowser/MUrlHound.h"

namespace fs = std::filesystem;
using namespace brimlow;

namespace {

constexpr std::size_t kRecords = 100000;
const char* const kTerms[3] = {"adserver", "beacon.gif", "x-tracking"};
const std::string kSearchText = std::string(kTerms[0]) + " OR " + kTerms[1] + " OR " + kTerms[2];

fs::path g_folder;
double g_searchSeconds = 0;
double g_searchUtf8Seconds = 0;
double g_grepSeconds = 0;
double g_loadSeconds = 0;

std::string Header300(std::size_t i)
{
    std::string h = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nServer: Apache/2.4.57 (Debian)\r\n"
                    "ETag: \"" + std::to_string(i * 7919) + "-5e8b2c1a\"\r\nCache-Control: max-age=86400, public\r\n"
                    "Last-Modified: Tue, 05 Mar 2001 10:00:00 GMT\r\nAccept-Ranges: bytes\r\n";
    if (i % 97 == 0)
        h += "X-Tracking: on\r\n";
    while (h.size() < 298)
        h += "X-Pad: 0123456789abcdef\r\n";
    h.resize(298);
    return h + "\r\n";
}

void WriteDump(const fs::path& file)
{
    std::string out;
    out.reserve(40u << 20);
    for (std::size_t i = 0; i < kRecords; ++i) {
        const std::string n = std::to_string(i);
        const std::string date = std::to_string(1 + i % 12) + "/" + std::to_string(1 + i % 28) + "/2001";
        switch (i % 3) {
        case 0:
            out += "Cookie:tester@" + std::string(i % 211 == 0 ? "adserver" : "site") + n + ".example.com/\n";
            out += "/home/tester/.local/share/inetcache/Cookies/tester@site" + n + ".example.com_.txt\n";
            out += std::to_string(i % 50) + "\n12/31/2030\n" + date + "\n@\nN\\A\n@\n";
            break;
        case 1:
            out += "Visited: tester@http://www.site" + n + ".example.org/articles/" + n + "/index.html\n";
            out += "N\\A\n" + std::to_string(i % 9) + "\n1/1/1601\n" + date + "\n@\nN\\A\n@\n";
            break;
        default:
            out += "http://cdn" + n + ".example.net/static/img/" + (i % 173 == 0 ? "beacon.gif" : "photo.jpg") + "\n";
            out += "/home/tester/.local/share/inetcache/Content/" + std::to_string(i % 64) + "/photo" + n + ".jpg\n";
            out += std::to_string(i % 1000) + "\n" + date + "\n" + date + "\n@\n" + Header300(i) + "\n@\n";
            break;
        }
    }
    std::ofstream(file, std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
}

Platform BenchPlatform()
{
    Platform p;
    p.programFolder = g_folder;
    return p;
}

template <typename F>
void Timed(benchmark::State& state, double& secondsPerIteration, F&& body)
{
    double total = 0;
    std::int64_t n = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++n;
    }
    secondsPerIteration = n ? total / static_cast<double>(n) : 0;
}

void BM_LoadCacheDump(benchmark::State& state)
{
    const Platform p = BenchPlatform();
    Timed(state, g_loadSeconds, [&] { LoadCacheDump(p, kDumpAll); });
    state.counters["records"] = static_cast<double>(iCacheCount());
}

void BM_SearchThreeTermsOr(benchmark::State& state)
{
    const Platform p = BenchPlatform();
    LoadCacheDump(p, kDumpAll);
    std::size_t hits = 0;
    Timed(state, g_searchSeconds, [&] {
        hits = SearchCacheRecords(CacheRecords(), kSearchText, {}).size();
        benchmark::DoNotOptimize(hits);
    });
    state.counters["hits"] = static_cast<double>(hits);
}

// The same search as a UTF-8 locale runs it: the text is plain ASCII, so it keeps the byte path.
void BM_SearchThreeTermsOrUtf8(benchmark::State& state)
{
    const Platform p = BenchPlatform();
    LoadCacheDump(p, kDumpAll);
    std::size_t hits = 0;
    Timed(state, g_searchUtf8Seconds, [&] {
        hits = SearchCacheRecords(CacheRecords(), kSearchText, {false, false, TextEncoding::Utf8}).size();
        benchmark::DoNotOptimize(hits);
    });
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_GrepThreeTerms(benchmark::State& state)
{
    const std::string cmd = std::string("grep -c -i -F -e '") + kTerms[0] + "' -e '" + kTerms[1] + "' -e '" +
                            kTerms[2] + "' '" + (g_folder / "OrlinAll.dat").string() + "'";
    long lines = 0;
    Timed(state, g_grepSeconds, [&] {
        FILE* f = popen(cmd.c_str(), "r");
        if (!f) {
            state.SkipWithError("grep did not start");
            return;
        }
        if (std::fscanf(f, "%ld", &lines) != 1)
            lines = -1;
        pclose(f);
    });
    state.counters["lines"] = static_cast<double>(lines);
}

BENCHMARK(BM_LoadCacheDump)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchThreeTermsOr)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchThreeTermsOrUtf8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrepThreeTerms)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    char templ[] = "/tmp/brimlow-bench-XXXXXX";
    if (!mkdtemp(templ))
        return 1;
    g_folder = templ;
    WriteDump(g_folder / "OrlinAll.dat");
    std::printf("dump: %zu records, %ju bytes\n", kRecords,
                static_cast<std::uintmax_t>(fs::file_size(g_folder / "OrlinAll.dat")));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (g_grepSeconds > 0 && g_searchSeconds > 0)
        std::printf("search %.2f ms, grep %.2f ms: search/grep = %.2f (goal <= 3); load %.1f ms\n",
                    g_searchSeconds * 1e3, g_grepSeconds * 1e3, g_searchSeconds / g_grepSeconds, g_loadSeconds * 1e3);
    if (g_grepSeconds > 0 && g_searchUtf8Seconds > 0)
        std::printf("search in UTF-8 %.2f ms: search/grep = %.2f\n", g_searchUtf8Seconds * 1e3,
                    g_searchUtf8Seconds / g_grepSeconds);
    ReleaseCacheRecords();
    std::error_code ec;
    fs::remove_all(g_folder, ec);
    return 0;
}
