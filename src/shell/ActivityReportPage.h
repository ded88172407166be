#pragma once
// The activity report page (page 5) of the main window: the activity log or the cache
// search report, one at a time in the same place, with buttons to clear, save and print
// the one shown.
#include <QWidget>
#include <string>

#include "host/ActivityReports.h"
#include "platform/Platform.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QPlainTextEdit;

namespace brimlow {

class PageHost;

class ActivityReportPage : public QWidget, public ActivityReports {
    Q_OBJECT

public:
    ActivityReportPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);

    // Handlers.
    void AR_cmdClear_Click();
    void AR_cmdSave_Click();
    void AR_cmdPrint_Click();
    void AR_cmdExit_Click();
    void AR_optActivityReport_Click();
    void AR_optUrlHoundSearch_Click();

    // The page's extra work when it becomes current: the log box shows the log afresh.
    void LoadActivityLogBox();
    // The box of the view that is set shows, the other hides.
    void ShowSelectedView();
    // What the cache tab's "Generate Report" hands over.
    void ShowCacheSearchReport(const std::string& reportBytes) override;
    void SelectUrlHoundSearch() override;
    // True when "View Activity Report" is set.
    bool ActivityViewSelected() const;

    QGroupBox* Frame6 = nullptr;
    QRadioButton* AR_optActivityReport = nullptr;
    QRadioButton* AR_optUrlHoundSearch = nullptr;
    QPlainTextEdit* AR_txtCacheSearchReport = nullptr;
    QPlainTextEdit* AR_txtActivityReport = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* AR_cmdClear = nullptr;
    QPushButton* AR_cmdSave = nullptr;
    QPushButton* AR_cmdPrint = nullptr;
    QPushButton* AR_cmdExit = nullptr;

private:
    QPlainTextEdit* VisibleReportBox() const;

    PageHost& m_host;
    Platform& m_platform;
};

}  // namespace brimlow
