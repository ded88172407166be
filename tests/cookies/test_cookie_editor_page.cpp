// The Cookie Editor page in a real main window, with the real runner, UrlHound and store,
// driven through its own buttons.
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

#include "cookies/CookieEditorPage.h"
#include "cookies/MCookieEditor.h"
#include "platform/FileTime.h"
#include "platform/TextFile.h"
#include "platform/inetcache/InetCache.h"
#include "platform/qt/QtText.h"
#include "host/MActivityReport.h"
#include "host/MRunUrlHound.h"
#include "shell/frmMain.h"
#include "host/frmRefreshingCache.h"
#include "host/TextListView.h"
#include "support/GuiTestSupport.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

const std::string kFuture = "Fri,31-Dec-2100 00:00:00 GMT";

// The real runner; a hook may act while the tool runs, as a click would in a message run.
class HookRunner final : public ProcessRunner {
public:
    void RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& folder) override
    {
        RunAndReport(argv, folder, {});
    }
    RunOutcome RunAndReport(const std::vector<std::string>& argv, const std::filesystem::path& folder,
                            const RunEnvironment& environment) override
    {
        ++runs;
        if (duringRun)
            duringRun();
        return real.RunAndReport(argv, folder, environment);
    }
    std::function<void()> duringRun;
    int runs = 0;
    PosixProcessRunner real;
};

std::vector<std::string> Lines(const QAbstractItemView* list)
{
    return test::ListLines(list);
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class CookieEditorPageTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    HookRunner runner;
    std::unique_ptr<frmMain> main;
    CookieEditorPage* page = nullptr;
    std::string user = test::kTestUser;

    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.platform.runner = &runner;
        tp.user.name = user;
        dir.WithUrlHound();
    }
    void Start()
    {
        main = std::make_unique<frmMain>(tp.platform);
        main->show();
        main->Form_Load();
        main->SSTab1->setCurrentIndex(frmMain::kCookieEditor);
        page = &main->cookieEditorPage();
        ResetActivityLog(tp.platform);
    }
    void TearDown() override
    {
        main.reset();
        ReleaseCookieTables();
    }
    // At the page's own time, so that two runs write the same bytes.
    void Set(const std::string& host, const std::string& name, const std::string& value)
    {
        ASSERT_TRUE(inetcache::InternetSetCookie("http://" + host + "/", name, value + "; expires = " + kFuture,
                                                 inetcache::StoreAccessOf(tp.platform)));
    }
    // Every row of the index, and the bytes of the file each names; a cookie file's version
    // (random in its name) shows as "*".
    std::string StoreImage() const
    {
        const std::string rows = test::RunSqlite(dir.storeFolder(), "SELECT url, local_file, hit_rate, expire_time, "
                                                 "last_access_time FROM entries ORDER BY url;", {"-separator", "\t"});
        std::string image;
        for (std::size_t pos = 0, lf; (lf = rows.find('\n', pos)) != std::string::npos; pos = lf + 1) {
            std::string row = rows.substr(pos, lf - pos);
            const std::size_t t1 = row.find('\t'), t2 = row.find('\t', t1 + 1);
            const std::string file = row.substr(t1 + 1, t2 - t1 - 1);
            const std::string bytes = std::filesystem::exists(file) ? textfile::ReadAll(file) : "<no file>";
            if (file.size() > 7 && file[file.size() - 7] == '.')
                row.replace(t1 + 1 + file.size() - 6, 6, "*");
            image += row + "\n" + bytes;
        }
        return image;
    }
    std::string Source(const std::string& host) const { return "Cookie:" + user + "@" + host + "/"; }
    int Row(const std::string& source) const
    {
        const auto sources = Lines(page->CE_lstCookieSources);
        const auto it = std::find(sources.begin(), sources.end(), source);
        return it == sources.end() ? -1 : static_cast<int>(it - sources.begin());
    }
    void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    // What a run of deletions leaves: the log, the store, the page's lists and boxes (a cookie
    // file's version shows as "*"), and the UrlHound runs it took.
    struct Outcome {
        std::string log, store, sources, files, active, expired, name, value;
        int runs = 0;
    };
    Outcome Capture() const
    {
        const auto lines = [](const QAbstractItemView* list) {
            std::string out;
            for (const auto& line : Lines(list))
                out += line + "\n";
            return out;
        };
        Outcome o;
        o.log = Log();
        o.store = StoreImage();
        o.sources = lines(page->CE_lstCookieSources);
        for (const auto& line : Lines(page->CE_lstCookieFiles))
            o.files += line.substr(0, line.size() > 7 ? line.size() - 7 : 0) + "\n";
        o.active = lines(page->CE_lstCookieEntries);
        o.expired = lines(page->CE_lstExpiredCookies);
        o.name = page->CE_txtCookieName->toPlainText().toStdString();
        o.value = page->CE_txtCookieValue->text().toStdString();
        o.runs = runner.runs;
        return o;
    }
    // What a run left, with the window closed and the cookie tables let go for the next run.
    Outcome CaptureAndClose()
    {
        const Outcome o = Capture();
        main.reset();
        ReleaseCookieTables();
        return o;
    }
    static void ExpectSame(const Outcome& pass, const Outcome& single)
    {
        EXPECT_EQ(pass.log, single.log);
        EXPECT_EQ(pass.store, single.store);
        EXPECT_EQ(pass.sources, single.sources);
        EXPECT_EQ(pass.files, single.files);
        EXPECT_EQ(pass.active, single.active);
        EXPECT_EQ(pass.expired, single.expired);
        EXPECT_EQ(pass.name, single.name);
        EXPECT_EQ(pass.value, single.value);
    }
    std::string Log() const { return ReadActivityLog(tp.platform); }
};

}  // namespace

