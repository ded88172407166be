#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "cookies/MCookieEditor.h"
#include "platform/inetcache/InetCache.h"
#include "host/MActivityReport.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

std::string CookieRecord(const std::string& source, const std::string& file = "N\\A",
                         const std::string& expires = "3/5/2031", const std::string& header = "N\\A")
{
    return source + "\n" + file + "\n1\n" + expires + "\n12/31/2024\n@\n" + header + "\n@\n";
}

class CookieDump : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    void SetUp() override { tp.platform.programFolder = dir.folder(); tp.platform.storeFolder = dir.storeFolder(); }
    void TearDown() override { ReleaseCookieTables(); }
};

}  // namespace

TEST_F(CookieDump, KeepsSourceFileAndDatesAndReplacesWhatIsNoDate)
{
    dir.Write("OrlinCookie.dat", CookieRecord("Cookie:tester@a.example/", "/c/a.txt", "1/1/1601") +
                                     CookieRecord("Cookie:tester@b.example/x/", "N\\A", "N\\A") +
                                     CookieRecord("Cookie:tester@c.example/", "/c/c.txt", "") +
                                     CookieRecord("Cookie:tester@d.example/", "/c/d.txt", "2/30/2024") +
                                     CookieRecord("Cookie:tester@a.example/", "/c/a.txt", "12/31/2030"));
    EXPECT_EQ(LoadCookieDump(tp.platform), DumpLoad::Complete);
    ASSERT_EQ(iCookieCount(), 5u);
    const auto& e = CookieEntries();
    EXPECT_EQ(e[0].Source, "Cookie:tester@a.example/");
    EXPECT_EQ(e[0].FileName, "/c/a.txt");
    EXPECT_EQ(e[0].Expires, "1/1/1601");
    EXPECT_EQ(e[0].Accessed, "12/31/2024");
    EXPECT_EQ(e[1].FileName, "N\\A");
    EXPECT_EQ(e[1].Expires, "12/31/9999");
    EXPECT_EQ(e[2].Expires, "12/31/9999");
    EXPECT_EQ(e[3].Expires, "12/31/9999");  // no such day
    EXPECT_EQ(e[4].Source, e[0].Source);    // listed twice: two entries
    EXPECT_EQ(e[4].Expires, "12/31/2030");
}

TEST_F(CookieDump, RecordCountsAroundTheOldGrowthStepLoseNothing)
{
    for (std::size_t n : {0u, 499u, 500u, 501u, 1000u}) {
        std::string dump;
        for (std::size_t i = 0; i < n; ++i)
            dump += CookieRecord("Cookie:tester@s" + std::to_string(i) + ".example/");
        dir.Write("OrlinCookie.dat", dump);
        EXPECT_EQ(LoadCookieDump(tp.platform), DumpLoad::Complete) << n;
        ASSERT_EQ(iCookieCount(), n);
        if (n > 0) {
            EXPECT_EQ(CookieEntries()[n - 1].Source, "Cookie:tester@s" + std::to_string(n - 1) + ".example/");
            EXPECT_EQ(CookieEntries()[n / 2].Source, "Cookie:tester@s" + std::to_string(n / 2) + ".example/");
        }
    }
}

TEST_F(CookieDump, AnAtLineInsideAHeaderEndsTheRecordThere)
{
    dir.Write("OrlinCookie.dat", CookieRecord("Cookie:tester@a.example/", "/c/a.txt", "3/5/2031", "X-One\n@\nX-Two") +
                                     CookieRecord("Cookie:tester@b.example/"));
    // The lines after the inner "@" are read as the next record: "X-Two" is its source.
    LoadCookieDump(tp.platform);
    ASSERT_GE(iCookieCount(), 2u);
    EXPECT_EQ(CookieEntries()[0].Source, "Cookie:tester@a.example/");
    EXPECT_EQ(CookieEntries()[1].Source, "X-Two");
    EXPECT_EQ(CookieEntries()[1].FileName, "@");
}

TEST_F(CookieDump, MissingOrCutDumpLoadsWhatItHolds)
{
    EXPECT_EQ(LoadCookieDump(tp.platform), DumpLoad::Missing);
    EXPECT_EQ(iCookieCount(), 0u);

    const std::string one = CookieRecord("Cookie:tester@a.example/", "/c/a.txt");
    const std::string dump = one + CookieRecord("Cookie:tester@b.example/", "/c/b.txt");
    for (std::size_t cut = 0; cut <= dump.size(); ++cut) {
        dir.Write("OrlinCookie.dat", dump.substr(0, cut));
        const DumpLoad outcome = LoadCookieDump(tp.platform);
        // A record counts once its closing "@" line is there (its LF may be missing).
        const std::size_t whole = cut >= dump.size() - 1 ? 2 : cut >= one.size() - 1 ? 1 : 0;
        ASSERT_EQ(iCookieCount(), whole) << "cut at " << cut;
        const bool atBoundary = cut == 0 || cut == one.size() || cut == one.size() - 1 || cut >= dump.size() - 1;
        EXPECT_EQ(outcome, atBoundary ? DumpLoad::Complete : DumpLoad::Truncated) << "cut at " << cut;
        if (whole > 0) {
            EXPECT_EQ(CookieEntries()[0].FileName, "/c/a.txt");
        }
    }
}

