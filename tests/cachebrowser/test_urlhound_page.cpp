// The Url Hound page in a real main window, with the real runner, UrlHound and store.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QPlainTextEdit>
#include <algorithm>
#include <gtest/gtest.h>

#include "platform/qt/QtText.h"

#include "cachebrowser/MUrlHound.h"
#include "cachebrowser/UrlHoundPage.h"
#include "host/MActivityReport.h"
#include "host/TextListView.h"
#include "platform/TextFile.h"
#include "host/frmRefreshingCache.h"
#include "shell/ActivityReportPage.h"
#include "shell/frmMain.h"
#include "support/GuiTestSupport.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using test::SeedKind;
namespace fs = std::filesystem;

namespace {

// The real runner, with a look at the progress window while the tool runs.
class ProbeRunner final : public ProcessRunner {
public:
    void RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& folder) override
    {
        RunAndReport(argv, folder, {});
    }
    RunOutcome RunAndReport(const std::vector<std::string>& argv, const std::filesystem::path& folder,
                            const RunEnvironment& environment) override
    {
        ++runs;
        progressShownDuringRun.push_back(main && main->refreshingCache() && main->refreshingCache()->isVisible());
        return real.RunAndReport(argv, folder, environment);
    }
    frmMain* main = nullptr;
    int runs = 0;
    std::vector<bool> progressShownDuringRun;
    PosixProcessRunner real;
};

// Nine entries: visited, cookie and content entries in turn (SeedEntryFor(kind, n)).
constexpr std::size_t kSeeded = 9;

SeedKind KindOf(std::size_t n)
{
    static const SeedKind kinds[] = {SeedKind::Visited, SeedKind::Cookie, SeedKind::Url};
    return kinds[n % 3];
}

std::string Src(std::size_t n)
{
    return test::SeedEntryFor(KindOf(n), n).sourceUrl;
}

QString Q(const std::string& s)
{
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

std::vector<std::string> Lines(const QAbstractItemView* list)
{
    return test::ListLines(list);
}

class UrlHoundPageTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    ProbeRunner runner;
    std::unique_ptr<frmMain> main;
    UrlHoundPage* page = nullptr;

    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.platform.runner = &runner;
        tp.clock.now = std::chrono::system_clock::from_time_t(1765356000);  // a fixed "now"
        dir.WithUrlHound();
    }
    void Start(std::size_t seeded = kSeeded, int tabDuringLoad = frmMain::kQuickCleanUp)
    {
        if (seeded)
            test::SeedEntries(dir.storeFolder(), seeded);
        main = std::make_unique<frmMain>(tp.platform);
        runner.main = main.get();
        main->show();
        main->SSTab1->setCurrentIndex(tabDuringLoad);
        main->Form_Load();
        // The seeded cookie sources name no real cookie file: the Cookie Editor's start-up
        // refresh says so for the first. Only this page's boxes count here.
        tp.dialogs.boxes.clear();
        page = &main->urlHoundPage();
    }
    void TearDown() override
    {
        main.reset();
        ReleaseCacheRecords();
    }
    void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void ClickRow(QAbstractItemView* list, int row) { test::ClickListRow(list, row); }
    void Search(const std::string& text, bool matchCase = false, bool wholeWord = false)
    {
        page->UH_chkCaseSensitive->setChecked(matchCase);
        page->UH_chkWholeWord->setChecked(wholeWord);
        page->UH_txtCacheSearchString->setPlainText(Q(text));
        Click(page->UH_cmdCacheSearch);
    }
    std::string DateTimeReport(const std::string& searchText, const std::vector<std::size_t>& results)
    {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(tp.clock.now));
        const QLocale l = QLocale::system();
        return CacheSearchReport(l.toString(when.date(), QLocale::ShortFormat).toStdString(),
                                 SystemTimeText(when.time()).toStdString(), searchText, results,
                                 CacheRecords());
    }
    void ExpectDetails(const std::string& location, const std::string& hits, const std::string& expires,
                       const std::string& accessed, const std::string& headerBoxText)
    {
        EXPECT_EQ(page->UH_txtCacheLocation->text().toStdString(), location);
        EXPECT_EQ(page->UH_txtCacheHitRate->text().toStdString(), hits);
        EXPECT_EQ(page->UH_txtCacheExpires->text().toStdString(), expires);
        EXPECT_EQ(page->UH_txtCacheAccessed->text().toStdString(), accessed);
        EXPECT_EQ(page->UH_txtCacheHeader->toPlainText().toStdString(), headerBoxText);
    }
};

}  // namespace

