// UrlHound end to end (spawn, three walks, wait) against the sqlite3 command-line tool
// writing the same columns of the same rows into three files, as the three walks do.
// Reports records and dump bytes per second and the child's peak resident memory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <spawn.h>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// 100 ns ticks since 1601 of 2024-05-01 00:00 UTC, give or take.
constexpr std::int64_t kBaseTime = 133590240000000000LL;
constexpr std::int64_t kDay = 864000000000LL;

// A program folder with UrlHound in it and a store of `count` entries beside it: a third
// cookies, a third visited entries, a third content entries with a 300-byte header.
class BenchStore {
public:
    explicit BenchStore(std::size_t count) : m_count(count)
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-urlhound-XXXXXX";
        if (!::mkdtemp(templ.data()))
            throw std::runtime_error("mkdtemp failed");
        m_root = templ;
        m_folder = m_root / "prog dir";
        m_store = m_root / "inetcache";
        fs::create_directories(m_folder);
        fs::create_directories(m_store);
        fs::copy_file(fs::path(BRIMLOW_PROGRAM_DIR) / "UrlHound", m_folder / "UrlHound");
        Fill();
        WriteSqlScript();
    }
    ~BenchStore()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    std::size_t count() const { return m_count; }
    const fs::path& folder() const { return m_folder; }
    const fs::path& store() const { return m_store; }
    fs::path db() const { return m_store / "index.sqlite"; }
    const fs::path& script() const { return m_script; }

    // Records one mode-0 run writes: the visited and cookie thirds, then every entry.
    std::size_t recordsPerRun() const { return m_visited + m_cookies + m_count; }

