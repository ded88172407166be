#pragma once
// What other pages ask of the activity report page: the cache tab's "Generate Report" hands
// its report over and has it shown.
#include <string>

namespace brimlow {

class ActivityReports {
public:
    // The search report box's text becomes these bytes.
    virtual void ShowCacheSearchReport(const std::string& reportBytes) = 0;
    // Sets "View UrlHound Search Report" and shows that box.
    virtual void SelectUrlHoundSearch() = 0;

protected:
    ~ActivityReports() = default;
};

}  // namespace brimlow
