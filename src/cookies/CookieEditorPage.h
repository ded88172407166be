#pragma once
// The "Cookie Editor" page (page 3) of the main window: lists the cookie sources (or their
// files) of the cookie dump, the live and expired cookies of the selected source and the
// fields of one cookie, and sets, expires or deletes cookies in the store. The tables live
// in MCookieEditor.
#include <QWidget>
#include <QDate>
#include <memory>
#include <optional>
#include <string>

#include "cookies/CookieSourceDeleter.h"
#include "platform/Platform.h"

class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QPlainTextEdit;

namespace brimlow {

namespace inetcache {
class StoreSession;
}
class PageHost;
class TextListView;

class CookieEditorPage : public QWidget, public CookieSourceDeleter {
    Q_OBJECT

public:
    CookieEditorPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);
    ~CookieEditorPage() override;

    // Handlers.
    void CE_cmdRefresh_Click();
    void CE_lstCookieSources_Click();
    void CE_lstCookieFiles_Click();
    void CE_optViewByFile_Click();
    void CE_optViewBySource_Click();
    void CE_lstCookieEntries_Click();
    void CE_lstExpiredCookies_Click();
    void CE_txtCookieName_Click();
    void CE_txtCookieValue_Click();
    void CE_txtSource_Click();
    void CE_cmdExit_Click();
    void CE_cmdSetCookie_Click();
    void CE_cmdDeleteCookie_Click();
    void CE_cmdDeleteFile_Click();
    void DTPicker1_Change();
    void SetEditedCookie();

    // CookieSourceDeleter.
    const std::vector<CookieEntry>& LoadedCookieEntries() const override;
    std::size_t CookieSourceCount() const override;
    std::string CookieSourceText(std::size_t index) const override;
    void SelectCookieSource(std::size_t index) override;
    void DeleteCookieSource() override;
    bool DeletionRunning() const override { return Busy(); }
    void RefreshCookies() override;
    void BeginDeletionPass() override;
    void EndDeletionPass() override;

    // Where the time of the refreshes goes, summed since the last reset.
    struct RefreshFigures {
        std::size_t urlHoundRuns = 0;
        double urlHoundSeconds = 0;
        double dumpLoadSeconds = 0;
        double listRefillSeconds = 0;
        double setCookieSeconds = 0;   // the store's writes
        double showSourceSeconds = 0;  // the source's live cookies and cookie file
    };
    RefreshFigures figures;

    QLabel* Image2 = nullptr;
    QLabel* Label4 = nullptr;
    QPlainTextEdit* CE_txtTemp = nullptr;  // hidden text buffer
    QGroupBox* Frame5 = nullptr;
    QRadioButton* CE_optViewBySource = nullptr;
    QRadioButton* CE_optViewByFile = nullptr;
    QLabel* Label26 = nullptr;
    TextListView* CE_lstCookieSources = nullptr;  // the loaded sources, and their files
    TextListView* CE_lstCookieFiles = nullptr;
    QPlainTextEdit* CE_txtCookieSearch = nullptr;  // hidden text buffer
    QLabel* Label27 = nullptr;
    QListWidget* CE_lstCookieEntries = nullptr;
    QLabel* Label33 = nullptr;
    QListWidget* CE_lstExpiredCookies = nullptr;
    QLabel* Label29 = nullptr;
    QLineEdit* CE_txtSource = nullptr;
    QLabel* Label28 = nullptr;
    QPlainTextEdit* CE_txtCookieName = nullptr;
    QLabel* Label31 = nullptr;
    QLineEdit* CE_txtCookieValue = nullptr;
    QLabel* Label32 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QLineEdit* CE_txtDateExpires = nullptr;
    QPushButton* CE_cmdRefresh = nullptr;
    QPushButton* CE_cmdSetCookie = nullptr;
    QPushButton* CE_cmdExit = nullptr;
    QPushButton* CE_cmdDeleteCookie = nullptr;
    QPushButton* CE_cmdDeleteFile = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ShowSource(TextListView* list, bool byFile);
    void FillCookieLists();
    // Expires the cookies of one cookie list in turn; false when the source left the dump.
    bool DeleteListCookies(QListWidget* list);
    void SetPickerToday(int offsetDays);
    // What the boxes show, as bytes: what they were filled with, unless edited since.
    std::string SourceText() const;
    // The name of a cookie list's entry, as the cookie table holds it.
    std::string CookieNameBytes(const QListWidget* list, int row) const;
    // Puts a cookie into the name and value boxes, and its expiry into the picker.
    void ShowCookie(const std::string& name, const std::string& value);
    // The picker on the date of the cookie the boxes show, or today when they show none.
    void ShowShownCookiesDate();
    // The loaded source at `index` as the store holds it now; false (and the source has
    // left the lists) when the store holds it no more.
    bool LookAgain(std::size_t index);
    // After a cookie of the shown source was set or expired: the whole refresh, or within a
    // deletion pass that source alone looked at again.
    void RefreshAfterChange();
    // The source a refresh selects again (empty when the cookie lists were empty), and the
    // selection that shows it, or the first source when it has gone.
    std::string RememberedSource() const;
    void ShowRemembered(const std::string& text);

    // While a deletion button's handler runs (its refreshes let clicks through), the page is
    // greyed out and its buttons do nothing.
    bool Busy() const { return m_deleting || m_handling; }
    struct HandlerRun {
        explicit HandlerRun(CookieEditorPage& page) : m_page(page)
        {
            m_page.m_handling = true;
            m_page.setEnabled(false);
        }
        ~HandlerRun()
        {
            m_page.m_handling = false;
            m_page.setEnabled(true);
        }
        HandlerRun(const HandlerRun&) = delete;
        HandlerRun& operator=(const HandlerRun&) = delete;
        CookieEditorPage& m_page;
    };

    PageHost& m_host;
    Platform& m_platform;
    bool m_deleting = false;
    bool m_handling = false;
    int m_shownRow = -1;  // the source row a refresh's selection has shown
    bool m_inPass = false;       // within a deletion pass
    bool m_passChanged = false;  // a deletion of the pass changed the store
    std::unique_ptr<inetcache::StoreSession> m_storeSession;  // the store kept open for the pass
    std::optional<QDate> m_shownExpiry;   // the expiry of the cookie the boxes show
};

}  // namespace brimlow