private:
    void Fill()
    {
        sqlite3* db = nullptr;
        if (sqlite3_open(this->db().c_str(), &db) != SQLITE_OK)
            throw std::runtime_error("cannot create the store");
        const char* schema =
            "PRAGMA journal_mode = WAL;"
            "CREATE TABLE entries(seq INTEGER PRIMARY KEY AUTOINCREMENT, url TEXT NOT NULL UNIQUE, local_file TEXT,"
            " hit_rate INTEGER NOT NULL DEFAULT 0, expire_time INTEGER NOT NULL DEFAULT 0,"
            " last_access_time INTEGER NOT NULL DEFAULT 0, header BLOB);"
            "PRAGMA user_version = 1;"
            "BEGIN;";
        if (sqlite3_exec(db, schema, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO entries(url, local_file, hit_rate, expire_time, last_access_time, header)"
                           " VALUES (?, ?, ?, ?, ?, ?)",
                           -1, &ins, nullptr);
        std::string header = "HTTP/1.1 200 OK\r\nContent-Type: application/javascript\r\nCache-Control: max-age=86400\r\n"
                             "ETag: \"0123456789abcdef0123456789abcdef\"\r\nServer: bench\r\nX-Padding: ";
        header.append(300 - header.size() - 4, 'p');
        header.append("\r\n\r\n");
        for (std::size_t i = 0; i < m_count; ++i) {
            const std::string n = std::to_string(i);
            std::string url, local;
            switch (i % 3) {
            case 0:
                url = "Cookie:benchuser@host" + n + ".example/path/";
                local = "/home/benchuser/.local/share/inetcache/Cookies/benchuser@host" + n + ".example_path_.txt";
                ++m_cookies;
                break;
            case 1:
                url = "Visited: benchuser@http://host" + n + ".example/page/index.html?id=" + n;
                ++m_visited;
                break;
            default:
                url = "http://host" + n + ".example/static/script" + n + ".js";
                local = "/home/benchuser/.cache/inetcache/Content/AB12CD34/script" + n + "[1].js";
                break;
            }
            sqlite3_bind_text(ins, 1, url.data(), static_cast<int>(url.size()), SQLITE_TRANSIENT);
            if (local.empty())
                sqlite3_bind_null(ins, 2);
            else
                sqlite3_bind_text(ins, 2, local.data(), static_cast<int>(local.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(ins, 3, static_cast<std::int64_t>(i % 97));
            sqlite3_bind_int64(ins, 4, kBaseTime + static_cast<std::int64_t>(i % 400) * kDay);
            sqlite3_bind_int64(ins, 5, kBaseTime - static_cast<std::int64_t>(i % 300) * kDay);
            if (i % 3 == 2)
                sqlite3_bind_blob(ins, 6, header.data(), static_cast<int>(header.size()), SQLITE_STATIC);
            else
                sqlite3_bind_null(ins, 6);
            if (sqlite3_step(ins) != SQLITE_DONE)
                throw std::runtime_error(sqlite3_errmsg(db));
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    void WriteSqlScript()
    {
        m_script = m_root / "dump.sql";
        const std::string cols = "select url, local_file, hit_rate, expire_time, last_access_time, header from entries";
        const auto out = [&](const char* name) { return ".output '" + (m_folder / name).string() + "'\n"; };
        const std::string text = ".mode list\n" + out("sqlite-visited.txt") + cols +
                                 " where url like 'Visited:%' order by seq;\n" + out("sqlite-cookie.txt") + cols +
                                 " where url like 'Cookie:%' order by seq;\n" + out("sqlite-all.txt") + cols +
                                 " order by seq;\n.output stdout\n";
        FILE* f = std::fopen(m_script.c_str(), "w");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    std::size_t m_count;
    std::size_t m_cookies = 0;
    std::size_t m_visited = 0;
    fs::path m_root, m_folder, m_store, m_script;
};

BenchStore& StoreOf(std::size_t count)
{
    static std::map<std::size_t, std::unique_ptr<BenchStore>> stores;
    auto& s = stores[count];
    if (!s)
        s = std::make_unique<BenchStore>(count);
    return *s;
}

constexpr const char* kPeakRssOf = "--peak-rss-of";
std::string g_self;  // this program, for the peak-memory wrapper

// Spawns argv in `folder` (stdin from `input` when given, stdout to `output`) and waits;
// the exit code, or -1 when it did not exit.
int Spawn(const std::vector<std::string>& argv, const fs::path& folder, const fs::path& input = {},
          const fs::path& output = "/dev/null")
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, folder.c_str());
    if (!input.empty())
        posix_spawn_file_actions_addopen(&fa, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The child's peak resident memory in KiB. A child's ru_maxrss also counts the memory of
// the process image it was started from (the kernel keeps the old image's high-water mark
// across exec, and a spawned child shares the benchmark's image until then), so the child is
// started from a small wrapper, this program re-run with --peak-rss-of, which forks, execs,
// and prints wait4's ru_maxrss.
long PeakRssKiB(const std::vector<std::string>& argv, const fs::path& folder, const fs::path& input = {})
{
    std::vector<std::string> wrapped{g_self, kPeakRssOf};
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    const fs::path report = folder.parent_path() / "peak-rss.txt";
    if (Spawn(wrapped, folder, input, report) != 0)
        return -1;
    std::FILE* f = std::fopen(report.c_str(), "r");
    long kib = -1;
    if (f) {
        if (std::fscanf(f, "%ld", &kib) != 1)
            kib = -1;
        std::fclose(f);
    }
    return kib;
}

int PeakRssWrapper(char** argv)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        ::execvp(argv[0], argv);
        ::_exit(127);
    }
    int status = 0;
    rusage ru{};
    while (::wait4(pid, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    std::printf("%ld\n", ru.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

std::uint64_t Bytes(const fs::path& folder, std::initializer_list<const char*> names)
{
    std::uint64_t total = 0;
    for (const char* n : names)
        total += fs::file_size(folder / n);
    return total;
}

void Report(benchmark::State& state, std::size_t records, std::uint64_t bytes, long maxRssKiB)
{
    const auto iters = static_cast<double>(state.iterations());
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(records) * iters, benchmark::Counter::kIsRate);
    state.counters["bytes/s"] = benchmark::Counter(static_cast<double>(bytes) * iters, benchmark::Counter::kIsRate,
                                                   benchmark::Counter::kIs1024);
    state.counters["dump_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["peak_rss_MiB"] = static_cast<double>(maxRssKiB) / 1024.0;
}

void BM_UrlHound(benchmark::State& state)
{
    BenchStore& s = StoreOf(static_cast<std::size_t>(state.range(0)));
    setenv("INETCACHE_DIR", s.store().c_str(), 1);
    const std::vector<std::string> argv{(s.folder() / "UrlHound").string()};
    for (auto _ : state) {
        if (Spawn(argv, s.folder()) != 0)
            state.SkipWithError("UrlHound failed");
    }
    const long rss = PeakRssKiB(argv, s.folder());
    Report(state, s.recordsPerRun(), Bytes(s.folder(), {"OrlinVisited.dat", "OrlinCookie.dat", "OrlinAll.dat"}), rss);
}

void BM_Sqlite3Tool(benchmark::State& state)
{
    BenchStore& s = StoreOf(static_cast<std::size_t>(state.range(0)));
    const std::vector<std::string> argv{"sqlite3", "-batch", "-readonly", s.db().string()};
    for (auto _ : state) {
        if (Spawn(argv, s.folder(), s.script()) != 0)
            state.SkipWithError("sqlite3 failed");
    }
    const long rss = PeakRssKiB(argv, s.folder(), s.script());
    Report(state, s.recordsPerRun(), Bytes(s.folder(), {"sqlite-visited.txt", "sqlite-cookie.txt", "sqlite-all.txt"}),
           rss);
}

}  // namespace

BENCHMARK(BM_UrlHound)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Sqlite3Tool)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
// Memory must not grow with the store: the same peak at a million entries as at 100,000.
BENCHMARK(BM_UrlHound)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Sqlite3Tool)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

int main(int argc, char** argv)
{
    if (argc > 2 && std::string(argv[1]) == kPeakRssOf)
        return PeakRssWrapper(argv + 2);
    g_self = fs::canonical("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