TEST_F(CookieEditorPageTest, OpensByFileListHiddenWithEveryCaptionAndFocusStop)
{
    Start();
    EXPECT_TRUE(page->CE_optViewBySource->isChecked());
    EXPECT_TRUE(page->CE_lstCookieSources->isVisible());
    EXPECT_FALSE(page->CE_lstCookieFiles->isVisible());
    EXPECT_FALSE(page->CE_txtTemp->isVisible());
    EXPECT_FALSE(page->CE_txtCookieSearch->isVisible());
    EXPECT_EQ(page->Label4->text().toStdString(),
              "WARNING:   This utility is intended to be used by persons knowledgable about the use,\n"
              "structure, and implimentation of cookies. Unless you know exactly what\n"
              "you are dooing it is unadvisable that you utilize this utility!");
    // The date picker covers the expiry text box.
    EXPECT_EQ(page->DTPicker1->geometry(), page->CE_txtDateExpires->geometry());
    EXPECT_EQ(page->CE_lstCookieEntries->accessibleName().toStdString(), "Active Entries:");
    EXPECT_EQ(page->CE_lstExpiredCookies->accessibleName().toStdString(), "Expired Entries:");
    EXPECT_EQ(page->DTPicker1->accessibleName().toStdString(), "Date File Expires:");
    EXPECT_EQ(page->CE_cmdDeleteFile->toolTip().toStdString(),
              "Remove all cookie entries in the current Source/File from the cache.");
    EXPECT_EQ(page->CE_cmdDeleteFile->property("helpContextId").toInt(), 415);
    // Focus order: the source and name boxes before the right-hand lists, the picker after the buttons.
    QWidget* w = page->CE_optViewBySource;
    std::vector<std::string> order;
    for (int i = 0; i < 80; ++i, w = w->nextInFocusChain())
        order.push_back(w->objectName().toStdString());
    const auto pos = [&](const char* n) { return std::find(order.begin(), order.end(), n) - order.begin(); };
    EXPECT_LT(pos("CE_txtCookieName"), pos("CE_lstCookieEntries"));
    EXPECT_LT(pos("CE_lstCookieEntries"), pos("CE_lstExpiredCookies"));
    EXPECT_LT(pos("CE_cmdDeleteFile"), pos("DTPicker1"));
}

TEST_F(CookieEditorPageTest, SetCookieThroughThePageListsItAsActiveWithItsValue)
{
    Start();
    page->CE_txtSource->setText(QString::fromStdString(Source("shop.example")));
    page->CE_txtCookieName->setPlainText("cart");
    page->CE_txtCookieValue->setText("42");
    page->DTPicker1->setDate(QDate(2100, 12, 31));
    Click(page->CE_cmdSetCookie);

    EXPECT_EQ(Log(), "\r\n\r\nCookie Editor: [Set Cookie] clicked\r\n\r\nSource: http://shop.example/\r\nName: cart\r\n"
                     "Value: 42; expires = Fri,31-Dec-2100 00:00:00 GMT\r\n");
    EXPECT_EQ(Lines(page->CE_lstCookieSources), std::vector<std::string>{Source("shop.example")});
    EXPECT_EQ(page->CE_txtSource->text().toStdString(), Source("shop.example"));
    ASSERT_EQ(Lines(page->CE_lstCookieEntries), std::vector<std::string>{"cart"});
    EXPECT_EQ(page->CE_txtCookieName->toPlainText().toStdString(), "cart");
    EXPECT_EQ(page->CE_txtCookieValue->text().toStdString(), "42");
    EXPECT_TRUE(Lines(page->CE_lstExpiredCookies).empty());
}

TEST_F(CookieEditorPageTest, DeleteCookieOnASourcesLastCookieSelectsTheFirstSource)
{
    Set("first.example", "a", "1");
    Set("last.example", "only", "x");
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row(Source("last.example")));
    ASSERT_EQ(page->CE_txtSource->text().toStdString(), Source("last.example"));
    Click(page->CE_cmdDeleteCookie);

    EXPECT_EQ(Lines(page->CE_lstCookieSources), std::vector<std::string>{Source("first.example")});
    EXPECT_EQ(page->CE_lstCookieSources->currentRow(), 0);
    EXPECT_EQ(page->CE_txtSource->text().toStdString(), Source("first.example"));
    EXPECT_EQ(GetCookie(tp.platform, "http://last.example/", ""), kCookieErrorText);
    // The boxes show the first source's cookie: the picker shows its date, not today's.
    EXPECT_EQ(page->CE_txtCookieName->toPlainText().toStdString(), "a");
    EXPECT_EQ(page->DTPicker1->date(), QDate(2100, 12, 31));
    EXPECT_EQ(Count(Log(), "ERROR"), 0u);
}

