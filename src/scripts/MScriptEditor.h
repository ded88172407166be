#pragma once
// The key-stroke script language and the script files.
//
// A command is a run of tokens: a bracketed name ("[CTRL]", "[TAB]", "[F5]") or one
// character. Before a run every command is translated into one key sequence of the key
// sender ("+", "^", "%" prefixes, parentheses, "{TAB}"); commands that hold "[PAUSE]" pass
// through unchanged and the runner turns them into waits.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brimlow {

class FileCalls;

// Modifier mask of a key press.
inline constexpr int kShiftMask = 1;
inline constexpr int kCtrlMask = 2;
inline constexpr int kAltMask = 4;

inline constexpr std::string_view kPauseToken = "[PAUSE]";

// The tokens one key press records: the modifiers (always Shift, Alt, Ctrl in that order),
// then the key's own token; a key without a token adds nothing. `keyCode` is a Windows
// virtual key code (keypad keys included).
std::string KeyToToken(int keyCode, int modifierMask);

// The command cut into tokens. A "[" without a later "]" runs to the end of the command.
std::vector<std::string> TokenizeCommand(std::string_view command);

// The key sequence for the tokens. Modifier tokens act on the whole command wherever they
// stand; unknown tokens add nothing.
std::string BuildSendKeys(const std::vector<std::string>& tokens);

bool IsPauseCommand(std::string_view command);

// The key sequence of one command, or the command itself when it is a pause command.
std::string TranslateCommand(std::string_view command);

// One entry per command that translates to something, in command order.
std::vector<std::string> CompileScript(const std::vector<std::string>& commands);

// A compiled entry with the index of the command it came from, so that a run names the
// command it sends even after commands that compiled to nothing.
struct CompiledCommand {
    std::string keys;
    std::size_t line = 0;
    bool operator==(const CompiledCommand&) const = default;
};
std::vector<CompiledCommand> CompileCommands(const std::vector<std::string>& commands);

// A pause entry "[PAUSE]<seconds>": true with the seconds when the rest is a decimal number.
bool ParsePause(std::string_view entry, double& seconds);

// ---- script files (*.scr) ----
//
// Line 1 the target application, then a description fenced by lines holding only 0x01,
// then one command per line. Written with CR LF; read with CR LF or LF.

inline constexpr char kScriptFence = '\x01';

struct ScriptFile {
    std::string target;
    std::string description;  // lines joined by CR LF
    std::vector<std::string> commands;
};

enum class ScriptFileShape {
    Complete,
    TooShort,   // fewer than the target line and one more
    OpenFence,  // the description's closing fence is missing
};

struct ScriptFileRead {
    ScriptFile script;
    ScriptFileShape shape = ScriptFileShape::Complete;
};

// The commands of the script being edited, in one buffer: command i is the bytes from the
// end of command i - 1 to its own end, so a loaded script of any size costs its bytes and
// one offset a command.
class CommandList {
public:
    std::size_t size() const { return m_ends.size(); }
    bool empty() const { return m_ends.empty(); }
    std::string_view operator[](std::size_t i) const;
    void Append(std::string_view command) { Insert(size(), command); }
    void Insert(std::size_t i, std::string_view command);
    void Remove(std::size_t i);
    void Clear();
    std::vector<std::string> ToStrings() const;

private:
    friend class ScriptText;
    std::string m_bytes;
    std::vector<std::size_t> m_ends;
};

// A script file read once: its bytes, and where each command line starts. The target, the
// description's lines and the commands are views into the bytes, so a file of any size
// costs its bytes and one offset a command, not a string per line.
class ScriptText {
public:
    ScriptText() = default;
    explicit ScriptText(std::string bytes);

    ScriptFileShape shape() const { return m_shape; }
    std::string_view target() const { return std::string_view(m_bytes).substr(0, m_targetSize); }
    // The fenced lines joined by CR LF.
    std::string Description() const;
    std::size_t commandCount() const { return m_starts.empty() ? 0 : m_starts.size() - 1; }
    std::string_view command(std::size_t i) const;
    // Lets go of the target and the description, which one shown elsewhere no longer needs.
    void KeepOnlyCommands();
    // The commands, their line ends dropped in place; the rest of the file goes.
    CommandList TakeCommands() &&;

private:
    std::string m_bytes;
    std::size_t m_targetSize = 0;  // offsets, not views: a moved short string moves its bytes
    std::size_t m_descBegin = 0, m_descEnd = 0;  // the description's lines, their ends included
    std::vector<std::size_t> m_starts;           // one per command, then the end of the last
    ScriptFileShape m_shape = ScriptFileShape::Complete;
};

// The file's bytes: the target, the fence, the description and one CR LF, the fence, the
// commands; every line ends with CR LF.
std::string ScriptFileBytes(const ScriptFile& script);

// Reads what the bytes hold. The description is the fenced lines joined by CR LF, so what
// was loaded saves back to the same bytes. A file without fences has no description and
// its second line is the first command.
ScriptFileRead ParseScriptFile(std::string_view bytes);

// Through the text-file layer; failures throw RuntimeError.
ScriptText ReadScriptText(const std::filesystem::path& path);
ScriptFileRead ReadScriptFile(const std::filesystem::path& path);
// Replaces the file whole (a temporary file beside it, synced and renamed over it), so a
// kill at any moment leaves the old script or the new one; the calls go through `calls`
// when given. What the save may not replace fails as opening it for writing would: a
// link, a FIFO or a folder at the name with 75, a read-only script with 70.
void WriteScriptFile(const std::filesystem::path& path, const ScriptFile& script, FileCalls* calls = nullptr);

}  // namespace brimlow
