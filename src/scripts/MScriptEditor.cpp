#include "scripts/MScriptEditor.h"

#include <array>
#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"

namespace brimlow {

namespace {

// Tokens of keys that record without modifiers of their own.
const char* NamedKeyToken(int keyCode)
{
    switch (keyCode) {
    case 8: return "[BKSP]";
    case 13: return "[ENTER]";
    case 19: return "[PAUSE]";
    case 27: return "[ESC]";
    case 32: return "[SPACE]";
    case 33: return "[PGUP]";
    case 34: return "[PGDWN]";
    case 35: return "[END]";
    case 36: return "[HOME]";
    case 37: return "[LEFT]";
    case 38: return "[UP]";
    case 39: return "[RIGHT]";
    case 40: return "[DOWN]";
    case 42: return "[PRINT]";
    case 45: return "[INS]";
    case 46: return "[DEL]";
    case 106: return "[MULTIPLY]";
    case 107: return "[ADD]";
    case 108: return "[SEPARATOR]";
    case 109: return "[SUBTRACT]";
    case 110: return "[DECIMAL]";
    case 111: return "[DIVIDE]";
    default: return nullptr;
    }
}

// What a key token sends; nullptr for tokens that send no key of their own.
const char* KeyTranslation(std::string_view token)
{
    static const std::array<std::pair<std::string_view, const char*>, 21> table{{
        {"[TAB]", "{TAB}"},   {"[MULTIPLY]", "*"},  {"[SUBTRACT]", "-"}, {"[DECIMAL]", "."},
        {"[DIVIDE]", "/"},    {"[ADD]", "{ADD}"},   {"[BKSP]", "{BKSP}"}, {"[ENTER]", "{ENTER}"},
        {"[ESC]", "{ESC}"},   {"[SPACE]", " "},     {"[PGUP]", "{PGUP}"}, {"[PGDWN]", "{PGDN}"},
        {"[END]", "{END}"},   {"[HOME]", "{HOME}"}, {"[LEFT]", "{LEFT}"}, {"[UP]", "{UP}"},
        {"[RIGHT]", "{RIGHT}"}, {"[DOWN]", "{DOWN}"}, {"[PRINT]", "{PRTSC}"}, {"[INS]", "{INS}"},
        {"[DEL]", "{DEL}"},
    }};
    for (const auto& [tok, keys] : table)
        if (tok == token)
            return keys;
    return nullptr;
}

const char* ModifierPrefix(std::string_view token)
{
    if (token == "[SHIFT]")
        return "+";
    if (token == "[ALT]")
        return "%";
    if (token == "[CTRL]")
        return "^";
    return nullptr;
}

}  // namespace

std::string KeyToToken(int keyCode, int modifierMask)
{
    std::string out;
    if (modifierMask & kShiftMask)
        out += "[SHIFT]";
    if (modifierMask & kAltMask)
        out += "[ALT]";
    if (modifierMask & kCtrlMask)
        out += "[CTRL]";
    if (const char* named = NamedKeyToken(keyCode))
        out += named;
    else if (keyCode >= 65 && keyCode <= 90)
        out += static_cast<char>('a' + (keyCode - 65));
    else if (keyCode >= 48 && keyCode <= 57)
        out += static_cast<char>('0' + (keyCode - 48));
    else if (keyCode >= 96 && keyCode <= 105)
        out += static_cast<char>('0' + (keyCode - 96));
    else if (keyCode >= 112 && keyCode <= 123)
        out += "[F" + std::to_string(keyCode - 111) + "]";
    return out;
}

std::vector<std::string> TokenizeCommand(std::string_view command)
{
    std::vector<std::string> tokens;
    std::size_t p = 0;
    while (p < command.size()) {
        if (command[p] == '[') {
            const std::size_t close = command.find(']', p);
            const std::size_t end = close == std::string_view::npos ? command.size() : close + 1;
            tokens.emplace_back(command.substr(p, end - p));
            p = end;
        } else {
            tokens.emplace_back(1, command[p]);
            ++p;
        }
    }
    return tokens;
}

std::string BuildSendKeys(const std::vector<std::string>& tokens)
{
    std::string out;
    bool hasModifier = false;
    bool groupOpen = false;
    auto openGroup = [&] {
        if (hasModifier && !groupOpen) {
            out += '(';
            groupOpen = true;
        }
    };
    for (const std::string& t : tokens) {
        if (const char* prefix = ModifierPrefix(t)) {
            openGroup();
            out += prefix;
            hasModifier = true;
        }
    }
    for (const std::string& t : tokens) {
        std::string key;
        if (t.size() == 1 && ((t[0] >= 'a' && t[0] <= 'z') || (t[0] >= '0' && t[0] <= '9')))
            key = t;
        else if (t.size() >= 4 && t.compare(0, 2, "[F") == 0 && t.back() == ']') {
            const std::string n = t.substr(2, t.size() - 3);
            const bool digits = n.find_first_not_of("0123456789") == std::string::npos;
            if (digits && (n.size() == 1 ? n[0] != '0' : (n == "10" || n == "11" || n == "12")))
                key = "{F" + n + "}";
        } else if (const char* keys = KeyTranslation(t))
            key = keys;
        if (key.empty())
            continue;
        openGroup();
        out += key;
    }
    if (hasModifier)
        out += ')';
    return out;
}

bool IsPauseCommand(std::string_view command)
{
    return command.find(kPauseToken) != std::string_view::npos;
}

std::string TranslateCommand(std::string_view command)
{
    if (IsPauseCommand(command))
        return std::string(command);
    return BuildSendKeys(TokenizeCommand(command));
}

std::vector<CompiledCommand> CompileCommands(const std::vector<std::string>& commands)
{
    std::vector<CompiledCommand> code;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        std::string r = TranslateCommand(commands[i]);
        if (!r.empty())
            code.push_back({std::move(r), i});
    }
    return code;
}