TEST_F(UrlHoundPageTest, LayoutNamesFocusOrderAndHelpNumbers)
{
    Start(0);
    EXPECT_EQ(page->UH_cboCacheType->currentText(), QStringLiteral("Entire Cache"));
    ASSERT_EQ(page->UH_cboCacheType->count(), 3);
    EXPECT_EQ(page->UH_cboCacheType->itemText(0), QStringLiteral("Cookies:"));
    EXPECT_EQ(page->UH_cboCacheType->itemText(1), QStringLiteral("Visited:"));
    EXPECT_TRUE(page->UH_cboCacheType->isEditable());
    EXPECT_FALSE(page->UH_chkCaseSensitive->isChecked());
    EXPECT_FALSE(page->UH_chkWholeWord->isChecked());
    EXPECT_EQ(page->UH_cmdCacheRefresh->text(), QStringLiteral("Refesh Cache"));
    EXPECT_EQ(page->UH_cmdCacheClear->text(), QStringLiteral("Clear Reaults"));
    EXPECT_EQ(page->UH_cmdViewReport->toolTip(), QStringLiteral("Generate a report of the \"Search Results\"."));
    EXPECT_EQ(page->Frame7->title(), QStringLiteral("Search Critera"));
    EXPECT_EQ(page->UH_lstCacheMain->accessibleName(), QStringLiteral("Source Name:"));
    EXPECT_EQ(page->UH_lstCacheSearch->accessibleName(), QStringLiteral("Search Results (Source Name):"));
    EXPECT_EQ(page->UH_txtCacheHeader->accessibleName(), QStringLiteral("Header Data:"));

    const char* order[] = {"UH_cboCacheType",     "UH_lstCacheMain",    "UH_txtCacheLocation", "UH_txtCacheHeader",
                           "UH_txtCacheAccessed", "UH_txtCacheExpires", "UH_txtCacheHitRate",  "UH_cmdAnd",
                           "UH_cmdOr",            "UH_chkCaseSensitive", "UH_chkWholeWord",    "UH_cmdCacheSearch",
                           "UH_cmdCacheRefresh",  "UH_cmdViewReport",   "UH_cmdCacheSave",     "UH_cmdCacheClear",
                           "UH_cmdExit",          "UH_lstCacheSearch",  "UH_txtCacheSearchString"};
    const int help[] = {301, 302, 303, 304, 305, 306, 307, 309, 310, 311, 312, 314, 315, 316, 317, 318, 319, 0, 308};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        if (help[i]) {
            EXPECT_EQ(test::Named<QWidget>(page, order[i])->property("helpContextId").toInt(), help[i]) << order[i];
        }
    }

    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    main->SSTab1->setCurrentIndex(frmMain::kUrlHound);
    EXPECT_TRUE(page->UH_txtCacheSearchString->hasFocus());  // the page switch puts the caret there
    // The Tab key walks the page in its focus order; the search box comes last.
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget* from = test::Named<QWidget>(page, order[i]);
        QWidget* to = test::Named<QWidget>(page, order[i + 1]);
        from->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        EXPECT_TRUE(now == to || to->isAncestorOf(now)) << order[i] << " -> " << (now ? now->objectName().toStdString() : "none");
    }
    EXPECT_FALSE(page->UH_txtCacheSearch->isVisible());
    EXPECT_EQ(page->UH_txtCacheSearch->property("helpContextId").toInt(), 313);
}

