#pragma once
// Fast seeding of an Internet cache store for tests and benchmarks.
//
//   SeedEntries(tmp.storeFolder(), 100000);                        // visited, cookie, url in turn
//   SeedEntries(folder, 10, {SeedKind::Cookie});                   // ten cookie entries
//   auto e = SeedEntryFor(SeedKind::Url, 7);                       // what entry 7 of that kind holds
//   SeedEntries(folder, std::vector<CacheEntry>{...});             // exactly these entries
//   RunSqlite(folder, "SELECT count(*) FROM entries;")             // "3\n"
//
// Every call writes through one transaction and creates the store (folder, index.sqlite with
// the contract's table, WAL, user_version 1) when it is missing. Entries are appended after
// what the store already holds; a url that is already there is replaced in place.
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/inetcache/InetCache.h"

namespace brimlow::test {

enum class SeedKind {
    Visited,  // "Visited: <user>@http://site<i>.example/page<i>.html", no local file, no header
    Cookie,   // "Cookie:<user>@site<i>.example/", a local file name, no header
    Url,      // "http://site<i>.example/images/pic<i>.gif", a local file and a header block
};

// The entry that SeedEntries writes as the i-th entry of `kind` (its url holds i, so entries
// of one call never collide). <user> is kTestUser, the fake user's name. Times are fixed
// FILETIME values that depend on i: expiry 2031-01-01 plus i seconds, last access
// 2024-06-01 plus i seconds; the hit rate is i % 50 + 1.
inetcache::CacheEntry SeedEntryFor(SeedKind kind, std::size_t i);

// Writes `count` entries; entry n (0-based) is SeedEntryFor(kinds[n % kinds.size()], firstIndex + n).
void SeedEntries(const std::filesystem::path& storeFolder, std::size_t count,
                 const std::vector<SeedKind>& kinds = {SeedKind::Visited, SeedKind::Cookie, SeedKind::Url},
                 std::size_t firstIndex = 0);

// Writes exactly these entries, in this order.
void SeedEntries(const std::filesystem::path& storeFolder, const std::vector<inetcache::CacheEntry>& entries);

// One entry per cookie source ("Cookie:<user>@<host><path>"), in this order, each with a
// local file name made from the source, a hit rate of 3 and fixed times.
void SeedCookieSources(const std::filesystem::path& storeFolder, const std::vector<std::string>& sources);

// The cookie calls' access to the store in storeFolder for the fake user, at the machine's
// time now.
inetcache::StoreAccess TestStoreAccess(const std::filesystem::path& storeFolder);

// Creates an empty store when there is none.
void CreateStore(const std::filesystem::path& storeFolder);

// Runs the sqlite3 command-line tool on storeFolder/index.sqlite with `sql` on its standard
// input and returns what it printed. `options` come before the file name (e.g. "-separator").
// Throws std::runtime_error with its error output when it exits non-zero.
std::string RunSqlite(const std::filesystem::path& storeFolder, const std::string& sql,
                      const std::vector<std::string>& options = {});

}  // namespace brimlow::test