// A deletion pass puts the cookie files it rewrote on the disk at its end. When the disk
// refuses, the deletion stands but the log says that a crash may undo it.
TEST_F(CookieEditorPageTest, ADeletionThatCouldNotReachTheDiskSaysSo)
{
    class FailingSync final : public PosixFileCalls {
    public:
        bool failing = false;
        int Fdatasync(int fd) override
        {
            if (!failing)
                return PosixFileCalls::Fdatasync(fd);
            errno = EIO;
            return -1;
        }
    } calls;
    tp.platform.files = &calls;
    Set("two.example", "a", "1");
    Set("two.example", "b", "2");
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row(Source("two.example")));
    page->CE_lstCookieEntries->setCurrentRow(0);
    const std::string gone = page->CE_txtCookieName->toPlainText().toStdString();
    calls.failing = true;
    Click(page->CE_cmdDeleteCookie);
    calls.failing = false;

    EXPECT_EQ(GetCookie(tp.platform, "http://two.example/", ""), gone == "a" ? "b=2" : "a=1");
    const std::string log = Log();
    const std::string said = "DELETION ERROR:\r\nNot saved to the disk, so a crash may bring deleted cookies back "
                             "(Input/output error: " + (dir.storeFolder() / "Cookies").string() + "/";
    EXPECT_EQ(Count(log, said), 1u) << log;
    EXPECT_EQ(Count(log, "ERROR"), 1u) << log;

    // A pass that reached the disk says nothing.
    page->CE_lstCookieSources->setCurrentRow(Row(Source("two.example")));
    Click(page->CE_cmdDeleteCookie);
    EXPECT_EQ(Count(Log(), "ERROR"), 1u) << Log();
}

TEST_F(CookieEditorPageTest, DeleteFileExpiresEveryCookieOfTheSource)
{
    Set("keep.example", "k", "1");
    for (const char* n : {"a", "b", "c"})
        Set("three.example", n, "v");
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row(Source("three.example")));
    ASSERT_EQ(page->CE_lstCookieEntries->count(), 3);
    Click(page->CE_cmdDeleteFile);

    const std::string log = Log();
    EXPECT_EQ(Count(log, "Cookie Editor: [Delete File] clicked\r\n\r\nDeleting file\r\n"), 1u);
    EXPECT_EQ(Count(log, "Source: http://three.example/\r\nName: "), 3u);
    EXPECT_EQ(Count(log, "ERROR"), 0u);
    EXPECT_EQ(GetCookie(tp.platform, "http://three.example/", ""), kCookieErrorText);
    EXPECT_EQ(test::RunSqlite(dir.storeFolder(), "SELECT count(*) FROM entries WHERE url LIKE '%three.example%';"),
              "0\n");
    EXPECT_EQ(Row(Source("three.example")), -1);
    EXPECT_FALSE(main->bRefreshStolen);
    EXPECT_FALSE(main->refreshingCache()->isVisible());
    EXPECT_FALSE(main->refreshingCache()->Status->isVisible());
    EXPECT_TRUE(page->isEnabled());
}

TEST_F(CookieEditorPageTest, AnotherUsersSourceIsRefusedAndTheStoreIsUntouched)
{
    const auto file = dir.storeFolder() / "Cookies" / "other@their.example.txt";
    std::filesystem::create_directories(file.parent_path());
    textfile::WriteAll(file, "t\nsecret\ntheir.example/\n1024\n0\n999999999\n0\n0\n*\n");
    inetcache::CacheEntry e;
    e.sourceUrl = "Cookie:other@their.example/";
    e.localFileName = file.string();
    e.expireTime = *FileTimeFromUtc(2100, 1, 1);
    test::SeedEntries(dir.storeFolder(), std::vector<inetcache::CacheEntry>{e});
    const std::string before = test::RunSqlite(dir.storeFolder(), "SELECT * FROM entries;");
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row("Cookie:other@their.example/"));
    ASSERT_EQ(page->CE_txtSource->text().toStdString(), "Cookie:other@their.example/");
    Click(page->CE_cmdDeleteFile);
    Click(page->CE_cmdSetCookie);

    EXPECT_EQ(Log(), "\r\n\r\nCookie Editor: [Delete File] clicked\r\n\r\n"
                     "COOKIE does not belong to this user - ABORTING process.\r\n"
                     "Cookie Editor: [Set Cookie] clicked\r\n\r\n"
                     "COOKIE does not belong to this user - ABORTING process.\r\n");
    EXPECT_EQ(test::RunSqlite(dir.storeFolder(), "SELECT * FROM entries;"), before);
    EXPECT_EQ(textfile::ReadAll(file), "t\nsecret\ntheir.example/\n1024\n0\n999999999\n0\n0\n*\n");
    EXPECT_FALSE(main->refreshingCache()->isVisible());
}

TEST_F(CookieEditorPageTest, ACookieExpiredInTheStoreIsListedAsExpiredWithItsFileValue)
{
    Set("mixed.example", "live", "now");
    // Put an expired cookie into the source's file beside the live one, as time leaves it.
    const std::string path =
        test::RunSqlite(dir.storeFolder(), "SELECT local_file FROM entries WHERE url LIKE '%mixed.example%';");
    const std::filesystem::path file(path.substr(0, path.size() - 1));
    const std::uint64_t past = *FileTimeFromUtc(2001, 3, 5);
    textfile::Append(file, "old\nstale-value\nmixed.example/\n1024\n" + std::to_string(past & 0xffffffffu) + "\n" +
                               std::to_string(past >> 32) + "\n0\n0\n*\n");
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row(Source("mixed.example")));
    EXPECT_EQ(Lines(page->CE_lstCookieEntries), std::vector<std::string>{"live"});
    ASSERT_EQ(Lines(page->CE_lstExpiredCookies), std::vector<std::string>{"old"});
    page->CE_lstExpiredCookies->setCurrentRow(0);
    QTest::mouseClick(page->CE_lstExpiredCookies->viewport(), Qt::LeftButton, {},
                      page->CE_lstExpiredCookies->visualItemRect(page->CE_lstExpiredCookies->item(0)).center());
    EXPECT_EQ(page->CE_txtCookieName->toPlainText().toStdString(), "old");
    EXPECT_EQ(page->CE_txtCookieValue->text().toStdString(), "stale-value");
    page->CE_lstCookieEntries_Click();
    EXPECT_EQ(page->CE_txtCookieValue->text().toStdString(), "now");
}

