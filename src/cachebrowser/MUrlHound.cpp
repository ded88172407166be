#include "cachebrowser/MUrlHound.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <langinfo.h>
#include <string.h>

#include "cachebrowser/Utf8Text.h"
#include "platform/TextFile.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brimlow {

namespace {

CacheDump g_cacheDump;

constexpr std::array<unsigned char, 256> MakeFoldTable()
{
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = static_cast<unsigned char>(c + 0x20);
    // Latin-1 capitals À..Þ (not the multiplication sign) fold to à..þ.
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7)
            t[c] = static_cast<unsigned char>(c + 0x20);
    return t;
}

constexpr std::array<bool, 256> MakeWordTable()
{
    std::array<bool, 256> t{};
    for (int c = '0'; c <= '9'; ++c)
        t[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = t[c + 0x20] = true;
    t['_'] = true;
    t[0xAA] = t[0xB5] = t[0xBA] = true;  // ª µ º
    for (int c = 0xC0; c <= 0xFF; ++c)
        if (c != 0xD7 && c != 0xF7)
            t[c] = true;
    return t;
}

constexpr auto kFold = MakeFoldTable();
constexpr auto kWord = MakeWordTable();

inline unsigned char U(char c)
{
    return static_cast<unsigned char>(c);
}

// `term` (already folded) equals the n bytes at p, letter case ignored.
inline bool EqualFolded(const char* p, const char* term, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (kFold[U(p[i])] != U(term[i]))
            return false;
    return true;
}

inline bool WholeWordAt(std::string_view text, std::size_t pos, std::size_t n)
{
    if (pos > 0 && kWord[U(text[pos - 1])])
        return false;
    if (pos + n < text.size() && kWord[U(text[pos + n])])
        return false;
    return true;
}

// The first position from `from` on where the folded term occurs without regard to case.
std::size_t FindFolded(std::string_view text, std::string_view term, std::size_t from)
{
    const std::size_t n = term.size();
    const std::size_t size = text.size();
    if (n == 0 || from > size || size - from < n)
        return std::string_view::npos;
    const char* s = text.data();
    const char* t = term.data();
    const std::size_t last = size - n;  // the last possible start
    std::size_t i = from;
#if defined(__SSE2__)
    // Candidate filter on the first and the last byte of the term: x | 0x20 is equal for
    // every pair of bytes that fold alike (ASCII and Latin-1 capitals lack that bit), so
    // no match is missed; candidates are then compared in full.
    const __m128i bit = _mm_set1_epi8(0x20);
    const __m128i first = _mm_set1_epi8(static_cast<char>(U(t[0]) | 0x20));
    const __m128i lastb = _mm_set1_epi8(static_cast<char>(U(t[n - 1]) | 0x20));
    while (i + 16 <= last + 1) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), bit);
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + n - 1)), bit);
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastb))));
        while (mask) {
            const unsigned bitIndex = static_cast<unsigned>(__builtin_ctz(mask));
            if (EqualFolded(s + i + bitIndex, t, n))
                return i + bitIndex;
            mask &= mask - 1;
        }
        i += 16;
    }
#endif
    const unsigned char t0 = U(t[0]);
    for (; i <= last; ++i)
        if (kFold[U(s[i])] == t0 && EqualFolded(s + i, t, n))
            return i;
    return std::string_view::npos;
}