TEST_F(UrlHoundPageTest, RefreshListsEachCacheTypeWithDetails)
{
    Start();
    // The load's refresh lists the entire cache and shows its first entry.
    std::vector<std::string> all;
    for (std::size_t n = 0; n < kSeeded; ++n)
        all.push_back(Src(n));
    EXPECT_EQ(Lines(page->UH_lstCacheMain), all);
    EXPECT_EQ(page->UH_lstCacheMain->currentRow(), 0);
    ExpectDetails("N\\A", "1", "1/1/2031", "6/1/2024", "\nN\\A\n");

    struct Choice {
        const char* text;
        SeedKind kind;
    };
    for (const Choice& c : {Choice{"Cookies:", SeedKind::Cookie}, Choice{"Visited:", SeedKind::Visited},
                            Choice{"Entire Cache", SeedKind::Url}}) {
        page->UH_cboCacheType->setEditText(QString::fromLatin1(c.text));
        const int before = runner.runs;
        Click(page->UH_cmdCacheRefresh);
        EXPECT_EQ(runner.runs, before + 1) << "the refresh runs UrlHound";
        std::vector<std::string> expected;
        for (std::size_t n = 0; n < kSeeded; ++n)
            if (std::string(c.text) == "Entire Cache" || KindOf(n) == c.kind)
                expected.push_back(Src(n));
        EXPECT_EQ(Lines(page->UH_lstCacheMain), expected) << c.text;
        EXPECT_EQ(page->UH_lstCacheMain->currentRow(), 0);
        EXPECT_EQ(page->UH_lstCacheMain->toolTip().toStdString(), expected[0]);
    }

    // A later entry: the content entry 5, with its file and its header block.
    ClickRow(page->UH_lstCacheMain, 5);
    const auto e5 = test::SeedEntryFor(SeedKind::Url, 5);
    ASSERT_EQ(Src(5), e5.sourceUrl);
    QString header = Q("\r\n" + e5.headerInfo + "\r\n");
    header.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ExpectDetails(*e5.localFileName, "6", "1/1/2031", "6/1/2024", header.toStdString());
    EXPECT_EQ(page->UH_lstCacheMain->toolTip().toStdString(), e5.sourceUrl);
    QTest::mouseClick(page->UH_txtCacheLocation, Qt::LeftButton);
    EXPECT_EQ(page->UH_txtCacheLocation->toolTip().toStdString(), *e5.localFileName);

    // Choosing an entry runs the refresh; a typed text that is none of them lists cookies.
    const int before = runner.runs;
    page->UH_cboCacheType->setCurrentIndex(1);
    emit page->UH_cboCacheType->activated(1);
    EXPECT_EQ(runner.runs, before + 1);
    EXPECT_EQ(Lines(page->UH_lstCacheMain), (std::vector<std::string>{Src(0), Src(3), Src(6)}));
    page->UH_cboCacheType->setEditText(QStringLiteral("visited:"));
    Click(page->UH_cmdCacheRefresh);
    EXPECT_EQ(Lines(page->UH_lstCacheMain), (std::vector<std::string>{Src(1), Src(4), Src(7)}));
}

TEST_F(UrlHoundPageTest, TypedCacheTypeStaysAsTypedAndRunsNoRefreshByItself)
{
    Start(kSeeded, frmMain::kUrlHound);
    QComboBox* box = page->UH_cboCacheType;
    const int before = runner.runs;
    for (const char* typed : {"visited:", "cookies:", "Visited"}) {
        SCOPED_TRACE(typed);
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), QString::fromLatin1(typed));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);  // Enter on a text that is no entry
        page->UH_txtCacheSearchString->setFocus();          // leaving the box
        QCoreApplication::processEvents();
        EXPECT_EQ(box->currentText(), QString::fromLatin1(typed));
        EXPECT_EQ(runner.runs, before) << "no refresh without choosing an entry";
    }
    // A refresh with typed "visited:" loads the cookie dump.
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("visited:"));
    Click(page->UH_cmdCacheRefresh);
    EXPECT_EQ(runner.runs, before + 1);
    EXPECT_EQ(box->currentText(), QStringLiteral("visited:"));
    EXPECT_EQ(Lines(page->UH_lstCacheMain), (std::vector<std::string>{Src(1), Src(4), Src(7)}));
}