TEST_F(CookieEditorPageTest, ViewSwitchKeepsTheIndexAndRefreshKeepsTheSourceByText)
{
    for (const char* host : {"a.example", "b.example", "c.example"})
        Set(host, "n", "v");
    Start();
    page->CE_lstCookieSources->setCurrentRow(2);
    page->CE_optViewByFile->click();
    EXPECT_TRUE(page->CE_lstCookieFiles->isVisible());
    EXPECT_FALSE(page->CE_lstCookieSources->isVisible());
    EXPECT_EQ(page->CE_lstCookieFiles->currentRow(), 2);
    EXPECT_EQ(page->CE_txtSource->text().toStdString(), Source("c.example"));

    // The first source goes: the selected one moves up one place and stays selected.
    ASSERT_TRUE(inetcache::InternetSetCookie("http://a.example/", "n", "v; expires = Sat,1-Jan-2005 00:00:00 GMT",
                                             test::TestStoreAccess(dir.storeFolder())));
    Click(page->CE_cmdRefresh);
    EXPECT_EQ(page->CE_lstCookieFiles->currentRow(), 1);
    EXPECT_EQ(page->CE_txtSource->text().toStdString(), Source("c.example"));

    page->CE_optViewBySource->click();
    EXPECT_EQ(page->CE_lstCookieSources->currentRow(), 1);
    Set("0.example", "n", "v");  // a new source lands at the end of the dump
    ASSERT_TRUE(inetcache::InternetSetCookie("http://b.example/", "n", "v; expires = Sat,1-Jan-2005 00:00:00 GMT",
                                             test::TestStoreAccess(dir.storeFolder())));
    Click(page->CE_cmdRefresh);
    EXPECT_EQ(page->CE_lstCookieSources->currentRow(), 0);
    EXPECT_EQ(page->CE_txtSource->text().toStdString(), Source("c.example"));
}

// The Quick Clean Up tab reads the cookie dump for its own list. A dump newer than the
// editor's lists (written by a run the editor did not make) leaves the editor's lists and
// the sources they show as they were: each entry still shows its own source's cookie.
TEST_F(CookieEditorPageTest, TheQuickCleanUpsReadOfANewerDumpLeavesTheEditorsSourcesAsListed)
{
    for (const char* host : {"a.example", "b.example", "c.example"})
        Set(host, "n", std::string("of-") + host);
    Start();
    ASSERT_EQ(Lines(page->CE_lstCookieSources),
              (std::vector<std::string>{Source("a.example"), Source("b.example"), Source("c.example")}));
    ASSERT_TRUE(inetcache::InternetSetCookie("http://a.example/", "n", "v; expires = Sat,1-Jan-2005 00:00:00 GMT",
                                             test::TestStoreAccess(dir.storeFolder())));
    RunUrlHound(tp.platform, true);  // the cookie dump now holds b and c
    main->SSTab1->setCurrentIndex(frmMain::kQuickCleanUp);
    const auto* toDelete = main->findChild<QAbstractItemView*>(QStringLiteral("QC_lstCookies"));
    ASSERT_NE(toDelete, nullptr);
    EXPECT_EQ(Lines(toDelete), (std::vector<std::string>{Source("b.example"), Source("c.example")}));

    main->SSTab1->setCurrentIndex(frmMain::kCookieEditor);
    EXPECT_EQ(Lines(page->CE_lstCookieSources),
              (std::vector<std::string>{Source("a.example"), Source("b.example"), Source("c.example")}));
    page->CE_lstCookieSources->setCurrentRow(2);
    EXPECT_EQ(page->CE_txtSource->text().toStdString(), Source("c.example"));
    ASSERT_EQ(Lines(page->CE_lstCookieEntries), std::vector<std::string>{"n"});
    EXPECT_EQ(page->CE_txtCookieValue->text().toStdString(), "of-c.example");
    EXPECT_EQ(iCookieCount(), 3u);
}

TEST_F(CookieEditorPageTest, ASecondDeletionWhileOneRunsDoesNothing)
{
    for (const char* n : {"a", "b"})
        Set("two.example", n, "v");
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row(Source("two.example")));
    bool greyed = false;
    runner.duringRun = [&] {
        greyed = greyed || !page->isEnabled();
        Click(page->CE_cmdDeleteFile);  // a click let through by a message run
        page->CE_cmdDeleteCookie_Click();
        page->CE_cmdRefresh_Click();
    };
    const int runsBefore = runner.runs;
    page->CE_cmdDeleteFile_Click();
    runner.duringRun = nullptr;

    EXPECT_TRUE(greyed);
    EXPECT_EQ(Count(Log(), "clicked"), 1u);
    EXPECT_EQ(Count(Log(), "Deleting file"), 1u);
    EXPECT_EQ(runner.runs - runsBefore, 1);  // one refresh at the end, nothing more
    EXPECT_EQ(GetCookie(tp.platform, "http://two.example/", ""), kCookieErrorText);
    EXPECT_TRUE(page->isEnabled());
}