TEST(DumpDate, RecognisesMonthDayYearOnly)
{
    struct Case {
        const char* text;
        bool date;
    } cases[] = {{"1/1/1601", true},   {"12/31/9999", true}, {"02/29/2024", true}, {"2/29/2023", false},
                 {"13/1/2024", false}, {"0/1/2024", false},  {"1/0/2024", false},  {"N\\A", false},
                 {"", false},          {"1/1/24", false},    {"1-1-2024", false},  {"1/1/2024 ", false},
                 {"/1/2024", false},   {"1//2024", false}};
    for (const Case& c : cases)
        EXPECT_EQ(RecognizeDumpDate(c.text).has_value(), c.date) << c.text;
    const auto d = RecognizeDumpDate("3/5/2002");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->year, 2002);
    EXPECT_EQ(d->month, 3);
    EXPECT_EQ(d->day, 5);
}

TEST(ExpiryText, DayNameDayMonthNameYearAtMidnightGmt)
{
    struct Case {
        CalendarDate date;
        const char* text;
    } cases[] = {
        {{2005, 1, 1}, "Sat,1-Jan-2005 00:00:00 GMT"},
        {{2003, 12, 24}, "Wed,24-Dec-2003 00:00:00 GMT"},
        {{2002, 3, 5}, "Tue,5-Mar-2002 00:00:00 GMT"},
        {{2004, 2, 29}, "Sun,29-Feb-2004 00:00:00 GMT"},  // leap day
        {{2000, 3, 1}, "Wed,1-Mar-2000 00:00:00 GMT"},    // after a century's leap day
        {{9999, 12, 31}, "Fri,31-Dec-9999 00:00:00 GMT"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpiryText(c.date), c.text);
}

TEST(CookieString, SplitsIntoTrimmedNamesAndValues)
{
    struct Case {
        const char* text;
        std::vector<LiveCookie> entries;
    } cases[] = {
        {"a=1; b=2", {{"a", "1"}, {"b", "2"}}},
        {"a=1;", {{"a", "1"}, {"", ""}}},
        {"tok=x=y==", {{"tok", "x=y=="}}},
        {"lonely; b = 2 ", {{"lonely", ""}, {"b", "2"}}},
        {";;", {{"", ""}, {"", ""}, {"", ""}}},
        {"=v", {{"", "v"}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        const LiveCookieTable t = SplitCookieString(c.text);
        ASSERT_EQ(t.entries.size(), c.entries.size()) << c.text;
        EXPECT_EQ(t.scanned, c.entries.size()) << c.text;
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(t.entries[i].Name, c.entries[i].Name) << c.text << " slot " << i;
            EXPECT_EQ(t.entries[i].Value, c.entries[i].Value) << c.text << " slot " << i;
        }
    }
    const LiveCookieTable e = SplitCookieString(kCookieErrorText);
    ASSERT_EQ(e.entries.size(), 3u);
    EXPECT_EQ(e.scanned, 2u);
    EXPECT_EQ(e.entries[0].Name, "");
    EXPECT_EQ(e.entries[1].Name, kCookieErrorText);
    EXPECT_EQ(e.entries[1].Value, kCookieErrorText);
    EXPECT_EQ(e.entries[2].Name, "");
}

TEST(OwnCookie, UserPartAgainstTheLowerCasedLoginName)
{
    test::TestPlatform tp;
    tp.user.name = "Tester";
    struct Case {
        const char* source;
        bool own;
    } cases[] = {
        {"Cookie:tester@a.example/", true},
        {"Cookie:anyuser@a.example/", true},
        {"Cookie:Tester@a.example/", false},  // only the login name is lower-cased
        {"Cookie:other@a.example/", false},
        {"Cookie:tester", false},             // no "@": no user named
        {"Cookie:", false},
        {"http://a.example/", true},          // not a cookie source at all
        {"cookie:other@a.example/", true},    // the search is case-sensitive
        {"Cookie:tester@x@y/", true},         // the first "@" ends the user part
        {"Cookie:@a.example/", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsOwnCookie(tp.platform, c.source), c.own) << c.source;
}

TEST(CookieUrl, TextAfterTheFirstAtWithOneClosingSlash)
{
    EXPECT_EQ(CookieUrl("Cookie:tester@a.example/dir/"), "http://a.example/dir/");
    EXPECT_EQ(CookieUrl("Cookie:tester@a.example/dir"), "http://a.example/dir/");
    EXPECT_EQ(CookieUrl("a.example"), "http://a.example/");
    EXPECT_EQ(CookieUrl("Cookie:tester@x@y/"), "http://x@y/");
    EXPECT_EQ(CookieData("", "Sat,1-Jan-2005 00:00:00 GMT"), "; expires = Sat,1-Jan-2005 00:00:00 GMT");
}

TEST(CookieFile, RecordsEndAtTheStarLine)
{
    auto nine = [](const std::string& n, const std::string& v) { return n + "\n" + v + "\nh/\n1024\n1\n2\n3\n4\n*\n"; };
    auto file = ParseCookieFileText(nine("a", "1") + nine("b", "2"));
    ASSERT_EQ(file.size(), 2u);
    EXPECT_EQ(file[1].Name, "b");
    EXPECT_EQ(file[1].Value, "2");
    // The store's nine lines give the expiry: its low and high words.
    EXPECT_EQ(file[1].Expiry, 1u | (2ull << 32));

    // A value line "*" ends its record; the next line starts the next one.
    file = ParseCookieFileText("a\n*\nb\n2\n*\r\n");
    ASSERT_EQ(file.size(), 2u);
    EXPECT_EQ(file[0].Value, "*");
    EXPECT_EQ(file[0].Expiry, 0u);
    EXPECT_EQ(file[1].Name, "b");

    // Cut inside a record: what it holds stays.
    file = ParseCookieFileText(nine("a", "1") + "b\n2\nh/\n");
    ASSERT_EQ(file.size(), 2u);
    EXPECT_EQ(file[1].Value, "2");
    file = ParseCookieFileText("a");
    ASSERT_EQ(file.size(), 1u);
    EXPECT_EQ(file[0].Value, "");

    std::string many;
    for (int i = 0; i < 21; ++i)
        many += nine("c" + std::to_string(i), std::to_string(i));
    EXPECT_EQ(ParseCookieFileText(many).size(), 21u);
    EXPECT_TRUE(ParseCookieFileText("").empty());
}

TEST_F(CookieDump, LoadCookieFileOfAMissingFileIsEmpty)
{
    dir.Write("c.txt", "a\n1\n*\n");
    LoadCookieFile(dir.file("c.txt"));
    ASSERT_EQ(FileCookies().size(), 1u);
    LoadCookieFile(dir.file("gone.txt"));
    EXPECT_TRUE(FileCookies().empty());
}

// ---- on the real store ----

TEST_F(CookieDump, SetCookieLogsEitherFormAndTheStoreAnswers)
{
    const std::string url = "http://shop.example/";
    EXPECT_EQ(GetCookie(tp.platform, url, "cart"), kCookieErrorText);

    const std::string data = CookieData("42", "Fri,31-Dec-2100 00:00:00 GMT");
    EXPECT_EQ(SetCookie(tp.platform, url, "cart", data), SetOutcome::Set);
    EXPECT_EQ(ReadActivityLog(tp.platform),
              "Source: http://shop.example/\r\nName: cart\r\nValue: 42; expires = Fri,31-Dec-2100 00:00:00 GMT\r\n");
    EXPECT_EQ(GetCookie(tp.platform, url, "cart"), "cart=42");

    ResetActivityLog(tp.platform);
    EXPECT_EQ(SetCookie(tp.platform, "no url", "cart", data), SetOutcome::Refused);
    EXPECT_EQ(ReadActivityLog(tp.platform), "\r\n\r\nERROR SETTING COOKIE:\r\nSource: no url\r\nName: cart\r\nValue: " +
                                                data + "\r\n");

    // Yesterday's date removes it; a second time there is nothing to remove, which is no success.
    const std::string past = CookieData("42", "Sat,1-Jan-2005 00:00:00 GMT");
    EXPECT_EQ(SetCookie(tp.platform, url, "cart", past), SetOutcome::Set);
    EXPECT_EQ(GetCookie(tp.platform, url, "cart"), kCookieErrorText);
    ResetActivityLog(tp.platform);
    EXPECT_EQ(SetCookie(tp.platform, url, "cart", past), SetOutcome::NothingFound);
    EXPECT_EQ(ReadActivityLog(tp.platform), "\r\n\r\nCOOKIE NOT IN THE STORE - nothing removed:\r\nSource: " + url +
                                                "\r\nName: cart\r\nValue: " + past + "\r\n");
}

TEST_F(CookieDump, LiveTextLongerThanTheOldBufferComesWhole)
{
    const std::string url = "http://big.example/";
    const std::string value(3000, 'v');
    for (const char* name : {"a", "b", "c"})
        ASSERT_EQ(SetCookie(tp.platform, url, name, CookieData(value, "Fri,31-Dec-2100 00:00:00 GMT")), SetOutcome::Set);
    const std::string live = GetCookie(tp.platform, url, "a");
    EXPECT_EQ(live, "a=" + value + "; b=" + value + "; c=" + value);
    ParseCookieString(TrimBlanks(live));
    ASSERT_EQ(LiveCookies().scanned, 3u);
    EXPECT_EQ(LiveCookies().entries[2].Name, "c");
    EXPECT_EQ(LiveCookies().entries[2].Value, value);
}