std::vector<std::string> CompileScript(const std::vector<std::string>& commands)
{
    std::vector<std::string> code;
    for (CompiledCommand& c : CompileCommands(commands))
        code.push_back(std::move(c.keys));
    return code;
}

bool ParsePause(std::string_view entry, double& seconds)
{
    if (entry.substr(0, kPauseToken.size()) != kPauseToken)
        return false;
    std::string_view rest = entry.substr(kPauseToken.size());
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == ' ')
        rest.remove_suffix(1);
    std::size_t i = 0;
    if (i < rest.size() && (rest[i] == '+' || rest[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < rest.size() && rest[i] == '.') {
        ++i;
        while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0 || i != rest.size())
        return false;
    seconds = std::strtod(std::string(rest).c_str(), nullptr);
    return true;
}

// ---- script files ----

std::string ScriptFileBytes(const ScriptFile& script)
{
    std::string out;
    auto line = [&](std::string_view s) {
        out += s;
        out += "\r\n";
    };
    line(script.target);
    line(std::string(1, kScriptFence));
    line(script.description);
    line(std::string(1, kScriptFence));
    for (const std::string& c : script.commands)
        line(c);
    return out;
}

namespace {

// The line that starts at `start`: its text without the line end, and where the next starts.
// Lines end at LF, one CR before it is dropped; a last line without a line end counts.
std::string_view LineAt(std::string_view bytes, std::size_t start, std::size_t& next)
{
    const std::size_t lf = bytes.find('\n', start);
    if (lf == std::string_view::npos) {
        next = bytes.size();
        return bytes.substr(start);
    }
    next = lf + 1;
    std::size_t cut = lf;
    if (cut > start && bytes[cut - 1] == '\r')
        --cut;
    return bytes.substr(start, cut - start);
}

}  // namespace

ScriptText::ScriptText(std::string bytes) : m_bytes(std::move(bytes))
{
    const std::string_view all(m_bytes);
    const std::string_view fence(&kScriptFence, 1);
    std::size_t pos = 0;
    if (all.empty()) {
        m_shape = ScriptFileShape::TooShort;
        return;
    }
    m_targetSize = LineAt(all, 0, pos).size();
    if (pos == all.size()) {
        m_shape = ScriptFileShape::TooShort;
        return;
    }
    std::size_t next = 0;
    if (LineAt(all, pos, next) == fence) {
        m_descBegin = m_descEnd = next;
        for (;;) {
            if (m_descEnd == all.size()) {
                m_shape = ScriptFileShape::OpenFence;
                return;
            }
            std::size_t after = 0;
            if (LineAt(all, m_descEnd, after) == fence) {
                pos = after;
                break;
            }
            m_descEnd = after;
        }
    }
    std::size_t lines = 0;
    for (std::size_t i = pos; i < all.size(); ++lines) {
        const std::size_t lf = all.find('\n', i);
        i = lf == std::string_view::npos ? all.size() : lf + 1;
    }
    m_starts.reserve(lines + 1);
    while (pos < all.size()) {
        m_starts.push_back(pos);
        LineAt(all, pos, pos);
    }
    m_starts.push_back(all.size());
}

std::string ScriptText::Description() const
{
    const std::string_view all(m_bytes);
    std::string out;
    out.reserve(m_descEnd - m_descBegin + 2);
    for (std::size_t pos = m_descBegin; pos < m_descEnd;) {
        if (pos > m_descBegin)
            out += "\r\n";
        out += LineAt(all, pos, pos);
    }
    return out;
}

std::string_view ScriptText::command(std::size_t i) const
{
    if (i >= commandCount())
        return {};
    const std::string_view line(m_bytes.data() + m_starts[i], m_starts[i + 1] - m_starts[i]);
    std::size_t next = 0;
    return LineAt(line, 0, next);
}

void ScriptText::KeepOnlyCommands()
{
    const std::size_t shift = m_starts.empty() ? m_bytes.size() : m_starts.front();
    m_bytes.erase(0, shift);
    for (std::size_t& start : m_starts)
        start -= shift;
    if (m_bytes.capacity() > 2 * m_bytes.size())
        m_bytes.shrink_to_fit();
    m_targetSize = m_descBegin = m_descEnd = 0;
}

CommandList ScriptText::TakeCommands() &&
{
    // Each command moves down over the line ends and the lines before it; its start offset
    // becomes its end.
    std::size_t to = 0;
    for (std::size_t i = 0; i < commandCount(); ++i) {
        const std::string_view c = command(i);
        std::memmove(m_bytes.data() + to, c.data(), c.size());
        to += c.size();
        m_starts[i] = to;
    }
    if (!m_starts.empty())
        m_starts.pop_back();
    m_bytes.resize(to);
    if (m_bytes.capacity() > 2 * m_bytes.size())
        m_bytes.shrink_to_fit();  // a long description or long line ends gave way
    CommandList out;
    out.m_bytes = std::move(m_bytes);
    out.m_ends = std::move(m_starts);
    *this = ScriptText();
    return out;
}

std::string_view CommandList::operator[](std::size_t i) const
{
    if (i >= size())
        return {};
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
    return std::string_view(m_bytes).substr(begin, m_ends[i] - begin);
}

void CommandList::Insert(std::size_t i, std::string_view command)
{
    i = std::min(i, size());
    const std::size_t at = i == 0 ? 0 : m_ends[i - 1];
    m_bytes.insert(at, command);
    m_ends.insert(m_ends.begin() + static_cast<std::ptrdiff_t>(i), at);
    for (std::size_t k = i; k < m_ends.size(); ++k)
        m_ends[k] += command.size();
}

void CommandList::Remove(std::size_t i)
{
    if (i >= size())
        return;
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
    const std::size_t length = m_ends[i] - begin;
    m_bytes.erase(begin, length);
    m_ends.erase(m_ends.begin() + static_cast<std::ptrdiff_t>(i));
    for (std::size_t k = i; k < m_ends.size(); ++k)
        m_ends[k] -= length;
}

void CommandList::Clear()
{
    // A list of megabytes gives its memory back.
    std::string().swap(m_bytes);
    std::vector<std::size_t>().swap(m_ends);
}

std::vector<std::string> CommandList::ToStrings() const
{
    std::vector<std::string> out;
    out.reserve(size());
    for (std::size_t i = 0; i < size(); ++i)
        out.emplace_back((*this)[i]);
    return out;
}

ScriptFileRead ParseScriptFile(std::string_view bytes)
{
    const ScriptText text{std::string(bytes)};
    ScriptFileRead r;
    r.shape = text.shape();
    r.script.target = text.target();
    r.script.description = text.Description();
    r.script.commands.reserve(text.commandCount());
    for (std::size_t i = 0; i < text.commandCount(); ++i)
        r.script.commands.emplace_back(text.command(i));
    return r;
}

ScriptText ReadScriptText(const std::filesystem::path& path)
{
    return ScriptText(textfile::ReadAll(path));
}

ScriptFileRead ReadScriptFile(const std::filesystem::path& path)
{
    return ParseScriptFile(textfile::ReadAll(path));
}

void WriteScriptFile(const std::filesystem::path& path, const ScriptFile& script, FileCalls* calls)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        // The rename would put a file in place of a link or a FIFO, and over a script the
        // user made read-only; neither was ever written.
        if (!S_ISREG(st.st_mode))
            throw RuntimeError(err::PathFileAccess, "not a regular file: " + path.string());
        if (::access(path.c_str(), W_OK) != 0)
            throw RuntimeError::FromErrno(errno, path.string());
    }
    // What an earlier save of this script left when it was killed (the start-up sweeps only
    // the working folder; a script may live anywhere).
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    textfile::RemoveLeftTemporaryFiles(folder, path.filename().string());
    textfile::WriteAllAtomically(path, ScriptFileBytes(script), calls);
}

}  // namespace brimlow