TEST_F(CookieEditorPageTest, CookiesTheStoreWillNotTakeAreLoggedOnceEachAndSkipped)
{
    Set("stuck.example", "ok", "1");
    // Two expired cookies whose names the store refuses to set: neither can be removed.
    const std::string path =
        test::RunSqlite(dir.storeFolder(), "SELECT local_file FROM entries WHERE url LIKE '%stuck.example%';");
    const std::filesystem::path file(path.substr(0, path.size() - 1));
    for (const char* n : {"x;1", "x;2"})
        textfile::Append(file, std::string(n) + "\nv\nstuck.example/\n1024\n1\n0\n0\n0\n*\n");
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row(Source("stuck.example")));
    ASSERT_EQ(Lines(page->CE_lstExpiredCookies), (std::vector<std::string>{"x;1", "x;2"}));
    Click(page->CE_cmdDeleteFile);

    const std::string log = Log();
    EXPECT_EQ(Count(log, "ERROR SETTING COOKIE:\r\nSource: http://stuck.example/\r\nName: x;"), 2u);
    EXPECT_EQ(Count(log, "DELETION ERROR:\r\nName:x;1\r\n\r\n"), 1u);
    EXPECT_EQ(Count(log, "DELETION ERROR:\r\nName:x;2\r\n\r\n"), 1u);
    // The one cookie the store could remove is gone; the source stays with its stuck ones.
    EXPECT_EQ(GetCookie(tp.platform, "http://stuck.example/", ""), kCookieErrorText);
    EXPECT_EQ(Lines(page->CE_lstExpiredCookies), (std::vector<std::string>{"x;1", "x;2"}));
    EXPECT_TRUE(page->isEnabled());
}

// A cookie file of another program may hold a name with a CR or another control byte in it:
// the store will not take it, and the log names it with those bytes escaped, so every CR in
// the log ends a line the program wrote.
TEST_F(CookieEditorPageTest, ACookieNameWithControlBytesCannotForgeALogLine)
{
    Set("stuck.example", "ok", "1");
    const std::string path =
        test::RunSqlite(dir.storeFolder(), "SELECT local_file FROM entries WHERE url LIKE '%stuck.example%';");
    textfile::Append(path.substr(0, path.size() - 1),
                     "x\x01\rDeletion Complete:  forged\nv\nstuck.example/\n1024\n1\n0\n0\n0\n*\n");
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row(Source("stuck.example")));
    ASSERT_EQ(page->CE_lstExpiredCookies->count(), 1);
    Click(page->CE_cmdDeleteFile);

    const std::string log = Log();
    // The store refuses it (the name box gives its CR back as LF); its entry names it escaped.
    EXPECT_EQ(Count(log, "ERROR SETTING COOKIE:\r\nSource: http://stuck.example/\r\nName: x\\x01\\x0"), 1u) << log;
    EXPECT_EQ(Count(log, "\r\nDeletion Complete"), 0u) << log;
    EXPECT_EQ(Count(log, "DELETION ERROR:\r\nName:x\\x01\\x0DDeletion Complete:  forged\r\n\r\n"), 1u) << log;
    EXPECT_EQ(Count(log, "\x01"), 0u);
    for (std::size_t cr = log.find('\r'); cr != std::string::npos; cr = log.find('\r', cr + 1))
        ASSERT_EQ(log[cr + 1], '\n') << "a CR that ends no line at " << cr << ":\n" << log;
}

// The quick clean-up deletes many sources in one pass: the editor then looks at the store
// again only for the source it changes and refreshes once at the end. The log, the store and
// the lists come out as when every cookie is followed by a whole refresh.
TEST_F(CookieEditorPageTest, ADeletionPassLogsAndDeletesAsSingleDeletionsWithOneRefresh)
{
    const auto seed = [&] {
        std::filesystem::remove_all(dir.storeFolder());
        Set("keep.example", "k", "1");
        Set("two.example", "a", "1");
        Set("two.example", "b", "2");
        Set("one.example", "c", "3");
        Set("stuck.example", "ok", "1");
        const std::string path =
            test::RunSqlite(dir.storeFolder(), "SELECT local_file FROM entries WHERE url LIKE '%stuck.example%';");
        textfile::Append(path.substr(0, path.size() - 1), "x;1\nv\nstuck.example/\n1024\n1\n0\n0\n0\n*\n");
        inetcache::CacheEntry theirs;
        theirs.sourceUrl = "Cookie:other@their.example/";
        theirs.localFileName = (dir.storeFolder() / "their.txt").string();
        textfile::WriteAll(*theirs.localFileName, "t\nsecret\ntheir.example/\n1024\n0\n999999999\n0\n0\n*\n");
        ASSERT_TRUE(inetcache::CommitUrlCacheEntry(theirs, dir.storeFolder()));
    };
    const auto run = [&](bool pass) {
        seed();
        Start();
        runner.runs = 0;
        if (pass)
            page->BeginDeletionPass();
        // The second "two.example" has gone with the first: the source is no longer listed.
        const std::vector<std::string> order{Source("two.example"), "Cookie:other@their.example/",
                                             Source("stuck.example"), Source("one.example"), Source("two.example")};
        for (const std::string& s : order) {
            const int row = Row(s);
            if (row < 0) {
                AppendActivityLog(tp.platform, "not listed: " + s + "\r\n");
                continue;
            }
            page->SelectCookieSource(static_cast<std::size_t>(row));
            page->DeleteCookieSource();
        }
        if (pass)
            page->EndDeletionPass();
        return CaptureAndClose();
    };
    const Outcome single = run(false);
    const Outcome pass = run(true);
    ExpectSame(pass, single);
    EXPECT_EQ(single.store.find("two.example"), std::string::npos);
    EXPECT_NE(single.store.find("stuck.example"), std::string::npos);
    EXPECT_NE(single.log.find("DELETION ERROR:\r\nName:x;1\r\n"), std::string::npos) << single.log;
    EXPECT_NE(single.log.find("not listed: " + Source("two.example")), std::string::npos);
    EXPECT_EQ(single.runs, 5) << "one refresh per cookie set: a, b, ok, x;1, c";
    EXPECT_EQ(pass.runs, 1);
}

