#pragma once
// The "Url Hound" page (page 2) of the main window: the cache browser. It refreshes the
// cache dump through UrlHound, lists the entries of the chosen kind with their details,
// searches them and writes the results as a report. The records live in MUrlHound.
#include <QWidget>
#include <string>

#include "platform/Platform.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QPlainTextEdit;

namespace brimlow {

class PageHost;
class TextListView;

class UrlHoundPage : public QWidget {
    Q_OBJECT

public:
    UrlHoundPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);

    // Handlers.
    void UH_cmdCacheRefresh_Click();
    void UH_cboCacheType_Click();
    void UH_lstCacheMain_Click();
    void UH_lstCacheSearch_Click();
    void UH_txtCacheLocation_Click();
    void UH_cmdCacheClear_Click();
    void UH_cmdExit_Click();
    void UH_cmdCacheSearch_Click();
    void UH_cmdAnd_Click();
    void UH_cmdOr_Click();
    void UH_cmdCacheSave_Click();
    void UH_cmdViewReport_Click();

    // The report of the current results, dated now.
    std::string ReportText() const;

    QLabel* Image5 = nullptr;
    QLabel* Label24 = nullptr;
    QLabel* Label22 = nullptr;
    QComboBox* UH_cboCacheType = nullptr;
    QLabel* Label21 = nullptr;
    TextListView* UH_lstCacheMain = nullptr;  // the loaded records' sources
    QGroupBox* Frame4 = nullptr;
    QLabel* Label23 = nullptr;
    QLineEdit* UH_txtCacheLocation = nullptr;
    QLabel* Label18 = nullptr;
    QPlainTextEdit* UH_txtCacheHeader = nullptr;
    QLabel* Label17 = nullptr;
    QLineEdit* UH_txtCacheAccessed = nullptr;
    QLabel* Label20 = nullptr;
    QLineEdit* UH_txtCacheExpires = nullptr;
    QLabel* Label19 = nullptr;
    QLineEdit* UH_txtCacheHitRate = nullptr;
    QGroupBox* Frame7 = nullptr;
    QPlainTextEdit* UH_txtCacheSearchString = nullptr;
    QPushButton* UH_cmdAnd = nullptr;
    QPushButton* UH_cmdOr = nullptr;
    QCheckBox* UH_chkCaseSensitive = nullptr;
    QCheckBox* UH_chkWholeWord = nullptr;
    QLabel* Label25 = nullptr;
    QListWidget* UH_lstCacheSearch = nullptr;
    QPlainTextEdit* UH_txtCacheSearch = nullptr;  // hidden, never shown
    QPushButton* UH_cmdCacheSearch = nullptr;
    QPushButton* UH_cmdCacheRefresh = nullptr;
    QPushButton* UH_cmdViewReport = nullptr;
    QPushButton* UH_cmdCacheSave = nullptr;
    QPushButton* UH_cmdCacheClear = nullptr;
    QPushButton* UH_cmdExit = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ShowRecord(std::size_t r);
    void AppendOperator(const char* op);
    void FocusSearchString(bool selectAll);
    std::string SearchText() const;

    PageHost& m_host;
    Platform& m_platform;
};

}  // namespace brimlow
