#pragma once
// A page's host without the main window: a test builds one page on it and watches what the
// page asks of the window and of the other pages.
#include <memory>
#include <string>
#include <vector>

#include "host/ActivityReports.h"
#include "host/PageHost.h"

namespace brimlow::test {

class FakeReports final : public ActivityReports {
public:
    void ShowCacheSearchReport(const std::string& reportBytes) override { shownReports.push_back(reportBytes); }
    void SelectUrlHoundSearch() override { ++urlHoundSearchSelected; }
    std::vector<std::string> shownReports;
    int urlHoundSearchSelected = 0;
};

class FakePageHost final : public PageHost {
public:
    FakePageHost();
    ~FakePageHost();

    int currentPage() const override { return page; }
    void setCurrentPage(int p) override { pagesShown.push_back(page = p); }
    bool notInitial() const override { return bNotInitial; }
    bool refreshStolen() const override { return bRefreshStolen; }
    void setRefreshStolen(bool stolen) override { bRefreshStolen = stolen; }
    frmRefreshingCache* refreshingCache() const override { return progress.get(); }
    void closeMainWindow() override { ++closes; }
    ActivityReports& reports() override { return fakeReports; }

    int page = kQuickCleanUp;
    std::vector<int> pagesShown;  // every setCurrentPage, in order
    bool bNotInitial = true;
    bool bRefreshStolen = false;
    int closes = 0;
    FakeReports fakeReports;
    // A real progress window, hidden, as the start-up leaves it; reset() to have none.
    std::unique_ptr<frmRefreshingCache> progress;
};

}  // namespace brimlow::test
