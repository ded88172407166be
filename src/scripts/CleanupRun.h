#pragma once
// The quick clean-up run: "Execute" checks the delay and arms Timer2; its first tick deletes
// the cookie sources listed under "Cookies To Be Deleted:" through the Cookie Editor, in up
// to three passes, then each tick takes the next entry of the script list: a checked script
// is loaded into the Script Editor and played there, and its end hands the run back one
// delay later; an unchecked one costs one delay.
//
//   Idle ──Execute──> Waiting ──tick──> DeletingCookies (once per run) ──> next entry:
//     checked:   ScriptRunning ──script ended──> Waiting
//                  └─ the test refused it ──> Stalled ──Execute, or a test's end──> Waiting
//     unchecked: Waiting
//     none left: Idle
//
// The run owns where it stands: the phase, the passes, whether the cookies are done, the
// entry it is at, and the script list as it was when Execute started or resumed it (each
// entry's file name as bytes, with its check). While it is under way (Waiting,
// DeletingCookies, ScriptRunning) a second Execute is ignored, so a double-click or a click
// during the deletions never starts a run inside the run.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/ScriptRunner.h"
#include "platform/Platform.h"

namespace brimlow {

class CookieSourceDeleter;
class RunJournal;

// An entry of "Scripts To Be Executed:": the file name in the working folder, and its check.
struct CleanupScript {
    std::string name;
    bool checked = false;
    bool operator==(const CleanupScript&) const = default;
};

// What the run needs of the Quick Clean Up page.
class CleanupRunHost {
public:
    // "Cookies To Be Deleted:" as it stands now.
    virtual std::vector<std::string> CookiesToDelete() = 0;
    // Empties that list (the end of a pass).
    virtual void ClearCookiesToDelete() = 0;
    // Rebuilds both cookie lists from the cookie dump (RefreshCleanupCookieLists).
    virtual void RebuildCookieLists() = 0;
    // "Scripts To Be Executed:", in list order.
    virtual std::vector<CleanupScript> ScriptList() = 0;
    // The progress window over a pass of `sources` deletions.
    virtual void PassStarted(std::size_t sources) = 0;
    virtual void PassProgress(std::size_t done) = 0;
    virtual void PassEnded() = 0;
    // After every tick of Timer2: the run has moved on.
    virtual void RunMoved() = 0;

protected:
    ~CleanupRunHost() = default;
};

enum class CleanupState {
    Idle,
    Waiting,          // Timer2 armed: the next tick comes one delay later
    DeletingCookies,  // inside the cookie passes (the deletions let messages run)
    ScriptRunning,    // a checked script is being loaded or played
    Stalled,          // the test refused the script; Execute or a test's end goes on
};

enum class ExecuteOutcome {
    Started,
    Resumed,          // a stalled run goes on with the entry after the refused script
    Ignored,          // the run is under way
    Refused,          // a script is being tested: the "Test Running" message
    DelayNotNumeric,  // kDelayNotNumeric
    DelayOutOfRange,  // kDelayOutOfRange
};

class CleanupRun {
public:
    static constexpr int kMaxPasses = 3;

    CleanupRun(Platform& platform, RunJournal& journal, CleanupRunHost& host);
    ~CleanupRun();

    void SetCookies(CookieSourceDeleter* cookies) { m_cookies = cookies; }
    void SetScripts(ScriptRunner* scripts) { m_scripts = scripts; }

    // "Execute" with the delay box's text.
    ExecuteOutcome Execute(std::string_view delayText);
    // Timer2's tick. A tick in any state but Waiting does nothing.
    void Tick();
    // A script run ended (the editor's hand-back). True when the run takes over.
    bool ScriptEnded(ScriptRunEnd how);

    CleanupState state() const { return m_state; }
    bool UnderWay() const
    {
        return m_state == CleanupState::Waiting || m_state == CleanupState::DeletingCookies ||
               m_state == CleanupState::ScriptRunning;
    }
    // True from the first tick of a run to the tick that finds no entry left.
    const bool& running() const { return m_running; }
    // The index of the next script entry to consider.
    const std::size_t& step() const { return m_step; }
    const bool& cookiesDeleted() const { return m_cookiesDeleted; }
    // The passes of the last cookie phase.
    int passes() const { return m_passes; }
    const std::vector<CleanupScript>& scripts() const { return m_list; }
    Timer& timer() const { return *m_timer; }

private:
    void DeleteCookies();
    void DeletionPass();
    void StartScript(const CleanupScript& entry);
    void Wait();
    std::string Now(const char* between);

    Platform& m_platform;
    RunJournal& m_journal;
    CleanupRunHost& m_host;
    CookieSourceDeleter* m_cookies = nullptr;
    ScriptRunner* m_scripts = nullptr;
    std::unique_ptr<Timer> m_timer;
    CleanupState m_state = CleanupState::Idle;
    bool m_running = false;
    bool m_cookiesDeleted = false;
    int m_passes = 0;
    std::size_t m_step = 0;
    std::vector<CleanupScript> m_list;
};

}  // namespace brimlow
