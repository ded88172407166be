#include <algorithm>
#include <deque>
#include <gtest/gtest.h>
#include <optional>
#include <string>

#include "cachebrowser/MUrlHound.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

// One record as the dump tool writes it: LF line ends, the header bytes unchanged.
std::string DumpRecord(const std::string& url, std::optional<std::string> local = std::nullopt,
                       std::optional<std::string> header = std::nullopt, const std::string& hits = "3",
                       const std::string& expires = "3/5/2001", const std::string& accessed = "12/31/2000")
{
    std::string s = url + "\n" + (local ? *local : "N\\A") + "\n" + hits + "\n" + expires + "\n" + accessed + "\n@\n";
    s += header ? *header + "\n" : "N\\A\n";
    return s + "@\n";
}

std::string ManyRecords(std::size_t n, const std::string& prefix)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += DumpRecord(prefix + std::to_string(i));
    return s;
}

class Loader : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    void SetUp() override { tp.platform.programFolder = dir.folder(); tp.platform.storeFolder = dir.storeFolder(); }
    void TearDown() override { ReleaseCacheRecords(); }
};

}  // namespace

TEST_F(Loader, BuildsTheFieldsAndTheHeaderText)
{
    dir.Write("OrlinAll.dat",
              DumpRecord("http://a.example/x.gif", "/cache/x.gif", "Line1\r\nLine2\r\nLine3\r\n\r\n", "17", "1/1/1601",
                         "3/5/2001") +
                  DumpRecord("Visited: tester@http://b.example/") +
                  DumpRecord("http://c.example/", "", "no line end"));
    LoadCacheDump(tp.platform, kDumpAll);
    ASSERT_EQ(iCacheCount(), 3u);
    const auto& r = CacheRecords();
    EXPECT_EQ(r[0].Source, "http://a.example/x.gif");
    EXPECT_EQ(r[0].Location, "/cache/x.gif");
    EXPECT_EQ(r[0].HitRate, "17");
    EXPECT_EQ(r[0].Expires, "1/1/1601");
    EXPECT_EQ(r[0].Accessed, "3/5/2001");
    // Leading CR LF, the three lines, the empty CR LF line and the writer's LF as two more.
    EXPECT_EQ(r[0].Header, "\r\nLine1\r\nLine2\r\nLine3\r\n\r\n\r\n");
    EXPECT_EQ(r[1].Location, "N\\A");
    EXPECT_EQ(r[1].Header, "\r\nN\\A\r\n");
    EXPECT_EQ(r[2].Location, "");
    EXPECT_EQ(r[2].Header, "\r\nno line end\r\n");
}

TEST_F(Loader, DumpTypesPickTheirFilesWhateverTheLetterCase)
{
    dir.Write("OrlinCookie.dat", DumpRecord("Cookie:tester@a.example/"));
    dir.Write("orlinvisited.DAT", DumpRecord("Visited: tester@http://v.example/"));
    dir.Write("OrlinAll.Dat", DumpRecord("http://all.example/"));
    LoadCacheDump(tp.platform, kDumpCookies);
    ASSERT_EQ(iCacheCount(), 1u);
    EXPECT_EQ(CacheRecords()[0].Source, "Cookie:tester@a.example/");
    LoadCacheDump(tp.platform, kDumpVisited);
    ASSERT_EQ(iCacheCount(), 1u);
    EXPECT_EQ(CacheRecords()[0].Source, "Visited: tester@http://v.example/");
    LoadCacheDump(tp.platform, kDumpAll);
    ASSERT_EQ(iCacheCount(), 1u);
    EXPECT_EQ(CacheRecords()[0].Source, "http://all.example/");
    LoadCacheDump(tp.platform, 7);  // no such dump type
    EXPECT_EQ(iCacheCount(), 0u);
}

TEST_F(Loader, CountsAcrossTheOldGrowthSteps)
{
    for (std::size_t n : {0u, 499u, 500u, 501u, 40000u}) {
        dir.Write("OrlinAll.dat", ManyRecords(n, "http://h.example/"));
        LoadCacheDump(tp.platform, kDumpAll);
        ASSERT_EQ(iCacheCount(), n);
        if (n) {
            EXPECT_EQ(CacheRecords().front().Source, "http://h.example/0");
            EXPECT_EQ(CacheRecords().back().Source, "http://h.example/" + std::to_string(n - 1));
        }
    }
}