// "Delete File" and "Delete Cookie" run as one deletion pass each: the store kept open, the
// source looked at again after each cookie, one refresh at the end. The log, the store (its
// rows and files byte for byte) and the page come out as when every cookie is followed by a
// whole refresh.
TEST_F(CookieEditorPageTest, DeleteFileAndDeleteCookieLogAndDeleteAsWithARefreshPerCookie)
{
    const auto seed = [&] {
        std::filesystem::remove_all(dir.storeFolder());
        Set("keep.example", "k", "1");
        Set("keep.example", "j", "2");
        for (const char* n : {"a", "b", "c", "d"})
            Set("five.example", n, "v");
        Set("stuck.example", "ok", "1");
        const std::string path =
            test::RunSqlite(dir.storeFolder(), "SELECT local_file FROM entries WHERE url LIKE '%stuck.example%';");
        textfile::Append(path.substr(0, path.size() - 1), "x;1\nv\nstuck.example/\n1024\n1\n0\n0\n0\n*\n");
    };
    const auto run = [&](bool buttons) {
        seed();
        Start();
        runner.runs = 0;
        const auto deleteFile = [&] {
            if (buttons) {
                Click(page->CE_cmdDeleteFile);
                return;
            }
            AppendActivityLog(tp.platform, "Cookie Editor: [Delete File] clicked\r\n\r\n");
            page->DeleteCookieSource();
            main->refreshingCache()->hide();
        };
        page->CE_lstCookieSources->setCurrentRow(Row(Source("five.example")));
        deleteFile();
        page->CE_lstCookieSources->setCurrentRow(Row(Source("keep.example")));
        page->CE_lstCookieEntries->setCurrentRow(1);
        if (buttons) {
            Click(page->CE_cmdDeleteCookie);
        } else {
            page->DTPicker1->setDate(QDate::currentDate().addDays(-1));
            page->DTPicker1_Change();
            AppendActivityLog(tp.platform, "Cookie Editor: [Delete Cookie] clicked\r\n\r\n");
            page->SetEditedCookie();
            page->RefreshCookies();
        }
        page->CE_lstCookieSources->setCurrentRow(Row(Source("stuck.example")));
        deleteFile();
        EXPECT_FALSE(main->refreshingCache()->isVisible());
        EXPECT_TRUE(page->isEnabled());
        return CaptureAndClose();
    };
    const Outcome single = run(false);
    const Outcome pass = run(true);
    ExpectSame(pass, single);
    // What the three deletions did: five.example gone, keep.example down to one cookie,
    // stuck.example down to its stuck one.
    EXPECT_EQ(single.sources, Source("keep.example") + "\n" + Source("stuck.example") + "\n");
    EXPECT_EQ(Count(single.store, "\nk\n1\nkeep.example/\n"), 1u) << single.store;
    EXPECT_EQ(Count(single.store, "\nj\n2\n"), 0u) << single.store;
    EXPECT_EQ(Count(single.store, "\nx;1\nv\nstuck.example/\n"), 1u) << single.store;
    EXPECT_EQ(Count(single.store, "five.example"), 0u) << single.store;
    EXPECT_EQ(Count(single.log, "DELETION ERROR:\r\nName:x;1\r\n"), 1u) << single.log;
    EXPECT_EQ(single.runs, 4 + 1 + 2) << "a refresh per cookie set";
    EXPECT_EQ(pass.runs, 3) << "one refresh per button";
}

