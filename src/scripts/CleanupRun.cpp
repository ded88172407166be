#include "scripts/CleanupRun.h"

#include "cookies/CookieSourceDeleter.h"
#include "host/MActivityReport.h"
#include "scripts/MQuickCleanUp.h"
#include "scripts/RunJournal.h"
#include "scripts/RunRequests.h"

namespace brimlow {

CleanupRun::CleanupRun(Platform& platform, RunJournal& journal, CleanupRunHost& host)
    : m_platform(platform), m_journal(journal), m_host(host)
{
    m_timer = m_platform.scheduler->NewTimer([this] { Tick(); });
    m_timer->setInterval(std::chrono::milliseconds(50));
}

CleanupRun::~CleanupRun() = default;

std::string CleanupRun::Now(const char* between)
{
    return m_journal.DateText() + between + m_journal.TimeText();
}

ExecuteOutcome CleanupRun::Execute(std::string_view delayText)
{
    switch (JudgeRunRequest(RunRequest::Execute, m_scripts && m_scripts->IsPlaying(), UnderWay())) {
    case RunVerdict::Ignore:
        return ExecuteOutcome::Ignored;
    case RunVerdict::Refuse:
        return ExecuteOutcome::Refused;
    case RunVerdict::Allow:
        break;
    }
    // Also when the delay is refused: the next run deletes cookies afresh.
    m_cookiesDeleted = false;
    const DelayResult delay = CheckDelay(delayText);
    if (delay.check == DelayCheck::NotNumeric)
        return ExecuteOutcome::DelayNotNumeric;
    if (delay.check == DelayCheck::OutOfRange)
        return ExecuteOutcome::DelayOutOfRange;
    m_timer->setInterval(std::chrono::milliseconds(delay.intervalMs));
    m_journal.Log("\r\nQuick Cleanup: [Execute] clicked\r\n");
    const bool resumed = m_state == CleanupState::Stalled;
    m_list = m_host.ScriptList();
    Wait();
    return resumed ? ExecuteOutcome::Resumed : ExecuteOutcome::Started;
}

void CleanupRun::Wait()
{
    m_state = CleanupState::Waiting;
    m_timer->start();
}

void CleanupRun::Tick()
{
    if (m_state != CleanupState::Waiting)
        return;
    m_timer->stop();
    m_running = true;
    DeleteCookies();

    // An index past the end (an entry deleted while the run stood still) ends the run too.
    if (m_step >= m_list.size()) {
        m_step = 0;
        m_running = false;
        m_state = CleanupState::Idle;
        m_timer->stop();
    } else if (const CleanupScript entry = m_list[m_step]; entry.checked) {
        StartScript(entry);
    } else {
        ++m_step;
        Wait();
    }
    m_host.RunMoved();
}

void CleanupRun::DeleteCookies()
{
    if (m_cookiesDeleted || !m_cookies || m_host.CookiesToDelete().empty())
        return;
    m_state = CleanupState::DeletingCookies;
    // A source still listed after a pass (refused, or not found) is tried again.
    m_passes = 0;
    while (m_passes < kMaxPasses && !m_host.CookiesToDelete().empty()) {
        ++m_passes;
        DeletionPass();
    }
    m_cookiesDeleted = true;
}

void CleanupRun::DeletionPass()
{
    const std::vector<std::string> wanted = m_host.CookiesToDelete();
    m_host.PassStarted(wanted.size());
    m_journal.Log("Deleting Cookies:\r\n" + Now("    ") + "\r\n\r\n");

    // One pass: the cookie editor looks at the store again per source it deletes and
    // refreshes the dump once at the end, not after every cookie.
    m_cookies->BeginDeletionPass();
    for (std::size_t j = 0; j < wanted.size(); ++j) {
        const std::size_t m = m_cookies->CookieSourceCount();
        for (std::size_t k = 0; k < m; ++k) {
            if (m_cookies->CookieSourceText(k) == wanted[j]) {
                m_cookies->SelectCookieSource(k);
                m_cookies->DeleteCookieSource();
                break;
            }
            if (k + 1 == m_cookies->CookieSourceCount())
                m_journal.Log("ERROR: Cookie was not found\r\n" + LogSafe(wanted[j]) + "\r\n");
        }
        m_host.PassProgress(j + 1);
    }
    m_cookies->EndDeletionPass();

    m_host.ClearCookiesToDelete();
    m_journal.Log("\r\nDeletion Complete:  " + Now("    ") + "\r\n\r\n");
    m_host.PassEnded();
    m_host.RebuildCookieLists();
}

void CleanupRun::StartScript(const CleanupScript& entry)
{
    // Under way from here: a click while a load's message box is up starts nothing.
    m_state = CleanupState::ScriptRunning;
    const std::filesystem::path path = m_platform.programFolder / entry.name;
    m_journal.Log("\r\nLoading script: " + Now("  ") + "\r\n" + LogSafe(path.string()) + "\r\n");
    ++m_step;
    // The editor says why a script cannot be loaded (missing, unreadable).
    if (!m_scripts || !m_scripts->LoadScriptFile(path)) {
        // Never a replay of whatever the editor held before: the run goes on with the next.
        m_journal.Log("ERROR: Script could not be loaded\r\n" + LogSafe(path.string()) + "\r\n");
        Wait();
        return;
    }
    if (!m_scripts->TestScript())
        m_state = CleanupState::Stalled;  // the test said why; Execute or a test goes on
}

bool CleanupRun::ScriptEnded(ScriptRunEnd how)
{
    (void)how;  // completed or failed, the run goes on with the next entry
    if (m_state == CleanupState::Stalled)
        m_list = m_host.ScriptList();  // a test from the editor resumes it, as Execute would
    if (m_state == CleanupState::ScriptRunning || m_state == CleanupState::Stalled) {
        Wait();
        return true;
    }
    return m_state != CleanupState::Idle;
}

}  // namespace brimlow