TEST_F(Loader, ShorterAfterLongerLeavesNoTrace)
{
    dir.Write("OrlinAll.dat", ManyRecords(600, "http://long.example/"));
    LoadCacheDump(tp.platform, kDumpAll);
    ASSERT_EQ(iCacheCount(), 600u);
    dir.Write("OrlinAll.dat", ManyRecords(2, "http://short.example/"));
    LoadCacheDump(tp.platform, kDumpAll);
    ASSERT_EQ(iCacheCount(), 2u);
    EXPECT_EQ(CacheRecords()[1].Source, "http://short.example/1");
    EXPECT_TRUE(SearchCacheRecords(CacheRecords(), "long", {}).empty());
}

TEST_F(Loader, MissingFileLoadsEmptyAndTruncatedKeepsCompleteRecords)
{
    dir.Write("OrlinAll.dat", ManyRecords(3, "http://x.example/"));
    LoadCacheDump(tp.platform, kDumpAll);
    ASSERT_EQ(iCacheCount(), 3u);
    LoadCacheDump(tp.platform, kDumpCookies);  // no cookie dump in the folder
    EXPECT_EQ(iCacheCount(), 0u);

    const std::string two = ManyRecords(2, "http://t.example/");
    const std::string third = DumpRecord("http://t.example/2", "/f", "H1\r\nH2");
    // Cut the third record at every byte: the two complete records always stay.
    for (std::size_t cut = 1; cut < third.size() - 1; ++cut) {
        dir.Write("OrlinAll.dat", two + third.substr(0, cut));
        LoadCacheDump(tp.platform, kDumpAll);
        ASSERT_EQ(iCacheCount(), 2u) << "cut at " << cut;
        EXPECT_EQ(CacheRecords()[1].Source, "http://t.example/1");
    }
    dir.Write("OrlinAll.dat", two + third.substr(0, third.size() - 1));  // "@" without its LF
    LoadCacheDump(tp.platform, kDumpAll);
    EXPECT_EQ(iCacheCount(), 3u);
}

// A reload reads into the blocks of the load it replaces, so the bytes past the new file's
// end are still the old file's: here the rest of the record that the new file cuts short,
// with a stray byte at the cut. A reader that looked past the end would complete that
// record, or lose the last one, whose closing "@" ends the file without its LF.
TEST_F(Loader, AReloadSeesNothingOfTheLongerDumpBeforeIt)
{
    const std::string two = ManyRecords(2, "http://t.example/");
    const std::string third = DumpRecord("http://t.example/2", "/f", "H1\r\nH2");
    for (std::size_t cut = 0; cut < third.size(); ++cut) {
        dir.Write("OrlinAll.dat", two + third.substr(0, cut) + "X" + third.substr(cut) +
                                      ManyRecords(300, "http://u.example/"));
        LoadCacheDump(tp.platform, kDumpAll);
        ASSERT_GT(iCacheCount(), 100u);
        dir.Write("OrlinAll.dat", two + third.substr(0, cut));
        LoadCacheDump(tp.platform, kDumpAll);
        const bool whole = cut == third.size() - 1;  // all but the last LF
        ASSERT_EQ(iCacheCount(), whole ? 3u : 2u) << "cut at " << cut;
        EXPECT_EQ(CacheRecords()[1].Source, "http://t.example/1");
        EXPECT_EQ(CacheRecords()[1].Header, "\r\nN\\A\r\n");
        if (whole) {
            EXPECT_EQ(CacheRecords()[2].Header, "\r\nH1\r\nH2\r\n");
        }
    }
}

namespace {

// The dump format read the plain way: lines split at LF with one CR before it dropped; five
// value lines, a separator line, header lines up to the line that is exactly "@".
std::vector<std::vector<std::string>> PlainReading(const std::string& bytes)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t lf = bytes.find('\n', at);
        std::string line = bytes.substr(at, lf == std::string::npos ? std::string::npos : lf - at);
        if (lf != std::string::npos && !line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        at = lf == std::string::npos ? bytes.size() : lf + 1;
    }
    std::vector<std::vector<std::string>> records;
    for (std::size_t i = 0; i + 6 <= lines.size();) {
        std::vector<std::string> r(lines.begin() + static_cast<std::ptrdiff_t>(i),
                                   lines.begin() + static_cast<std::ptrdiff_t>(i + 5));
        std::string header = "\r\n";
        std::size_t h = i + 6;
        while (h < lines.size() && lines[h] != "@")
            header += lines[h++] + "\r\n";
        if (h == lines.size())
            break;
        r.push_back(header);
        records.push_back(r);
        i = h + 1;
    }
    return records;
}

}  // namespace

