#pragma once
// What the quick clean-up needs of the Script Editor: put a script file into the editor's
// controls, test-run it there, and be handed the run back when it is over.
//
// The hand-back comes exactly once for every run that started (TestScript returned true),
// completed or failed (the target did not start, no window of it appeared, the focus left
// it), so a clean-up that waits for it never stalls. It comes after the player is idle
// again, so the listener may start the next script from inside it. A refused test (no
// target, nothing compiled) is told by TestScript's result and has no hand-back.
#include <filesystem>
#include <string>

namespace brimlow {

enum class ScriptRunEnd {
    Completed,
    Failed,
};

class ScriptRunListener {
public:
    virtual ~ScriptRunListener() = default;
    // True when the listener takes over (a quick clean-up is running); otherwise the
    // editor gives the focus back to its "Key Strokes:" box.
    virtual bool ScriptRunEnded(ScriptRunEnd how) = 0;
    // True while a quick clean-up is under way (not standing still): the editor's script
    // is the run's, and the editor refuses a test or a load of its own.
    virtual bool CleanupUnderWay() const = 0;
};

class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;
    // Puts the file into the editor as Edit Script does: "Script being edited:" takes the
    // path; the key strokes being recorded stay as they were. False, with the reason told
    // to the user, when the file is missing or unreadable.
    virtual bool LoadScriptFile(const std::filesystem::path& path) = 0;
    // "New Script": the editor's script name, target and commands become empty; its
    // description stays as it was.
    virtual void EmptyScript() = 0;
    // "Clear" (SE_cmdClear_Click): the command being recorded becomes empty.
    virtual void ClearCommand() = 0;
    // "Test" for the quick clean-up: compiles and starts the run (true), or refuses with
    // its message (false).
    virtual bool TestScript() = 0;
    virtual bool IsPlaying() const = 0;
    // One listener at a time; nullptr removes it.
    virtual void SetRunListener(ScriptRunListener* listener) = 0;
};

}  // namespace brimlow