// The store's own rules as the editor meets them: a source of every user, a source whose
// path does not end in "/", Secure and HttpOnly cookies. Each is listed by its expiry and
// deleted by Delete File, and a removal is logged as done only when it removed something.
TEST_F(CookieEditorPageTest, EverySourceKindIsListedByItsExpiryAndDeletedForReal)
{
    struct Case {
        const char* what;
        const char* url;
        std::string user;  // whose source it is
        std::string data;
        std::string source;
    };
    const std::string future = "; expires=Fri, 31 Dec 2100 00:00:00 GMT";
    const std::vector<Case> cases{
        {"every user's", "http://all.example/", inetcache::kAnyUser, "n=1" + future, "Cookie:anyuser@all.example/"},
        {"a path without a closing slash", "http://p.example/docs/x", user, "n=1; Path=/docs" + future,
         Source("p.example") + "docs"},
        {"a Secure cookie", "https://s.example/", user, "n=1; Secure" + future, Source("s.example")},
        {"an HttpOnly cookie", "http://h.example/", user, "n=1; HttpOnly" + future, Source("h.example")},
        {"a Secure HttpOnly cookie", "https://b.example/", user, "n=1; Secure; HttpOnly" + future, Source("b.example")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir.storeFolder());
        inetcache::StoreAccess access = inetcache::StoreAccessOf(tp.platform);
        access.user = c.user;
        ASSERT_TRUE(inetcache::InternetSetCookie(c.url, "", c.data, access));
        Set("other.example", "o", "1");
        Start();
        ASSERT_GE(Row(c.source), 0);
        page->CE_lstCookieSources->setCurrentRow(Row(c.source));
        EXPECT_EQ(Lines(page->CE_lstCookieEntries), std::vector<std::string>{"n"});
        EXPECT_TRUE(Lines(page->CE_lstExpiredCookies).empty());
        Click(page->CE_cmdDeleteFile);
        EXPECT_EQ(test::RunSqlite(dir.storeFolder(), "SELECT url FROM entries;"), Source("other.example") + "\n");
        EXPECT_EQ(Row(c.source), -1);
        EXPECT_EQ(Count(Log(), "Source: "), 1u) << Log();
        EXPECT_EQ(Count(Log(), "NOT IN THE STORE"), 0u) << Log();
        EXPECT_EQ(Count(Log(), "ERROR"), 0u) << Log();
        main.reset();
    }

    // Set Cookie on a source of every user sets it there, for every user.
    std::filesystem::remove_all(dir.storeFolder());
    Start();
    page->CE_txtSource->setText("Cookie:anyuser@all.example/");
    page->CE_txtCookieName->setPlainText("shared");
    page->CE_txtCookieValue->setText("7");
    page->DTPicker1->setDate(QDate(2100, 12, 31));
    Click(page->CE_cmdSetCookie);
    EXPECT_EQ(test::RunSqlite(dir.storeFolder(), "SELECT url FROM entries;"), "Cookie:anyuser@all.example/\n");
    EXPECT_EQ(Lines(page->CE_lstCookieEntries), std::vector<std::string>{"shared"});

    // A cookie that another program removed meanwhile: its removal is not logged as done.
    ASSERT_TRUE(inetcache::InternetSetCookie("http://all.example/", "shared", "7; expires = Sat,1-Jan-2005 00:00:00 GMT",
                                             [&] {
                                                 auto a = inetcache::StoreAccessOf(tp.platform);
                                                 a.user = inetcache::kAnyUser;
                                                 return a;
                                             }()));
    ResetActivityLog(tp.platform);
    Click(page->CE_cmdDeleteCookie);
    const QDate yesterday = QDate::currentDate().addDays(-1);
    EXPECT_EQ(Log(), "\r\n\r\nCookie Editor: [Delete Cookie] clicked\r\n\r\nCOOKIE NOT IN THE STORE - nothing removed:\r\n"
                     "Source: http://all.example/\r\nName: shared\r\nValue: 7; expires = " +
                         ExpiryText({yesterday.year(), yesterday.month(), yesterday.day()}) + "\r\n");
}

// A store folder, and a cookie name, holding a Latin-1 byte in a UTF-8 locale: the page
// shows them with a replacement character and keeps the bytes, so it lists the cookies,
// sets them and deletes them.
TEST_F(CookieEditorPageTest, NamesThatAreNoTextOfTheLocaleAreKeptAsBytes)
{
    const std::string latin1 = "caf\xe9";
    ASSERT_NE(ToBytes(FromBytes(latin1)), latin1) << "the locale must not hold every byte";
    const std::filesystem::path store = dir.root() / (latin1 + " store");
    tp.platform.storeFolder = store;
    Set("l.example", "plain", "1");
    Set("l.example", latin1, "2");
    Start();
    ASSERT_EQ(Row(Source("l.example")), 0);
    page->CE_lstCookieSources->setCurrentRow(0);
    ASSERT_EQ(page->CE_lstCookieEntries->count(), 2);
    EXPECT_TRUE(Lines(page->CE_lstExpiredCookies).empty());

    // Only the value changed: the name goes back as its own bytes.
    page->CE_lstCookieEntries->setCurrentRow(1);
    page->CE_txtCookieValue->setText("3");
    Click(page->CE_cmdSetCookie);
    EXPECT_EQ(GetCookie(tp.platform, "http://l.example/", ""), "plain=1; " + latin1 + "=3");

    Click(page->CE_cmdDeleteFile);
    EXPECT_EQ(GetCookie(tp.platform, "http://l.example/", ""), kCookieErrorText);
    EXPECT_EQ(test::RunSqlite(store, "SELECT count(*) FROM entries;"), "0\n");
    EXPECT_EQ(Count(Log(), "Name: " + latin1 + "\r\n"), 2u) << Log();
    EXPECT_EQ(Count(Log(), "ERROR"), 0u) << Log();
}

// Two copies on one store: while a deletion pass runs, another process deletes sources the
// pass is still to meet. Each is logged once and skipped; no box is shown.
TEST_F(CookieEditorPageTest, ASourceAnotherProcessDeletedDuringAPassIsLoggedOnceAndSkipped)
{
    const std::vector<std::string> hosts{"a.example", "b.example", "c.example", "d.example"};
    for (const std::string& h : hosts) {
        Set(h, "x", "1");
        Set(h, "y", "2");
    }
    Start();
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        char c;
        if (read(go[0], &c, 1) != 1)
            _exit(2);
        const inetcache::StoreAccess access = inetcache::StoreAccessOf(tp.platform);
        for (const char* h : {"b.example", "c.example"})
            for (const char* n : {"x", "y"})
                if (!inetcache::InternetSetCookie(std::string("http://") + h + "/", n,
                                                  "v; expires = Sat,1-Jan-2005 00:00:00 GMT", access))
                    _exit(3);
        _exit(0);
    }
    close(go[0]);

    page->BeginDeletionPass();
    for (const std::string& h : hosts) {
        const int row = Row(Source(h));
        ASSERT_GE(row, 0) << h;
        page->SelectCookieSource(static_cast<std::size_t>(row));
        page->DeleteCookieSource();
        if (h == "a.example") {
            // The other copy deletes two sources now, and ends.
            ASSERT_EQ(write(go[1], "g", 1), 1);
            int status = 0;
            ASSERT_EQ(waitpid(other, &status, 0), other);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
    }
    page->EndDeletionPass();
    close(go[1]);

    EXPECT_TRUE(tp.dialogs.boxes.empty());
    const std::string log = Log();
    for (const char* h : {"b.example", "c.example"}) {
        EXPECT_EQ(Count(log, kSourceGoneLog + Source(h) + "\r\n"), 1u) << log;
        EXPECT_EQ(Count(log, "Source: http://" + std::string(h)), 0u) << log;
    }
    EXPECT_EQ(Count(log, "Deleting file\r\n"), 2u) << log;
    EXPECT_EQ(Count(log, "ERROR"), 0u) << log;
    EXPECT_EQ(Count(log, "NOT IN THE STORE"), 0u) << log;
    EXPECT_EQ(test::RunSqlite(dir.storeFolder(), "SELECT count(*) FROM entries;"), "0\n");
    EXPECT_TRUE(Lines(page->CE_lstCookieSources).empty());
}