TEST_F(UrlHoundPageTest, ProgressWindowOnlyAfterStartUpAndOnTheUrlHoundTab)
{
    Start(kSeeded, frmMain::kUrlHound);
    ASSERT_GE(runner.progressShownDuringRun.size(), 2u);
    for (bool shown : runner.progressShownDuringRun)
        EXPECT_FALSE(shown) << "no progress window during start-up";
    runner.progressShownDuringRun.clear();

    Click(page->UH_cmdCacheRefresh);  // tab 2, after start-up
    main->SSTab1->setCurrentIndex(frmMain::kBleachUtility);
    page->UH_cmdCacheRefresh_Click();  // as the Commands menu runs it, from another tab
    EXPECT_EQ(runner.progressShownDuringRun, (std::vector<bool>{true, false}));
    EXPECT_FALSE(main->refreshingCache()->isVisible());
}

TEST_F(UrlHoundPageTest, EmptyDumpKeepsDetailsAndResults)
{
    Start();
    Search("pic2");
    ASSERT_EQ(page->UH_lstCacheSearch->count(), 1);
    // The store empties; the refresh lists nothing and leaves the rest as it was.
    test::RunSqlite(dir.storeFolder(), "DELETE FROM entries;");
    Click(page->UH_cmdCacheRefresh);
    EXPECT_EQ(page->UH_lstCacheMain->count(), 0);
    EXPECT_EQ(page->UH_txtCacheHitRate->text(), QStringLiteral("1"));
    EXPECT_EQ(page->UH_lstCacheSearch->count(), 1);
    EXPECT_EQ(iCacheCount(), 0u);
}

