#pragma once
// The script player: plays a compiled key-stroke script into its target application, one
// command per tick of Timer1 (50 ms), and logs every step.
//
//   Idle ──Play──> Armed ──first tick──> Launching ──window──> Playing ──last tick──> Idle
//                                            │                   │  ^
//                                            │ no window         │  │ pause over
//                                            v                   v  │
//                                          Idle (Failed)       Pausing
//
// The player owns what it plays: the target and the commands as they were when Play was
// called, the compiled list (each entry knows its command), the step, what is left of a
// pause, and the target's window. Editing the script editor's controls during a run changes
// nothing of it. A key goes only to the window the launcher brought up, and only while that
// window has the focus; otherwise the run stops with a log line.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/ScriptRunner.h"
#include "platform/Platform.h"
#include "scripts/MScriptEditor.h"

namespace brimlow {

class RunJournal;

enum class PlayerState {
    Idle,
    Armed,      // started; the first tick launches the target
    Launching,  // the launcher waits for the target's window (messages run meanwhile)
    Playing,    // one command per tick
    Pausing,    // a "[PAUSE]n" command: Timer1 waits out the seconds
};

enum class PlayStart {
    Started,
    Busy,        // a run is playing: nothing changed
    NoTarget,    // the target is empty
    NoCommands,  // nothing compiled
};

inline constexpr const char* kNoTargetMessage = "You must select an application to run your script against.";
inline constexpr const char* kNoTargetTitle = "Unspecified Target";
inline constexpr const char* kNoCommandsMessage =
    "There are no commands in this script.\r\nPlease reference the \"Quick Tutorial\".";
inline constexpr const char* kNoCommandsTitle = "Commands Unavailable";

class ScriptPlayer {
public:
    // Told once at the end of every run that started (completed or failed), after the player
    // is idle again, so it may start the next run from inside the call.
    using EndHandler = std::function<void(ScriptRunEnd)>;

    static constexpr std::chrono::milliseconds kTickInterval{50};
    static constexpr std::chrono::milliseconds kWindowWait{10000};

    ScriptPlayer(Platform& platform, RunJournal& journal, EndHandler onEnd);
    ~ScriptPlayer();

    // Compiles the commands and, when the target is set and something compiled, arms Timer1.
    // Busy changes nothing; a refusal still leaves the compilation to be shown.
    PlayStart Play(std::string target, std::vector<std::string> commands);

    // Timer1's tick.
    void Tick();

    PlayerState state() const { return m_state; }
    bool IsPlaying() const { return m_state != PlayerState::Idle; }
    const std::vector<CompiledCommand>& compiled() const { return m_code; }
    // The index of the next compiled entry to play.
    std::size_t step() const { return m_step; }
    const std::string& target() const { return m_target; }
    WindowId targetWindow() const { return m_window; }
    std::chrono::milliseconds pauseLeft() const { return m_pauseLeft; }
    // How the last run ended; nothing before the first.
    std::optional<ScriptRunEnd> outcome() const { return m_outcome; }
    Timer& timer() const { return *m_timer; }

private:
    void Launch();
    void PlayStep();
    void Stop(const std::string& why);
    void End(ScriptRunEnd how);
    std::string Stamp();

    Platform& m_platform;
    RunJournal& m_journal;
    EndHandler m_onEnd;
    std::unique_ptr<Timer> m_timer;
    PlayerState m_state = PlayerState::Idle;
    std::string m_target;
    std::vector<std::string> m_commands;
    std::vector<CompiledCommand> m_code;
    std::size_t m_step = 0;
    std::chrono::milliseconds m_pauseLeft{0};
    WindowId m_window = 0;
    std::optional<ScriptRunEnd> m_outcome;
};

}  // namespace brimlow