// The loader turns a header block into its CR LF text in the file's own bytes where that
// fits: every shape of block (bare LF and CR LF lines, short and long separator and closing
// lines, a file that ends without its last LF) reads as the plain reading says, and so does
// the file cut at every byte.
TEST_F(Loader, HeaderTextsAreThoseOfAPlainReadingWhateverTheirShape)
{
    const std::vector<std::string> blocks = {
        "N\\A\n",
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n\n",
        "a\nb\n",
        "a\nb\nc\n",
        "a\nb\nc\nd\ne\n",
        "\n\n\n\n",
        "a\r\n\r\nb\n\r\n",
        "",
        "x\r",
    };
    const std::vector<std::string> separators = {"@\n", "\n", "@\r\n", "a separator line of some length\n"};
    const std::vector<std::string> closings = {"@\n", "@\r\n"};
    std::string dump;
    std::size_t n = 0;
    for (const auto& block : blocks)
        for (const auto& separator : separators)
            for (const auto& closing : closings)
                dump += "http://h.example/" + std::to_string(n++) + "\n/f\n1\n1/1/2001\n2/2/2002\n" + separator +
                        block + closing;
    dump += "http://last.example/\nN\\A\n0\n1/1/1601\n1/1/1601\n@\na\nb\nc\n@";  // no LF after the "@"

    const auto check = [&](const std::string& bytes, const std::string& label) {
        dir.Write("OrlinAll.dat", bytes);
        bool truncated = false;
        const CacheDump got = ReadCacheDump(dir.file("OrlinAll.dat"), &truncated);
        const auto want = PlainReading(bytes);
        ASSERT_EQ(got.size(), want.size()) << label;
        for (std::size_t i = 0; i < got.size(); ++i) {
            const CacheRecord& r = got[i];
            const std::vector<std::string_view> fields = {r.Source, r.Location, r.HitRate, r.Expires, r.Accessed, r.Header};
            for (std::size_t f = 0; f < fields.size(); ++f)
                ASSERT_EQ(fields[f], want[i][f]) << label << ", record " << i << ", field " << f;
        }
    };
    check(dump, "whole");
    for (std::size_t cut = 0; cut < dump.size(); cut += 1)
        check(dump.substr(0, cut), "cut at " + std::to_string(cut));
}

namespace {

// Reads that bring at most 61 bytes each: the loader's parse then catches up with the reading
// at every piece and waits for it.
class TrickleReads final : public PosixFileCalls {
public:
    long Pread(int fd, void* buf, std::size_t count, std::int64_t offset) override
    {
        return FileCalls::Pread(fd, buf, std::min<std::size_t>(count, 61), offset);
    }
};

}  // namespace

// A dump of several megabytes is read in pieces, by two threads each a half, while the
// records are taken from what has arrived: records that straddle the pieces and the halves
// read as the plain reading says, and so does the file cut around those boundaries, when the
// reading runs ahead of the parse and when it trickles in behind it.
TEST_F(Loader, ABigDumpReadInPiecesIsThatOfAPlainReading)
{
    const std::vector<std::string> blocks = {"N\\A\n", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n\n",
                                             "a\nb\nc\n", "x\r\ny\n"};
    std::string dump;
    for (std::size_t n = 0; dump.size() < (std::size_t{5} << 20); ++n)
        dump += "http://h.example/" + std::string(n % 97, 'p') + std::to_string(n) + "\n/f\n1\n1/1/2001\n2/2/2002\n@\n" +
                blocks[n % blocks.size()] + "@\n";
    TrickleReads trickle;
    const auto check = [&](std::size_t cut, FileCalls* calls) {
        const std::string bytes = dump.substr(0, cut);
        dir.Write("OrlinAll.dat", bytes);
        bool truncated = false;
        const CacheDump got = ReadCacheDump(dir.file("OrlinAll.dat"), &truncated, {}, calls);
        const auto want = PlainReading(bytes);
        ASSERT_EQ(got.size(), want.size()) << "cut at " << cut;
        for (std::size_t i = 0; i < want.size(); ++i) {
            const CacheRecord& r = got[i];
            const std::vector<std::string_view> fields = {r.Source, r.Location, r.HitRate, r.Expires, r.Accessed, r.Header};
            for (std::size_t f = 0; f < fields.size(); ++f)
                ASSERT_EQ(fields[f], want[i][f]) << "cut at " << cut << ", record " << i << ", field " << f;
        }
    };
    const std::size_t half = dump.size() / 2;
    for (FileCalls* calls : {static_cast<FileCalls*>(nullptr), static_cast<FileCalls*>(&trickle)})
        for (std::size_t cut : {dump.size(), dump.size() - 1, half - 1, half, half + 1, half + 37,
                                std::size_t{64} << 10, (std::size_t{64} << 10) + 1, (std::size_t{320} << 10) - 1,
                                std::size_t{4} << 20})
            check(cut, calls);
}