std::size_t FindExact(std::string_view text, std::string_view term, std::size_t from)
{
    if (term.empty() || from > text.size() || text.size() - from < term.size())
        return std::string_view::npos;
    const void* hit = ::memmem(text.data() + from, text.size() - from, term.data(), term.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}

// In UTF-8 no word character may stand right before or after the match.
bool WholeWordAtUtf8(std::string_view text, std::size_t pos, std::size_t n)
{
    if (pos > 0 && utf8::IsWordChar(utf8::DecodeBefore(text, pos).cp))
        return false;
    if (pos + n < text.size() && utf8::IsWordChar(utf8::DecodeAt(text, pos + n).cp))
        return false;
    return true;
}

// UTF-8 without regard to case. Plain ASCII text, the usual case, takes the fast byte path
// (ASCII folds alike in both encodings); other text is folded as characters and the match
// mapped back to where it stands in the text.
std::size_t FindFoldedUtf8(std::string_view text, std::string_view term, bool wholeWord, std::size_t from)
{
    if (utf8::IsAscii(text)) {
        if (!utf8::IsAscii(term))
            return std::string_view::npos;
        for (;;) {
            const std::size_t at = FindFolded(text, term, from);
            if (at == std::string_view::npos || !wholeWord || WholeWordAt(text, at, term.size()))
                return at;
            from = at + 1;
        }
    }
    std::vector<std::size_t> starts;
    const std::string folded = utf8::FoldText(text, &starts);
    const auto boundary = [&](std::size_t i) { return i == 0 || i == folded.size() || starts[i] != starts[i - 1]; };
    std::size_t f = 0;
    while (f < folded.size() && starts[f] < from)
        ++f;
    for (;;) {
        const std::size_t at = FindExact(folded, term, f);
        if (at == std::string_view::npos)
            return at;
        const std::size_t end = at + term.size();
        if (boundary(at) && boundary(end) &&
            (!wholeWord || WholeWordAtUtf8(text, starts[at], starts[end] - starts[at])))
            return starts[at];
        f = at + 1;
    }
}

std::string_view TrimSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitAt(std::string_view text, std::string_view sep)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(sep, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + sep.size();
    }
}

std::string JoinedText(const CacheRecord& r)
{
    std::string s;
    s.reserve(r.Source.size() + r.Location.size() + r.HitRate.size() + r.Expires.size() + r.Accessed.size() +
              r.Header.size() + 10);
    s.append(r.Source).append("\r\n");
    s.append(r.Location).append("\r\n");
    s.append(r.HitRate).append("\r\n");
    s.append(r.Expires).append("\r\n");
    s.append(r.Accessed).append("\r\n");
    s.append(r.Header);
    return s;
}

}  // namespace

std::string_view CacheDumpFileName(int DumpType)
{
    switch (DumpType) {
    case kDumpCookies:
        return kCookieDumpLoaderName;
    case kDumpVisited:
        return kVisitedDumpLoaderName;
    case kDumpAll:
        return kAllDumpLoaderName;
    default:
        return {};
    }
}

int DumpTypeFromCacheTypeText(std::string_view text)
{
    if (text == "Visited:")
        return kDumpVisited;
    if (text == "Entire Cache")
        return kDumpAll;
    return kDumpCookies;  // "Cookies:" and every text that is none of the three
}

namespace {

// The line that starts at `at` of `bytes` (up to `end`): its text without the line end, and
// where the next line starts.
struct Line {
    std::string_view text;
    std::size_t next = 0;
    bool bareLf = false;  // ended by an LF without a CR before it
};

inline bool NextDumpLine(const char* bytes, std::size_t end, std::size_t at, Line& line) noexcept
{
    if (at >= end)
        return false;
    const auto* lf = static_cast<const char*>(std::memchr(bytes + at, '\n', end - at));
    std::size_t len = lf ? static_cast<std::size_t>(lf - (bytes + at)) : end - at;
    line.bareLf = lf != nullptr;
    if (lf && len > 0 && bytes[at + len - 1] == '\r') {
        --len;
        line.bareLf = false;
    }
    line.text = std::string_view(bytes + at, len);
    line.next = lf ? static_cast<std::size_t>(lf - bytes) + 1 : end;
    return true;
}

// The lines of a dump's bytes, taken as they arrive from the reading. A line is 14 bytes on
// average, too short for a search call per line to pay: the LFs are found 64 bytes at a
// time, as a mask of the piece, and read off it bit by bit. A piece is looked at once all of
// it has arrived, or the reading has ended: then the block's room past the end holds the
// rest of the last piece, and its bits from the end on are cleared, so nothing that an
// earlier load left in the block counts.
class DumpLines {
public:
    DumpLines(const char* bytes, const textfile::BlockReading& reading) noexcept : m_bytes(bytes), m_reading(reading)
    {
        while (m_end < 64 && !m_ended)
            Wait();
        if (m_end > 0)
            m_mask = MaskAt(0);
    }

