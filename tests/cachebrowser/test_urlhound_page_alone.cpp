// The Url Hound page on its own, on a FakePageHost: what it asks of the main window and of
// the activity report page, with the real runner, UrlHound and store underneath.
#include <QPushButton>
#include <QTest>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "cachebrowser/MUrlHound.h"
#include "cachebrowser/UrlHoundPage.h"
#include "host/frmRefreshingCache.h"
#include "support/FakePageHost.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

// The real runner, noting whether the host's progress window is up while the tool runs.
class ProgressProbe final : public ProcessRunner {
public:
    void RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& folder) override
    {
        frmRefreshingCache* progress = host ? host->refreshingCache() : nullptr;
        shown.push_back(progress && progress->isVisible());
        real.RunAndWait(argv, folder);
    }
    test::FakePageHost* host = nullptr;
    std::vector<bool> shown;
    PosixProcessRunner real;
};

class UrlHoundPageAloneTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    test::FakePageHost host;
    ProgressProbe runner;
    std::unique_ptr<UrlHoundPage> page;

    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.platform.runner = &runner;
        runner.host = &host;
        dir.WithUrlHound();
        test::SeedEntries(dir.storeFolder(), 6);
        page = std::make_unique<UrlHoundPage>(host, tp.platform);
        page->show();
    }
    void TearDown() override
    {
        page.reset();
        ReleaseCacheRecords();
    }
};

TEST_F(UrlHoundPageAloneTest, RefreshShowsTheProgressWindowOnlyOnItsOwnPageAfterTheStartUp)
{
    struct Case {
        int page;
        bool notInitial;
        bool shown;
    };
    const Case cases[] = {
        {PageHost::kUrlHound, true, true},
        {PageHost::kUrlHound, false, false},        // the start-up's own refresh
        {PageHost::kBleachUtility, true, false},    // run from another page's Commands menu
        {PageHost::kActivityReport, false, false},
    };
    for (const Case& c : cases) {
        host.page = c.page;
        host.bNotInitial = c.notInitial;
        runner.shown.clear();
        page->UH_cmdCacheRefresh_Click();
        EXPECT_EQ(runner.shown, std::vector<bool>{c.shown}) << "page " << c.page << " notInitial " << c.notInitial;
        EXPECT_FALSE(host.progress->isVisible()) << "page " << c.page;
        EXPECT_EQ(iCacheCount(), 6u);
    }
    host.progress.reset();  // before the start-up loads it, or after the shut-down
    host.page = PageHost::kUrlHound;
    page->UH_cmdCacheRefresh_Click();
    EXPECT_EQ(iCacheCount(), 6u);
    EXPECT_TRUE(host.pagesShown.empty()) << "a refresh never switches pages";
}

TEST_F(UrlHoundPageAloneTest, GenerateReportHandsTheFileToTheReportPageAndShowsIt)
{
    host.page = PageHost::kUrlHound;
    page->UH_cmdCacheRefresh_Click();
    page->UH_txtCacheSearchString->setPlainText(QStringLiteral("example"));
    QTest::mouseClick(page->UH_cmdCacheSearch, Qt::LeftButton);
    QTest::mouseClick(page->UH_cmdViewReport, Qt::LeftButton);
    QTest::mouseClick(page->UH_cmdViewReport, Qt::LeftButton);

    const std::string file = dir.Read("BrimlowTemp.dat");
    ASSERT_EQ(host.fakeReports.shownReports.size(), 2u);
    EXPECT_EQ(host.fakeReports.shownReports.back(), file) << "the whole file, both reports";
    EXPECT_LT(host.fakeReports.shownReports.front().size(), file.size());
    EXPECT_EQ(host.fakeReports.urlHoundSearchSelected, 2);
    EXPECT_EQ(host.pagesShown, (std::vector<int>{PageHost::kActivityReport, PageHost::kActivityReport}));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(UrlHoundPageAloneTest, ExitAsksTheHostToCloseTheWindow)
{
    QTest::mouseClick(page->UH_cmdExit, Qt::LeftButton);
    EXPECT_EQ(host.closes, 1);
}

}  // namespace