// When the boxes show a cookie, the date picker shows that cookie's own expiry: after
// Delete Cookie the form shows the next cookie with its date, so changing only its value
// and pressing Set Cookie keeps it, with its date.
TEST_F(CookieEditorPageTest, ThePickerShowsTheDateOfTheCookieTheBoxesShow)
{
    const inetcache::StoreAccess access = inetcache::StoreAccessOf(tp.platform);
    ASSERT_TRUE(inetcache::InternetSetCookie("http://d.example/", "soon", "1; expires = Sun,15-Jun-2031 00:00:00 GMT", access));
    ASSERT_TRUE(inetcache::InternetSetCookie("http://d.example/", "late", "2; expires = Fri,31-Dec-2100 00:00:00 GMT", access));
    ASSERT_TRUE(inetcache::InternetSetCookie("http://d.example/", "gone", "3; expires = Fri,31-Dec-2100 00:00:00 GMT", access));
    Start();
    page->CE_lstCookieSources->setCurrentRow(Row(Source("d.example")));
    ASSERT_EQ(Lines(page->CE_lstCookieEntries), (std::vector<std::string>{"soon", "late", "gone"}));
    struct Case {
        int row;
        QDate date;
    };
    for (const Case& c : std::vector<Case>{{1, QDate(2100, 12, 31)}, {0, QDate(2031, 6, 15)}, {2, QDate(2100, 12, 31)}}) {
        page->CE_lstCookieEntries->setCurrentRow(c.row);
        EXPECT_EQ(page->DTPicker1->date(), c.date) << c.row;
    }

    Click(page->CE_cmdDeleteCookie);  // "gone"
    ASSERT_EQ(page->CE_txtCookieName->toPlainText().toStdString(), "soon");
    EXPECT_EQ(page->DTPicker1->date(), QDate(2031, 6, 15));
    page->CE_txtCookieValue->setText("changed");
    Click(page->CE_cmdSetCookie);
    EXPECT_EQ(GetCookie(tp.platform, "http://d.example/", ""), "soon=changed; late=2");
    EXPECT_EQ(Count(Log(), "Value: changed; expires = Sun,15-Jun-2031 00:00:00 GMT\r\n"), 1u) << Log();
}

// A change whose old cookie file cannot be removed says so in the log, with the file; a
// source whose cookie file is gone is removed by Delete File, which says so once.
TEST_F(CookieEditorPageTest, ALeftCookieFileIsLoggedAndASourceWithoutItsFileIsRemoved)
{
    Set("left.example", "a", "1");
    Set("left.example", "b", "2");
    Set("lost.example", "c", "3");
    Start();
    struct BusyUnlink final : FileCalls {
        int Open(const char* p, int flags) override { return real.Open(p, flags); }
        int MakeTemporary(char* pattern) override { return real.MakeTemporary(pattern); }
        int Fstat(int fd, struct ::stat* st) override { return real.Fstat(fd, st); }
        long Pwrite(int fd, const void* b, std::size_t n, std::int64_t off) override { return real.Pwrite(fd, b, n, off); }
        int Fdatasync(int fd) override { return real.Fdatasync(fd); }
        int Close(int fd) override { return real.Close(fd); }
        int Unlink(const char*) override
        {
            errno = EBUSY;
            return -1;
        }
        PosixFileCalls real;
    } calls;
    page->CE_lstCookieSources->setCurrentRow(Row(Source("left.example")));
    const std::string old(CookieEntries()[static_cast<std::size_t>(Row(Source("left.example")))].FileName);
    tp.platform.files = &calls;
    Click(page->CE_cmdDeleteCookie);
    tp.platform.files = nullptr;
    EXPECT_EQ(Count(Log(), std::string(kFileLeftLog) + old + " (" + std::strerror(EBUSY) + ")\r\n"), 1u) << Log();
    EXPECT_TRUE(std::filesystem::exists(old));

    const std::string lost =
        test::RunSqlite(dir.storeFolder(), "SELECT local_file FROM entries WHERE url LIKE '%lost.example%';");
    std::filesystem::remove(lost.substr(0, lost.size() - 1));
    page->CE_lstCookieSources->setCurrentRow(Row(Source("lost.example")));
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);  // shown by the click: its file does not exist
    ResetActivityLog(tp.platform);
    Click(page->CE_cmdDeleteFile);
    EXPECT_EQ(Log(), "\r\n\r\nCookie Editor: [Delete File] clicked\r\n\r\n" + std::string(kSourceWithoutFileLog) +
                         Source("lost.example") + "\r\n");
    EXPECT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(test::RunSqlite(dir.storeFolder(), "SELECT count(*) FROM entries WHERE url LIKE '%lost.example%';"),
              "0\n");
}
