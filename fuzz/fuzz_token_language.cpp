// The key-stroke token language: the tokens put back together are the command, a pause
// command passes unchanged, and the keys that the translation sends are those of the token
// table, worked out here from the table itself. Unknown tokens send nothing; the key tokens
// are sent in command order. Of the modifiers ("[SHIFT]", "[ALT]", "[CTRL]", wherever they
// stand), the first is held around every key; the translation puts the others inside its
// group as prefixes ("+(^ab)"), so they hold for the first key only (or are tapped when
// there is none), each pressed once and not while it is held already.
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/SendKeys.h"
#include "scripts/MScriptEditor.h"

using namespace brimlow;

namespace {

// The table's third column, as the keys the key sender presses.
const std::map<std::string, std::string>& KeyTable()
{
    static const std::map<std::string, std::string> table = [] {
        std::map<std::string, std::string> t{
            {"[TAB]", "TAB"},     {"[BKSP]", "BKSP"},   {"[ENTER]", "ENTER"},     {"[ESC]", "ESC"},
            {"[SPACE]", " "},     {"[PGUP]", "PGUP"},   {"[PGDWN]", "PGDN"},      {"[END]", "END"},
            {"[HOME]", "HOME"},   {"[LEFT]", "LEFT"},   {"[UP]", "UP"},           {"[RIGHT]", "RIGHT"},
            {"[DOWN]", "DOWN"},   {"[PRINT]", "PRTSC"}, {"[INS]", "INS"},         {"[DEL]", "DEL"},
            {"[MULTIPLY]", "*"},  {"[SUBTRACT]", "-"},  {"[DECIMAL]", "."},       {"[DIVIDE]", "/"},
            // The keypad's add key itself (a "+" would be the Shift prefix).
            {"[ADD]", "ADD"},
        };
        for (char c = 'a'; c <= 'z'; ++c)
            t[std::string(1, c)] = std::string(1, c);
        for (char c = '0'; c <= '9'; ++c)
            t[std::string(1, c)] = std::string(1, c);
        for (int f = 1; f <= 12; ++f)
            t["[F" + std::to_string(f) + "]"] = "F" + std::to_string(f);
        return t;
    }();
    return table;
}

const char* ModifierOf(const std::string& token)
{
    if (token == "[SHIFT]")
        return "SHIFT";
    if (token == "[ALT]")
        return "ALT";
    if (token == "[CTRL]")
        return "CTRL";
    return nullptr;
}

// A token: "[" up to and including the next "]" (or to the end), else one character.
std::vector<std::string> PlainTokens(const std::string& command)
{
    std::vector<std::string> tokens;
    for (std::size_t p = 0; p < command.size();) {
        std::size_t end = p + 1;
        if (command[p] == '[') {
            const std::size_t close = command.find(']', p);
            end = close == std::string::npos ? command.size() : close + 1;
        }
        tokens.push_back(command.substr(p, end - p));
        p = end;
    }
    return tokens;
}

std::vector<KeyEvent> ExpectedKeys(const std::string& command)
{
    std::vector<std::string> mods, keys;
    for (const std::string& t : PlainTokens(command)) {
        if (const char* m = ModifierOf(t))
            mods.emplace_back(m);
        else if (const auto hit = KeyTable().find(t); hit != KeyTable().end())
            keys.push_back(hit->second);
    }
    std::vector<KeyEvent> events;
    const auto tap = [&events](const std::string& k) {
        events.push_back({k, true});
        events.push_back({k, false});
    };
    if (mods.empty()) {
        for (const auto& k : keys)
            tap(k);
        return events;
    }
    std::vector<std::string> inner;  // the later modifiers, once each, without the first
    for (std::size_t i = 1; i < mods.size(); ++i)
        if (mods[i] != mods[0] && std::find(inner.begin(), inner.end(), mods[i]) == inner.end())
            inner.push_back(mods[i]);
    events.push_back({mods[0], true});
    for (const auto& m : inner)
        events.push_back({m, true});
    if (!keys.empty())
        tap(keys[0]);
    for (auto m = inner.rbegin(); m != inner.rend(); ++m)
        events.push_back({*m, false});
    for (std::size_t i = 1; i < keys.size(); ++i)
        tap(keys[i]);
    events.push_back({mods[0], false});
    return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string command(reinterpret_cast<const char*>(data), size);
    if (size >= 2) {
        // A recorded key press is made of table tokens only, and sends what the table says.
        const std::string rec = KeyToToken(data[0], data[1] & 7);
        const std::string keys = BuildSendKeys(TokenizeCommand(rec));
        FUZZ_CHECK(keys.size() <= 64);
        if (!IsPauseCommand(rec))
            FUZZ_CHECK(ParseSendKeys(keys) == ExpectedKeys(rec));
    }

    const auto tokens = TokenizeCommand(command);
    FUZZ_CHECK(tokens == PlainTokens(command));

    const std::string keys = TranslateCommand(command);
    if (IsPauseCommand(command)) {
        FUZZ_CHECK(keys == command);
        return 0;
    }
    // Only the translations of the vocabulary: letters, digits, braces of key names, the
    // prefixes, a blank and the keypad's operators.
    FUZZ_CHECK(keys.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789{}()+^%*-./ ABCDEFGHIJKLMNOPRSTUVWXYZ") ==
               std::string::npos);
    FUZZ_CHECK(ParseSendKeys(keys) == ExpectedKeys(command));
    return 0;
}
