#pragma once
// What the quick clean-up needs of the Script Editor: put a script file into the editor's
// controls, test-run it there, and be handed the run back when it is over.
//
// The hand-back comes exactly once for every TestScript call, on every way a run can end:
// completed, refused by the test's checks (no target, nothing compiled, a run already
// playing), or failed (the target did not start, no window of it appeared, the focus left
// it). So a clean-up that waits for it never stalls. It runs after the runner is idle
// again, so the listener may start the next script from inside it.
#include <filesystem>
#include <string>

namespace brimlow {

enum class ScriptRunEnd {
    Completed,
    Refused,
    Failed,
};

class ScriptRunListener {
public:
    virtual ~ScriptRunListener() = default;
    // True when the listener takes over (a quick clean-up is running); otherwise the
    // editor gives the focus back to its "Key Strokes:" box.
    virtual bool ScriptRunEnded(ScriptRunEnd how) = 0;
};

class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;
    // Loads the file into the editor as "Load" does, without the dialog. False, with the
    // reason told to the user as "Load" tells it, when the file is missing or unreadable.
    virtual bool LoadScriptFile(const std::filesystem::path& path) = 0;
    // "New Script": the editor's script name, target and commands become empty; its
    // description stays as it was.
    virtual void EmptyScript() = 0;
    // "Clear" (SE_cmdClear_Click): the command being recorded becomes empty.
    virtual void ClearCommand() = 0;
    // The "Test" button (SE_cmdTest_Click): compiles and starts the run, or refuses.
    virtual void TestScript() = 0;
    virtual bool IsPlaying() const = 0;
    // One listener at a time; nullptr removes it.
    virtual void SetRunListener(ScriptRunListener* listener) = 0;
};

}  // namespace brimlow