TEST(CacheTypeText, ExactTextChoosesTheDump)
{
    EXPECT_EQ(DumpTypeFromCacheTypeText("Cookies:"), kDumpCookies);
    EXPECT_EQ(DumpTypeFromCacheTypeText("Visited:"), kDumpVisited);
    EXPECT_EQ(DumpTypeFromCacheTypeText("Entire Cache"), kDumpAll);
    EXPECT_EQ(DumpTypeFromCacheTypeText("visited:"), kDumpCookies);
    EXPECT_EQ(DumpTypeFromCacheTypeText("entire cache"), kDumpCookies);
    EXPECT_EQ(DumpTypeFromCacheTypeText(""), kDumpCookies);
}

// ---- Search ----

namespace {

// A record's texts view what a loaded dump holds; here they view strings kept for the test
// program's whole run.
std::string_view Kept(std::string text)
{
    static std::deque<std::string> kept;
    return kept.emplace_back(std::move(text));
}

CacheRecord Rec(std::string source, std::string location = "N\\A", std::string header = "\r\nN\\A\r\n",
                std::string hits = "0", std::string expires = "1/1/1601", std::string accessed = "1/1/1601")
{
    return {Kept(std::move(source)), Kept(std::move(location)), Kept(std::move(hits)),
            Kept(std::move(expires)), Kept(std::move(accessed)), Kept(std::move(header))};
}

struct SearchCase {
    const char* text;
    bool matchCase;
    bool wholeWord;
    std::vector<std::size_t> hits;
};

}  // namespace

TEST(CacheSearchCases, TableOfSearchTexts)
{
    const std::vector<CacheRecord> records = {
        Rec("http://a.example/logo.jpg"),                                                    // 0
        Rec("http://a.example/anim.GIF"),                                                    // 1
        Rec("Cookie:tester@ad.example/", "/c/tester@ad[1].txt"),                             // 2
        Rec("Cookie:tester@news.example/"),                                                  // 3
        Rec("http://b.example/page", "N\\A", "\r\nHTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"),  // 4
        Rec("http://c.example/", "/cache/c.htm", "\r\nN\\A\r\n", "4242", "3/5/2001", "7/4/2003"),   // 5
        Rec("http://d.example/example", "N\\A", "\r\nX-Note: a and b\r\n"),                   // 6
        Rec("http://e.example/Caf\xC9/menu", "/cache/caf\xE9.htm"),                            // 7
        Rec("http://f.example/exam_1"),                                                      // 8
    };
    const std::vector<SearchCase> cases = {
        {"jpg OR gif", false, false, {0, 1}},
        {"cookie AND ad", false, false, {2}},
        {"Cookie:", false, false, {2, 3}},  // a term at the very first character
        {"a.example AND jpg OR news", false, false, {0, 3}},
        {"a and b", false, false, {6}},      // lower-case "and" is part of the term
        {"jpg  AND   logo", false, false, {0}},  // spaces around the operator are trimmed
        {"   jpg   ", false, false, {0}},
        {"GIF", true, false, {1}},
        {"gif", true, false, {}},
        {"EXAMPLE", true, false, {}},
        {"exam", false, true, {}},       // "example" and "exam_1" are not the whole word
        {"example", false, true, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"Content-Type", false, false, {4}},  // through the header
        {"text/HTML", false, true, {4}},
        {"7/4/2003", false, false, {5}},      // through a date
        {"4242", false, true, {5}},           // through the hit rate
        {"424", false, true, {}},
        {"/cache/c.htm", false, false, {5}},  // through the location
        {"caf\xE9", false, false, {7}},       // Latin-1 letters fold
        {"Caf\xC9", true, false, {7}},
        {"caf\xC9", true, false, {}},
        {"caf", false, true, {}},  // "É" is a letter: no word ends before it
        {"jpg OR ", false, false, {0}},        // empty groups and terms are ignored
        {" OR jpg", false, false, {0}},
        {"jpg AND ", false, false, {0}},
        {"jpg OR  OR gif", false, false, {0, 1}},
        {" OR ", false, false, {}},          // only operators: nothing
        {"  AND  OR  ", false, false, {}},
        {"", false, false, {}},
        {"jpg or gif", false, false, {}},    // lower-case "or" is part of the term
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SearchCacheRecords(records, c.text, {c.matchCase, c.wholeWord}), c.hits)
            << "search text [" << c.text << "] case " << c.matchCase << " word " << c.wholeWord;
    }
}