TEST_F(UrlHoundPageTest, SearchMessagesResultsAndOperators)
{
    Start();
    // A match lists the source and points at its record.
    Search("pic5.gif OR cookie: AND site1.");
    EXPECT_EQ(Lines(page->UH_lstCacheSearch), (std::vector<std::string>{Src(1), Src(5)}));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    ClickRow(page->UH_lstCacheSearch, 1);
    EXPECT_EQ(page->UH_txtCacheHitRate->text(), QStringLiteral("6"));
    EXPECT_EQ(page->UH_cmdCacheSearch->toolTip(), QString());  // gone after the first search
    EXPECT_EQ(page->UH_txtCacheSearchString->textCursor().selectedText(), QStringLiteral("pic5.gif OR cookie: AND site1."));

    // The options reach the matcher.
    Search("IMAGE/GIF", true);
    EXPECT_EQ(page->UH_lstCacheSearch->count(), 0);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "There is no data matching your criteria.");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Search Complete");
    Search("pic", false, true);
    EXPECT_EQ(page->UH_lstCacheSearch->count(), 0);
    Search("image/gif", true, true);
    EXPECT_EQ(Lines(page->UH_lstCacheSearch), (std::vector<std::string>{Src(2), Src(5), Src(8)}));
    tp.dialogs.boxes.clear();

    // An empty text: only the one message, and the results stay.
    Search("");
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "You must enter a search string.");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Missing Search String");
    EXPECT_EQ(tp.dialogs.boxes[0].icon, MsgBoxIcon::None);
    EXPECT_EQ(page->UH_lstCacheSearch->count(), 3);
    tp.dialogs.boxes.clear();

    // Enter runs the search and never breaks the line.
    page->UH_txtCacheSearchString->setPlainText(QStringLiteral("page3"));
    page->UH_txtCacheSearchString->setFocus();
    QTest::keyClick(page->UH_txtCacheSearchString, Qt::Key_End);
    QTest::keyClick(page->UH_txtCacheSearchString, Qt::Key_Return);
    QTest::keyClick(page->UH_txtCacheSearchString, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(page->UH_txtCacheSearchString->toPlainText(), QStringLiteral("page3"));
    EXPECT_EQ(Lines(page->UH_lstCacheSearch), (std::vector<std::string>{Src(3)}));

    // "And" and "Or" join terms; the caret ends after the operator.
    page->UH_txtCacheSearchString->setPlainText(QStringLiteral("gif   "));
    Click(page->UH_cmdAnd);
    EXPECT_EQ(page->UH_txtCacheSearchString->toPlainText(), QStringLiteral("gif AND "));
    EXPECT_EQ(page->UH_txtCacheSearchString->textCursor().position(), 8);
    EXPECT_TRUE(page->UH_txtCacheSearchString->textCursor().selectedText().isEmpty());
    page->UH_txtCacheSearchString->clear();
    Click(page->UH_cmdOr);
    EXPECT_EQ(page->UH_txtCacheSearchString->toPlainText(), QStringLiteral(" OR "));

    // Clear empties the results only.
    Click(page->UH_cmdCacheClear);
    EXPECT_EQ(page->UH_lstCacheSearch->count(), 0);
    EXPECT_EQ(page->UH_lstCacheMain->count(), static_cast<int>(kSeeded));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(UrlHoundPageTest, SearchOnAnEmptyCacheGivesBothMessages)
{
    Start(0);
    ASSERT_EQ(page->UH_lstCacheMain->count(), 0);
    Search("anything");
    ASSERT_EQ(tp.dialogs.boxes.size(), 2u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "There is no data in the cache.\r\nPress (Refresh Cache) and try again.");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Cache Empty");
    EXPECT_EQ(tp.dialogs.boxes[1].title, "Search Complete");
}

TEST_F(UrlHoundPageTest, SaveResultsWritesTheReport)
{
    Start();
    Search("gif");
    const std::vector<std::size_t> hits{2, 5, 8};
    const std::string out = (dir.folder() / "results.txt").string();
    dir.Write("results.txt", "old content, replaced after the question");
    tp.dialogs.savePaths.push_back(out);
    Click(page->UH_cmdCacheSave);
    EXPECT_EQ(tp.dialogs.replaceQuestions, std::vector<std::string>{out});
    ASSERT_EQ(tp.dialogs.saveDialogs.size(), 1u);
    EXPECT_EQ(tp.dialogs.saveDialogs[0].initialFolder, dir.folder().string() + "/");
    EXPECT_EQ(tp.dialogs.saveDialogs[0].defaultExt, "txt");
    EXPECT_EQ(tp.dialogs.saveDialogs[0].filter, "Text Files (*.txt)|*.txt");
    EXPECT_EQ(dir.Read("results.txt"), DateTimeReport("gif", hits));
    // The time carries its seconds, as the system's time format does.
    const QTime at = QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(tp.clock.now)).time();
    EXPECT_NE(dir.Read("results.txt").find(QStringLiteral("%1").arg(at.second(), 2, 10, QLatin1Char('0')).toStdString() + "\r\n"),
              std::string::npos);
    EXPECT_EQ(SystemTimeText(at).count(QLatin1Char(':')), 2);
    EXPECT_NE(dir.Read("results.txt").find("Source: " + Src(5) + "\r\n"), std::string::npos);

    // Cancel: nothing written, nothing shown.
    dir.Write("results.txt", "kept");
    Click(page->UH_cmdCacheSave);
    EXPECT_EQ(dir.Read("results.txt"), "kept");
    // "No" to the question, then cancel: the old file stays byte for byte.
    tp.dialogs.savePaths.push_back(out);
    tp.dialogs.replaceAnswers.push_back(false);
    Click(page->UH_cmdCacheSave);
    EXPECT_EQ(dir.Read("results.txt"), "kept");
    EXPECT_EQ(tp.dialogs.replaceQuestions.size(), 2u);
    EXPECT_TRUE(tp.dialogs.boxes.empty());

    // A file inside a regular file cannot be opened, root or not.
    const std::string bad = (dir.folder() / "results.txt" / "inner.txt").string();
    tp.dialogs.savePaths.push_back(bad);
    Click(page->UH_cmdCacheSave);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "76Error opening file: " + bad);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
}

