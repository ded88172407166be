#include "scripts/ScriptPlayer.h"

#include <algorithm>

#include "host/MActivityReport.h"
#include "scripts/RunJournal.h"

namespace brimlow {

namespace {

// A long pause waits in steps a timer can hold (its interval is an int of milliseconds).
constexpr std::chrono::milliseconds kLongestWait{3600 * 1000};
// Pauses beyond this many seconds wait this long.
constexpr double kLongestPauseSeconds = 1e9;

}  // namespace

ScriptPlayer::ScriptPlayer(Platform& platform, RunJournal& journal, EndHandler onEnd)
    : m_platform(platform), m_journal(journal), m_onEnd(std::move(onEnd))
{
    m_timer = m_platform.scheduler->NewTimer([this] { Tick(); });
    m_timer->setInterval(kTickInterval);
}

ScriptPlayer::~ScriptPlayer() = default;

std::string ScriptPlayer::Stamp()
{
    return m_journal.DateText() + "  " + m_journal.TimeText();
}

PlayStart ScriptPlayer::Play(std::string target, std::vector<std::string> commands)
{
    if (IsPlaying())
        return PlayStart::Busy;
    m_code = CompileCommands(commands);
    if (target.empty())
        return PlayStart::NoTarget;
    if (m_code.empty())
        return PlayStart::NoCommands;
    m_target = std::move(target);
    m_commands = std::move(commands);
    m_step = 0;
    m_window = 0;
    m_pauseLeft = std::chrono::milliseconds(0);
    m_state = PlayerState::Armed;
    m_timer->setInterval(kTickInterval);
    m_timer->start();
    return PlayStart::Started;
}

void ScriptPlayer::Tick()
{
    switch (m_state) {
    case PlayerState::Idle:
    case PlayerState::Launching:  // a tick that fell due while the launcher waits
        return;
    case PlayerState::Armed:
        Launch();
        return;
    case PlayerState::Pausing:
        m_pauseLeft -= m_timer->interval();
        if (m_pauseLeft.count() > 0) {
            m_timer->setInterval(std::min(m_pauseLeft, kLongestWait));
            return;
        }
        m_pauseLeft = std::chrono::milliseconds(0);
        m_timer->setInterval(kTickInterval);
        m_state = PlayerState::Playing;
        break;
    case PlayerState::Playing:
        break;
    }
    if (m_step >= m_code.size()) {
        m_journal.Log("Completed script execution: " + Stamp() + "\r\n");
        End(ScriptRunEnd::Completed);
        return;
    }
    PlayStep();
}

void ScriptPlayer::Launch()
{
    m_journal.Log("Activating target application: " + Stamp() + "\r\n" + LogSafe(m_target) + "\r\n");
    // No tick while the launcher waits: it lets messages run, and every request that comes
    // meanwhile finds the player busy.
    m_state = PlayerState::Launching;
    m_timer->stop();
    const auto launched = m_platform.launcher->LaunchMaximized(m_target, kWindowWait);
    if (!launched || launched->window == 0) {
        std::string why =
            "ERROR: The application did not start, or no window of it appeared within 10 seconds; no keys were "
            "sent.\r\n";
        const std::string cause = m_platform.launcher->LastFailure();
        if (!cause.empty())
            why += "Cause: " + cause + "\r\n";
        Stop(why);
        return;
    }
    m_window = launched->window;
    m_state = PlayerState::Playing;
    m_timer->start();
    PlayStep();  // the first command goes right after the launch
}

void ScriptPlayer::PlayStep()
{
    const CompiledCommand& entry = m_code[m_step];
    const std::string& command = entry.line < m_commands.size() ? m_commands[entry.line] : entry.keys;
    m_journal.Log("Sending keys: " + LogSafe(command) + "\r\n");
    if (IsPauseCommand(entry.keys)) {
        ++m_step;
        double seconds = 0;
        if (!ParsePause(entry.keys, seconds)) {
            m_journal.Log("ERROR: The pause is not a number of seconds and was skipped: " + LogSafe(entry.keys) + "\r\n");
            return;
        }
        if (seconds <= 0)
            return;
        m_pauseLeft = std::chrono::milliseconds(
            static_cast<long long>(std::min(seconds, kLongestPauseSeconds) * 1000.0 + 0.5));
        if (m_pauseLeft.count() <= 0)
            return;
        m_state = PlayerState::Pausing;
        m_timer->setInterval(std::min(m_pauseLeft, kLongestWait));
        m_timer->start();
        return;
    }
    if (!m_platform.keys->SendKeys(m_window, entry.keys)) {
        Stop("ERROR: The targeted application does not have the focus; the script was stopped before: " +
             LogSafe(entry.keys) + "\r\n");
        return;
    }
    ++m_step;
}

void ScriptPlayer::Stop(const std::string& why)
{
    m_journal.Log(why);
    m_journal.Log("Stopped script execution: " + Stamp() + "\r\n");
    End(ScriptRunEnd::Failed);
}

void ScriptPlayer::End(ScriptRunEnd how)
{
    m_timer->stop();
    m_timer->setInterval(kTickInterval);
    m_state = PlayerState::Idle;
    m_step = 0;
    m_window = 0;
    m_pauseLeft = std::chrono::milliseconds(0);
    m_outcome = how;
    if (m_onEnd)
        m_onEnd(how);
}

}  // namespace brimlow