    // Where the next line starts.
    std::size_t at() const noexcept { return m_at; }
    // No line is left.
    bool AtEnd() noexcept
    {
        while (m_at >= m_end && !m_ended)
            Wait();
        return m_at >= m_end;
    }

    [[gnu::always_inline]] bool Next(Line& line) noexcept
    {
        if (m_at >= m_end && AtEnd())
            return false;
        while (m_mask == 0) {
            m_base += 64;
            while (m_base + 64 > m_end && !m_ended)
                Wait();
            if (m_base >= m_end) [[unlikely]] {  // the last line, without a line end
                line.text = std::string_view(m_bytes + m_at, m_end - m_at);
                line.bareLf = false;
                line.next = m_at = m_end;
                return true;
            }
            m_mask = MaskAt(m_base);
        }
        const std::size_t lf = m_base + static_cast<std::size_t>(__builtin_ctzll(m_mask));
        m_mask &= m_mask - 1;
        const std::size_t len = lf - m_at;
        // An empty line looks at its own LF, which is no CR.
        const bool cr = m_bytes[lf - (len > 0)] == '\r';
        line.text = std::string_view(m_bytes + m_at, len - cr);
        line.bareLf = !cr;
        line.next = m_at = lf + 1;
        return true;
    }

private:
    [[gnu::noinline]] void Wait() noexcept { m_end = m_reading.WaitPast(m_end, m_ended); }

    std::uint64_t MaskAt(std::size_t base) const noexcept
    {
        const char* p = m_bytes + base;
        std::uint64_t mask = 0;
#if defined(__SSE2__)
        const __m128i lf = _mm_set1_epi8('\n');
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            mask |= std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)))} << (16 * k);
        }
#else
        for (int k = 0; k < 64; ++k)
            mask |= std::uint64_t{p[k] == '\n'} << k;
#endif
        if (m_end - base < 64)
            mask &= (std::uint64_t{1} << (m_end - base)) - 1;
        return mask;
    }

    const char* m_bytes;
    const textfile::BlockReading& m_reading;
    std::size_t m_end = 0;     // the bytes that have arrived
    bool m_ended = false;      // and all of them have
    std::size_t m_base = 0;    // the piece of m_mask
    std::uint64_t m_mask = 0;  // its LFs not yet handed out
    std::size_t m_at = 0;      // where the next line starts
};

// The header text of the block [from, to): CR LF, then each line of it followed by CR LF.
// Written backwards so that it ends at `to`, over the block and the closing line, which
// have been read; the caller made sure it fits without touching an unread byte.
std::string_view HeaderInPlace(char* bytes, std::size_t from, std::size_t to, std::size_t blockEnd)
{
    std::size_t w = to;
    std::size_t r = blockEnd;  // the lines end here; each ends in LF
    while (r > from) {
        const std::size_t lineEnd = r - 1;  // its LF
        const void* prev = lineEnd > from ? ::memrchr(bytes + from, '\n', lineEnd - from) : nullptr;
        const std::size_t start = prev ? static_cast<std::size_t>(static_cast<const char*>(prev) - bytes) + 1 : from;
        std::size_t len = lineEnd - start;
        if (len > 0 && bytes[start + len - 1] == '\r')
            --len;
        // The line first: its CR LF may take the place of its own last byte.
        std::memmove(bytes + w - 2 - len, bytes + start, len);
        bytes[w - 2] = '\r';
        bytes[w - 1] = '\n';
        w -= len + 2;
        r = start;
    }
    w -= 2;
    bytes[w] = '\r';
    bytes[w + 1] = '\n';
    return std::string_view(bytes + w, to - w);
}

}  // namespace

