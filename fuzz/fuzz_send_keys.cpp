// The key-sequence parser against the syntax, read here on its own: every press is released
// in reverse order, a modifier is never pressed while it is held, and the keys it taps are
// the items of the sequence in order, each with the modifiers that the syntax puts on it.
//   a character (one UTF-8 sequence)  itself          "~"  ENTER
//   "{NAME}" / "{NAME n}"             the named key, n times (1..kMaxRepeat); "{x}" the
//                                     character x; "{}}" a closing brace
//   "+" "^" "%"                       SHIFT, CTRL, ALT on the next item or group
//   "(" ... ")"                       a group under the prefixes before it
// An unknown name or a bad count sends nothing for its item; an unclosed "{" ends the
// sequence. The names are those of the token table's translations ("{TAB}", "{PGDN}",
// "{PRTSC}", "{F1}" ...) and the syntax's other names and spellings.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/SendKeys.h"

using namespace brimlow;

namespace {

using Mods = std::set<std::string>;

struct Tap {
    std::string key;
    Mods held;
    bool operator==(const Tap&) const = default;
};

std::string NamedKey(std::string name)
{
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const std::map<std::string, std::string> names{
        // The token table's translations.
        {"TAB", "TAB"}, {"BKSP", "BKSP"}, {"ENTER", "ENTER"}, {"ESC", "ESC"}, {"PGUP", "PGUP"}, {"PGDN", "PGDN"},
        {"END", "END"}, {"HOME", "HOME"}, {"LEFT", "LEFT"}, {"UP", "UP"}, {"RIGHT", "RIGHT"}, {"DOWN", "DOWN"},
        {"PRTSC", "PRTSC"}, {"INS", "INS"}, {"DEL", "DEL"}, {"ADD", "ADD"},
        // The syntax's other names and spellings.
        {"BACKSPACE", "BKSP"}, {"BS", "BKSP"}, {"BREAK", "BREAK"}, {"CAPSLOCK", "CAPSLOCK"}, {"DELETE", "DEL"},
        {"HELP", "HELP"}, {"INSERT", "INS"}, {"NUMLOCK", "NUMLOCK"}, {"SCROLLLOCK", "SCROLLLOCK"},
        {"SUBTRACT", "SUBTRACT"}, {"MULTIPLY", "MULTIPLY"}, {"DIVIDE", "DIVIDE"}, {"ESCAPE", "ESC"},
    };
    if (const auto hit = names.find(name); hit != names.end())
        return hit->second;
    for (int f = 1; f <= 16; ++f)
        if (name == "F" + std::to_string(f))
            return name;
    return {};
}

std::size_t CharLength(const std::string& s, std::size_t i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (i + n > s.size())
        return 1;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 1;
    return n;
}

std::vector<Tap> ExpectedTaps(const std::string& s)
{
    std::vector<Tap> taps;
    std::vector<Mods> groups;
    Mods pending;
    const auto held = [&] {
        Mods all = pending;
        for (const Mods& g : groups)
            all.insert(g.begin(), g.end());
        return all;
    };
    const auto key = [&](const std::string& k, std::size_t times) {
        for (std::size_t n = 0; n < times; ++n)
            taps.push_back({k, held()});
        pending.clear();
    };
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '+' || c == '^' || c == '%') {
            pending.insert(c == '+' ? "SHIFT" : c == '^' ? "CTRL" : "ALT");
            ++i;
        } else if (c == '(') {
            groups.push_back(pending);
            pending.clear();
            ++i;
        } else if (c == ')') {
            pending.clear();
            if (!groups.empty())
                groups.pop_back();
            ++i;
        } else if (c == '~') {
            key("ENTER", 1);
            ++i;
        } else if (c == '{') {
            std::size_t close = s.compare(i, 3, "{}}") == 0 ? i + 2 : s.find('}', i + 1);
            if (close == std::string::npos)
                break;
            std::string item = s.substr(i + 1, close - i - 1);
            i = close + 1;
            std::size_t times = 1;
            const std::size_t blank = item.rfind(' ');
            if (item.size() > 1 && blank != std::string::npos && blank > 0) {
                const std::string count = item.substr(blank + 1);
                item.resize(blank);
                if (count.empty() || count.size() > 4 || count.find_first_not_of("0123456789") != std::string::npos)
                    times = 0;
                else
                    times = std::stoul(count);
                if (times > kMaxRepeat)
                    times = 0;
            }
            const std::string k = !item.empty() && CharLength(item, 0) == item.size() ? item : NamedKey(item);
            if (k.empty() || times == 0)
                pending.clear();
            else
                key(k, times);
        } else {
            const std::size_t n = CharLength(s, i);
            key(s.substr(i, n), 1);
            i += n;
        }
    }
    return taps;
}

bool IsModifier(const std::string& k)
{
    return k == "SHIFT" || k == "CTRL" || k == "ALT";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string seq(reinterpret_cast<const char*>(data), size);
    const auto events = ParseSendKeys(seq);
    std::vector<std::string> held;
    std::vector<Tap> taps;
    for (std::size_t n = 0; n < events.size(); ++n) {
        const KeyEvent& e = events[n];
        FUZZ_CHECK(!e.key.empty());
        FUZZ_CHECK(e.key.size() <= 4 || IsNamedKey(e.key));
        if (!IsModifier(e.key)) {
            // A key is tapped: pressed and at once released.
            FUZZ_CHECK(e.down && n + 1 < events.size() && events[n + 1] == (KeyEvent{e.key, false}));
            taps.push_back({e.key, Mods(held.begin(), held.end())});
            ++n;
        } else if (e.down) {
            FUZZ_CHECK(std::find(held.begin(), held.end(), e.key) == held.end());
            held.push_back(e.key);
        } else {
            FUZZ_CHECK(!held.empty() && held.back() == e.key);
            held.pop_back();
        }
    }
    FUZZ_CHECK(held.empty());
    FUZZ_CHECK(taps == ExpectedTaps(seq));
    return 0;
}
