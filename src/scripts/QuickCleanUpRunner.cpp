// The quick clean-up runner: "Execute" checks the delay and starts Timer2; each tick first
// deletes the listed cookie sources through the Cookie Editor (up to three passes per run),
// then takes the next entry of the script list. A checked script is played by the Script
// Editor, whose end hands the run back one delay later.
#include "cookies/MCookieEditor.h"
#include "cookies/CookieSourceDeleter.h"
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QTimer>

#include "platform/TextFile.h"
#include "platform/qt/QtText.h"
#include "scripts/MQuickCleanUp.h"
#include "scripts/QuickCleanUpPage.h"
#include "host/ShowPainted.h"
#include "host/frmRefreshingCache.h"

namespace brimlow {

namespace {

constexpr int kMaxPasses = 3;

}  // namespace

// The date and the time as the system writes them short: "12/10/26    14:05:09" takes
// the date, four blanks and the time from the caller.
std::string QuickCleanUpPage::Now() const
{
    const auto t = std::chrono::system_clock::to_time_t(m_platform.clock->Now());
    const QDateTime at = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(t));
    const QLocale locale = QLocale::system();
    return ToBytes(locale.toString(at.date(), QLocale::ShortFormat)) + '\t' +
           ToBytes(locale.toString(at.time(), QLocale::ShortFormat));
}

void QuickCleanUpPage::QC_cmdExecute_Click()
{
    // A run that is sending a script, or waiting for its next tick, goes on undisturbed;
    // only a stalled run (its script refused) is resumed.
    if (bQuickCleanupRunning && (Timer2->isActive() || (m_scripts && m_scripts->IsPlaying())))
        return;
    bCookiesDeleted = false;
    const DelayResult delay = CheckDelay(ToBytes(QC_txtDelay->text()));
    if (delay.check != DelayCheck::Ok) {
        QC_txtDelay->setFocus(Qt::OtherFocusReason);
        m_platform.dialogs->MsgBox(delay.check == DelayCheck::NotNumeric ? kDelayNotNumeric : kDelayOutOfRange,
                                   kDelayErrorTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);
        return;
    }
    Timer2->setInterval(delay.intervalMs);
    Log("\r\nQuick Cleanup: [Execute] clicked\r\n");
    Timer2->start();
}

void QuickCleanUpPage::Timer2_Timer()
{
    bQuickCleanupRunning = true;
    Timer2->stop();

    if (QC_lstCookies->count() > 0 && !bCookiesDeleted && m_cookies) {
        for (int pass = 0; pass < kMaxPasses && QC_lstCookies->count() > 0; ++pass)
            DeleteCookiePass();
        bCookiesDeleted = true;
    }

    // An index at or past the end (an entry deleted while the run stood still) ends the run.
    if (iScriptStep >= static_cast<std::size_t>(QC_lstScripts->count())) {
        iScriptStep = 0;
        bQuickCleanupRunning = false;
        Timer2->stop();
        return;
    }
    QListWidgetItem* entry = QC_lstScripts->item(static_cast<int>(iScriptStep));
    if (entry->checkState() == Qt::Checked) {
        StartScript(entry->text());
        return;
    }
    ++iScriptStep;
    Timer2->start();
}

void QuickCleanUpPage::DeleteCookiePass()
{
    frmRefreshingCache* progress = Progress();
    const int n = QC_lstCookies->count();
    if (progress && StartupComplete()) {
        progress->ProgressBar1->setRange(0, n);
        progress->ProgressBar1->setValue(0);
        progress->ProgressBar1->setVisible(true);
        ShowPainted(progress);  // drawn before the deletions block the event loop
    }
    const std::string now = Now();
    const std::string date = now.substr(0, now.find('\t'));
    const std::string time = now.substr(now.find('\t') + 1);
    Log("Deleting Cookies:\r\n" + date + "    " + time + "\r\n\r\n");

    // One pass: the cookie editor looks at the store again per source it deletes and
    // refreshes the dump once at the end, not after every cookie.
    m_cookies->BeginDeletionPass();
    for (int j = 0; j < n; ++j) {
        const std::string wanted = ToBytes(QC_lstCookies->item(j)->text());
        const std::size_t m = m_cookies->CookieSourceCount();
        for (std::size_t k = 0; k < m; ++k) {
            if (m_cookies->CookieSourceText(k) == wanted) {
                m_cookies->SelectCookieSource(k);
                m_cookies->DeleteCookieSource();
                break;
            }
            if (k + 1 == m_cookies->CookieSourceCount())
                Log("ERROR: Cookie was not found\r\n" + wanted + "\r\n");
        }
        if (progress && progress->ProgressBar1->isVisible()) {
            progress->ProgressBar1->setValue(j + 1);
            progress->repaint();
        }
    }

    m_cookies->EndDeletionPass();

    QC_lstCookies->clear();
    const std::string end = Now();
    Log("\r\nDeletion Complete:  " + end.substr(0, end.find('\t')) + "    " + end.substr(end.find('\t') + 1) +
        "\r\n\r\n");
    if (progress) {
        progress->ProgressBar1->setVisible(false);
        progress->hide();
    }
    RefreshCleanupCookieLists();
}

void QuickCleanUpPage::StartScript(const QString& entry)
{
    const auto path = ScriptPath(entry);
    const std::string now = Now();
    Log("\r\nLoading script: " + now.substr(0, now.find('\t')) + "  " + now.substr(now.find('\t') + 1) + "\r\n" +
        path.string() + "\r\n");
    ++iScriptStep;
    bool loaded = false;
    if (!textfile::FileExists(path)) {
        m_platform.dialogs->MsgBox(MissingScriptMessage(path.string()), kFileIoErrorTitle, MsgBoxButtons::Ok,
                                   MsgBoxIcon::Critical);
    } else if (m_scripts) {
        loaded = m_scripts->LoadScriptFile(path);
    }
    if (!loaded) {
        // Never a replay of whatever the editor held before: the run goes on with the next.
        Log("ERROR: Script could not be loaded\r\n" + path.string() + "\r\n");
        Timer2->start();
        return;
    }
    m_scripts->TestScript();
}

bool QuickCleanUpPage::ScriptRunEnded(ScriptRunEnd how)
{
    if (!bQuickCleanupRunning)
        return false;
    // A script the test refused leaves the run standing still until "Execute".
    if (how != ScriptRunEnd::Refused)
        Timer2->start();
    return true;
}

}  // namespace brimlow
