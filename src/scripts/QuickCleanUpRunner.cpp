// The page's side of the quick clean-up run: "Execute" goes to the CleanupRun, which asks
// the page for its lists and its progress window as it goes.
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include "host/ShowPainted.h"
#include "host/frmRefreshingCache.h"
#include "platform/qt/QtText.h"
#include "scripts/MQuickCleanUp.h"
#include "scripts/RunRequests.h"
#include "scripts/QuickCleanUpPage.h"

namespace brimlow {

void QuickCleanUpPage::QC_cmdExecute_Click()
{
    const char* delayError = nullptr;
    switch (m_run.Execute(ToBytes(QC_txtDelay->text()))) {
    case ExecuteOutcome::Started:
    case ExecuteOutcome::Resumed:
    case ExecuteOutcome::Ignored:  // a second click during the run
        return;
    case ExecuteOutcome::Refused:
        m_platform.dialogs->MsgBox(kTestRunningMessage, kTestRunningTitle, MsgBoxButtons::Ok,
                                   MsgBoxIcon::Exclamation);
        return;
    case ExecuteOutcome::DelayNotNumeric:
        delayError = kDelayNotNumeric;
        break;
    case ExecuteOutcome::DelayOutOfRange:
        delayError = kDelayOutOfRange;
        break;
    }
    QC_txtDelay->setFocus(Qt::OtherFocusReason);
    m_platform.dialogs->MsgBox(delayError, kDelayErrorTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);
}

void QuickCleanUpPage::Timer2_Timer()
{
    m_run.Tick();
}

std::vector<std::string> QuickCleanUpPage::CookiesToDelete()
{
    return m_toDelete;
}

void QuickCleanUpPage::ClearCookiesToDelete()
{
    m_toDelete.clear();
    ShowToDelete();
}

std::vector<CleanupScript> QuickCleanUpPage::ScriptList()
{
    std::vector<CleanupScript> out;
    out.reserve(static_cast<std::size_t>(QC_lstScripts->count()));
    for (int i = 0; i < QC_lstScripts->count(); ++i) {
        const QListWidgetItem* item = QC_lstScripts->item(i);
        out.push_back({ScriptName(item), item->checkState() == Qt::Checked});
    }
    return out;
}

void QuickCleanUpPage::PassStarted(std::size_t sources)
{
    frmRefreshingCache* progress = Progress();
    if (!progress || !StartupComplete())
        return;
    progress->ProgressBar1->setRange(0, static_cast<int>(sources));
    progress->ProgressBar1->setValue(0);
    progress->ProgressBar1->setVisible(true);
    ShowPainted(progress);  // drawn before the deletions block the event loop
}

void QuickCleanUpPage::PassProgress(std::size_t done)
{
    frmRefreshingCache* progress = Progress();
    if (progress && progress->ProgressBar1->isVisible()) {
        progress->ProgressBar1->setValue(static_cast<int>(done));
        progress->repaint();
    }
}

void QuickCleanUpPage::PassEnded()
{
    if (frmRefreshingCache* progress = Progress()) {
        progress->ProgressBar1->setVisible(false);
        progress->hide();
    }
}

}  // namespace brimlow