CacheDump ReadCacheDump(const std::filesystem::path& path, bool* truncated, CacheDump reuse, FileCalls* calls)
{
    CacheDump dump;
    if (truncated)
        *truncated = false;
    if (!textfile::FileExists(path))
        return dump;
    dump.m_headers = std::move(reuse.m_headers);
    dump.m_records = std::move(reuse.m_records);
    // The records of the bytes as they arrive; true when the file ends inside a record.
    const auto readRecords = [&dump](const textfile::BlockReading& reading) {
        char* bytes = reading.data();
        dump.m_headers.clear();
        // Room for records of 64 bytes (real ones are longer): the table is then made once,
        // and what it does not use is never touched, so it costs no memory.
        dump.m_records.Renew(reading.size() / 64 + 16);
        DumpLines lines(bytes, reading);
        Line line;
        bool cut = false;
        while (!lines.AtEnd()) {
            Line source, location, hitRate, expires, accessed;
            if (!(lines.Next(source) && lines.Next(location) && lines.Next(hitRate) && lines.Next(expires) &&
                  lines.Next(accessed))) {
                cut = true;
                break;
            }
            // The separator line: dropped, whatever it holds.
            const std::size_t separator = lines.at();
            if (!lines.Next(line)) {
                cut = true;
                break;
            }
            const std::size_t block = line.next;
            // The header block runs to the line that is exactly "@" (a file that ends inside a
            // record keeps the records before it).
            std::size_t bareLfs = 0;
            bool lastBare = false;
            std::size_t blockEnd = block;
            bool closed = false;
            while (lines.Next(line)) {
                if (line.text.size() == 1 && line.text[0] == '@') {
                    closed = true;
                    break;
                }
                bareLfs += line.bareLf;
                lastBare = line.bareLf;
                blockEnd = line.next;
            }
            if (!closed) {
                cut = true;
                break;
            }
            const std::size_t closing = line.next;
            const std::size_t spareAfter = closing - blockEnd;
            std::string_view header;
            if (block - separator >= 2 && (bareLfs == 0 || (bareLfs == 1 && lastBare))) {
                // The usual block: CR LF lines, the last perhaps ended by the writer's bare LF.
                // Its text is the block where it stands, with the leading CR LF over the end of
                // the separator line and the last LF made CR LF over the closing line's "@".
                bytes[block - 2] = '\r';
                bytes[block - 1] = '\n';
                if (bareLfs) {
                    bytes[blockEnd - 1] = '\r';
                    bytes[blockEnd] = '\n';
                }
                header = std::string_view(bytes + block - 2, blockEnd + bareLfs - (block - 2));
            } else if (bareLfs <= spareAfter && (block - separator) + spareAfter >= bareLfs + 2) {
                // Read back, the block's lines each get CR LF, and a leading CR LF comes first:
                // that fits in the bytes of the block, the separator and the closing line, unless
                // more of the lines than those two lines' spare bytes end in a bare LF.
                header = HeaderInPlace(bytes, block, closing, blockEnd);
            } else {
                std::string text = "\r\n";
                for (std::size_t l = block; l < blockEnd && NextDumpLine(bytes, blockEnd, l, line); l = line.next)
                    text.append(line.text).append("\r\n");
                header = dump.m_headers.emplace_back(std::move(text));
            }
            dump.m_records.push_back({source.text, location.text, hitRate.text, expires.text, accessed.text, header});
        }
        return cut;
    };
    textfile::FileBlock bytes = std::move(reuse.m_bytes);
    // A file that grows while it is read is read again, twice at most; then its records are
    // those of the bytes that fitted.
    for (int attempt = 0;; ++attempt) {
        bool whole = true;
        bool cut = false;
        {
            textfile::BlockReading reading(path, std::move(bytes), calls);
            cut = readRecords(reading);
            bytes = reading.Finish(whole);
        }
        if (whole || attempt == 2) {
            dump.m_bytes = std::move(bytes);
            if (truncated)
                *truncated = cut || !whole;
            return dump;
        }
    }
}

void LoadCacheDump(const Platform& platform, int DumpType)
{
    // The records of the last load go first, so nothing can view them while their blocks
    // take the new dump.
    CacheDump replaced = std::exchange(g_cacheDump, CacheDump());
    const std::string_view name = CacheDumpFileName(DumpType);
    if (name.empty())
        return;
    g_cacheDump = ReadCacheDump(textfile::InFolder(platform.programFolder, name), nullptr, std::move(replaced));
}

std::span<const CacheRecord> CacheRecords()
{
    return g_cacheDump.records();
}

std::size_t iCacheCount()
{
    return g_cacheDump.size();
}