TEST(CacheSearchCases, TableOfUtf8SearchTexts)
{
    const std::vector<CacheRecord> records = {
        Rec("http://a.example/CAF\u00C9/menu"),      // 0 CAFÉ
        Rec("http://b.example/caf\u00E9"),           // 1 café
        Rec("http://c.example/\u3A40"),              // 2 a CJK character whose bytes fold like "é" in Latin-1
        Rec("http://d.example/\u03A3\u039F\u03A6\u0399\u0391"),  // 3 ΣΟΦΙΑ
        Rec("http://e.example/\u03BF\u03B4\u03BF\u03C2"),  // 4 οδος, with final sigma
        Rec("http://f.example/\u0434\u043E\u043C\u0438\u043A"),  // 5 домик
        Rec("http://g.example/", "N\\A", "\r\nX-Title: \u043C\u043E\u0439 \u0434\u043E\u043C.\r\n"),  // 6 мой дом.
        Rec("http://h.example/Stra\u00DFe"),         // 7 Straße
        Rec("http://i.example/\xFF\xA9/raw"),        // 8 bytes that are no UTF-8
    };
    const std::vector<SearchCase> cases = {
        {"caf\u00E9", false, false, {0, 1}},         // café finds CAFÉ: characters fold, not bytes
        {"CAF\u00C9", false, false, {0, 1}},
        {"CAF\u00C9", true, false, {0}},
        {"\u00E9", false, false, {0, 1}},            // é: not the CJK character
        {"\u03C3\u03BF\u03C6\u03B9\u03B1", false, false, {3}},  // σοφια
        {"\u039F\u0394\u039F\u03A3", false, false, {4}},  // ΟΔΟΣ finds οδος
        {"\u043E\u043C", false, false, {5, 6}},     // ом inside домик and дом
        {"\u043E\u043C", false, true, {}},          // but not as a word: д is a letter
        {"\u0434\u043E\u043C", false, true, {6}},  // дом as a word, before "."
        {"\u0434\u043E\u043C", true, true, {6}},
        {"\u0414\u041E\u041C", false, true, {6}},  // ДОМ
        {"caf", false, true, {}},                    // "É" and "é" are letters
        {"caf", false, false, {0, 1}},
        {"STRASSE", false, false, {}},               // simple folding: ß stays one letter
        {"stra\u00DFe", false, true, {7}},
        {"\xA9", false, false, {8}},                 // a stray byte matches itself only
        {"\xFF\xA9", true, false, {8}},
        {"example AND caf\u00E9", false, false, {0, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SearchCacheRecords(records, c.text, {c.matchCase, c.wholeWord, TextEncoding::Utf8}), c.hits)
            << "search text [" << c.text << "] case " << c.matchCase << " word " << c.wholeWord;
    }
    // The same bytes searched as Latin-1 show the fault that folding by bytes has in UTF-8.
    EXPECT_EQ(SearchCacheRecords(records, "caf\u00E9", {}), (std::vector<std::size_t>{1}));
}

TEST(CacheSearchCases, Utf8FindTextAtEveryPosition)
{
    const std::string upper = "J\u00C9G";  // JÉG
    const std::string term = FoldCase("j\u00E9g", TextEncoding::Utf8);
    const MatchOptions folded{false, false, TextEncoding::Utf8};
    const MatchOptions word{false, true, TextEncoding::Utf8};
    for (std::size_t at = 0; at <= 40; ++at) {
        std::string t = std::string(at, 'x') + upper + std::string(40 - at, 'x') + "\u0416";  // Ж keeps it UTF-8
        EXPECT_EQ(FindText(t, term, folded), at);
        EXPECT_EQ(FindText(t, term, word), std::string::npos);
        if (at > 0)
            t[at - 1] = ' ';
        t.replace(at + upper.size(), 1, "\u00B7");  // a middle dot is no letter
        EXPECT_EQ(FindText(t, term, word), at);
        EXPECT_EQ(FindText(t, term, folded, at + 1), std::string::npos);
    }
}

TEST(CacheSearchCases, AndBindsTighterThanOr)
{
    auto r = [](const char* s) { return Rec(s, "-", "\r\n-\r\n"); };
    const std::vector<CacheRecord> records = {r("a b"), r("a"), r("b"), r("c"), r("b c")};
    EXPECT_EQ(SearchCacheRecords(records, "a AND b OR c", {false, true}), (std::vector<std::size_t>{0, 3, 4}));
    CacheSearch s("a AND b OR c", {});
    ASSERT_EQ(s.groups().size(), 2u);
    EXPECT_EQ(s.groups()[0], (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(s.groups()[1], (std::vector<std::string>{"c"}));
}

TEST(CacheSearchCases, FindTextAgreesWithANaiveSearch)
{
    // Every position and letter case around the 16-byte blocks of the fast path.
    std::string text(70, 'x');
    for (std::size_t at = 0; at + 3 <= text.size(); ++at) {
        std::string t = text;
        t.replace(at, 3, at % 2 ? "J\xC9G" : "j\xE9g");
        EXPECT_EQ(FindText(t, FoldCase("J\xC9G"), {}), at);
        EXPECT_EQ(FindText(t, "J\xC9G", {true, false}), at % 2 ? at : std::string::npos);
        EXPECT_EQ(FindText(t, FoldCase("J\xC9G"), {false, true}), std::string::npos);  // "x" touches it
        t[at == 0 ? 3 : at - 1] = '-';
        if (at + 3 < t.size())
            t[at + 3] = '.';
        EXPECT_EQ(FindText(t, FoldCase("j\xE9g"), {false, true}), at);
    }
    // "@" and "`" differ only in the bit the filter ignores: no false match.
    EXPECT_EQ(FindText(std::string(20, '-') + "a@b" + std::string(20, '-'), "a`b", {}), std::string::npos);
    EXPECT_EQ(FindText("\xD7", FoldCase("\xF7"), {}), std::string::npos);  // × and ÷ are not a pair
}

TEST(CacheSearchCases, MatchCacheRecordUsesTheLoadedRecords)
{
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    dir.Write("OrlinAll.dat", DumpRecord("http://one.example/") + DumpRecord("http://two.example/"));
    LoadCacheDump(tp.platform, kDumpAll);
    EXPECT_FALSE(MatchCacheRecord(0, "two", {}));
    EXPECT_TRUE(MatchCacheRecord(1, "two", {}));
    EXPECT_FALSE(MatchCacheRecord(2, "example", {}));  // beyond the loaded records
    ReleaseCacheRecords();
    EXPECT_EQ(iCacheCount(), 0u);
}

// ---- Report ----

TEST(CacheReport, HeadingThenEveryResultInListOrder)
{
    const std::vector<CacheRecord> records = {
        Rec("http://a/", "/f/a", "\r\nH1\r\n\r\n", "9", "3/5/2001", "2/1/2001"),
        Rec("http://b/", "N\\A", "\r\nN\\A\r\n", "1", "1/1/1601", "4/4/2004"),
    };
    EXPECT_EQ(CacheSearchReport("12/10/26", "8:40 AM", "a OR b", {}, records),
              " \r\n \r\n12/10/26  8:40 AM\r\nSearch Paramaters: a OR b\r\n \r\n");
    EXPECT_EQ(CacheSearchReport("d", "t", "x", {1, 0, 5}, records),
              " \r\n \r\nd  t\r\nSearch Paramaters: x\r\n \r\n"
              " \r\nSource: http://b/\r\nFile Location: N\\A\r\nAccessed: 4/4/2004\r\nExpires: 1/1/1601\r\n"
              "Header: \r\n\r\n\r\nN\\A\r\n"
              " \r\nSource: http://a/\r\nFile Location: /f/a\r\nAccessed: 2/1/2001\r\nExpires: 3/5/2001\r\n"
              "Header: \r\n\r\n\r\nH1\r\n\r\n");
}
