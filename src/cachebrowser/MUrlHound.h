#pragma once
// The cache browser's model: the loaded cache dump (one CacheRecord per cache entry, in
// file order), the AND/OR search over those records and the text of a search report.
// Qt-free; the Url Hound page only shows what lives here.
#include <cstddef>
#include <deque>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/DataFiles.h"

#include "platform/HugeBlock.h"
#include "platform/Platform.h"
#include "platform/TextFile.h"

namespace brimlow {

// One cache entry of a loaded dump. The texts view the bytes of the CacheDump they were
// read from (or, in tests, strings that outlive the record).
struct CacheRecord {
    std::string_view Source;    // the entry's URL; also its line in the main list
    std::string_view Location;  // the local file, or "N\A"
    std::string_view HitRate;   // decimal text
    std::string_view Expires;   // M/D/YYYY as the dump tool wrote it
    std::string_view Accessed;  // M/D/YYYY as the dump tool wrote it
    std::string_view Header;    // CR LF, then every header line followed by CR LF
};

// One dump file as loaded: its bytes, read in one piece, and its records, in file order,
// which view those bytes. A header block is turned into its CR LF text in the bytes it came
// from when it fits there (it does unless it has more than two lines ended by a bare LF).
// The bytes and the table are blocks of their own (HugeBlock): a load of 100,000 records
// touches its memory in a few huge pages.
class CacheDump {
public:
    CacheDump() = default;
    CacheDump(CacheDump&&) noexcept = default;
    CacheDump& operator=(CacheDump&&) noexcept = default;

    std::span<const CacheRecord> records() const noexcept { return m_records.view(); }
    std::size_t size() const noexcept { return m_records.size(); }
    bool empty() const noexcept { return m_records.size() == 0; }
    const CacheRecord& operator[](std::size_t i) const noexcept { return records()[i]; }
    auto begin() const noexcept { return records().begin(); }
    auto end() const noexcept { return records().end(); }

private:
    friend CacheDump ReadCacheDump(const std::filesystem::path& path, bool* truncated, CacheDump reuse,
                                   FileCalls* calls);
    textfile::FileBlock m_bytes;        // never moves, so the views stay good
    std::deque<std::string> m_headers;  // the header texts that did not fit in the bytes
    HugeTable<CacheRecord> m_records;
};

// Dump types as the cache type box chooses them.
inline constexpr int kDumpCookies = 0;
inline constexpr int kDumpVisited = 1;
inline constexpr int kDumpAll = 2;

// The dump file of a dump type ("\OrlinCookie.Dat", ...), or "" for an unknown type.
std::string_view CacheDumpFileName(int DumpType);

// "Cookies:" 0, "Visited:" 1, "Entire Cache" 2, compared exactly; any other text 0.
int DumpTypeFromCacheTypeText(std::string_view text);

// Reads one dump file. A missing file reads as no records; a file that ends inside a
// record keeps the complete records before it (and sets *truncated when given). `reuse` is
// the dump that this one replaces, of which nothing is viewed any more: its blocks are taken
// for the new one where they are large enough, so a reload touches no fresh memory. The
// file's reads go through `calls` when given.
CacheDump ReadCacheDump(const std::filesystem::path& path, bool* truncated = nullptr, CacheDump reuse = {},
                        FileCalls* calls = nullptr);

// Replaces the loaded records by those of the dump file of DumpType in the program folder
// (the name matches without regard to letter case).
void LoadCacheDump(const Platform& platform, int DumpType);

// The records of the last load, in file order.
std::span<const CacheRecord> CacheRecords();
std::size_t iCacheCount();
// Drops the loaded records (at exit).
void ReleaseCacheRecords();

// ---- Search ----

// How the bytes of the texts are characters: the locale's 8-bit code page (Latin-1 letters
// fold byte by byte) or UTF-8 (multi-byte characters fold as characters, never byte by byte).
enum class TextEncoding { Latin1, Utf8 };
// UTF-8 when the C library's current locale (LC_CTYPE) uses it, else Latin-1.
TextEncoding LocaleTextEncoding();

struct MatchOptions {
    bool matchCase = false;  // "Case Sensitive"
    bool wholeWord = false;  // "Match whole word"
    TextEncoding encoding = TextEncoding::Latin1;
};

// A search text parsed once: groups split at " OR ", terms at " AND " (both exact, so a
// lower-case "and" is part of a term), every term trimmed of spaces. Empty terms and
// groups without a term are left out, so a text of only operators matches nothing.
class CacheSearch {
public:
    CacheSearch(std::string_view searchText, MatchOptions options);

    // True when every term of at least one group occurs in the record text (the six fields
    // joined by CR LF).
    bool Matches(const CacheRecord& record) const;
    bool empty() const { return m_groups.empty(); }
    const std::vector<std::vector<std::string>>& groups() const { return m_groups; }

private:
    bool FindTerm(const CacheRecord& record, const std::string& term) const;

    MatchOptions m_options;
    std::vector<std::vector<std::string>> m_groups;  // terms, case-folded unless matchCase
};

// True when loaded record Index matches the search text; false for an index beyond the
// loaded records.
bool MatchCacheRecord(std::size_t Index, std::string_view searchText, MatchOptions options);

// The indexes of the records that match, in order.
std::vector<std::size_t> SearchCacheRecords(std::span<const CacheRecord> records, std::string_view searchText,
                                            MatchOptions options);

// Finds `term` in `text` from `from` on with the search options; npos when absent. With
// matchCase false the term must already be case-folded (FoldCase with the same encoding).
// A whole word is not touched by a word character: in UTF-8 a letter or digit of any script.
std::size_t FindText(std::string_view text, std::string_view term, MatchOptions options, std::size_t from = 0);
// Latin-1: ASCII and Latin-1 letters to lower case, every other byte unchanged. UTF-8:
// simple case folding of every character.
std::string FoldCase(std::string_view text, TextEncoding encoding = TextEncoding::Latin1);
// Letters (ASCII and Latin-1), digits and "_": what a whole word may not touch in Latin-1.
bool IsWordByte(unsigned char c);

// ---- Report ----

// The report of the results: the heading (two lines of one space, the date and time, the
// search text, one more line of one space), then per result its source, file location,
// access and expiry dates and header block. Every line ends in CR LF. Result indexes
// beyond `records` are skipped.
std::string CacheSearchReport(std::string_view dateText, std::string_view timeText, std::string_view searchText,
                              const std::vector<std::size_t>& results, std::span<const CacheRecord> records);

std::filesystem::path SearchReportPath(const Platform& platform);

}  // namespace brimlow