TEST_F(UrlHoundPageTest, GenerateReportAccumulatesAndShowsTheReportTab)
{
    Start();
    Search("page3");
    const std::string first = DateTimeReport("page3", {3});
    Click(page->UH_cmdViewReport);
    EXPECT_EQ(dir.Read("BrimlowTemp.dat"), first);
    Click(page->UH_cmdCacheClear);
    Click(page->UH_cmdViewReport);  // the empty results list: the five heading lines
    const std::string second = DateTimeReport("page3", {});
    const std::string file = dir.Read("BrimlowTemp.dat");
    EXPECT_EQ(file, first + second);
    const std::string tail = file.substr(first.size());
    EXPECT_EQ(std::count(tail.begin(), tail.end(), '\n'), 5);
    EXPECT_TRUE(tail.starts_with(" \r\n \r\n"));
    EXPECT_TRUE(tail.ends_with("\r\nSearch Paramaters: page3\r\n \r\n"));

    ActivityReportPage& ar = main->activityReportPage();
    QString shown = Q(first + second);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(ar.AR_txtCacheSearchReport->toPlainText(), shown);
    EXPECT_TRUE(ar.AR_optUrlHoundSearch->isChecked());
    EXPECT_EQ(main->SSTab1->currentIndex(), frmMain::kActivityReport);
    EXPECT_TRUE(ar.AR_txtCacheSearchReport->isVisible());
    EXPECT_FALSE(ar.AR_txtActivityReport->isVisible());
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

// Seconds until an event posted now is handled: the window answers input again only once
// the work queued before it (the report box's layout and painting) is done.
static double SecondsToAnswer()
{
    QElapsedTimer t;
    t.start();
    bool arrived = false;
    QObject probe;
    QMetaObject::invokeMethod(&probe, [&arrived] { arrived = true; }, Qt::QueuedConnection);
    while (!arrived)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// Thousands of results make a report of megabytes: the report box takes it in one step
// and the window goes on answering while it shows it (a rich-text layout of the same
// text kept the window frozen for minutes).
TEST_F(UrlHoundPageTest, GenerateReportOfManyResultsKeepsTheWindowAnswering)
{
    constexpr std::size_t kEntries = 20000;
    test::SeedEntries(dir.storeFolder(), kEntries, {SeedKind::Url, SeedKind::Visited});
    Start(0);
    Search("pic");
    ASSERT_EQ(page->UH_lstCacheSearch->count(), static_cast<int>(kEntries / 2));
    QElapsedTimer t;
    t.start();
    Click(page->UH_cmdViewReport);
    const double shown = static_cast<double>(t.nsecsElapsed()) / 1e9 + SecondsToAnswer();
    ActivityReportPage& ar = main->activityReportPage();
    ASSERT_TRUE(ar.AR_txtCacheSearchReport->isVisible());
    t.restart();
    QTest::keyClick(ar.AR_txtCacheSearchReport, Qt::Key_End, Qt::ControlModifier);
    const double toTheEnd = static_cast<double>(t.nsecsElapsed()) / 1e9 + SecondsToAnswer();
    EXPECT_LT(shown, 10.0);
    EXPECT_LT(toTheEnd, 5.0);
    // The whole report is in the box, and the box hands back its very bytes.
    const std::string file = dir.Read("BrimlowTemp.dat");
    EXPECT_GT(file.size(), std::size_t{1} << 20);
    EXPECT_EQ(BoxBytes(ar.AR_txtCacheSearchReport), file);
    QString shownText = ar.AR_txtCacheSearchReport->toPlainText();
    EXPECT_EQ(shownText.count(QLatin1Char('\n')), std::count(file.begin(), file.end(), '\n'));
    shownText.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    EXPECT_EQ(shownText, Q(file));
    EXPECT_TRUE(ar.AR_txtCacheSearchReport->textCursor().atEnd());
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(UrlHoundPageTest, ResultsBeyondTheCurrentLoadAreSkipped)
{
    Start();
    Search("site1. OR pic8");  // records 1 and 8 of the entire cache
    ASSERT_EQ(page->UH_lstCacheSearch->count(), 2);
    page->UH_cboCacheType->setEditText(QStringLiteral("Cookies:"));
    Click(page->UH_cmdCacheRefresh);  // three records now
    ClickRow(page->UH_lstCacheMain, 2);
    const QString hits = page->UH_txtCacheHitRate->text();
    ClickRow(page->UH_lstCacheSearch, 1);  // index 8: nothing to show
    EXPECT_EQ(page->UH_txtCacheHitRate->text(), hits);
    ClickRow(page->UH_lstCacheSearch, 0);  // index 1: whichever record has it now
    EXPECT_EQ(page->UH_txtCacheHitRate->text().toStdString(),
              std::to_string(test::SeedEntryFor(SeedKind::Cookie, 4).hitRate));

    Click(page->UH_cmdViewReport);
    const std::string report = dir.Read("BrimlowTemp.dat");
    EXPECT_EQ(report, DateTimeReport("site1. OR pic8", {1}));
    EXPECT_EQ(report.find("pic8"), report.rfind("pic8"));  // only in the search text
}

TEST_F(UrlHoundPageTest, ExitClosesThroughTheShutDown)
{
    Start();
    ASSERT_EQ(iCacheCount(), kSeeded);
    Click(page->UH_cmdExit);
    EXPECT_EQ(tp.exit.calls, 1);
    EXPECT_EQ(iCacheCount(), 0u);  // the shut-down released the records
    EXPECT_FALSE(main->isVisible());
}

// The start-up runs UrlHound three times and the refresh button once more; a store that
// cannot be read is said once, in a box and in the log, and the lists stay empty. An empty
// but healthy store says nothing.
TEST_F(UrlHoundPageTest, AFailingStoreIsSaidOnceAcrossTheStartUpAndTheRefreshes)
{
    fs::create_directories(dir.storeFolder());
    textfile::WriteAll(dir.storeFolder() / "index.sqlite", std::string(4096, 'Z'));
    main = std::make_unique<frmMain>(tp.platform);
    runner.main = main.get();
    main->show();
    main->Form_Load();
    page = &main->urlHoundPage();
    main->SSTab1->setCurrentIndex(frmMain::kUrlHound);
    Click(page->UH_cmdCacheRefresh);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_NE(tp.dialogs.boxes[0].text.find("damaged"), std::string::npos) << tp.dialogs.boxes[0].text;
    EXPECT_NE(tp.dialogs.boxes[0].text.find(dir.storeFolder().string()), std::string::npos);
    EXPECT_EQ(ReadActivityLog(tp.platform),
              "ERROR: the Internet cache store is damaged: " + dir.storeFolder().string() + "\r\n");
    EXPECT_EQ(page->UH_lstCacheMain->count(), 0);

    // Mended: the store is empty and healthy, and nothing more is said.
    fs::remove_all(dir.storeFolder());
    test::CreateStore(dir.storeFolder());
    tp.dialogs.boxes.clear();
    Click(page->UH_cmdCacheRefresh);
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    EXPECT_EQ(page->UH_lstCacheMain->count(), 0);
}