void ReleaseCacheRecords()
{
    g_cacheDump = CacheDump();
}

// ---- Search ----

TextEncoding LocaleTextEncoding()
{
    const char* codeset = ::nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0) ? TextEncoding::Utf8
                                                                                                 : TextEncoding::Latin1;
}

std::string FoldCase(std::string_view text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return utf8::FoldText(text);
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(kFold[U(c)]);
    return out;
}

bool IsWordByte(unsigned char c)
{
    return kWord[c];
}

std::size_t FindText(std::string_view text, std::string_view term, MatchOptions options, std::size_t from)
{
    const bool utf8 = options.encoding == TextEncoding::Utf8;
    if (utf8 && !options.matchCase)
        return FindFoldedUtf8(text, term, options.wholeWord, from);
    for (;;) {
        const std::size_t at = options.matchCase ? FindExact(text, term, from) : FindFolded(text, term, from);
        if (at == std::string_view::npos || !options.wholeWord ||
            (utf8 ? WholeWordAtUtf8(text, at, term.size()) : WholeWordAt(text, at, term.size())))
            return at;
        from = at + 1;
    }
}

CacheSearch::CacheSearch(std::string_view searchText, MatchOptions options) : m_options(options)
{
    for (std::string_view group : SplitAt(searchText, " OR ")) {
        std::vector<std::string> terms;
        for (std::string_view term : SplitAt(group, " AND ")) {
            term = TrimSpaces(term);
            if (!term.empty())
                terms.push_back(options.matchCase ? std::string(term) : FoldCase(term, options.encoding));
        }
        if (!terms.empty())
            m_groups.push_back(std::move(terms));
    }
}

bool CacheSearch::FindTerm(const CacheRecord& r, const std::string& term) const
{
    if (term.find_first_of("\r\n") != std::string::npos)  // may span fields: search the joined text
        return FindText(JoinedText(r), term, m_options) != std::string_view::npos;
    // A term without line ends cannot span two fields, and the CR LF between fields is a
    // word boundary, so each field is searched on its own.
    for (const std::string_view* field : {&r.Source, &r.Location, &r.HitRate, &r.Expires, &r.Accessed, &r.Header})
        if (FindText(*field, term, m_options) != std::string_view::npos)
            return true;
    return false;
}

bool CacheSearch::Matches(const CacheRecord& record) const
{
    for (const auto& group : m_groups) {
        bool all = true;
        for (const auto& term : group) {
            if (!FindTerm(record, term)) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return false;
}

bool MatchCacheRecord(std::size_t Index, std::string_view searchText, MatchOptions options)
{
    if (Index >= g_cacheDump.size())
        return false;
    return CacheSearch(searchText, options).Matches(g_cacheDump[Index]);
}

std::vector<std::size_t> SearchCacheRecords(std::span<const CacheRecord> records, std::string_view searchText,
                                            MatchOptions options)
{
    std::vector<std::size_t> hits;
    const CacheSearch search(searchText, options);
    if (search.empty())
        return hits;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (search.Matches(records[i]))
            hits.push_back(i);
    return hits;
}

// ---- Report ----

std::string CacheSearchReport(std::string_view dateText, std::string_view timeText, std::string_view searchText,
                              const std::vector<std::size_t>& results, std::span<const CacheRecord> records)
{
    std::string out;
    auto line = [&out](std::string_view a, std::string_view b = {}) { out.append(a).append(b).append("\r\n"); };
    line(" ");
    line(" ");
    out.append(dateText).append("  ");
    line(timeText);
    line("Search Paramaters: ", searchText);
    line(" ");
    for (std::size_t r : results) {
        if (r >= records.size())
            continue;  // a result of an earlier load that the current one does not reach
        const CacheRecord& rec = records[r];
        line(" ");
        line("Source: ", rec.Source);
        line("File Location: ", rec.Location);
        line("Accessed: ", rec.Accessed);
        line("Expires: ", rec.Expires);
        line("Header: ", "\r\n");
        out.append(rec.Header);
    }
    return out;
}

std::filesystem::path SearchReportPath(const Platform& platform)
{
    return textfile::InFolder(platform.programFolder, kSearchReportName);
}

}  // namespace brimlow
